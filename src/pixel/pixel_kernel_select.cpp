// Chooses and installs the pixel-kernel set at start-up.
#include <cstdlib>
#include <cstring>
#include <string>

#include "pixel/pixel_kernels_impl.h"
#include "platform/environment.h"

namespace korvel {

namespace {

constexpr PixelKernelTable ScalarTable(KernelSet set) {
  const bool sse = set == KernelSet::kSse;
  return PixelKernelTable{
      scalar::ZeroRow,
      scalar::FillBytes,
      scalar::FillPixels,
      scalar::CopyRow,
      sse ? scalar::BlendRowOpacity<KernelSet::kSse> : scalar::BlendRowOpacity<KernelSet::kMmx>,
      sse ? scalar::BlendRowSrcAlpha<KernelSet::kSse> : scalar::BlendRowSrcAlpha<KernelSet::kMmx>,
      sse ? scalar::BlendRowSrcAlphaOpacity<KernelSet::kSse>
          : scalar::BlendRowSrcAlphaOpacity<KernelSet::kMmx>,
      sse ? scalar::BlendRowMaskTable<KernelSet::kSse> : scalar::BlendRowMaskTable<KernelSet::kMmx>,
      sse ? scalar::LerpTwoRows<KernelSet::kSse> : scalar::LerpTwoRows<KernelSet::kMmx>,
      scalar::AddRowSaturate,
      scalar::AddRowSaturateOpacity,
      sse ? scalar::AddRowSrcAlpha<KernelSet::kSse> : scalar::AddRowSrcAlpha<KernelSet::kMmx>,
      sse ? scalar::AddRowSrcAlphaOpacity<KernelSet::kSse>
          : scalar::AddRowSrcAlphaOpacity<KernelSet::kMmx>,
      scalar::SubtractRowSaturate,
      scalar::MultiplyRow,
      scalar::ScreenRow,
      scalar::ScreenRowOpacity,
      scalar::LightenRow,
      scalar::DarkenRow,
      scalar::LinearBurnRow,
      scalar::LinearLightRow,
      sse ? scalar::HalveRows<KernelSet::kSse> : scalar::HalveRows<KernelSet::kMmx>,
      scalar::ScreenRowSrcAlpha,
      scalar::ScreenRowSrcAlphaOpacity,
      scalar::BlendRowAlphaTableOpacity,
      scalar::BlendRowOntoTranslucent,
  };
}

bool IsX86() {
#if defined(__x86_64__) || defined(__i386__)
  return true;
#else
  return false;
#endif
}

}  // namespace

constinit PixelKernelTable g_pixel_kernels = ScalarTable(KernelSet::kMmx);
PixelKernelSelection g_pixel_selection{};

void scalar::FillTable(PixelKernelTable& table, KernelSet set) { table = ScalarTable(set); }

uint8_t ChoosePixelKernelLevel(const CpuFeatures& cpu, uint32_t sse_allowed,
                               uint32_t sse2_allowed) {
  uint8_t level = 1;
  if (cpu.sse && sse_allowed) level = 2;
  if (cpu.sse2 && sse2_allowed) level = 3;
  return level;
}

bool PixelIsaSupported(PixelIsa isa) {
  switch (isa) {
    case PixelIsa::kScalar:
      return true;
#if defined(__x86_64__) || defined(__i386__)
    case PixelIsa::kSse2:
      return __builtin_cpu_supports("sse2");
    case PixelIsa::kAvx2:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

PixelIsa DetectPixelIsa() {
  PixelIsa best = PixelIsa::kScalar;
  if (PixelIsaSupported(PixelIsa::kAvx2)) {
    best = PixelIsa::kAvx2;
  } else if (PixelIsaSupported(PixelIsa::kSse2)) {
    best = PixelIsa::kSse2;
  }
  const std::string forced = platform::GetEnvironment("KORVEL_PIXEL_ISA");
  PixelIsa want = best;
  if (forced == "scalar") {
    want = PixelIsa::kScalar;
  } else if (forced == "sse2") {
    want = PixelIsa::kSse2;
  } else if (forced == "avx2") {
    want = PixelIsa::kAvx2;
  }
  return want < best ? want : best;
}

void FillPixelKernelTable(PixelKernelTable& table, KernelSet set, PixelIsa isa) {
  if (!PixelIsaSupported(isa)) isa = PixelIsa::kScalar;
  switch (isa) {
#if defined(__x86_64__) || defined(__i386__)
    case PixelIsa::kSse2:
      sse2::FillTable(table, set);
      return;
    case PixelIsa::kAvx2:
      avx2::FillTable(table, set);
      return;
#endif
    default:
      scalar::FillTable(table, set);
      return;
  }
}

void InstallPixelKernels(KernelSet set, PixelIsa isa) {
  if (!PixelIsaSupported(isa)) isa = PixelIsa::kScalar;
  FillPixelKernelTable(g_pixel_kernels, set, isa);
  g_pixel_selection.set = set;
  g_pixel_selection.level = set == KernelSet::kSse ? 3 : 1;
  g_pixel_selection.isa = isa;
}

PixelKernelSelection SelectPixelKernels(uint32_t sse_allowed, uint32_t sse2_allowed) {
  CpuFeatures cpu = DetectCpuFeatures();
  if (!IsX86()) {
    // Other processors take the set that SSE selects, still subject to the two switches.
    cpu.sse = 1;
    cpu.sse2 = 1;
  }
  PixelKernelSelection sel;
  sel.level = ChoosePixelKernelLevel(cpu, sse_allowed, sse2_allowed);
  sel.set = KernelSetForLevel(sel.level);
  sel.isa = DetectPixelIsa();
  FillPixelKernelTable(g_pixel_kernels, sel.set, sel.isa);
  g_pixel_selection = sel;
  return sel;
}

const char* PixelIsaName(PixelIsa isa) {
  switch (isa) {
    case PixelIsa::kSse2:
      return "sse2";
    case PixelIsa::kAvx2:
      return "avx2";
    default:
      return "scalar";
  }
}

}  // namespace korvel
