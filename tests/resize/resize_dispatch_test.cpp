#include "resize/resize_dispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

#include "resize/cpu_detection.h"
#include "resize/frame_resize.h"
#include "resize/super_core.h"
#include "resize_test_support.h"

namespace resize {
namespace {

// Restores the dispatch index and the processor probe that a test changes.
class DispatchTest : public ::testing::Test {
protected:
    void TearDown() override {
        ResizeDispatchIndex.store(1);
        SetCpuProbe(HardwareCpuProbe());
    }
};

TEST_F(DispatchTest, RegistrationListHoldsTheOneDescriptor) {
    ASSERT_EQ(DispatchRegistrationHead(), &ResizeDispatchDescriptor);
    EXPECT_EQ(ResizeDispatchDescriptor.next, nullptr);
    EXPECT_STREQ(ResizeDispatchDescriptor.kind, "i");
    EXPECT_STREQ(ResizeDispatchDescriptor.name, "FrameResize_8u_C3R");
    EXPECT_EQ(ResizeDispatchDescriptor.table, ResizeDispatchTable.data());
}

TEST_F(DispatchTest, TableHoldsTheFourBodiesBetweenEmptySlots) {
    EXPECT_EQ(ResizeDispatchTable[0], nullptr);
    EXPECT_EQ(ResizeDispatchTable[1], &ResizeEntryBody<ResizeBuild::V1>);
    EXPECT_EQ(ResizeDispatchTable[2], &ResizeEntryBody<ResizeBuild::V2>);
    EXPECT_EQ(ResizeDispatchTable[3], &ResizeEntryBody<ResizeBuild::V3>);
    EXPECT_EQ(ResizeDispatchTable[4], &ResizeEntryBody<ResizeBuild::V4>);
    EXPECT_EQ(ResizeDispatchTable[5], nullptr);
    EXPECT_EQ(ResizeDispatchIndex.load(), 1);
}

struct SelectCase {
    int32_t cpuType;
    int32_t status;
    int32_t slot;  // the index afterwards, starting from 1
};

class SelectResizeVariant : public DispatchTest,
                            public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectResizeVariant, SetsTheSlotOfTheCode) {
    EXPECT_EQ(SelectResizeVariantForCpu(GetParam().cpuType), GetParam().status);
    EXPECT_EQ(ResizeDispatchIndex.load(), GetParam().slot);
}

INSTANTIATE_TEST_SUITE_P(Codes, SelectResizeVariant,
                         ::testing::Values(SelectCase{0, 0, 1}, SelectCase{4, 0, 1},
                                           SelectCase{5, 0, 2}, SelectCase{16, 0, 2},
                                           SelectCase{17, 0, 2}, SelectCase{6, 0, 3},
                                           SelectCase{7, 0, 3}, SelectCase{9, 0, 3},
                                           SelectCase{8, 0, 4}, SelectCase{32, 0, 4},
                                           SelectCase{-1, 0, 0},
                                           SelectCase{10, kResizeUnknownCpuType, 1},
                                           SelectCase{33, kResizeUnknownCpuType, 1},
                                           SelectCase{-2, kResizeUnknownCpuType, 1}));

// A made-up processor: CPUID leaves answered from a map, the ID flag as configured.
struct FakeCpu {
    bool hasCpuid = true;
    std::map<uint32_t, CpuidRegisters> leaves;
};
FakeCpu g_fake;

CpuProbe FakeProbe(const FakeCpu& cpu) {
    g_fake = cpu;
    return {[]() -> int32_t { return g_fake.hasCpuid ? 1 : 0; },
            [](uint32_t leaf) {
                const auto it = g_fake.leaves.find(leaf);
                return it == g_fake.leaves.end() ? CpuidRegisters{} : it->second;
            }};
}

CpuidRegisters Vendor(const char* name) {
    CpuidRegisters r{};
    std::memcpy(&r.ebx, name, 4);
    std::memcpy(&r.edx, name + 4, 4);
    std::memcpy(&r.ecx, name + 8, 4);
    return r;
}

// Twelve characters like the accepted identification, but not it.
constexpr const char* kOtherVendor = "QuietHarbour";

constexpr uint32_t kMmxBit = 1u << 23;
constexpr uint32_t kSseBit = 1u << 25;
constexpr uint32_t kSse2Bit = 1u << 26;
constexpr uint32_t kHyperThreadingBit = 1u << 28;

struct ProcessorDescription {
    uint32_t family;
    uint32_t edx;
    bool sse3 = false;
    uint32_t logical = 1;
    bool x64 = false;
    bool extendedLeaf = true;
};

FakeCpu MakeCpu(const ProcessorDescription& p, const char* vendor = "AuthenticAMD") {
    FakeCpu cpu;
    cpu.leaves[0] = Vendor(vendor);
    cpu.leaves[1] = {(p.family << 8) | (0x5 << 4) | 0x3, p.logical << 16, p.sse3 ? 1u : 0u, p.edx};
    cpu.leaves[2] = {0x665B5001, 0, 0, 0x007A7040};
    cpu.leaves[0x80000000u] = {p.extendedLeaf ? 0x80000008u : 0x80000000u, 0, 0, 0};
    cpu.leaves[0x80000001u] = {0, 0, 0, p.x64 ? 1u << 29 : 0u};
    return cpu;
}

struct CpuTypeCase {
    ProcessorDescription processor;
    int32_t code;
};

class CpuTypeTable : public DispatchTest, public ::testing::WithParamInterface<CpuTypeCase> {};

TEST_P(CpuTypeTable, DecidesByFamilyAndFeatures) {
    SetCpuProbe(FakeProbe(MakeCpu(GetParam().processor)));
    EXPECT_EQ(GetCpuType(), GetParam().code);
}

constexpr uint32_t kAll = kMmxBit | kSseBit | kSse2Bit;

INSTANTIATE_TEST_SUITE_P(
    Rows, CpuTypeTable,
    ::testing::Values(CpuTypeCase{{5, kMmxBit}, 2}, CpuTypeCase{{5, 0}, 1},
                      CpuTypeCase{{6, kAll}, 9}, CpuTypeCase{{6, kMmxBit | kSseBit}, 5},
                      CpuTypeCase{{6, kMmxBit}, 4}, CpuTypeCase{{6, 0}, 3}, CpuTypeCase{{7, 0}, 16},
                      CpuTypeCase{{15, kAll, true, 1, true}, 32},
                      CpuTypeCase{{15, kAll, true, 1, true, false}, 8},
                      CpuTypeCase{{15, kAll, true, 1, false}, 8},
                      CpuTypeCase{{15, kAll | kHyperThreadingBit, false, 2}, 7},
                      CpuTypeCase{{15, kAll | kHyperThreadingBit, false, 1}, 6},
                      CpuTypeCase{{15, kAll, false, 2}, 6},
                      CpuTypeCase{{15, kMmxBit | kSseBit}, 17}, CpuTypeCase{{4, kAll}, 0},
                      CpuTypeCase{{16, kAll}, 0}));

TEST_F(DispatchTest, WithoutCpuidOrForAnotherVendorTheTypeIsZero) {
    FakeCpu cpu = MakeCpu({6, kAll});
    cpu.hasCpuid = false;
    SetCpuProbe(FakeProbe(cpu));
    EXPECT_EQ(IsCpuidAvailable(), 0);
    EXPECT_EQ(GetCpuType(), 0);

    SetCpuProbe(FakeProbe(MakeCpu({6, kAll}, kOtherVendor)));
    EXPECT_EQ(IsResizeCpuVendor(), 0);
    EXPECT_EQ(GetCpuType(), 0);
}

TEST_F(DispatchTest, ReadCpuFeaturesFillsTheRecord) {
    SetCpuProbe(FakeProbe(MakeCpu({15, kAll | kHyperThreadingBit, true, 2, true})));
    CpuRecord record;
    std::memset(&record, 0xAB, sizeof record);
    ReadCpuFeatures(&record);
    EXPECT_EQ(record.family, 15u);
    EXPECT_EQ(record.stepping, 3u);
    EXPECT_EQ(record.model, 5u);
    EXPECT_EQ(record.reserved, 0u);
    EXPECT_EQ(record.featuresEdx, kAll | kHyperThreadingBit);
    EXPECT_EQ(record.leaf2Eax, 0x665B5001u);
    EXPECT_EQ(record.leaf2Edx, 0x007A7040u);
    EXPECT_EQ(record.hasMmx, 1u);
    EXPECT_EQ(record.notWritten, 0xABABABABu);
    EXPECT_EQ(record.hasSse, 1u);
    EXPECT_EQ(record.hasSse2, 1u);
    EXPECT_EQ(record.hasManyLogical, 1u);
    EXPECT_EQ(record.hasSse3, 1u);
    EXPECT_EQ(record.has64Bit, 1u);
}

TEST_F(DispatchTest, ExtendedFeaturesNeedTheExtendedLeaf) {
    SetCpuProbe(FakeProbe(MakeCpu({15, kAll, true, 1, true, false})));
    CpuRecord record{};
    ReadCpuFeatures(&record);
    EXPECT_EQ(record.has64Bit, 0u);
}

struct StaticInitCase {
    ProcessorDescription processor;
    const char* vendor;
    bool hasCpuid;
    int32_t status;
    int32_t slot;
};

class StaticInit : public DispatchTest, public ::testing::WithParamInterface<StaticInitCase> {};

TEST_P(StaticInit, SelectsTheBuildOfTheProcessor) {
    FakeCpu cpu = MakeCpu(GetParam().processor, GetParam().vendor);
    cpu.hasCpuid = GetParam().hasCpuid;
    SetCpuProbe(FakeProbe(cpu));
    ResizeDispatchIndex.store(3);
    EXPECT_EQ(ResizeStaticInit(), GetParam().status);
    EXPECT_EQ(ResizeDispatchIndex.load(), GetParam().slot);
}

INSTANTIATE_TEST_SUITE_P(
    Processors, StaticInit,
    ::testing::Values(StaticInitCase{{15, kAll, true, 1, true}, "AuthenticAMD", true, 0, 4},
                      StaticInitCase{{6, kAll}, "AuthenticAMD", true, 0, 3},
                      StaticInitCase{{7, 0}, "AuthenticAMD", true, 0, 2},
                      StaticInitCase{{5, kMmxBit}, "AuthenticAMD", true, 0, 1},
                      StaticInitCase{{4, kAll}, "AuthenticAMD", true, 0, 1},
                      StaticInitCase{{6, kAll}, kOtherVendor, true, kResizeNoCpuId, 1},
                      StaticInitCase{{6, kAll}, "AuthenticAMD", false, kResizeNoCpuId, 1}));

TEST_F(DispatchTest, TheRealProcessorHasCpuid) {
    EXPECT_EQ(IsCpuidAvailable(), 1);
}

// Records a supersampling call and answers with a status of its own.
struct SuperCall {
    int calls = 0;
    std::vector<double> numbers;
    const void* src = nullptr;
    void* dst = nullptr;
};
SuperCall g_super;

int32_t SuperStandIn(const void* pSrc, int32_t srcWidth, int32_t srcHeight, int32_t srcStep,
                     int32_t roiX, int32_t roiY, int32_t roiWidth, int32_t roiHeight, void* pDst,
                     int32_t dstStep, int32_t dstWidth, int32_t dstHeight, double xFactor,
                     double yFactor, int32_t pixelStride, int32_t channels, int32_t elementType,
                     int32_t planar, int32_t mode) {
    ++g_super.calls;
    g_super.src = pSrc;
    g_super.dst = pDst;
    g_super.numbers = {double(srcWidth),    double(srcHeight), double(srcStep),
                       double(roiX),        double(roiY),      double(roiWidth),
                       double(roiHeight),   double(dstStep),   double(dstWidth),
                       double(dstHeight),   xFactor,           yFactor,
                       double(pixelStride), double(channels),  double(elementType),
                       double(planar),      double(mode)};
    return 1234;
}

class EntryRouting : public DispatchTest {
protected:
    void SetUp() override {
        g_super = {};
        for (std::size_t i = 0; i < test::kAllBuilds.size(); ++i) {
            saved_[i] = ResizeBuildKitOf(test::kAllBuilds[i]).superCore;
            ResizeBuildKitOf(test::kAllBuilds[i]).superCore = &SuperStandIn;
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < test::kAllBuilds.size(); ++i) {
            ResizeBuildKitOf(test::kAllBuilds[i]).superCore = saved_[i];
        }
        DispatchTest::TearDown();
    }

