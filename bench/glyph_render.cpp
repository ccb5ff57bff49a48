// Glyph drawing: DrawGlyph at widths 20, 64 and 256, smooth and hard, edges 0, 2 and 12, for a
// repeated (cached) glyph, a new glyph each time, and a font change each time; beside FreeType
// loading and rendering the same glyph alone at the same em (its face kept open).
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/named_tree.h"
#include "core/sjis_text.h"
#include "layer/layer_data.h"
#include "platform/fonts.h"
#include "text/font_registry.h"
#include "text/glyph_render.h"

namespace {

using korvel::g_fonts;

// Forty-eight different characters, code page 932.
const std::vector<std::string>& Glyphs() {
  static const std::vector<std::string> glyphs = [] {
    const std::string text = korvel::Sjis(
        "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよ漢字永東京語");
    std::vector<std::string> out;
    for (size_t i = 0; i + 1 < text.size(); i += 2) out.push_back(text.substr(i, 2));
    return out;
  }();
  return glyphs;
}

struct Layer {
  korvel::NamedTreeNode node{};
  korvel::LayerData data{};
  std::vector<uint8_t> pixels;
  Layer() {
    data.width = data.height = 600;
    pixels.assign(600 * 4 * 601 + 4, 0);
    data.pixels = pixels.data();
    node.payload = &data;
  }
};

bool Fonts() {
  static const bool ok = korvel::EnumerateFonts() == 0 &&
                         korvel::FindFontByName(korvel::Sjis("IPAGothic").c_str()) >= 0 &&
                         korvel::FindFontByName(korvel::Sjis("IPAMincho").c_str()) >= 0;
  return ok;
}

enum Mode { kSameGlyph, kNewGlyph, kFontChange };

// Arguments: width, smooth, edge, mode.
void BM_DrawGlyph(benchmark::State& state) {
  if (!Fonts()) {
    state.SkipWithError("the IPA fonts are not installed");
    return;
  }
  const auto width = static_cast<int32_t>(state.range(0));
  const auto smooth = static_cast<uint8_t>(state.range(1));
  const auto edge = static_cast<int32_t>(state.range(2));
  const auto mode = static_cast<Mode>(state.range(3));
  const auto gothic = static_cast<uint32_t>(korvel::FindFontByName(korvel::Sjis("IPAGothic").c_str()));
  const auto mincho = static_cast<uint32_t>(korvel::FindFontByName(korvel::Sjis("IPAMincho").c_str()));
  Layer layer;
  g_fonts.slot_fonts[0] = gothic;
  const auto& glyphs = Glyphs();
  size_t i = 0;
  for (auto _ : state) {
    if (mode == kFontChange) g_fonts.slot_fonts[0] = (i & 1) != 0 ? mincho : gothic;
    const std::string& g = glyphs[mode == kSameGlyph ? 0 : i % glyphs.size()];
    ++i;
    benchmark::DoNotOptimize(korvel::DrawGlyph(reinterpret_cast<const uint8_t*>(g.c_str()), 0xFFFFFF,
                                               0x808080, 1, 0, width, width, 0, smooth, edge, 20, 20,
                                               1, &layer.node));
  }
  g_fonts.slot_fonts[0] = gothic;
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// FreeType alone: load and render (1-bit, no hinting) the same glyphs at the same em.
// Arguments: width, smooth, same glyph (1) or a new one each time (0).
void BM_FreeTypeGlyph(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const int32_t cell = state.range(1) == 1 ? 4 * width : width;
  FcInit();
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  FcChar8* file = nullptr;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (match == nullptr || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch ||
      FT_Init_FreeType(&library) != 0 ||
      FT_New_Face(library, reinterpret_cast<const char*>(file), 0, &face) != 0) {
    state.SkipWithError("no IPAGothic");
    if (match != nullptr) FcPatternDestroy(match);
    return;
  }
  FcPatternDestroy(match);
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const double em = cell * double(face->units_per_EM) / (os2->usWinAscent + os2->usWinDescent);
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(em * 64 + 0.5), 72, 72);
  std::vector<FT_UInt> indices;
  for (const std::string& g : Glyphs()) {
    const uint32_t code = korvel::platform::Cp932CharToCodePoint(
        reinterpret_cast<const uint8_t*>(g.c_str()), 2);
    indices.push_back(FT_Get_Char_Index(face, code));
  }
  const bool same = state.range(2) == 1;
  size_t i = 0;
  for (auto _ : state) {
    const FT_UInt index = indices[same ? 0 : i++ % indices.size()];
    FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO);
    FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO);
    benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void DrawArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "smooth", "edge", "mode"});
  for (int64_t mode : {kSameGlyph, kNewGlyph, kFontChange}) {
    for (int64_t width : {20, 64, 256}) {
      for (int64_t smooth : {1, 0}) {
        for (int64_t edge : {0, 2, 12}) b->Args({width, smooth, edge, mode});
      }
    }
  }
}

void FreeTypeArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "smooth", "same"});
  for (int64_t same : {1, 0}) {
    for (int64_t width : {20, 64, 256}) {
      for (int64_t smooth : {1, 0}) b->Args({width, smooth, same});
    }
  }
}

BENCHMARK(BM_DrawGlyph)->Apply(DrawArgs)->MinTime(0.2);
BENCHMARK(BM_FreeTypeGlyph)->Apply(FreeTypeArgs)->MinTime(0.2);

}  // namespace
