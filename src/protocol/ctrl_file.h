#pragma once

// CtrlFile.ini: the remote-control protocols of the device models, read once at start-up.
//
// Every line is cleaned (characters outside 33..126 dropped except blanks, letters upper-cased)
// and read by the section it stands in. The reading ends at "END" under [EOF], or at the end of
// the data.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/ctrl_protocol.h"

// The 73 section names, in their numbered order; a key's index is its section number - 2.
extern const std::vector<std::string_view> CtrlFileSectionNames;

// Reads CtrlFile.ini from the program folder into g_lpApp->m_lpCtrlFileRecords. 0, after showing
// "Open device control file is failed", when the file cannot be read.
std::uint32_t LoadCtrlFile();
// Parses a whole file image into `records`. The lines it refuses, and key lines shorter than
// their length, are told to the user in one box that names them and `source`.
std::uint32_t ParseCtrlFile(std::string_view text, std::vector<CtrlProtocol>& records,
                            std::string_view source = "CtrlFile.ini");
// Binds to each device type the first protocol whose name is the type's name.
std::uint32_t BindDeviceProtocols();

// The number of bytes consumed (through the line end, platform::FirstLine) and the cleaned line.
std::size_t ReadCtrlLine(std::string_view source, std::string& line);
// Two characters as a hex byte; characters that are no hex digit count 0.
void HexByte(const char* two, std::uint8_t& out);
// Fills the entry from a key line "Xnn Xbb X%c ...": the first item is the template length. False
// when the line is refused (the entry is then left undefined). A line with fewer items than its
// length is accepted, its missing bytes 0, and sets *shortTemplate.
bool ParseKeyCommandLine(KeyCommandEntry& entry, std::string_view line,
                         bool* shortTemplate = nullptr);

// Writes a small default CtrlFile.ini with a description of the format and one device.
std::uint32_t WriteDefaultCtrlFile(const std::string& path);
