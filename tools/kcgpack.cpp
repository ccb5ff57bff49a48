// kcgpack: converts a BMP, PNG, JPEG, GIF or KCG image into a KCG file, raw or as two zlib
// streams split where asked.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "image/bmp_decode.h"
#include "image/gif_decode.h"
#include "image/image_decode.h"
#include "image/jpeg_decode.h"
#include "image/kcg_decode.h"
#include "image/png_decode.h"
#include "lib/kcg_writer.h"
#include "lib/pack_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kcgpack [--raw] [--split BYTES] [--level 0-9] INPUT OUTPUT.kcg\n"
               "  INPUT is a BMP, PNG, JPEG, GIF (first frame) or KCG file.\n"
               "  --split: bytes of pixel data in the first zlib stream (default: half).\n");
  return 2;
}

korvel::DecodeStatus DecodeAny(std::span<const uint8_t> file, korvel::DecodedImage* image) {
  const korvel::ImageLimits& limits = korvel::kDefaultImageLimits;
  auto starts = [&](const char* magic, size_t n) {
    return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
  };
  if (starts("\x89PNG", 4)) return korvel::DecodePngBytes(file, limits, image);
  if (starts("BM", 2)) return korvel::DecodeBmpBytes(file, limits, image);
  if (starts("GIF", 3)) return korvel::DecodeGifBytes(file, limits, image);
  if (starts("\xFF\xD8", 2)) return korvel::DecodeJpegBytes(file, limits, image);
  if (starts("KCG", 4)) return korvel::DecodeKcgBytes(file, limits, nullptr, image);
  return korvel::DecodeFail(0, "unknown image format");
}

}  // namespace

int main(int argc, char** argv) {
  korvel::tools::KcgWriteOptions options;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    const std::string flag = argv[arg];
    if (flag == "--raw") {
      options.compress = false;
    } else if (flag == "--split" && arg + 1 < argc) {
      options.split = std::strtoll(argv[++arg], nullptr, 10);
    } else if (flag == "--level" && arg + 1 < argc) {
      options.level = std::atoi(argv[++arg]);
    } else {
      return Usage();
    }
  }
  if (argc - arg != 2) return Usage();
  std::vector<uint8_t> input;
  std::string error;
  if (!korvel::tools::ReadWholeFileBytes(argv[arg], &input, &error)) {
    std::fprintf(stderr, "kcgpack: %s\n", error.c_str());
    return 1;
  }
  korvel::DecodedImage image;
  const korvel::DecodeStatus status = DecodeAny(input, &image);
  if (status.result != 0) {
    std::fprintf(stderr, "kcgpack: cannot decode %s (error %d%s%s)\n", argv[arg],
                 static_cast<int>(status.error), status.message ? ", " : "",
                 status.message ? status.message : "");
    return 1;
  }
  const std::vector<uint8_t> file =
      korvel::tools::WriteKcg(image.pixels, image.width, image.height, options);
  korvel::FreeDecodedImage(&image);
  if (file.empty() || !korvel::tools::SaveKcg(argv[arg + 1], file)) {
    std::fprintf(stderr, "kcgpack: cannot write %s\n", argv[arg + 1]);
    return 1;
  }
  return 0;
}
