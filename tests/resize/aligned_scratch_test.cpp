#include "resize/aligned_scratch.h"

#include <gtest/gtest.h>

#include <cstring>

namespace resize {
namespace {

struct Allocator {
    const char* name;
    void* (*allocate)(int32_t n);
    int32_t elementBytes;
};

class AlignedScratch : public ::testing::TestWithParam<Allocator> {};

// Callers free whatever an allocation gave them, a refusal included.
TEST_P(AlignedScratch, NothingForCountsBelowOneAndNothingToFree) {
    for (int32_t n : {0, -5}) {
        void* p = GetParam().allocate(n);
        EXPECT_EQ(p, nullptr);
        AlignedFree(p);
    }
}

TEST_P(AlignedScratch, BlocksStartOn32ByteBoundariesAfterTheirHeapBlock) {
    for (int32_t n : {1, 2, 3, 31, 32, 33, 1000, 4097}) {
        void* p = GetParam().allocate(n);
        ASSERT_NE(p, nullptr);
        const auto address = reinterpret_cast<std::uintptr_t>(p);
        EXPECT_EQ(address % 32, 0u);
        std::uintptr_t raw;
        std::memcpy(&raw, static_cast<char*>(p) - sizeof raw, sizeof raw);
        EXPECT_GE(address - raw, sizeof raw);
        EXPECT_LE(address - raw, sizeof raw + 31);
        // The whole block is usable (the sanitizers would object otherwise).
        std::memset(p, 0x5A, static_cast<std::size_t>(n) * GetParam().elementBytes);
        AlignedFree(p);
    }
}

TEST_P(AlignedScratch, RequestsBeyondFourGibibytesFail) {
    if (GetParam().elementBytes == 1) {
        GTEST_SKIP() << "no count of single bytes reaches 4 GiB";
    }
    EXPECT_EQ(GetParam().allocate(INT32_MAX), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Allocators, AlignedScratch,
                         ::testing::Values(Allocator{"32", &AlignedAlloc32, 4},
                                           Allocator{"32V4", &AlignedAlloc32V4, 4},
                                           Allocator{"16", &AlignedAlloc16, 2},
                                           Allocator{"8", &AlignedAlloc8, 1}),
                         [](const auto& info) { return std::string("Alloc") + info.param.name; });

}  // namespace
}  // namespace resize
