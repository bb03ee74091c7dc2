// A kernel folder that breaks each rule of the layer check once. Read by the check, never built.
#include "kernel/breaches.h"

#include <QtWidgets/QWidget>

#include "platform/clock.h"
#include "widgets/vtx_button.h"
