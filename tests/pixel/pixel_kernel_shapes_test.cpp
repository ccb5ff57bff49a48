// Pixel-row kernels on every short row shape: lengths 0..40, destination offsets 0..7 and source
// offsets 0..3, inside canary bytes; every SIMD routine must equal the scalar reference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

using pixel_test::Label;
using pixel_test::SimdIsas;
using pixel_test::TableFor;

// Runs one slot; `aux` is the mask row (slot 7) or the first row (slot 8); `len` counts bytes,
// except for slot 21 where it counts output pixels.
using ShapeRun = void (*)(const PixelKernelTable& t, uint8_t* dst, const uint8_t* src,
                          const uint8_t* aux, size_t len);

struct ShapeCase {
  const char* name;
  ShapeRun run;
};

MaskWeightTable MakeWeights(int level, int ramp, int opacity) {
  MaskWeightTable w;
  BuildMaskWeightTable(w, level, ramp, opacity);
  return w;
}

const MaskWeightTable kHardEdge = MakeWeights(100, 256, 256);
const MaskWeightTable kSoftEdge = MakeWeights(140, 5, 230);

const ShapeCase kCases[] = {
    {"fill_pixels", [](const PixelKernelTable& t, uint8_t* d, const uint8_t*, const uint8_t*, size_t n) { t.fill_pixels(d, n, 0x80402010u); }},
    {"zero", [](const PixelKernelTable& t, uint8_t* d, const uint8_t*, const uint8_t*, size_t n) { t.zero_row(d, n); }},
    {"fill_bytes", [](const PixelKernelTable& t, uint8_t* d, const uint8_t*, const uint8_t*, size_t n) { t.fill_bytes(d, n, 0x3C); }},
    {"copy", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.copy_row(d, s, n); }},
    {"opacity128", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_opacity(d, s, 128, n); }},
    {"opacity77", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_opacity(d, s, 77, n); }},
    {"opacity200", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_opacity(d, s, 200, n); }},
    {"src_alpha", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_src_alpha(d, s, n); }},
    {"src_alpha_opacity", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_src_alpha_opacity(d, s, 140, n); }},
    {"mask_hard", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t* m, size_t n) { t.blend_mask_table(d, s, m, kHardEdge, 100, 256, n); }},
    {"mask_soft", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t* m, size_t n) { t.blend_mask_table(d, s, m, kSoftEdge, 140, 5, n); }},
    {"lerp128", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t* f, size_t n) { t.lerp_two_rows(d, f, s, 128, n); }},
    {"lerp33", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t* f, size_t n) { t.lerp_two_rows(d, f, s, 33, n); }},
    {"add", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.add_saturate(d, s, n); }},
    {"add_opacity", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.add_saturate_opacity(d, s, 99, n); }},
    {"add_src_alpha", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.add_src_alpha(d, s, n); }},
    {"add_src_alpha_opacity", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.add_src_alpha_opacity(d, s, 200, n); }},
    {"subtract", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.subtract_saturate(d, s, n); }},
    {"multiply", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.multiply(d, s, n); }},
    {"screen", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.screen(d, s, n); }},
    {"screen_opacity", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.screen_opacity(d, s, 150, n); }},
    {"lighten", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.lighten(d, s, n); }},
    {"darken", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.darken(d, s, n); }},
    {"linear_burn", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.linear_burn(d, s, n); }},
    {"linear_light", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.linear_light(d, s, n); }},
    {"halve", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.halve_rows(d, s, n * 2 + 3, n); }},
    {"over_translucent", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.screen_src_alpha(d, s, n); }},
    {"over_translucent_opacity", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.screen_src_alpha_opacity(d, s, 128, n); }},
    {"alpha_table_opacity", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_alpha_table_opacity(d, s, 100, n); }},
    {"onto_translucent", [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, const uint8_t*, size_t n) { t.blend_onto_translucent(d, s, 200, 150, n); }},
};

constexpr size_t kCanary = 32;
constexpr size_t kMaxLen = 40;
constexpr size_t kDstSize = kCanary + 8 + kMaxLen * 4 + kCanary;  // slot 21 writes len pixels
constexpr size_t kSrcSize = kCanary + 4 + 4 * (kMaxLen * 4 + 3) + kCanary;

TEST(PixelKernelShapes, EveryLengthAndOffsetMatchesReferenceInsideCanaries) {
  const std::vector<PixelIsa> isas = SimdIsas();
  // Over-aligned storage so that offsets 0..7 reach every position modulo 8.
  alignas(64) uint8_t dst_init[kDstSize];
  alignas(64) uint8_t src_init[kSrcSize];
  alignas(64) uint8_t aux_init[kSrcSize];
  alignas(64) uint8_t want[kDstSize];
  alignas(64) uint8_t got[kDstSize];
  alignas(64) uint8_t src[kSrcSize];
  alignas(64) uint8_t aux[kSrcSize];
  std::vector<uint8_t> r(kDstSize + 2 * kSrcSize);
  pixel_test::FillRandom(r, 77);
  std::memcpy(dst_init, r.data(), kDstSize);
  std::memcpy(src_init, r.data() + kDstSize, kSrcSize);
  std::memcpy(aux_init, r.data() + kDstSize + kSrcSize, kSrcSize);
  // Alpha bytes at the extremes show up more often than random bytes give them.
  for (size_t i = 3; i < kSrcSize; i += 16) src_init[i] = 255;
  for (size_t i = 7; i < kSrcSize; i += 16) src_init[i] = 0;
  for (size_t i = 11; i < kDstSize; i += 32) dst_init[i] = 0;

  for (const ShapeCase& c : kCases) {
    const bool halve = std::strcmp(c.name, "halve") == 0;
    for (KernelSet set : {KernelSet::kMmx, KernelSet::kSse}) {
      const PixelKernelTable ref = TableFor(set, PixelIsa::kScalar);
      for (PixelIsa isa : isas) {
        const PixelKernelTable sut = TableFor(set, isa);
        for (size_t len = 0; len <= kMaxLen; ++len) {
          const size_t written = halve ? len * 4 : len;
          for (size_t doff = 0; doff < 8; ++doff) {
            for (size_t soff = 0; soff < 4; ++soff) {
              std::memcpy(want, dst_init, kDstSize);
              std::memcpy(got, dst_init, kDstSize);
              std::memcpy(src, src_init, kSrcSize);
              std::memcpy(aux, aux_init, kSrcSize);
              c.run(ref, want + kCanary + doff, src + kCanary + soff, aux + kCanary + soff, len);
              c.run(sut, got + kCanary + doff, src + kCanary + soff, aux + kCanary + soff, len);
              const std::string where = std::string(c.name) + " " + Label(set, isa) + " len " +
                                        std::to_string(len) + " dst+" + std::to_string(doff) +
                                        " src+" + std::to_string(soff);
              ASSERT_EQ(std::memcmp(want, got, kDstSize), 0) << where;
              ASSERT_EQ(std::memcmp(got, dst_init, kCanary + doff), 0) << where << " (front)";
              const size_t end = kCanary + doff + written;
              ASSERT_EQ(std::memcmp(got + end, dst_init + end, kDstSize - end), 0)
                  << where << " (back)";
              ASSERT_EQ(std::memcmp(src, src_init, kSrcSize), 0) << where << " (source)";
              ASSERT_EQ(std::memcmp(aux, aux_init, kSrcSize), 0) << where << " (mask)";
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace korvel
