// Multi-frame image files: the byte transform pinned by golden bytes, the writer's layout, the
// reader's checks (malformed tables, damage at every byte) and the frame decoder against djpeg.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/image_test_support.h"
#include "image/multi_frame_decode.h"
#include "image/multi_frame_file.h"
#include "image/multi_frame_format.h"
#include "lib/multi_frame_writer.h"
#include "param_names.h"
#include "support/image/multi_frame_decoder_probe.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::MultiFrameDecoderCreated;
using tools::MultiFrameHeader;
using tools::MultiFrameSource;
using tools::WriteMultiFrameFile;

void PutU32(Bytes* file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*file)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(MultiFrameTransform, GoldenBytes) {
  Bytes zeros(16, 0);
  TransformMultiFramePart(zeros.data(), zeros.size());
  const Bytes expected = {0x98, 0x3B, 0x56, 0xF1, 0x0C, 0xAF, 0xCA, 0x65,
                          0x80, 0x23, 0xBE, 0xD9, 0x74, 0x97, 0x32, 0x4D};
  EXPECT_EQ(zeros, expected);
  // Further along, the position's higher bits take part.
  EXPECT_EQ(MultiFrameKeyByte(255), 0x7D);
  EXPECT_EQ(MultiFrameKeyByte(256), 0x99);
  EXPECT_EQ(MultiFrameKeyByte(65536), 0x98);
  EXPECT_EQ(MultiFrameKeyByte(131072), 0x99);
  // Applying it twice gives the bytes back.
  Bytes part(70000);
  for (size_t i = 0; i < part.size(); ++i) part[i] = static_cast<uint8_t>(i * 7);
  Bytes copy = part;
  TransformMultiFramePart(copy.data(), copy.size());
  EXPECT_NE(copy, part);
  TransformMultiFramePart(copy.data(), copy.size());
  EXPECT_EQ(copy, part);
}

TEST(MultiFrameWriter, LayoutAndScrambledParts) {
  const std::vector<MultiFrameSource> frames = {{{1, 2, 3}, {4, 5}}, {{6}, {}}};
  const Bytes file = WriteMultiFrameFile(frames, {1, 10, 20, 30});
  const Bytes expected = {
      'K', 'M', 'F', 'R', 'A', 'M', 'E', '1',  //
      2, 0, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0,
      56, 0, 0, 0, 61, 0, 0, 0,  // offsets
      3, 0, 0, 0, 1, 0, 0, 0,    // colour sizes
      2, 0, 0, 0, 0, 0, 0, 0,    // alpha sizes
      1 ^ 0x98, 2 ^ 0x3B, 3 ^ 0x56, 4 ^ 0x98, 5 ^ 0x3B, 6 ^ 0x98};
  EXPECT_EQ(file, expected);

  Bytes image = file;
  MultiFrameView view;
  ASSERT_EQ(OpenMultiFrameFile(image.data(), image.size(), &view, nullptr), 0);
  EXPECT_EQ(view.frame_count, 2u);
  EXPECT_EQ(view.alpha_flag, 1u);
  EXPECT_EQ(view.value_a, 10u);
  EXPECT_EQ(view.value_b, 20u);
  EXPECT_EQ(view.value_c, 30u);
  const MultiFramePart first = MultiFrameFramePart(view, 0);
  EXPECT_EQ(Bytes(first.colour, first.colour + first.colour_size), (Bytes{1, 2, 3}));
  ASSERT_NE(first.alpha, nullptr);
  EXPECT_EQ(Bytes(first.alpha, first.alpha + first.alpha_size), (Bytes{4, 5}));
  const MultiFramePart second = MultiFrameFramePart(view, 1);
  EXPECT_EQ(Bytes(second.colour, second.colour + second.colour_size), (Bytes{6}));
  EXPECT_EQ(second.alpha, nullptr);  // alpha size 0: opaque
}

// A damaged header or table refuses the file and leaves every byte as it was.
struct BadTable {
  const char* name;
  size_t at;       // where a u32 is written
  uint32_t value;
  size_t cut = 0;  // bytes cut from the end first
};
void PrintTo(const BadTable& c, std::ostream* os) { *os << c.name; }

class MultiFrameBadTables : public ::testing::TestWithParam<BadTable> {};

