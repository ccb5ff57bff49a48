// The GIF decoder: gifbuild's files against the colours they were built from (interlaced twins,
// code sizes 2 to 8, control blocks, frames larger than the screen), the LZW decoder against a
// textbook encoder, and damaged files.
#include "image/gif_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gif_test_writer.h"
#include "image/gif_frames.h"
#include "image/gif_lzw.h"
#include "image_test_support.h"

namespace korvel {
namespace {

using test::ScopedImage;

DecodeStatus DecodeGif(const std::vector<uint8_t>& file, ScopedImage* image,
                       const ImageLimits& limits = kDefaultImageLimits) {
  return DecodeGifBytes(file, limits, image->get());
}

TEST(GifDecode, GifbuildFilesMatchTheColoursTheyWereBuiltFrom) {
  struct Case {
    const char* file;
    const char* reference;
    uint8_t alpha;
  };
  const Case cases[] = {
      {"gif_plain.gif", "ref_gif_twin.pam", 0},
      {"gif_interlaced.gif", "ref_gif_twin.pam", 0},
      {"gif_code2.gif", "ref_gif_code2.pam", 0},
      {"gif_code3.gif", "ref_gif_code3.pam", 0},
      {"gif_code4.gif", "ref_gif_code4.pam", 0},
      {"gif_code5.gif", "ref_gif_code5.pam", 0},
      {"gif_code6.gif", "ref_gif_code6.pam", 0},
      {"gif_code7.gif", "ref_gif_code7.pam", 0},
      {"gif_code8.gif", "ref_gif_code8.pam", 0},
      {"gif_control.gif", "ref_gif_control.pam", 0},
      {"gif_first_control.gif", "ref_gif_first_control.pam", 1},
      {"gif_oversize.gif", "ref_gif_oversize.pam", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ScopedImage image;
    ASSERT_EQ(DecodeGif(test::ReadImageFixture(c.file), &image).result, 0);
    EXPECT_TRUE(test::SamePixels(image.image, test::ReadExpectedImage(c.reference)));
    EXPECT_EQ(image->has_alpha, c.alpha);
    EXPECT_TRUE(test::SpareRowIsZero(image.image));
    ASSERT_NE(image->frames, nullptr);
  }
}

TEST(GifDecode, TheInterlacedTwinHoldsTheSameFrame) {
  ScopedImage plain;
  ScopedImage interlaced;
  ASSERT_EQ(DecodeGif(test::ReadImageFixture("gif_plain.gif"), &plain).result, 0);
  ASSERT_EQ(DecodeGif(test::ReadImageFixture("gif_interlaced.gif"), &interlaced).result, 0);
  const GifFrame& a = plain->frames->frames.at(0);
  const GifFrame& b = interlaced->frames->frames.at(0);
  EXPECT_EQ(a.flags & 0x40, 0);
  EXPECT_EQ(b.flags & 0x40, 0x40);
  EXPECT_EQ(a.indices, b.indices);
}

TEST(GifDecode, AControlBlockAppliesToTheNextFrameOnly) {
  ScopedImage image;
  ASSERT_EQ(DecodeGif(test::ReadImageFixture("gif_control.gif"), &image).result, 0);
  const std::vector<GifFrame>& frames = image->frames->frames;
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].has_transparency, 0);
  EXPECT_EQ(frames[1].has_transparency, 1);
  EXPECT_EQ(frames[1].transparent_index, 1);
  EXPECT_EQ(frames[1].delay, 7);
  EXPECT_EQ(frames[1].disposal, 2);
  EXPECT_EQ(frames[1].left, 1);
  EXPECT_EQ(frames[1].top, 1);
  EXPECT_EQ(frames[1].indices, (std::vector<uint8_t>{1, 2, 3, 1}));
  EXPECT_EQ(frames[2].has_transparency, 0);
  EXPECT_EQ(frames[2].delay, 0);
  EXPECT_EQ(frames[2].disposal, 0);
  EXPECT_EQ(frames[2].width, 3);
  EXPECT_EQ(frames[2].height, 1);
  EXPECT_EQ(image->frames->screen_width, 6);
  EXPECT_EQ(image->frames->screen_height, 4);
}

TEST(GifDecode, FramesAreClippedToTheScreen) {
  ScopedImage image;
  ASSERT_EQ(DecodeGif(test::ReadImageFixture("gif_oversize.gif"), &image).result, 0);
  const GifFrame& frame = image->frames->frames.at(0);
  EXPECT_EQ(frame.declared_width, 8);
  EXPECT_EQ(frame.declared_height, 6);
  EXPECT_EQ(frame.left, 2);
  EXPECT_EQ(frame.top, 1);
  EXPECT_EQ(frame.width, 4);
  EXPECT_EQ(frame.height, 3);
  EXPECT_EQ(frame.indices.size(), 12u);

  // Frames wholly outside the screen are kept with no area; the next frame still decodes.
  std::vector<uint8_t> file = test::GifHeader(4, 4, 2);
  test::AppendGifImage(&file, 10, 0, 3, 3, 0, 2, std::vector<uint8_t>(9, 1));
  test::AppendGifImage(&file, 0, 65535, 65535, 65535, 0, 2, std::vector<uint8_t>(9, 1));
  test::AppendGifImage(&file, 0, 0, 2, 1, 0, 2, {2, 3});
  file.push_back(0x3B);
  ScopedImage outside;
  ASSERT_EQ(DecodeGif(file, &outside).result, 0);
  const std::vector<GifFrame>& frames = outside->frames->frames;
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].width, 0);
  EXPECT_EQ(frames[1].height, 0);
  EXPECT_EQ(frames[2].indices, (std::vector<uint8_t>{2, 3}));
  // The first frame shows nothing: the whole screen is transparent.
  EXPECT_EQ(outside->has_alpha, 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(outside->pixels[i * 4 + 3], 0);
}

