#include "resize/aligned_scratch.h"

#include <cstdlib>
#include <cstring>

namespace resize {
namespace {

constexpr std::uintptr_t kAlignment = 32;
// The heap block's own address is kept in the word just before the aligned block.
constexpr std::uintptr_t kHeader = sizeof(void*);
constexpr std::uint64_t kSlack = kHeader + kAlignment;

void* AlignedAllocBytes(int32_t n, std::uint64_t elementSize) {
    if (n < 1) {
        return nullptr;
    }
    // The tables of one call never need more than 4 GiB; a larger request is a size that went
    // wrong upstream, and failing it keeps every element count in the kernels within 32 bits.
    const std::uint64_t bytes = static_cast<std::uint64_t>(n) * elementSize + kSlack;
    if (bytes > UINT32_MAX) {
        return nullptr;
    }
    void* raw = std::malloc(bytes);
    if (raw == nullptr) {
        return nullptr;
    }
    const std::uintptr_t address =
        (reinterpret_cast<std::uintptr_t>(raw) + kHeader + kAlignment - 1) & ~(kAlignment - 1);
    void* block = reinterpret_cast<void*>(address);
    std::memcpy(static_cast<char*>(block) - kHeader, &raw, sizeof raw);
    return block;
}

}  // namespace

void* AlignedAlloc32(int32_t n) {
    return AlignedAllocBytes(n, 4);
}

void* AlignedAlloc32V4(int32_t n) {
    return AlignedAllocBytes(n, 4);
}

void* AlignedAlloc16(int32_t n) {
    return AlignedAllocBytes(n, 2);
}

void* AlignedAlloc8(int32_t n) {
    return AlignedAllocBytes(n, 1);
}

void AlignedFree(void* p) {
    if (p == nullptr) {
        return;
    }
    void* raw;
    std::memcpy(&raw, static_cast<char*>(p) - kHeader, sizeof raw);
    std::free(raw);
}

}  // namespace resize
