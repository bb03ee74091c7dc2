#pragma once

// The two threads between the socket-buffer ring and the painter. The compose thread decodes
// each received frame into a free image slot, follows the picture size with the window's layout
// and hands the compressed frame to the recorders' pre-alarm ring; the show thread makes each
// decoded slot current, has the kernel message thread paint it, and frees the slot when the
// painter is done with it.

#include <cstdint>

class FrameSlots;

// The window layout for a picture size: 0 to 3, or -1 for a width that keeps the layout.
int PictureSizeCode(std::uint16_t width, std::uint16_t height);

// Thread bodies; each returns 0.
std::uint32_t Jpeg_Compose_Image_Data_Thread(FrameSlots& slots);
std::uint32_t Jpeg_Show_Image_Data_Thread(FrameSlots& slots);
