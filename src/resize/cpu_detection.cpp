#include "resize/cpu_detection.h"

#include <cpuid.h>

#include <array>
#include <cstring>

namespace resize {
namespace {

int32_t HardwareFlagsIdBitToggles() {
    uint64_t before;
    uint64_t after;
    // The pushes must stay clear of the red zone below the stack pointer, where the compiler
    // may keep locals of this function.
    __asm__ volatile(
        "subq $128, %%rsp\n\t"
        "pushfq\n\t"
        "popq %0\n\t"
        "movq %0, %1\n\t"
        "xorq $0x200000, %1\n\t"
        "pushq %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "popq %1\n\t"
        "pushq %0\n\t"
        "popfq\n\t"
        "addq $128, %%rsp"
        : "=&r"(before), "=&r"(after)
        :
        : "cc");
    return ((before ^ after) & 0x200000) != 0 ? 1 : 0;
}

CpuidRegisters HardwareCpuid(uint32_t leaf) {
    CpuidRegisters r{};
    __cpuid(leaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

constexpr CpuProbe kHardwareProbe = {&HardwareFlagsIdBitToggles, &HardwareCpuid};
CpuProbe g_probe = kHardwareProbe;

uint32_t Bit(uint32_t word, int bit) {
    return (word >> bit) & 1u;
}

constexpr uint32_t kMmx = 1;
constexpr uint32_t kSse = 2;
constexpr uint32_t kSse2 = 4;
constexpr uint32_t kSse3 = 8;
constexpr uint32_t k64Bit = 16;
constexpr uint32_t kManyLogical = 32;

// First row whose family matches, whose required features are all present and whose excluded
// features are all absent gives the code; no row gives 0.
struct CpuTypeRow {
    uint32_t family;
    uint32_t required;
    uint32_t excluded;
    int32_t code;
};

constexpr std::array<CpuTypeRow, 12> kCpuTypeRows = {{
    {5, kMmx, 0, 2},
    {5, 0, kMmx, 1},
    {6, kSse2, 0, 9},
    {6, kSse, kSse2, 5},
    {6, kMmx, kSse2 | kSse, 4},
    {6, 0, kSse2 | kSse | kMmx, 3},
    {7, 0, 0, 16},
    {15, kSse2 | kSse3 | k64Bit, 0, 32},
    {15, kSse2 | kSse3, k64Bit, 8},
    {15, kSse2 | kManyLogical, kSse3, 7},
    {15, kSse2, kSse3 | kManyLogical, 6},
    {15, 0, kSse2, 17},
}};

uint32_t FeatureSet(const CpuRecord& r) {
    return (r.hasMmx ? kMmx : 0u) | (r.hasSse ? kSse : 0u) | (r.hasSse2 ? kSse2 : 0u) |
           (r.hasSse3 ? kSse3 : 0u) | (r.has64Bit ? k64Bit : 0u) |
           (r.hasManyLogical ? kManyLogical : 0u);
}

}  // namespace

CpuProbe HardwareCpuProbe() {
    return kHardwareProbe;
}

void SetCpuProbe(const CpuProbe& probe) {
    g_probe = probe;
}

int32_t IsCpuidAvailable() {
    return g_probe.flagsIdBitToggles();
}

int32_t IsResizeCpuVendor() {
    const CpuidRegisters r = g_probe.cpuid(0);
    char vendor[12];
    std::memcpy(vendor, &r.ebx, 4);
    std::memcpy(vendor + 4, &r.edx, 4);
    std::memcpy(vendor + 8, &r.ecx, 4);
    return std::memcmp(vendor, "AuthenticAMD", 12) == 0 ? 1 : 0;
}

void ReadCpuFeatures(CpuRecord* record) {
    const CpuidRegisters leaf1 = g_probe.cpuid(1);
    const uint32_t highestExtended = g_probe.cpuid(0x80000000u).eax;
    const uint32_t extendedEdx =
        highestExtended >= 0x80000001u ? g_probe.cpuid(0x80000001u).edx : 0;
    const CpuidRegisters leaf2 = g_probe.cpuid(2);

    record->family = (leaf1.eax >> 8) & 0xF;
    record->stepping = leaf1.eax & 0xF;
    record->model = (leaf1.eax >> 4) & 0xF;
    record->reserved = 0;
    record->featuresEdx = leaf1.edx;
    record->leaf2Eax = leaf2.eax;
    record->leaf2Edx = leaf2.edx;
    record->hasMmx = Bit(leaf1.edx, 23);
    record->hasSse = Bit(leaf1.edx, 25);
    record->hasSse2 = Bit(leaf1.edx, 26);
    record->hasManyLogical = Bit(leaf1.edx, 28) && ((leaf1.ebx >> 16) & 0xFF) > 1 ? 1 : 0;
    record->hasSse3 = Bit(leaf1.ecx, 0);
    record->has64Bit = Bit(extendedEdx, 29);
}

int32_t GetCpuType() {
    if (IsCpuidAvailable() == 0 || IsResizeCpuVendor() == 0) {
        return 0;
    }
    CpuRecord record{};
    ReadCpuFeatures(&record);
    const uint32_t features = FeatureSet(record);
    for (const CpuTypeRow& row : kCpuTypeRows) {
        if (row.family == record.family && (features & row.required) == row.required &&
            (features & row.excluded) == 0) {
            return row.code;
        }
    }
    return 0;
}

}  // namespace resize
