// Font families from fontconfig and one-bit glyphs from FreeType, standing in for GDI fonts.
#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/text_encoding.h"

// fontconfig leaves a few bytes of its parsed system configuration unreachable for the life of the
// process. Leak-checking builds are told so here, so that a run outside the test harness ends
// cleanly instead of failing on a library's leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace korvel::platform {

namespace {

// The faces and matches are shared by the game thread's text and the main thread's dialogs.
std::recursive_mutex g_font_mutex;

// One opened font file, shared by every font made from it; the size is set before each use.
struct OpenFace {
  std::string file;
  int index = 0;
  FT_Face face = nullptr;
  int users = 0;
  FT_F26Dot6 size = 0;  // the em the face is set to now (26.6)
};

// What fontconfig matched for a family and weight.
struct FaceMatch {
  std::string file;
  int index = 0;
  int weight = 0;
};

FT_Library g_library = nullptr;
std::vector<OpenFace*> g_faces;
std::map<std::pair<std::string, bool>, FaceMatch> g_matches;
constexpr size_t kIdleFacesKept = 8;  // faces without users kept open for the next font change

FT_Library Library() {
  if (g_library == nullptr && FT_Init_FreeType(&g_library) != 0) g_library = nullptr;
  return g_library;
}

std::string PatternString(FcPattern* p, const char* object, int n) {
  FcChar8* s = nullptr;
  if (FcPatternGetString(p, object, n, &s) != FcResultMatch || s == nullptr) return {};
  return reinterpret_cast<const char*>(s);
}

bool HasJapanese(FcPattern* p) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(p, FC_LANG, 0, &langs) != FcResultMatch || langs == nullptr) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
}

bool IsFixedSpacing(FcPattern* p) {
  int spacing = FC_PROPORTIONAL;
  if (FcPatternGetInteger(p, FC_SPACING, 0, &spacing) != FcResultMatch) return false;
  return spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL;
}

// Finds the file of `family` closest to the asked weight; empty when fontconfig has none of it.
bool MatchFamilyFile(const char* family, bool bold, std::string* file, int* index, int* weight) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  // fontconfig always offers some font; only a file of the family asked for will do.
  bool same_family = false;
  for (int n = 0; !same_family; ++n) {
    const std::string name = PatternString(match, FC_FAMILY, n);
    if (name.empty()) break;
    same_family = name == family;
  }
  if (!same_family) {
    FcPatternDestroy(match);
    return false;
  }
  *file = PatternString(match, FC_FILE, 0);
  *index = 0;
  FcPatternGetInteger(match, FC_INDEX, 0, index);
  *weight = FC_WEIGHT_REGULAR;
  FcPatternGetInteger(match, FC_WEIGHT, 0, weight);
  FcPatternDestroy(match);
  return !file->empty();
}

// Decodes one UTF-8 sequence (0 when malformed).
uint32_t DecodeUtf8(const std::string& s) {
  if (s.empty()) return 0;
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  if (p[0] < 0x80) return p[0];
  int extra = p[0] >= 0xF0 ? 3 : p[0] >= 0xE0 ? 2 : p[0] >= 0xC0 ? 1 : -1;
  if (extra < 0 || s.size() < static_cast<size_t>(extra) + 1) return 0;
  uint32_t code = p[0] & (0x3Fu >> extra);
  for (int i = 1; i <= extra; ++i) code = (code << 6) | (p[i] & 0x3Fu);
  return code;
}

OpenFace* AcquireFace(const FaceMatch& match) {
  for (size_t i = 0; i < g_faces.size(); ++i) {
    OpenFace* f = g_faces[i];
    if (f->file == match.file && f->index == match.index) {
      // Most recently used last, so idle faces leave oldest first.
      g_faces.erase(g_faces.begin() + static_cast<ptrdiff_t>(i));
      g_faces.push_back(f);
      ++f->users;
      return f;
    }
  }
  FT_Face face = nullptr;
  if (FT_New_Face(g_library, match.file.c_str(), match.index, &face) != 0) return nullptr;
  auto* f = new OpenFace{match.file, match.index, face, 1, 0};
  g_faces.push_back(f);
  return f;
}

void ReleaseFace(OpenFace* face) {
  --face->users;
  size_t idle = 0;
  for (const OpenFace* f : g_faces) idle += f->users == 0 ? 1 : 0;
  for (size_t i = 0; i < g_faces.size() && idle > kIdleFacesKept;) {
    if (g_faces[i]->users == 0) {
      FT_Done_Face(g_faces[i]->face);
      delete g_faces[i];
      g_faces.erase(g_faces.begin() + static_cast<ptrdiff_t>(i));
      --idle;
    } else {
      ++i;
    }
  }
}

bool SetFaceSize(OpenFace* face, FT_F26Dot6 size) {
  if (face->size == size) return true;
  if (FT_Set_Char_Size(face->face, 0, size, 72, 72) != 0) {
    face->size = 0;
    return false;
  }
  face->size = size;
  return true;
}

}  // namespace

struct PlatformFont {
  OpenFace* face = nullptr;
  double em = 0;          // pixels per em
  FT_F26Dot6 size = 0;    // em in 26.6
  int32_t ascent = 0;     // baseline below the cell top, in pixels
  bool embolden = false;  // bold asked for and the face is not bold itself
};

