#include "kernel/kernel_object.h"

KernelObject* g_lpApp = nullptr;
