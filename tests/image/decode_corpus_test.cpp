// Every decoder over a corpus of damaged files: each fixture cut at many lengths and corrupted
// in seeded ways, plus the fuzzers' seed and regression files. Nothing may crash or read out of
// bounds (the suite runs under ASan and UBSan); a decode either succeeds with a sound image or
// fails with no pixels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "image/bmp_decode.h"
#include "image/gif_decode.h"
#include "image/gif_frames.h"
#include "image/image_decode.h"
#include "image/jpeg_decode.h"
#include "image/kcg_decode.h"
#include "image/png_decode.h"
#include "image/psd_reject.h"
#include "image_test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ScopedImage;

using Decoder = DecodeStatus (*)(std::span<const uint8_t>, const ImageLimits&, DecodedImage*);

DecodeStatus DecodeKcgInTurn(std::span<const uint8_t> file, const ImageLimits& limits,
                             DecodedImage* out) {
  return DecodeKcgBytes(file, limits, nullptr, out);
}
DecodeStatus RejectPsd(std::span<const uint8_t> file, const ImageLimits&, DecodedImage*) {
  return RejectPsdBytes(file);
}

struct Format {
  const char* extension;
  const char* fuzz_folder;
  Decoder decode;
};
constexpr Format kFormats[] = {
    {".bmp", "decode_bmp", DecodeBmpBytes},  {".png", "decode_png", DecodePngBytes},
    {".jpg", "decode_jpeg", DecodeJpegBytes}, {".gif", "decode_gif", DecodeGifBytes},
    {".kcg", "decode_kcg", DecodeKcgInTurn}, {".psd", "decode_psd", RejectPsd},
};

// Small limits keep every allocation small even when a corruption enlarges a side.
constexpr ImageLimits kCorpusLimits{kMaxImageSide, 1u << 20};

void CheckOne(Decoder decode, const std::vector<uint8_t>& file, const std::string& what) {
  ScopedImage image;
  const DecodeStatus status = decode(file, kCorpusLimits, image.get());
  if (status.result == 0) {
    ASSERT_NE(image->pixels, nullptr) << what;
    ASSERT_GE(image->width, 1) << what;
    ASSERT_GE(image->height, 1) << what;
    ASSERT_LE(uint64_t(image->width) * uint64_t(image->height), kCorpusLimits.max_pixels) << what;
    ASSERT_TRUE(test::SpareRowIsZero(image.image)) << what;
    if (image->frames != nullptr) {
      for (const GifFrame& frame : image->frames->frames) {
        ASSERT_LE(frame.left + frame.width, image->width) << what;
        ASSERT_LE(frame.top + frame.height, image->height) << what;
        ASSERT_EQ(frame.indices.size(), size_t(frame.width) * size_t(frame.height)) << what;
      }
    }
  } else {
    ASSERT_EQ(status.result, -1) << what;
    ASSERT_EQ(image->pixels, nullptr) << what;
    ASSERT_EQ(image->frames, nullptr) << what;
  }
}

std::vector<uint8_t> ReadPath(const fs::path& path) {
  return test::ReadImageFixture(fs::relative(path, fs::path(KORVEL_FIXTURES_DIR) / "images"));
}

TEST(DecodeCorpus, TruncatedAndCorruptedFixturesNeverCrash) {
  std::mt19937 random(20240611);
  int files = 0;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(KORVEL_FIXTURES_DIR) / "images")) {
    for (const Format& format : kFormats) {
      if (entry.path().extension() != format.extension) continue;
      ++files;
      const std::vector<uint8_t> file = ReadPath(entry.path());
      const std::string name = entry.path().filename().string();
      CheckOne(format.decode, file, name);
      // Cuts: every length of small files, 300 lengths of larger ones.
      const size_t step = file.size() / 300 + 1;
      for (size_t cut = 0; cut < file.size(); cut += step) {
        CheckOne(format.decode, std::vector<uint8_t>(file.begin(), file.begin() + cut),
                 name + " cut at " + std::to_string(cut));
      }
      // Corruptions: one to four bytes set to random or boundary values.
      static constexpr uint8_t kBoundary[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
      for (int round = 0; round < 300 && !file.empty(); ++round) {
        std::vector<uint8_t> damaged = file;
        const int count = 1 + round % 4;
        for (int i = 0; i < count; ++i) {
          const size_t at = random() % damaged.size();
          damaged[at] = round % 2 ? static_cast<uint8_t>(random())
                                  : kBoundary[random() % sizeof kBoundary];
        }
        CheckOne(format.decode, damaged, name + " corruption " + std::to_string(round));
      }
    }
  }
  EXPECT_GT(files, 50);
}

TEST(DecodeCorpus, FuzzSeedsAndRegressionsDecodeSafely) {
  const fs::path corpus = fs::path(KORVEL_SOURCE_DIR) / "tests" / "fuzz" / "corpus";
  for (const Format& format : kFormats) {
    const fs::path folder = corpus / format.fuzz_folder;
    if (!fs::is_directory(folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
      CheckOne(format.decode, file, entry.path().string());
    }
  }
}

}  // namespace
}  // namespace korvel
