// Shared set-up of the glyph and font tests: fontconfig limited to the IPA fonts, a bare layer
// node with its own pixels, and access to the current slot's canvas.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/named_tree.h"
#include "core/sjis_text.h"
#include "engine_fixture.h"
#include "layer/layer_data.h"
#include "test_support.h"
#include "text/font_registry.h"
#include "text/glyph_cache.h"
#include "text/glyph_tables.h"

namespace korvel::test {

// The folders of the IPA fonts: Debian's, else wherever fontconfig finds ipag.ttf.
inline std::vector<std::string> IpaFontFolders() {
  std::vector<std::string> folders;
  for (const char* f : {"/usr/share/fonts/opentype/ipafont-gothic",
                        "/usr/share/fonts/opentype/ipafont-mincho"}) {
    if (std::filesystem::exists(f)) folders.push_back(f);
  }
  if (folders.size() < 2) {
    folders.clear();
    for (const char* family : {"IPAGothic", "IPAMincho"}) {
      std::string file = CaptureCommand(std::string("fc-list -f '%{file}\\n' ") + family + " | head -n 1");
      while (!file.empty() && (file.back() == '\n' || file.back() == '\r')) file.pop_back();
      if (!file.empty()) folders.push_back(std::filesystem::path(file).parent_path().string());
    }
  }
  return folders;
}

// A fonts.conf listing only the IPA folders, plus a second folder holding another copy of
// IPAGothic (one family in two files), set as FONTCONFIG_FILE before fontconfig starts.
inline const std::string& UseIpaFontsOnly() {
  static TempDir dir;
  static std::string gothic_file;
  if (!gothic_file.empty()) return gothic_file;
  std::string conf = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n";
  for (const std::string& folder : IpaFontFolders()) {
    conf += "  <dir>" + folder + "</dir>\n";
    if (std::filesystem::exists(folder + "/ipag.ttf")) gothic_file = folder + "/ipag.ttf";
  }
  std::filesystem::create_directories(dir.File("copy"));
  if (!gothic_file.empty()) {
    std::filesystem::create_symlink(gothic_file, dir.File("copy/ipag-copy.ttf"));
  }
  conf += "  <dir>" + dir.File("copy") + "</dir>\n  <cachedir>" + dir.File("cache") +
          "</cachedir>\n</fontconfig>\n";
  setenv("FONTCONFIG_FILE", dir.Write("fonts.conf", conf).c_str(), 1);
  return gothic_file;
}

// A layer node outside any tree with zeroed pixels (blue, green, red, alpha).
struct TestLayer {
  NamedTreeNode node{};
  LayerData data{};
  std::vector<uint8_t> pixels;
  TestLayer(int32_t width, int32_t height) {
    data.width = width;
    data.height = height;
    pixels.assign(static_cast<size_t>(width) * 4 * static_cast<size_t>(height + 1) + 4, 0);
    data.pixels = pixels.data();
    node.payload = &data;
  }
  uint8_t* At(int32_t x, int32_t y) {
    return pixels.data() + (static_cast<size_t>(y) * static_cast<size_t>(data.width) + static_cast<size_t>(x)) * 4;
  }
  uint32_t Bgra(int32_t x, int32_t y) {
    const uint8_t* p = At(x, y);
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[1]) << 8 | p[0];
  }
  void Fill(uint32_t argb) {
    for (int32_t y = 0; y < data.height; ++y) {
      for (int32_t x = 0; x < data.width; ++x) {
        uint8_t* p = At(x, y);
        p[0] = static_cast<uint8_t>(argb);
        p[1] = static_cast<uint8_t>(argb >> 8);
        p[2] = static_cast<uint8_t>(argb >> 16);
        p[3] = static_cast<uint8_t>(argb >> 24);
      }
    }
  }
};

// The current slot's canvas.
inline GlyphCacheEntry& Canvas() { return g_glyph_cache[g_fonts.current_slot]; }

inline bool Ink(const GlyphCacheEntry& e, int32_t x, int32_t y) {
  const uint8_t byte = e.canvas[static_cast<size_t>(y) * static_cast<size_t>(e.side / 8) + static_cast<size_t>(x / 8)];
  return (byte & (0x80 >> (x % 8))) == 0;
}

// Puts a blank canvas of `side` (exactly side² / 8 bytes) into the current slot.
inline GlyphCacheEntry& SyntheticCanvas(int32_t side) {
  ResetGlyphCache();
  GlyphCacheEntry& e = Canvas();
  e.side = side;
  e.canvas_bytes = static_cast<size_t>(side) * static_cast<size_t>(side) / 8;
  e.canvas = static_cast<uint8_t*>(std::malloc(e.canvas_bytes));
  std::memset(e.canvas, 0xFF, e.canvas_bytes);
  return e;
}

inline void SetInk(GlyphCacheEntry& e, int32_t x, int32_t y) {
  uint8_t& byte = e.canvas[static_cast<size_t>(y) * static_cast<size_t>(e.side / 8) + static_cast<size_t>(x / 8)];
  byte = static_cast<uint8_t>(byte & ~(0x80 >> (x % 8)));
}

// Fonts from the IPA folders only, slot 0 current.
class IpaFontTest : public HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    ASSERT_FALSE(UseIpaFontsOnly().empty()) << "the IPA fonts are not installed";
    ASSERT_EQ(EnumerateFonts(), 0);
  }
  void TearDown() override {
    FreeFonts();
    HeadlessEngine::TearDown();
  }
  static int32_t IndexOf(const char* utf8) { return FindFontByName(Sjis(utf8).c_str()); }
  static void UseFont(const char* utf8) {
    const int32_t index = IndexOf(utf8);
    ASSERT_GE(index, 0) << utf8;
    g_fonts.slot_fonts[g_fonts.current_slot] = static_cast<uint32_t>(index);
  }
};

}  // namespace korvel::test
