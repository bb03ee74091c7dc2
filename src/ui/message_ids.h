#pragma once

// Window messages posted by worker threads to the dialogs.

#include <cstdint>

namespace ui {

inline constexpr std::uint32_t WM_POSTALARMAUDIO = 0x402;
inline constexpr std::uint32_t WM_RECORDON = 0x403;
inline constexpr std::uint32_t WM_RELOGIN = 0x404;
inline constexpr std::uint32_t WM_HOTPOINTCLICK = 0x40A;
inline constexpr std::uint32_t WM_PTZCONTROLRELEASED = 0x40B;
inline constexpr std::uint32_t WM_LIFETIMEEXPIRED = 0x40C;
inline constexpr std::uint32_t WM_LOGINRESULT = 0x40F;
inline constexpr std::uint32_t WM_LOGINANIMATE = 0x410;
inline constexpr std::uint32_t WM_SERVERLOGRESULT = 0x411;
inline constexpr std::uint32_t WM_DOWNLOADRESULT = 0x412;
inline constexpr std::uint32_t WM_SHOWSTATUS = 0x41B;
inline constexpr std::uint32_t WM_LOGINENTER = 0x421;
inline constexpr std::uint32_t WM_LOGINSUCCESS = 0x422;
inline constexpr std::uint32_t WM_UPGRADEPROGRESS_FIRST = 0x428;
inline constexpr std::uint32_t WM_UPGRADEPROGRESS_LAST = 0x42A;
inline constexpr std::uint32_t WM_CONNECTRESULT = 0x42B;

}  // namespace ui
