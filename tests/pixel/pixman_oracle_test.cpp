// The blend kernels against pixman, an independent implementation of the same operators, on the
// colour channels of opaque destinations (pixman's operators do not blend alpha the way the
// engine's kernels do, so alpha is left to the formula tests).
#include <gtest/gtest.h>

#include <pixman.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pixel/blend_kernels.h"
#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"

namespace korvel {
namespace {

constexpr int kPixels = 21846;  // three (s, d) pairs per pixel cover all 65536

// Rows where every (s, d) pair appears once in some colour channel; source alpha `a`,
// destination alpha 255.
void PairRows(int a, std::vector<uint32_t>& src, std::vector<uint32_t>& dst) {
  src.assign(kPixels, 0);
  dst.assign(kPixels, 0);
  for (int p = 0; p < kPixels; ++p) {
    uint32_t s = static_cast<uint32_t>(a) << 24, d = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      const int pair = (p * 3 + c) % 65536;
      s |= static_cast<uint32_t>(pair >> 8) << (8 * c);
      d |= static_cast<uint32_t>(pair & 255) << (8 * c);
    }
    src[static_cast<size_t>(p)] = s;
    dst[static_cast<size_t>(p)] = d;
  }
}

// pixman's result of `op` with the source premultiplied (as a8r8g8b8 requires).
std::vector<uint32_t> Pixman(pixman_op_t op, const std::vector<uint32_t>& src,
                             std::vector<uint32_t> dst) {
  std::vector<uint32_t> pre = src;
  for (uint32_t& px : pre) {
    const uint32_t a = px >> 24;
    uint32_t out = a << 24;
    for (int c = 0; c < 3; ++c) {
      const uint32_t v = (px >> (8 * c)) & 255;
      const uint32_t t = v * a + 128;
      out |= ((t + (t >> 8)) >> 8) << (8 * c);  // v·a / 255, rounded
    }
    px = out;
  }
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kPixels, 1, pre.data(),
                                               kPixels * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kPixels, 1, dst.data(),
                                               kPixels * 4);
  pixman_image_composite32(op, s, nullptr, d, 0, 0, 0, 0, 0, 0, kPixels, 1);
  pixman_image_unref(s);
  pixman_image_unref(d);
  return dst;
}

// Largest difference on the colour channels.
int MaxColourDiff(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int c = 0; c < 3; ++c) {
      const int x = static_cast<int>((a[i] >> (8 * c)) & 255);
      const int y = static_cast<int>((b[i] >> (8 * c)) & 255);
      worst = std::max(worst, std::abs(x - y));
    }
  }
  return worst;
}

std::vector<uint32_t> Engine(BlendFamily family, int mode, const std::vector<uint32_t>& src,
                             std::vector<uint32_t> dst) {
  LookupBlendKernel(family, mode, 256).span(reinterpret_cast<uint8_t*>(dst.data()),
                                            reinterpret_cast<const uint8_t*>(src.data()), 256,
                                            dst.size() * 4);
  return dst;
}

struct OpCase {
  const char* name;
  pixman_op_t op;
  int mode;
  int tolerance;  // 0: exact; otherwise the measured largest difference
};

// Opaque source over opaque destination through table A at full opacity: every (s, d) pair.
TEST(PixmanOracle, OpaqueModesAgreeWithPixman) {
  const OpCase cases[] = {
      {"add", PIXMAN_OP_ADD, kBlendAdd, 0},
      {"lighten", PIXMAN_OP_LIGHTEN, kBlendLighten, 0},
      {"darken", PIXMAN_OP_DARKEN, kBlendDarken, 0},
      {"difference", PIXMAN_OP_DIFFERENCE, kBlendDifference, 0},
      {"multiply", PIXMAN_OP_MULTIPLY, kBlendMultiply, 1},
      {"screen", PIXMAN_OP_SCREEN, kBlendScreen, 1},
      // The engine's upper half is 2d − 257 + s·(512 − 2d)/255 where a screen with 2d − 255
      // would give 2d − 255 + s·(510 − 2d)/255: up to 2 lower, 3 with the floors.
      {"overlay", PIXMAN_OP_OVERLAY, kBlendOverlay, 3},
  };
  std::vector<uint32_t> src, dst;
  PairRows(255, src, dst);
  for (KernelSet set : {KernelSet::kMmx, KernelSet::kSse}) {
    for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
      InstallPixelKernels(set, isa);
      for (const OpCase& c : cases) {
        const std::vector<uint32_t> want = Pixman(c.op, src, dst);
        const std::vector<uint32_t> got = Engine(BlendFamily::kOpaque, c.mode, src, dst);
        EXPECT_LE(MaxColourDiff(want, got), c.tolerance) << c.name << " " << PixelIsaName(isa);
      }
    }
  }
  SelectPixelKernels();
}

// A translucent source over an opaque destination: the engine's source-alpha blend (slot 5,
// both sets) against pixman's OVER, for every (s, d) pair and every source alpha.
TEST(PixmanOracle, SourceAlphaBlendAgreesWithOver) {
  std::vector<uint32_t> src, dst;
  int worst[2] = {0, 0};
  for (KernelSet set : {KernelSet::kMmx, KernelSet::kSse}) {
    InstallPixelKernels(set, PixelIsa::kAvx2);
    for (int a = 0; a < 256; a += 1) {
      PairRows(a, src, dst);
      const std::vector<uint32_t> want = Pixman(PIXMAN_OP_OVER, src, dst);
      const std::vector<uint32_t> got = Engine(BlendFamily::kAlpha, kBlendNormal, src, dst);
      worst[static_cast<int>(set)] = std::max(worst[static_cast<int>(set)],
                                              MaxColourDiff(want, got));
    }
  }
  SelectPixelKernels();
  // The MMX set rounds once; the SSE set floors the two products separately.
  EXPECT_LE(worst[0], 1) << "MMX set";
  EXPECT_LE(worst[1], 2) << "SSE set";
}

}  // namespace
}  // namespace korvel