TEST_P(MultiFrameBadTables, AreRefusedWithNothingChanged) {
  const BadTable& c = GetParam();
  Bytes file = WriteMultiFrameFile({{{1, 2, 3, 4}, {5, 6}}, {{7, 8}, {9}}}, {1, 0, 0, 0});
  file.resize(file.size() - c.cut);
  if (c.at + 4 <= file.size()) PutU32(&file, c.at, c.value);
  // An exactly sized block, so ASan sees a read past the end.
  std::unique_ptr<uint8_t[]> block(new uint8_t[file.size()]);
  std::memcpy(block.get(), file.data(), file.size());
  MultiFrameView view;
  const char* why = nullptr;
  EXPECT_EQ(OpenMultiFrameFile(block.get(), file.size(), &view, &why), -1);
  EXPECT_NE(why, nullptr);
  EXPECT_EQ(std::memcmp(block.get(), file.data(), file.size()), 0);
}

// Two frames: tables at 32..55, frame 0 at 56 (4 + 2 bytes), frame 1 at 62 (2 + 1), 65 bytes.
INSTANTIATE_TEST_SUITE_P(
    Cases, MultiFrameBadTables,
    ::testing::Values(BadTable{"header cut short", 0, 0, 40},
                      BadTable{"count beyond the file", 8, 3},
                      BadTable{"count that overflows 32 bits", 8, 0xFFFFFFFFu},
                      BadTable{"offset inside the tables", 32, 40},
                      BadTable{"offset inside the header", 32, 4},
                      BadTable{"offset past the end", 36, 65},
                      BadTable{"offset near 4 GiB", 36, 0xFFFFFFF0u},
                      BadTable{"colour part past the end", 44, 4},
                      BadTable{"colour size near 4 GiB", 40, 0xFFFFFFFFu},
                      BadTable{"alpha part past the end", 52, 2},
                      BadTable{"frames overlap", 36, 60},
                      BadTable{"file cut inside a part", 0, 0, 1}),
    test::CaseName());

TEST(MultiFrameFile, NoFramesAndTablesOnlyAreAccepted) {
  Bytes file = WriteMultiFrameFile({}, {});
  ASSERT_EQ(file.size(), 32u);
  MultiFrameView view;
  EXPECT_EQ(OpenMultiFrameFile(file.data(), file.size(), &view, nullptr), 0);
  EXPECT_EQ(view.frame_count, 0u);
}

TEST(MultiFrameFile, AlphaFlagZeroIgnoresAlphaSizes) {
  // With the flag 0 the alpha table is not read: a wild alpha size is harmless.
  Bytes file = WriteMultiFrameFile({{{1, 2}, {}}}, {0, 0, 0, 0});
  PutU32(&file, 40, 0xFFFFFFFFu);
  MultiFrameView view;
  ASSERT_EQ(OpenMultiFrameFile(file.data(), file.size(), &view, nullptr), 0);
  EXPECT_EQ(MultiFrameFramePart(view, 0).alpha, nullptr);
}

TEST(MultiFrameFile, DamageAtEveryByteNeverReadsOutside) {
  const Bytes colour = test::ReadImageFixture("jpeg_baseline.jpg");
  const Bytes alpha = test::ReadImageFixture("jpeg_grey.jpg");
  const Bytes file = WriteMultiFrameFile({{colour, alpha}, {colour, {}}}, {1, 0, 0, 0});
  for (size_t at = 0; at < file.size(); at += (at < 64 ? 1 : 37)) {
    const Bytes damaged = test::Flipped(file, at, 0xA5);
    std::unique_ptr<uint8_t[]> block(new uint8_t[damaged.size()]);
    std::memcpy(block.get(), damaged.data(), damaged.size());
    MultiFrameView view;
    if (OpenMultiFrameFile(block.get(), damaged.size(), &view, nullptr) != 0) continue;
    for (uint32_t i = 0; i < view.frame_count && i < 4; ++i) {
      DecodedImage image;
      DecodeMultiFrame(MultiFrameFramePart(view, i), kDefaultImageLimits, &image, nullptr,
                       nullptr);
      FreeDecodedImage(&image);
    }
  }
  ShutdownMultiFrameDecoder();
}

class MultiFrameDecode : public ::testing::Test {
 protected:
  void TearDown() override { ShutdownMultiFrameDecoder(); }
  // Frame `index` of a copy of the file, decoded.
  static DecodeStatus Decode(Bytes file, uint32_t index, DecodedImage* out) {
    MultiFrameView view;
    EXPECT_EQ(OpenMultiFrameFile(file.data(), file.size(), &view, nullptr), 0);
    int32_t w = 0, h = 0;
    return DecodeMultiFrame(MultiFrameFramePart(view, index), kDefaultImageLimits, out, &w, &h);
  }
};

