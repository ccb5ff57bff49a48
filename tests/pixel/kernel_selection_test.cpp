// Kernel-set selection: processor flags and settings switches to level and set, forced ISAs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "pixel/cpu_features.h"
#include "pixel/pixel_kernels.h"

namespace korvel {
namespace {

TEST(KernelSelection, LevelAndSetFromProcessorFlagsAndSettings) {
  struct Case {
    uint8_t sse, sse2;
    uint32_t sse_allowed, sse2_allowed;
    uint8_t level;
    KernelSet set;
  };
  const Case cases[] = {
      {0, 0, 1, 1, 1, KernelSet::kMmx},  // no SSE at all
      {1, 0, 1, 1, 2, KernelSet::kSse},  // SSE only
      {1, 1, 1, 1, 3, KernelSet::kSse},  // both, both allowed (default)
      {1, 1, 0, 0, 1, KernelSet::kMmx},  // both turned off in the settings file
      {1, 1, 1, 0, 2, KernelSet::kSse},  // SSE2 off
      {1, 1, 0, 1, 3, KernelSet::kSse},  // SSE off, SSE2 still allowed
      {1, 0, 0, 1, 1, KernelSet::kMmx},  // SSE off and no SSE2
      {0, 1, 1, 0, 1, KernelSet::kMmx},
  };
  for (const Case& c : cases) {
    CpuFeatures cpu;
    cpu.sse = c.sse;
    cpu.sse2 = c.sse2;
    const uint8_t level = ChoosePixelKernelLevel(cpu, c.sse_allowed, c.sse2_allowed);
    EXPECT_EQ(level, c.level) << int(c.sse) << int(c.sse2) << c.sse_allowed << c.sse2_allowed;
    EXPECT_EQ(KernelSetForLevel(level), c.set);
  }
}

TEST(KernelSelection, SettingsOffGiveTheMmxSetOnThisProcessor) {
  const PixelKernelSelection off = SelectPixelKernels(0, 0);
  EXPECT_EQ(off.level, 1);
  EXPECT_EQ(off.set, KernelSet::kMmx);
  const PixelKernelSelection on = SelectPixelKernels();
  EXPECT_EQ(on.set, KernelSet::kSse);
  EXPECT_EQ(g_pixel_selection.set, KernelSet::kSse);
}

TEST(KernelSelection, CpuFeaturesAgreeWithTheCompiler) {
  const CpuFeatures f = DetectCpuFeatures();
#if defined(__x86_64__)
  EXPECT_TRUE(IsCpuidSupported());
  EXPECT_EQ(f.mmx, 1);
  EXPECT_EQ(f.sse, 1);
  EXPECT_EQ(f.sse2, 1);
  EXPECT_EQ(f.sse3, __builtin_cpu_supports("sse3") ? 1 : 0);
  EXPECT_EQ(f.ssse3, __builtin_cpu_supports("ssse3") ? 1 : 0);
  EXPECT_EQ(f.sse41, __builtin_cpu_supports("sse4.1") ? 1 : 0);
  EXPECT_EQ(f.sse42, __builtin_cpu_supports("sse4.2") ? 1 : 0);
#else
  EXPECT_EQ(f.sse, 0);
#endif
}

TEST(KernelSelection, EnvironmentForcesTheInstructionSet) {
  const char* old = std::getenv("KORVEL_PIXEL_ISA");
  const std::string saved = old ? old : "";
  ::setenv("KORVEL_PIXEL_ISA", "scalar", 1);
  EXPECT_EQ(SelectPixelKernels().isa, PixelIsa::kScalar);
  ::setenv("KORVEL_PIXEL_ISA", "sse2", 1);
  EXPECT_EQ(SelectPixelKernels().isa,
            PixelIsaSupported(PixelIsa::kSse2) ? PixelIsa::kSse2 : PixelIsa::kScalar);
  ::setenv("KORVEL_PIXEL_ISA", "avx2", 1);
  const PixelIsa avx = SelectPixelKernels().isa;
  EXPECT_TRUE(avx == PixelIsa::kAvx2 || !PixelIsaSupported(PixelIsa::kAvx2));
  ::setenv("KORVEL_PIXEL_ISA", "bogus", 1);
  EXPECT_EQ(SelectPixelKernels().isa, avx);  // unknown names keep the best one
  if (old) {
    ::setenv("KORVEL_PIXEL_ISA", saved.c_str(), 1);
  } else {
    ::unsetenv("KORVEL_PIXEL_ISA");
  }
  SelectPixelKernels();
}

TEST(KernelSelection, EveryEntryIsFilledForEverySetAndInstructionSet) {
  for (KernelSet set : {KernelSet::kMmx, KernelSet::kSse}) {
    for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
      PixelKernelTable t{};
      FillPixelKernelTable(t, set, isa);
      const auto* p = reinterpret_cast<const void* const*>(&t);
      for (size_t i = 0; i < sizeof t / sizeof(void*); ++i) EXPECT_NE(p[i], nullptr) << i;
    }
  }
  static_assert(sizeof(PixelKernelTable) == kPixelKernelSlots * sizeof(void*));
  // The installed table can zero a row before anything selected it.
  uint8_t row[5] = {1, 2, 3, 4, 5};
  g_pixel_kernels.zero_row(row, 4);
  EXPECT_EQ(row[3], 0);
  EXPECT_EQ(row[4], 5);
}

}  // namespace
}  // namespace korvel
