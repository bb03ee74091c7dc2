#pragma once

// Small functions shared across the program: the processor test of start-up, the digit filter of
// numeric edit fields, the picture helpers of the frame painter, and byte and text helpers kept
// for the protocol and firmware code.

#include <cstddef>
#include <cstdint>
#include <string>

// 1 when the processor reports MMX (CPUID function 1, EDX bit 23).
std::uint32_t HasMMX();

// Mode 1 keeps the digits; mode 0 keeps the digits and one leading "-"; other modes empty the
// text. A text of 256 characters or more is left as it is and gives 0.
std::uint32_t FilterDigitInput(std::string* text, std::uint8_t mode);

// Doubles the height of a 24-bit bottom-up picture: even output rows copy the source, odd rows
// interpolate with the 6-tap half-pixel weights (0.08, -0.22, 0.64, 0.64, -0.22, 0.08) near the
// middle and average two rows near the edges. Each channel is computed the way 16-bit unsigned
// lanes compute it (positive sum, each subtraction floored at 0, truncating division by 100,
// capped at 255), so any width gives the same bytes. 0, writing nothing, when the output does not
// fit in `dstCapacity` bytes or the rows are wider than the source's.
std::uint32_t FilterImageMMX(const std::uint8_t* src, std::uint8_t* dst, std::size_t dstCapacity,
                             std::uint32_t srcWidth, std::uint32_t srcHeight,
                             std::uint32_t dstWidth, std::uint32_t dstRows);

// Draws the PTZ hot-point marker centred at (x, y), y counted from the top: a 17 x 17 cross three
// pixels thick with a four-pixel bracket at each corner. Pixels outside the frame are skipped.
// The colour's lowest byte goes to the first byte of each pixel.
std::uint32_t DrawFrameBox(std::uint8_t* frame, std::uint16_t width, std::uint16_t height,
                           std::uint32_t colour, std::uint16_t x, std::uint16_t y);

// --- Byte and text helpers ---

// Writes v most significant byte first; nothing for a null pointer.
void PutU32BigEndian(std::uint32_t v, std::uint8_t* out);
void SwapU32(std::uint32_t* v);

// Looks for a JPEG start-of-frame marker (FF C0) in the first 100 bytes of `frame` and writes
// the height and width behind it, big-endian. 1 when found.
std::uint32_t PatchJpegFrameSize(std::uint8_t* frame, std::size_t length, std::uint16_t width,
                                 std::uint16_t height);

// The RFC 1071 checksum of `length` bytes; a trailing odd byte is the low byte of a last word.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length);
// The same checksum with its two bytes swapped.
std::uint16_t Checksum16(const std::uint16_t* data, std::uint32_t length);
// Complement of the 16-bit sum of the words start .. end - 1.
std::uint16_t SumWords16(const std::uint16_t* data, std::uint32_t end, std::uint16_t start);

// Position of the first occurrence of `pattern`, searching start positions below
// bufferLength - patternLength; 0 when there is none (also for a match at position 0).
int FindStringInBuffer(const std::uint8_t* buffer, const std::uint8_t* pattern, int bufferLength,
                       std::uint32_t patternLength);

// Copies the characters after `key` up to `terminator` (or the end of the text) into `out`, cut to
// fit `outSize` with its terminating zero. Returns the terminator's position, or -1 without the
// key.
int ExtractValueAfterKey(const char* text, char* out, std::size_t outSize, const char* key,
                         char terminator);

// The number of leading bytes below 0xFF.
int CountBytesBelowFF(const std::uint8_t* data, int length);

// Overwrites with "0" the bytes that do not continue the key "online-user-num" when the text in
// the buffer is shorter than that key and the buffer is longer.
void MaskBeforeOnlineUserNum(std::uint8_t* buffer, int length);

// Compares two "d.d.d.d" version texts digit by digit: 1 when b is newer, 2 when a is newer,
// 0 when equal, -1 when either is not seven characters long.
int CompareVersionText(const std::string& a, const std::string& b);

// Checks the "vendor;version;model;" header of a firmware file against the device's firmware
// version: -1 for a foreign vendor or model, -2 when the file is not newer, else 0 with the
// header's length in *headerLength.
int FirmwareHeaderCheck(const char* header, std::size_t headerSize,
                        const std::string& deviceFirmwareVersion, std::uint32_t* headerLength);
