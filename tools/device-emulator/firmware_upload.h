// /UpgradeFW.cgi: the device takes a firmware image in pieces, one request per piece.
#pragma once

#include "device_core.h"
#include "http_exchange.h"

namespace device_emulator {

Reply UpgradeFirmware(DeviceCore& core, const RecordedRequest& request);

}  // namespace device_emulator
