// The installed font families, the eight font slots with their text styles, and the current slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

inline constexpr int32_t kFontSlotCount = 8;

// Text style of one slot (the layer draw command and slot 0's mirror in the message record).
struct FontSlotStyle {
  int32_t width;           // glyph width, up to 256
  int32_t height;          // glyph height, up to 256
  uint32_t bold;           // 0 or 1
  uint32_t colour;         // 0xRRGGBB
  uint32_t second_colour;  // 0xRRGGBB
  uint8_t direction;       // gradient direction 0..8
  uint8_t rotation;        // 1..3 quarter turns act, others as 0
  uint8_t smooth;          // 1: 4x glyphs reduced to coverage
  uint8_t blend;           // 0 overwrite, 1 blend
};

struct FontRegistry {
  int32_t font_count;
  std::vector<std::string> face_names;  // code page 932: the Japanese name where there is one
  std::vector<uint8_t> script_flags;    // 0: the family covers Japanese, else 1
  std::vector<uint8_t> pitch_flags;     // 0 fixed, 1 variable, 255 both pitch bits
  std::vector<std::vector<std::string>> all_names;  // every name of each family, UTF-8
  std::vector<std::string> open_names;  // the name each family is opened by, UTF-8
  uint32_t slot_fonts[kFontSlotCount];  // 0-based font index per slot
  uint32_t current_slot;
  FontSlotStyle styles[kFontSlotCount];
};

extern FontRegistry g_fonts;

// Lists the installed families, gives every slot its default Japanese face and default style,
// builds the glyph tables and makes slot 0 current. 0, or -1 when no font is installed at all
// (reported as the fatal font error 102040).
int EnumerateFonts();
// Frees the registry and every slot's glyph objects (shutdown, tests).
void FreeFonts();

// Fills the registry from a given family list (EnumerateFonts and tests).
struct FontFamilyEntry {
  std::string name;                // UTF-8, the name shown to scripts
  std::vector<std::string> names;  // every name, UTF-8
  bool japanese;
  bool fixed_pitch;
};
void FillFontRegistry(const std::vector<FontFamilyEntry>& families);

// Makes a slot current; false (nothing changes) outside 0..7.
bool SetFontSlot(int64_t slot);
// Stores a 0-based index in the current slot: 1, or 0 (nothing stored) when index ≥ font count.
int SetSlotFont(uint32_t index);
// The index of the family that has `face` (code page 932) as any of its names, or that the face
// stands for (Windows' Japanese faces); -1 when none.
int32_t FindFontByName(const char* face);
// Stores the index of `face` in the current slot: 1, or 0 when not found (the slot is unchanged).
int SelectSlotFontByName(const char* face);
inline int FindSlotFontByName(const char* face) { return SelectSlotFontByName(face); }

const char* GetSlotFontName();
uint32_t GetSlotFontIndex();
uint8_t GetSlotFontPitchFlag();
const char* GetFontName(uint32_t index);     // null past the count
uint8_t GetFontScriptFlag(uint32_t index);   // 1 past the count
int32_t GetFontCount();

inline FontSlotStyle* CurrentSlotStyle() { return &g_fonts.styles[g_fonts.current_slot]; }

}  // namespace korvel