TEST_F(MultiFrameDecode, ColourAndAlphaMatchDjpeg) {
  const Bytes colour = test::ReadImageFixture("jpeg_baseline.jpg");
  const Bytes alpha = test::ReadImageFixture("jpeg_grey.jpg");
  Bytes file = WriteMultiFrameFile({{colour, alpha}, {colour, {}}}, {1, 0, 0, 0});
  const test::ExpectedImage rgb = test::ReadExpectedImage("ref_jpeg_baseline.ppm");
  const test::ExpectedImage grey = test::ReadExpectedImage("ref_jpeg_grey.pgm");
  test::ExpectedImage with_alpha = rgb;
  for (size_t i = 0; i + 3 < with_alpha.bgra.size(); i += 4) with_alpha.bgra[i + 3] = grey.bgra[i];

  test::ScopedImage first;
  ASSERT_EQ(Decode(file, 0, first.get()).result, 0);
  EXPECT_TRUE(test::SamePixels(first.image, with_alpha));
  EXPECT_TRUE(test::SpareRowIsZero(first.image));
  test::ScopedImage second;  // alpha size 0 in a file with the flag: opaque
  ASSERT_EQ(Decode(file, 1, second.get()).result, 0);
  EXPECT_TRUE(test::SamePixels(second.image, test::Opaque(rgb)));
  EXPECT_TRUE(MultiFrameDecoderCreated());
}

TEST_F(MultiFrameDecode, BrokenPartsFailAndTheDecoderRecovers) {
  const Bytes colour = test::ReadImageFixture("jpeg_baseline.jpg");
  const Bytes grey = test::ReadImageFixture("jpeg_grey.jpg");
  // An alpha image of another size: encode a 2x2 grey JPEG.
  const uint8_t tiny[16] = {};
  const Bytes small_alpha = tools::EncodeJpeg(tiny, 2, 2, true);
  ASSERT_FALSE(small_alpha.empty());
  Bytes truncated(colour.begin(), colour.begin() + static_cast<long>(colour.size() / 2));
  Bytes file = WriteMultiFrameFile(
      {{colour, small_alpha}, {truncated, grey}, {Bytes(40, 0x55), {}}, {colour, grey}},
      {1, 0, 0, 0});
  for (uint32_t i = 0; i < 3; ++i) {
    test::ScopedImage image;
    image->width = 7;  // a failed decode leaves the output alone
    const DecodeStatus status = Decode(file, i, image.get());
    EXPECT_EQ(status.result, -1) << "frame " << i;
    EXPECT_EQ(status.error, 0) << "frame " << i;
    EXPECT_EQ(image->width, 7);
    EXPECT_EQ(image->pixels, nullptr);
  }
  test::ScopedImage good;
  ASSERT_EQ(Decode(file, 3, good.get()).result, 0);
  EXPECT_EQ(good->width, 37);
  EXPECT_EQ(good->height, 29);
}

TEST_F(MultiFrameDecode, SidesOver8192AreReportedWithTheirSize) {
  // A grey JPEG header claims 9000 x 16: SOF0 with height 16, width 9000.
  Bytes jpeg = tools::EncodeJpeg(std::vector<uint8_t>(16 * 16 * 4, 0x80).data(), 16, 16, false);
  ASSERT_FALSE(jpeg.empty());
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 7] = 9000 >> 8;
      jpeg[i + 8] = 9000 & 0xFF;
      break;
    }
  }
  Bytes file = WriteMultiFrameFile({{jpeg, {}}}, {});
  MultiFrameView view;
  ASSERT_EQ(OpenMultiFrameFile(file.data(), file.size(), &view, nullptr), 0);
  DecodedImage image;
  int32_t w = 0, h = 0;
  const DecodeStatus status =
      DecodeMultiFrame(MultiFrameFramePart(view, 0), kDefaultImageLimits, &image, &w, &h);
  EXPECT_EQ(status.error, kErrorImageTooLarge);
  EXPECT_EQ(w, 9000);
  EXPECT_EQ(h, 16);
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(MultiFrameDecode, ShutdownFreesTheDecompressorAndAllowsANewOne) {
  Bytes file = WriteMultiFrameFile({{test::ReadImageFixture("jpeg_grey.jpg"), {}}}, {});
  test::ScopedImage a;
  ASSERT_EQ(Decode(file, 0, a.get()).result, 0);
  ShutdownMultiFrameDecoder();
  EXPECT_FALSE(MultiFrameDecoderCreated());
  Bytes again = WriteMultiFrameFile({{test::ReadImageFixture("jpeg_grey.jpg"), {}}}, {});
  test::ScopedImage b;
  ASSERT_EQ(Decode(again, 0, b.get()).result, 0);
  EXPECT_EQ(std::memcmp(a->pixels, b->pixels, size_t(37) * 29 * 4), 0);
}

}  // namespace
}  // namespace korvel
