#pragma once

// Processor identification for choosing a resize build. The program itself never runs it (build
// V1 serves every call); it stays so that a caller can pick the build for its processor.

#include <cstdint>

namespace resize {

struct CpuidRegisters {
    uint32_t eax;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
};

// Where the detection reads the processor from; tests install a made-up processor.
struct CpuProbe {
    // 1 when bit 21 of the flags register can be inverted, which is how a processor says that
    // it has the CPUID instruction.
    int32_t (*flagsIdBitToggles)();
    CpuidRegisters (*cpuid)(uint32_t leaf);
};

CpuProbe HardwareCpuProbe();
void SetCpuProbe(const CpuProbe& probe);

// Fourteen words, in this order, filled by ReadCpuFeatures.
struct CpuRecord {
    uint32_t family;  // leaf 1 EAX bits 8..11
    uint32_t stepping;
    uint32_t model;
    uint32_t reserved;
    uint32_t featuresEdx;  // leaf 1 EDX as read
    uint32_t leaf2Eax;
    uint32_t leaf2Edx;
    uint32_t hasMmx;
    uint32_t notWritten;
    uint32_t hasSse;
    uint32_t hasSse2;
    uint32_t hasManyLogical;  // hyper-threading flag set and more than one logical processor
    uint32_t hasSse3;
    uint32_t has64Bit;  // 0 when the extended leaf 0x80000001 does not exist
};

int32_t IsCpuidAvailable();

// 1 when the processor identifies itself as "AuthenticAMD".
int32_t IsResizeCpuVendor();

void ReadCpuFeatures(CpuRecord* record);

// The processor-type code: 0 without CPUID or for another vendor, else decided by family and
// features (1 .. 9, 16, 17, 32).
int32_t GetCpuType();

}  // namespace resize
