// The opaque-pixel bit mask: every instruction set against a bit built pixel by pixel, over counts
// that end inside a byte and inside a sixteen-pixel block, alpha values 0, 1, 0x80 and 255 among
// noise, and a last byte whose unused bits stay 0.
#include "pixel/opaque_bits.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

TEST(OpaqueBits, EveryIsaMatchesEachPixelsAlpha) {
  const PixelKernelSelection saved = g_pixel_selection;
  std::vector<PixelIsa> isas = pixel_test::SimdIsas();
  isas.push_back(PixelIsa::kScalar);
  std::mt19937 rng(9);
  for (PixelIsa isa : isas) {
    g_pixel_selection.isa = isa;
    for (size_t count : {1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100, 1920}) {
      // One spare pixel of opaque noise after the run: it must not reach the bits.
      std::vector<uint8_t> pixels((count + 1) * 4);
      for (uint8_t& b : pixels) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng());
      const uint8_t special[] = {0, 1, 0x80, 255};
      for (size_t i = 0; i < count && i < 4; ++i) pixels[i * 4 + 3] = special[i];
      pixels[count * 4 + 3] = 255;
      std::vector<uint8_t> bits(200, 0xAA);
      BuildOpaqueBits(pixels.data(), count, &bits);
      ASSERT_EQ(bits.size(), (count + 7) / 8);
      for (size_t i = 0; i < bits.size() * 8; ++i) {
        const bool set = ((bits[i / 8] >> (i % 8)) & 1) != 0;
        ASSERT_EQ(set, i < count && pixels[i * 4 + 3] != 0)
            << PixelIsaName(isa) << " count " << count << " pixel " << i;
      }
    }
  }
  g_pixel_selection = saved;
}

}  // namespace
}  // namespace korvel