TEST(GifDecode, LzwMatchesATextbookEncoderAtEveryCodeSize) {
  std::mt19937 random(1234);
  for (int min_code_size = 2; min_code_size <= 11; ++min_code_size) {
    for (bool clear_when_full : {true, false}) {
      SCOPED_TRACE("min code size " + std::to_string(min_code_size));
      // Runs make long strings (and the code-equals-next-free case); noise fills the table.
      std::vector<uint8_t> indices(120 * 97);
      for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = (i / 500) % 2 ? static_cast<uint8_t>(i / 37)
                                   : static_cast<uint8_t>(random());
        if (min_code_size < 8) indices[i] &= static_cast<uint8_t>((1 << min_code_size) - 1);
      }
      const std::vector<uint8_t> codes =
          test::EncodeGifLzw(indices, min_code_size, clear_when_full);
      std::vector<uint8_t> blocks;
      test::AppendSubBlocks(&blocks, codes);
      GifSubBlockReader reader;
      StartGifSubBlocks(&reader, blocks.data(), blocks.size(), 0);
      GifLzwDecoder lzw;
      ASSERT_TRUE(StartGifLzw(&lzw, min_code_size));
      std::vector<uint8_t> out(indices.size() + 10, 0xEE);
      // Odd chunk sizes: strings continue across calls.
      size_t got = 0;
      for (size_t step = 1; got < out.size(); step = step * 3 % 1001 + 1) {
        const size_t n = ReadGifLzw(&lzw, &reader, out.data() + got,
                                    std::min(step, out.size() - got));
        got += n;
        if (n == 0) break;
      }
      ASSERT_EQ(got, indices.size());
      EXPECT_TRUE(std::equal(indices.begin(), indices.end(), out.begin()));
      EXPECT_TRUE(lzw.finished);
      EXPECT_TRUE(SkipGifSubBlocks(&reader));
      EXPECT_EQ(reader.position, blocks.size());
    }
  }
  GifLzwDecoder lzw;
  EXPECT_FALSE(StartGifLzw(&lzw, 0));
  EXPECT_FALSE(StartGifLzw(&lzw, 12));
  EXPECT_TRUE(StartGifLzw(&lzw, 11));
}

TEST(GifDecode, BadCodesAndCodeSizesEndTheFrameOnly) {
  // Frame 1: clear, 1, then code 7 while the next free code is 6; the codes behind it are not
  // used.
  auto pack = [](std::initializer_list<int> codes) {
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int count = 0;
    for (int code : codes) {
      bits |= static_cast<uint32_t>(code) << count;
      count += 3;
      while (count >= 8) {
        out.push_back(static_cast<uint8_t>(bits));
        bits >>= 8;
        count -= 8;
      }
    }
    if (count > 0) out.push_back(static_cast<uint8_t>(bits));
    return out;
  };
  std::vector<uint8_t> file = test::GifHeader(3, 2, 2);
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0, 2});
  test::AppendSubBlocks(&file, pack({4, 1, 7, 1, 1, 1}));
  // Frame 2: minimum code size 12 decodes nothing; the walk goes on behind its data.
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0, 12});
  test::AppendSubBlocks(&file, {0xFF, 0xFF, 0xFF});
  test::AppendGifImage(&file, 0, 0, 1, 1, 0, 2, {3});
  file.push_back(0x3B);
  ScopedImage image;
  ASSERT_EQ(DecodeGif(file, &image).result, 0);
  const std::vector<GifFrame>& frames = image->frames->frames;
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].indices, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(frames[1].indices, (std::vector<uint8_t>(6, 0)));
  EXPECT_EQ(frames[2].indices, (std::vector<uint8_t>{3}));
}