bool ListFontFamilies(std::vector<FontFamilyInfo>* out) {
  std::lock_guard lock(g_font_mutex);
  out->clear();
  if (FcInit() != FcTrue) return false;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects =
      FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_LANG, FC_SPACING, FC_OUTLINE, nullptr);
  FcFontSet* set = pattern != nullptr && objects != nullptr
                       ? FcFontList(nullptr, pattern, objects)
                       : nullptr;
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  if (set == nullptr) return false;
  // A family found in several files (styles, copies) is one entry, keyed by its first name.
  std::map<std::string, FontFamilyInfo> families;
  for (int i = 0; i < set->nfont; ++i) {
    FcPattern* p = set->fonts[i];
    FcBool outline = FcFalse;
    if (FcPatternGetBool(p, FC_OUTLINE, 0, &outline) == FcResultMatch && outline != FcTrue) continue;
    const std::string first = PatternString(p, FC_FAMILY, 0);
    if (first.empty()) continue;
    auto [it, added] = families.try_emplace(first);
    FontFamilyInfo& f = it->second;
    if (added) f.fixed_pitch = IsFixedSpacing(p);
    f.japanese = f.japanese || HasJapanese(p);
    for (int n = 0;; ++n) {
      const std::string name = PatternString(p, FC_FAMILY, n);
      if (name.empty()) break;
      if (std::find(f.names.begin(), f.names.end(), name) == f.names.end()) f.names.push_back(name);
      if (PatternString(p, FC_FAMILYLANG, n) == "ja" && f.name.empty()) f.name = name;
    }
  }
  FcFontSetDestroy(set);
  for (auto& [first, f] : families) {
    if (f.name.empty()) f.name = first;
    out->push_back(std::move(f));
  }
  return true;
}

PlatformFont* OpenPlatformFont(const char* family, int32_t cell_height, bool bold) {
  std::lock_guard lock(g_font_mutex);
  if (cell_height < 1 || Library() == nullptr || FcInit() != FcTrue) return nullptr;
  const auto key = std::make_pair(std::string(family), bold);
  auto known = g_matches.find(key);
  if (known == g_matches.end()) {
    FaceMatch m;
    if (!MatchFamilyFile(family, bold, &m.file, &m.index, &m.weight)) return nullptr;
    known = g_matches.emplace(key, m).first;
  }
  const FaceMatch& match = known->second;
  OpenFace* open = AcquireFace(match);
  if (open == nullptr) return nullptr;
  auto* font = new PlatformFont;
  font->face = open;
  FT_Face face = open->face;
  // A GDI cell height spans the Windows ascent and descent of the face.
  double ascent = face->ascender, descent = -face->descender;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  }
  const double units = face->units_per_EM > 0 ? face->units_per_EM : ascent + descent;
  if (!FT_IS_SCALABLE(face) || ascent + descent <= 0 || units <= 0) {
    ClosePlatformFont(font);
    return nullptr;
  }
  font->em = cell_height * units / (ascent + descent);
  font->ascent = static_cast<int32_t>(std::lround(cell_height * ascent / (ascent + descent)));
  font->embolden = bold && match.weight < FC_WEIGHT_DEMIBOLD;
  font->size = static_cast<FT_F26Dot6>(std::lround(font->em * 64.0));
  if (font->size < 1 || !SetFaceSize(open, font->size)) {
    ClosePlatformFont(font);
    return nullptr;
  }
  return font;
}

void ClosePlatformFont(PlatformFont* font) {
  std::lock_guard lock(g_font_mutex);
  if (font == nullptr) return;
  if (font->face != nullptr) ReleaseFace(font->face);
  delete font;
}

double PlatformFontEm(const PlatformFont* font) { return font != nullptr ? font->em : 0; }

bool DrawPlatformGlyph(PlatformFont* font, uint32_t code, uint8_t* canvas, int32_t side) {
  std::lock_guard lock(g_font_mutex);
  if (font == nullptr || canvas == nullptr || side <= 0) return false;
  if (!SetFaceSize(font->face, font->size)) return false;
  FT_Face face = font->face->face;
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0) {
    return false;
  }
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  if (font->embolden) {
    // As much as FreeType's own synthetic bold: a 24th of the em, split over both sides.
    const FT_Pos strength = FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24;
    FT_Outline_Embolden(&slot->outline, strength);
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  const int32_t left = slot->bitmap_left;
  const int32_t top = font->ascent - slot->bitmap_top;
  const int32_t stride = side / 8;
  for (int32_t r = 0; r < static_cast<int32_t>(bitmap.rows); ++r) {
    const int32_t y = top + r;
    if (y < 0 || y >= side) continue;
    const uint8_t* src = bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch;
    uint8_t* dst = canvas + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t c = 0; c < static_cast<int32_t>(bitmap.width); ++c) {
      if ((src[c >> 3] & (0x80 >> (c & 7))) == 0) continue;
      const int32_t x = left + c;
      if (x < 0 || x >= side) continue;
      dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] & ~(0x80 >> (x & 7)));
    }
  }
  return true;
}

uint32_t Cp932CharToCodePoint(const uint8_t* glyph, int32_t length) {
  if (glyph == nullptr || length < 1) return 0;
  if (length == 1 && glyph[0] < 0x80) return glyph[0];
  return DecodeUtf8(Cp932ToUtf8(std::string_view(reinterpret_cast<const char*>(glyph),
                                                 static_cast<size_t>(length))));
}

void ShutdownPlatformFonts() {
  std::lock_guard lock(g_font_mutex);
  // Fonts still open keep their faces; the engine closes every font before it gets here.
  for (size_t i = 0; i < g_faces.size();) {
    if (g_faces[i]->users == 0) {
      FT_Done_Face(g_faces[i]->face);
      delete g_faces[i];
      g_faces.erase(g_faces.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  g_matches.clear();
  if (!g_faces.empty()) return;
  if (g_library != nullptr) FT_Done_FreeType(g_library);
  g_library = nullptr;
}

}  // namespace korvel::platform
