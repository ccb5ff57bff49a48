// Installed font families and one-bit glyph canvases, on fontconfig and FreeType: what the engine's
// font registry and glyph renderer ask of the system in place of GDI fonts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::platform {

// One installed family, however many files and styles it has.
struct FontFamilyInfo {
  std::string name;                // the Japanese name where the family has one, else its first (UTF-8)
  std::vector<std::string> names;  // every name of the family (UTF-8), first name first
  bool japanese = false;           // the family's languages include "ja"
  bool fixed_pitch = false;        // spacing mono, dual or charcell
};

// Lists the installed outline families, sorted by first name; false when fontconfig cannot start.
bool ListFontFamilies(std::vector<FontFamilyInfo>* out);

struct PlatformFont;

// Opens family `family` (UTF-8, any of its names) with a GDI cell height of `cell_height` pixels
// (em = cell × unitsPerEm / (winAscent + winDescent)); bold takes a Bold face, else emboldens.
// Null when no file of the family loads or the size cannot be set.
PlatformFont* OpenPlatformFont(const char* family, int32_t cell_height, bool bold);
void ClosePlatformFont(PlatformFont* font);

// The em size in pixels the font was set to (tests compare ink boxes against other renderers).
double PlatformFontEm(const PlatformFont* font);

// Draws code point `code` into a top-down 1-bit canvas (`side` × `side`, rows of side / 8 bytes,
// most significant bit leftmost) by clearing the bits of its ink, the cell's top-left at the canvas
// origin. Outlines are rendered without hinting or embedded bitmaps; ink past the canvas is cut.
// False when the glyph cannot be loaded (the canvas is left as it was).
bool DrawPlatformGlyph(PlatformFont* font, uint32_t code, uint8_t* canvas, int32_t side);

// The code point of a one- or two-byte code page 932 character (0 when it has none).
uint32_t Cp932CharToCodePoint(const uint8_t* glyph, int32_t length);

// Frees the FreeType library and fontconfig's caches (shutdown, tests).
void ShutdownPlatformFonts();

}  // namespace korvel::platform