TEST(GifDecode, AtMost8192FramesAreKept) {
  std::vector<uint8_t> file = test::GifHeader(1, 1, 1);
  for (int i = 0; i < kGifMaxFrames + 3; ++i) {
    test::AppendGifImage(&file, 0, 0, 1, 1, 0, 2, {static_cast<uint8_t>(i % 2)});
  }
  file.push_back(0x3B);
  ScopedImage image;
  ASSERT_EQ(DecodeGif(file, &image).result, 0);
  EXPECT_EQ(image->frames->frames.size(), size_t{kGifMaxFrames});
  EXPECT_EQ(image->frames->frames.back().indices[0], 1);
}

TEST(GifDecode, TruncatedFilesKeepTheFramesReadSoFar) {
  std::vector<uint8_t> file = test::GifHeader(8, 8, 2);
  std::vector<uint8_t> indices(64);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 3 + 1);
  test::AppendGifImage(&file, 0, 0, 8, 8, 0, 2, indices);
  const size_t whole_frame = file.size();
  test::AppendGifImage(&file, 0, 0, 8, 8, 0, 2, indices);
  file.push_back(0x3B);
  // Every cut ends the walk: no image yet fails, otherwise the frames so far are kept.
  for (size_t cut = 0; cut < file.size(); ++cut) {
    std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut));
    ScopedImage image;
    const DecodeStatus status = DecodeGif(part, &image);
    const size_t header = 13 + 12 + 10;  // the first image's data starts here
    if (cut <= header) {
      EXPECT_EQ(status.result, -1) << cut;
      EXPECT_EQ(status.error, 0) << cut;
    } else {
      ASSERT_EQ(status.result, 0) << cut;
      EXPECT_EQ(image->frames->frames.size(), cut < whole_frame + 11 ? 1u : 2u) << cut;
    }
  }
  // The whole first frame decodes from a file cut right behind it.
  ScopedImage image;
  ASSERT_EQ(DecodeGif(std::vector<uint8_t>(file.begin(), file.begin() + static_cast<ptrdiff_t>(
                                                                           whole_frame)),
                      &image)
                .result,
            0);
  EXPECT_EQ(image->frames->frames[0].indices, indices);
}

TEST(GifDecode, RefusedFiles) {
  std::vector<uint8_t> no_image = test::GifHeader(4, 4, 2);
  test::AppendGraphicControl(&no_image, 1, 0, 0);
  no_image.push_back(0x3B);
  std::vector<uint8_t> zero_screen = test::GifHeader(0, 4, 2);
  test::AppendGifImage(&zero_screen, 0, 0, 1, 1, 0, 2, {1});
  std::vector<uint8_t> wide_screen = test::GifHeader(8193, 1, 2);
  test::AppendGifImage(&wide_screen, 0, 0, 1, 1, 0, 2, {1});
  const std::vector<uint8_t> not_gif = test::Patched(no_image, 0, 'J');
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int32_t error;
  };
  const Case cases[] = {
      {"no image", no_image, 0},
      {"empty", {}, 0},
      {"header only", std::vector<uint8_t>(no_image.begin(), no_image.begin() + 13), 0},
      {"global table cut", std::vector<uint8_t>(no_image.begin(), no_image.begin() + 20), 0},
      {"not a GIF", not_gif, 0},
      {"zero-width screen", zero_screen, kErrorImageTooLarge},
      {"screen over 8192", wide_screen, kErrorImageTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedImage image;
    const DecodeStatus status = DecodeGif(c.file, &image);
    EXPECT_EQ(status.result, -1);
    EXPECT_EQ(status.error, c.error);
    EXPECT_EQ(image->pixels, nullptr);
    EXPECT_EQ(image->frames, nullptr);
  }
}

TEST(GifDecode, AnUnknownBlockEndsTheWalk) {
  std::vector<uint8_t> file = test::GifHeader(2, 1, 2);
  test::AppendGifImage(&file, 0, 0, 2, 1, 0, 2, {1, 2});
  file.push_back(0x00);
  test::AppendGifImage(&file, 0, 0, 2, 1, 0, 2, {3, 3});
  file.push_back(0x3B);
  ScopedImage image;
  ASSERT_EQ(DecodeGif(file, &image).result, 0);
  EXPECT_EQ(image->frames->frames.size(), 1u);
}

}  // namespace
}  // namespace korvel
