// The font registry: families from the platform, names in code page 932, the slots' defaults.
#include "text/font_registry.h"

#include <cstring>

#include "core/error_report.h"
#include "core/sjis_text.h"
#include "platform/fonts.h"
#include "platform/text_encoding.h"
#include "text/glyph_cache.h"
#include "text/glyph_tables.h"

namespace korvel {

FontRegistry g_fonts{};

namespace {

// Windows' Japanese faces and the free families that stand in for them, best first.
struct FaceAlias {
  const char* face;
  const char* families[2];
};
constexpr FaceAlias kFaceAliases[] = {
    {"ＭＳ ゴシック", {"IPAGothic", "Noto Sans CJK JP"}},
    {"標準ゴシック", {"IPAGothic", "Noto Sans CJK JP"}},
    {"ＭＳ Ｐゴシック", {"IPAPGothic", "Noto Sans CJK JP"}},
    {"ＭＳ 明朝", {"IPAMincho", "Noto Serif CJK JP"}},
    {"標準明朝", {"IPAMincho", "Noto Serif CJK JP"}},
};

// The faces each slot tries at start-up, in order.
constexpr const char* kDefaultFaces[] = {"ＭＳ ゴシック", "標準ゴシック", "ＭＳ Ｐゴシック",
                                         "ＭＳ 明朝", "標準明朝"};

constexpr FontSlotStyle kDefaultStyle{20, 20, 0, 0xFFFFFF, 0xFFFFFF, 1, 0, 1, 0};

int32_t FindFontByUtf8(const std::string& name) {
  for (int32_t i = 0; i < g_fonts.font_count; ++i) {
    for (const std::string& n : g_fonts.all_names[static_cast<size_t>(i)]) {
      if (n == name) return i;
    }
  }
  return -1;
}

}  // namespace

void FillFontRegistry(const std::vector<FontFamilyEntry>& families) {
  g_fonts.face_names.clear();
  g_fonts.script_flags.clear();
  g_fonts.pitch_flags.clear();
  g_fonts.all_names.clear();
  g_fonts.open_names.clear();
  for (const FontFamilyEntry& f : families) {
    g_fonts.face_names.push_back(Sjis(f.name));
    g_fonts.script_flags.push_back(f.japanese ? 0 : 1);
    g_fonts.pitch_flags.push_back(f.fixed_pitch ? 0 : 1);
    g_fonts.all_names.push_back(f.names);
    g_fonts.open_names.push_back(f.names.empty() ? f.name : f.names.front());
  }
  g_fonts.font_count = static_cast<int32_t>(families.size());
  for (uint32_t slot = 0; slot < kFontSlotCount; ++slot) {
    g_fonts.current_slot = slot;
    g_fonts.slot_fonts[slot] = 0;
    g_fonts.styles[slot] = kDefaultStyle;
    for (const char* face : kDefaultFaces) {
      if (SelectSlotFontByName(Sjis(face).c_str()) == 1) break;
    }
  }
  g_fonts.current_slot = 0;
  InitGlyphTables();
  ResetGlyphCache();
}

int EnumerateFonts() {
  FreeFonts();
  std::vector<platform::FontFamilyInfo> listed;
  platform::ListFontFamilies(&listed);
  if (listed.empty()) {
    // Without any font no text can be drawn: start-up ends with the font error.
    ReportErrorPlain(102040, true);
    return -1;
  }
  std::vector<FontFamilyEntry> families;
  families.reserve(listed.size());
  for (platform::FontFamilyInfo& f : listed) {
    families.push_back({std::move(f.name), std::move(f.names), f.japanese, f.fixed_pitch});
  }
  FillFontRegistry(families);
  return 0;
}

void FreeFonts() {
  FreeGlyphCache();
  g_fonts.face_names.clear();
  g_fonts.script_flags.clear();
  g_fonts.pitch_flags.clear();
  g_fonts.all_names.clear();
  g_fonts.open_names.clear();
  g_fonts.font_count = 0;
  std::memset(g_fonts.slot_fonts, 0, sizeof g_fonts.slot_fonts);
  g_fonts.current_slot = 0;
  for (FontSlotStyle& s : g_fonts.styles) s = kDefaultStyle;
  platform::ShutdownPlatformFonts();
}

bool SetFontSlot(int64_t slot) {
  if (slot < 0 || slot >= kFontSlotCount) return false;
  g_fonts.current_slot = static_cast<uint32_t>(slot);
  return true;
}

int SetSlotFont(uint32_t index) {
  if (static_cast<int64_t>(index) >= g_fonts.font_count) return 0;
  g_fonts.slot_fonts[g_fonts.current_slot] = index;
  return 1;
}

int32_t FindFontByName(const char* face) {
  if (face == nullptr) return -1;
  const std::string name = platform::Cp932ToUtf8(face);
  if (const int32_t found = FindFontByUtf8(name); found >= 0) return found;
  for (const FaceAlias& alias : kFaceAliases) {
    if (name != alias.face) continue;
    for (const char* family : alias.families) {
      if (const int32_t found = FindFontByUtf8(family); found >= 0) return found;
    }
  }
  return -1;
}

int SelectSlotFontByName(const char* face) {
  const int32_t index = FindFontByName(face);
  if (index < 0) return 0;
  g_fonts.slot_fonts[g_fonts.current_slot] = static_cast<uint32_t>(index);
  return 1;
}

const char* GetFontName(uint32_t index) {
  if (static_cast<int64_t>(index) >= g_fonts.font_count) return nullptr;
  return g_fonts.face_names[index].c_str();
}

uint8_t GetFontScriptFlag(uint32_t index) {
  if (static_cast<int64_t>(index) >= g_fonts.font_count) return 1;
  return g_fonts.script_flags[index];
}

int32_t GetFontCount() { return g_fonts.font_count; }

uint32_t GetSlotFontIndex() { return g_fonts.slot_fonts[g_fonts.current_slot]; }

const char* GetSlotFontName() {
  const char* name = GetFontName(GetSlotFontIndex());
  return name != nullptr ? name : "";
}

uint8_t GetSlotFontPitchFlag() {
  const uint32_t index = GetSlotFontIndex();
  if (static_cast<int64_t>(index) >= g_fonts.font_count) return 1;
  return g_fonts.pitch_flags[index];
}

}  // namespace korvel
