// The KCG decoder: files of the writer at every kind of split, one and two bands at once, and a
// malformed file for every check of the header and the streams.
#include "image/kcg_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "image/kcg_format.h"
#include "image/kcg_worker_pool.h"
#include "image_test_support.h"
#include "lib/kcg_writer.h"
#include "pixel/worker_pool.h"

namespace korvel {
namespace {

using test::ScopedImage;

int32_t InflateOnTwoThreads(const KcgStreams& streams) {
  bool second_ok = false;
  std::thread second([&] { second_ok = InflateKcgStream(streams, 1); });
  const bool first_ok = InflateKcgStream(streams, 0);
  second.join();
  return !first_ok ? 1 : !second_ok ? 2 : 0;
}

int32_t InflateBackwards(const KcgStreams& streams) {
  const bool second_ok = InflateKcgStream(streams, 1);
  const bool first_ok = InflateKcgStream(streams, 0);
  return !first_ok ? 1 : !second_ok ? 2 : 0;
}

// The worker pool with one and with two workers.
int32_t InflateOnPoolOfOne(const KcgStreams& streams) {
  StopWorkerThreads(g_worker_pool);
  EXPECT_TRUE(StartWorkerThreads(g_worker_pool, 1));
  const int32_t result = InflateKcgStreamsOnWorkerPool(streams);
  StopWorkerThreads(g_worker_pool);
  return result;
}
int32_t InflateOnPoolOfTwo(const KcgStreams& streams) {
  StopWorkerThreads(g_worker_pool);
  EXPECT_TRUE(StartWorkerThreads(g_worker_pool, 2));
  EXPECT_EQ(LayerKcgInflater(), InflateKcgStreamsOnWorkerPool);
  const int32_t result = InflateKcgStreamsOnWorkerPool(streams);
  StopWorkerThreads(g_worker_pool);
  return result;
}

constexpr KcgInflater kRunners[] = {nullptr,          InflateKcgStreamsInTurn, InflateOnTwoThreads,
                                    InflateBackwards, InflateOnPoolOfOne,      InflateOnPoolOfTwo};

std::vector<uint8_t> Pattern(int32_t width, int32_t height) {
  std::vector<uint8_t> pixels(size_t(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / 5);
  return pixels;
}

void PutU32(std::vector<uint8_t>* file, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*file)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t GetU32(const std::vector<uint8_t>& file, size_t offset) {
  return LoadU32(file.data() + offset);
}

TEST(KcgDecode, FixturesMadeByKcgpackMatchTheirSource) {
  const test::ExpectedImage expected = test::ReadExpectedImage("src_rgba.pam");
  for (const char* name : {"kcg_raw.kcg", "kcg_packed.kcg", "kcg_split0.kcg",
                           "kcg_split_all.kcg"}) {
    SCOPED_TRACE(name);
    ScopedImage image;
    const DecodeStatus status =
        DecodeKcgBytes(test::ReadImageFixture(name), kDefaultImageLimits, nullptr, image.get());
    ASSERT_EQ(status.result, 0);
    EXPECT_FALSE(status.magic_mismatch);
    EXPECT_EQ(image->has_alpha, 1);
    EXPECT_TRUE(test::SamePixels(image.image, expected));
    EXPECT_TRUE(test::SpareRowIsZero(image.image));
  }
}

TEST(KcgDecode, EverySplitDecodesAlikeWithEveryRunner) {
  const int32_t width = 13;
  const int32_t height = 7;
  const std::vector<uint8_t> pixels = Pattern(width, height);
  const int64_t all = int64_t(pixels.size());
  for (const int64_t split : {int64_t{0}, int64_t{1}, int64_t{7}, all / 2, all - 1, all}) {
    tools::KcgWriteOptions options;
    options.split = split;
    const std::vector<uint8_t> file = tools::WriteKcg(pixels.data(), width, height, options);
    ASSERT_EQ(GetU32(file, kKcgUnpacked1Offset), uint32_t(split));
    for (KcgInflater runner : kRunners) {
      SCOPED_TRACE("split " + std::to_string(split));
      ScopedImage image;
      ASSERT_EQ(DecodeKcgBytes(file, kDefaultImageLimits, runner, image.get()).result, 0);
      ASSERT_EQ(image->width, width);
      ASSERT_EQ(image->height, height);
      EXPECT_EQ(std::memcmp(image->pixels, pixels.data(), pixels.size()), 0);
    }
  }
  // A raw file is one copy, whatever the runner.
  tools::KcgWriteOptions raw;
  raw.compress = false;
  const std::vector<uint8_t> file = tools::WriteKcg(pixels.data(), width, height, raw);
  EXPECT_EQ(file.size(), kKcgHeaderSize + pixels.size());
  for (KcgInflater runner : kRunners) {
    ScopedImage image;
    ASSERT_EQ(DecodeKcgBytes(file, kDefaultImageLimits, runner, image.get()).result, 0);
    EXPECT_EQ(std::memcmp(image->pixels, pixels.data(), pixels.size()), 0);
  }
}

TEST(KcgDecode, SidesAreOneTo8192) {
  // 8192 x 1 is accepted; 8193, 0 and negative sides are refused.
  const std::vector<uint8_t> row = Pattern(8192, 1);
  tools::KcgWriteOptions raw;
  raw.compress = false;
  const std::vector<uint8_t> wide = tools::WriteKcg(row.data(), 8192, 1, raw);
  ScopedImage image;
  ASSERT_EQ(DecodeKcgBytes(wide, kDefaultImageLimits, nullptr, image.get()).result, 0);
  EXPECT_EQ(image->width, 8192);

  const std::vector<uint8_t> pixels = Pattern(2, 2);
  const std::vector<uint8_t> base = tools::WriteKcg(pixels.data(), 2, 2, raw);
  const std::pair<uint32_t, uint32_t> refused[] = {
      {8193, 2}, {2, 8193}, {0, 2}, {2, 0}, {0xFFFFFFFFu, 2}, {2, 0x80000000u}};
  for (const auto& [width, height] : refused) {
    std::vector<uint8_t> file = base;
    PutU32(&file, kKcgWidthOffset, width);
    PutU32(&file, kKcgHeightOffset, height);
    ScopedImage refused_image;
    const DecodeStatus status =
        DecodeKcgBytes(file, kDefaultImageLimits, nullptr, refused_image.get());
    EXPECT_EQ(status.result, -1) << width << "x" << height;
    EXPECT_EQ(status.error, kErrorImageTooLarge) << width << "x" << height;
    EXPECT_EQ(refused_image->pixels, nullptr);
  }
}

TEST(KcgDecode, AWrongMagicStillDecodesAndAsksForTheCheckMessage) {
  const std::vector<uint8_t> pixels = Pattern(3, 2);
  std::vector<uint8_t> file = tools::WriteKcg(pixels.data(), 3, 2, {});
  file[0] = 'X';
  ScopedImage image;
  const DecodeStatus status = DecodeKcgBytes(file, kDefaultImageLimits, nullptr, image.get());
  EXPECT_EQ(status.result, 0);
  EXPECT_TRUE(status.magic_mismatch);
  EXPECT_EQ(std::memcmp(image->pixels, pixels.data(), pixels.size()), 0);
}

struct MalformedCase {
  const char* what;
  std::function<void(std::vector<uint8_t>*)> damage;
  const char* message;
};

TEST(KcgDecode, MalformedFilesAreRefusedAlikeByEveryRunner) {
  const std::vector<uint8_t> pixels = Pattern(9, 5);
  const std::vector<uint8_t> packed = tools::WriteKcg(pixels.data(), 9, 5, {});
  const size_t stream2 = kKcgHeaderSize + GetU32(packed, kKcgPacked1Offset);
  const MalformedCase cases[] = {
      {"header cut short", [](auto* f) { f->resize(kKcgHeaderSize - 1); }, kKcgCheckError},
      {"empty file", [](auto* f) { f->clear(); }, kKcgCheckError},
      {"stream 2 beyond the file", [](auto* f) { f->pop_back(); }, kKcgCheckError},
      {"packed sizes wrap around",
       [](auto* f) {
         PutU32(f, kKcgPacked1Offset, 0xFFFFFFF0u);
         PutU32(f, kKcgPacked2Offset, 0x20u);
       },
       kKcgCheckError},
      {"unpacked sizes short of the pixels",
       [](auto* f) { PutU32(f, kKcgUnpacked2Offset, GetU32(*f, kKcgUnpacked2Offset) - 4); },
       kKcgCheckError},
      {"unpacked sizes beyond the pixels",
       [](auto* f) { PutU32(f, kKcgUnpacked1Offset, GetU32(*f, kKcgUnpacked1Offset) + 1); },
       kKcgCheckError},
      {"unknown compression", [](auto* f) { PutU32(f, kKcgCompressionOffset, 2); },
       kKcgCheckError},
      {"split moved: stream 1 inflates short",
       [](auto* f) {
         PutU32(f, kKcgUnpacked1Offset, GetU32(*f, kKcgUnpacked1Offset) + 4);
         PutU32(f, kKcgUnpacked2Offset, GetU32(*f, kKcgUnpacked2Offset) - 4);
       },
       kKcgStreamError1},
      {"split moved: stream 1 inflates long",
       [](auto* f) {
         PutU32(f, kKcgUnpacked1Offset, GetU32(*f, kKcgUnpacked1Offset) - 4);
         PutU32(f, kKcgUnpacked2Offset, GetU32(*f, kKcgUnpacked2Offset) + 4);
       },
       kKcgStreamError1},
      {"stream 1 damaged", [](auto* f) { (*f)[kKcgHeaderSize + 5] ^= 0x55; }, kKcgStreamError1},
      {"stream 1 cut short", [](auto* f) { PutU32(f, kKcgPacked1Offset, 4); }, kKcgStreamError1},
      {"stream 2 damaged", [=](auto* f) { (*f)[stream2 + 4] ^= 0x55; }, kKcgStreamError2},
      {"stream 2 checksum", [](auto* f) { f->back() ^= 1; }, kKcgStreamError2},
  };
  for (const MalformedCase& c : cases) {
    std::vector<uint8_t> file = packed;
    c.damage(&file);
    for (KcgInflater runner : kRunners) {
      SCOPED_TRACE(c.what);
      ScopedImage image;
      const DecodeStatus status = DecodeKcgBytes(file, kDefaultImageLimits, runner, image.get());
      EXPECT_EQ(status.result, -1);
      EXPECT_EQ(status.error, 0);
      ASSERT_NE(status.message, nullptr);
      EXPECT_STREQ(status.message, c.message);
      EXPECT_EQ(image->pixels, nullptr);
    }
  }
  // A raw file must hold all its pixels.
  tools::KcgWriteOptions raw;
  raw.compress = false;
  std::vector<uint8_t> file = tools::WriteKcg(pixels.data(), 9, 5, raw);
  file.pop_back();
  ScopedImage image;
  const DecodeStatus status = DecodeKcgBytes(file, kDefaultImageLimits, nullptr, image.get());
  EXPECT_EQ(status.result, -1);
  EXPECT_STREQ(status.message, kKcgCheckError);
}

}  // namespace
}  // namespace korvel