    int32_t Call(double xFactor, double yFactor, int32_t interpolation) {
        return FrameResize_8u_C3R(src_.data(), {8, 6}, 24, {1, 2, 5, 4}, dst_.data(), 30, {10, 5},
                                  xFactor, yFactor, interpolation);
    }

    std::vector<uint8_t> src_ = std::vector<uint8_t>(8 * 6 * 3, 7);
    std::vector<uint8_t> dst_ = std::vector<uint8_t>(10 * 5 * 3, 0);
    std::array<ResizeSuperCoreFn, 4> saved_{};
};

TEST_F(EntryRouting, ShrinkingSupersamplingGoesToTheReduction) {
    EXPECT_EQ(Call(0.5, 1.0, kInterSuper), 1234);
    ASSERT_EQ(g_super.calls, 1);
    EXPECT_EQ(g_super.src, src_.data());
    EXPECT_EQ(g_super.dst, dst_.data());
    EXPECT_EQ(g_super.numbers,
              (std::vector<double>{8, 6, 24, 1, 2, 5, 4, 30, 10, 5, 0.5, 1.0, 3, 3, 0, 0, 1}));
}

TEST_F(EntryRouting, EveryBuildRoutesToItsOwnReduction) {
    for (int32_t slot = 1; slot <= 4; ++slot) {
        ResizeDispatchIndex.store(slot);
        EXPECT_EQ(Call(0.25, 0.5, kInterSuper), 1234);
    }
    EXPECT_EQ(g_super.calls, 4);
}

struct RoutingCase {
    double xFactor;
    double yFactor;
    int32_t interpolation;
    int32_t status;
};

class EntryToCore : public EntryRouting, public ::testing::WithParamInterface<RoutingCase> {};

TEST_P(EntryToCore, OtherCallsReachTheCore) {
    EXPECT_EQ(Call(GetParam().xFactor, GetParam().yFactor, GetParam().interpolation),
              GetParam().status);
    EXPECT_EQ(g_super.calls, 0);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryToCore,
    ::testing::Values(RoutingCase{1.5, 1.0, kInterSuper, kResizeInterpolationError},
                      RoutingCase{0.5, 1.5, kInterSuper, kResizeInterpolationError},
                      RoutingCase{kNaN, 0.5, kInterSuper, kResizeFactorError},
                      RoutingCase{0.5, kNaN, kInterSuper, kResizeFactorError},
                      RoutingCase{0.0, 0.5, kInterSuper, kResizeFactorError},
                      RoutingCase{0.5, -1.0, kInterSuper, kResizeFactorError},
                      RoutingCase{2.0, 2.0, 3, kResizeInterpolationError},
                      RoutingCase{2.0, 2.0, 0, kResizeInterpolationError},
                      RoutingCase{2.0, 1.25, kInterNearest, kResizeOk},
                      RoutingCase{2.0, 1.25, kInterLinear, kResizeOk},
                      RoutingCase{2.0, 1.25, kInterCubic, kResizeOk},
                      RoutingCase{2.0, 1.25, kInterLanczos, kResizeOk}));

// Every build's entry body reduces the three-channel picture through its own driver.
TEST_F(DispatchTest, SupersamplingReducesThePicture) {
    const std::vector<uint8_t> src = test::RandomImage(9 * 7 * 3, kElement8u, 8);
    std::vector<uint8_t> direct(4 * 3 * 3, 9);
    ASSERT_EQ(ResizeSuperCore(src.data(), 9, 7, 27, 1, 0, 8, 6, direct.data(), 12, 4, 3, 0.5, 0.5,
                              3, 3, kElement8u, 0, 1),
              kResizeOk);
    for (int32_t slot = 1; slot <= 4; ++slot) {
        ResizeDispatchIndex.store(slot);
        std::vector<uint8_t> viaEntry(4 * 3 * 3, 9);
        EXPECT_EQ(FrameResize_8u_C3R(src.data(), {9, 7}, 27, {1, 0, 8, 6}, viaEntry.data(), 12,
                                     {4, 3}, 0.5, 0.5, kInterSuper),
                  kResizeOk);
        EXPECT_EQ(viaEntry, direct) << "slot " << slot;
    }
}

class EntryEqualsBody : public DispatchTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(EntryEqualsBody, TheFirstBuildServesTheEntry) {
    const std::vector<uint8_t> src = test::RandomImage(9 * 7 * 3, kElement8u, 5);
    std::vector<uint8_t> viaEntry(20 * 13 * 3, 0);
    std::vector<uint8_t> viaBody(20 * 13 * 3, 0);
    ASSERT_EQ(FrameResize_8u_C3R(src.data(), {9, 7}, 27, {0, 0, 9, 7}, viaEntry.data(), 60,
                                 {20, 13}, 2.3, 1.9, GetParam()),
              kResizeOk);
    ASSERT_EQ(ResizeEntryBody<ResizeBuild::V1>(src.data(), {9, 7}, 27, {0, 0, 9, 7}, viaBody.data(),
                                               60, {20, 13}, 2.3, 1.9, GetParam()),
              kResizeOk);
    EXPECT_EQ(viaEntry, viaBody);
}

INSTANTIATE_TEST_SUITE_P(Interpolations, EntryEqualsBody,
                         ::testing::Values(kInterNearest, kInterLinear, kInterCubic,
                                           kInterLanczos));

TEST_F(DispatchTest, TheEmptySlotFallsBackToTheFirstBuild) {
    ASSERT_EQ(SelectResizeVariantForCpu(-1), kResizeOk);
    ASSERT_EQ(ResizeDispatchIndex.load(), 0);
    const std::vector<uint8_t> src = test::RandomImage(4 * 4 * 3, kElement8u, 9);
    std::vector<uint8_t> dst(8 * 8 * 3, 0);
    EXPECT_EQ(FrameResize_8u_C3R(src.data(), {4, 4}, 12, {0, 0, 4, 4}, dst.data(), 24, {8, 8}, 2.0,
                                 2.0, kInterNearest),
              kResizeOk);
    EXPECT_EQ(std::memcmp(dst.data(), src.data(), 3), 0);
}

}  // namespace
}  // namespace resize
