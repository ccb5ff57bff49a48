// Runs ImageMagick's `convert` on an RGB image held in memory (through binary PPM files in a
// temporary folder) for the reference comparisons of the pixel tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace korvel::pixel_test {

// RGB bytes, row after row.
struct RgbImage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

inline bool HaveConvert() { return std::system("convert -version >/dev/null 2>&1") == 0; }

inline bool WritePpm(const std::filesystem::path& path, const RgbImage& img) {
  std::ofstream f(path, std::ios::binary);
  f << "P6\n" << img.width << " " << img.height << "\n255\n";
  f.write(reinterpret_cast<const char*>(img.rgb.data()), static_cast<std::streamsize>(img.rgb.size()));
  return static_cast<bool>(f);
}

inline bool ReadPpm(const std::filesystem::path& path, RgbImage* img) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  f >> magic >> img->width >> img->height >> maxval;
  f.get();
  if (!f || magic != "P6" || maxval != 255) return false;
  img->rgb.resize(static_cast<size_t>(img->width) * static_cast<size_t>(img->height) * 3);
  f.read(reinterpret_cast<char*>(img->rgb.data()), static_cast<std::streamsize>(img->rgb.size()));
  return static_cast<bool>(f);
}

// convert in.ppm <operations> -depth 8 out.ppm; false when the tool fails.
inline bool RunConvert(const RgbImage& in, const std::string& operations, RgbImage* out) {
  // Named by the process: ctest runs each case in a process of its own, many at once.
  static int counter = 0;
  const auto dir = std::filesystem::temp_directory_path() /
                   ("korvel-im-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(dir);
  const auto src = dir / "in.ppm", dst = dir / "out.ppm";
  bool ok = WritePpm(src, in);
  if (ok) {
    const std::string cmd = "convert '" + src.string() + "' " + operations + " -depth 8 '" +
                            dst.string() + "' 2>/dev/null";
    ok = std::system(cmd.c_str()) == 0 && ReadPpm(dst, out);
  }
  std::filesystem::remove_all(dir);
  return ok;
}

}  // namespace korvel::pixel_test
