#pragma once

#include <cstdint>

// Reads CtrlFile.ini from the program folder. 0, after showing "Open device control file is
// failed", when the file cannot be opened.
std::uint32_t LoadCtrlFile();
