// The per-slot glyph cache.
#include "text/glyph_cache.h"

#include <cstdlib>
#include <new>

#include "core/error_report.h"
#include "platform/fonts.h"
#include "text/font_registry.h"

namespace korvel {

GlyphCacheEntry g_glyph_cache[8]{};

namespace {

void ReleaseObjects(GlyphCacheEntry* e) {
  platform::ClosePlatformFont(e->font);
  std::free(e->canvas);
  e->font = nullptr;
  e->canvas = nullptr;
  e->side = 0;
  e->canvas_bytes = 0;
  e->last_length = 0;
}

void Invalidate(GlyphCacheEntry* e) {
  e->width = e->height = e->font_height = -1;
  e->bold = 255;
  e->font_index = -1;
  e->last_length = 0;
}

}  // namespace

void ResetGlyphCache() {
  for (GlyphCacheEntry& e : g_glyph_cache) {
    ReleaseObjects(&e);
    Invalidate(&e);
  }
}

void FreeGlyphCache() { ResetGlyphCache(); }

int32_t GetGlyphFont(int32_t width, int32_t height, uint8_t bold, int32_t font_height,
                     int32_t side) {
  GlyphCacheEntry* e = &g_glyph_cache[g_fonts.current_slot];
  const auto font_index = static_cast<int32_t>(GetSlotFontIndex());
  if (e->font != nullptr && e->canvas != nullptr && e->width == width && e->height == height &&
      e->font_height == font_height && e->bold == bold && e->font_index == font_index &&
      e->side == side) {
    return 0;
  }
  ReleaseObjects(e);
  Invalidate(e);
  const size_t bytes = static_cast<size_t>(side) * static_cast<size_t>(side) / 8;
  e->canvas = static_cast<uint8_t*>(std::malloc(bytes));
  if (e->canvas == nullptr) {
    ReportErrorPlain(100010, true);
    return -1;
  }
  e->side = side;
  e->canvas_bytes = bytes;
  const char* family = font_index < g_fonts.font_count
                           ? g_fonts.open_names[static_cast<size_t>(font_index)].c_str()
                           : nullptr;
  e->font = family != nullptr ? platform::OpenPlatformFont(family, font_height, bold != 0) : nullptr;
  if (e->font == nullptr) {
    ReleaseObjects(e);
    ReportErrorPlain(102040, true);
    return -1;
  }
  e->width = width;
  e->height = height;
  e->font_height = font_height;
  e->bold = bold;
  e->font_index = font_index;
  return 1;
}

}  // namespace korvel
