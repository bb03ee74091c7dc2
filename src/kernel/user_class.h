#pragma once

// The user classes and what each may use: the main window enables its command buttons by this
// table, and the remote keys send the class's rank to the device.

#include <array>
#include <cstdint>

inline constexpr int kUserClassCount = 4;

struct UserClassButtons {
    std::uint8_t classIndex;
    std::uint8_t rank;
    std::uint8_t level;  // the USERLEVEL value
    std::int32_t nameId;
    std::int32_t count;  // ids that the start-up enables or disables
    std::array<std::int32_t, 9> ids;
    std::array<std::int32_t, 9> allowed;
};

// Indexed by user class: 0 SUPERVISOR, 1 HIGH USER, 2 GUEST, 3 NORMAL USER.
extern const std::array<UserClassButtons, kUserClassCount> UserClassButtonTable;
