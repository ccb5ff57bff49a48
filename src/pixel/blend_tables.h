// Lookup tables of the blend modes, built once at start-up and never changed.
#pragma once

#include <cstdint>

namespace korvel {

// 2-D tables are 256 × 256 bytes indexed [s][d] (byte s·256 + d). Entries no rule covers are 0.
struct BlendLookupTables {
  uint8_t saturating_add[512];   // entry[s + d] = min(s + d, 255)
  uint8_t floor_subtract[512];   // entry[s − d + 255] = max(s − d, 0)
  uint8_t multiply[65536];
  uint8_t divide[65536];
  uint8_t screen[65536];
  uint8_t difference[65536];
  uint8_t exclusion[65536];
  uint8_t overlay[65536];
  uint8_t colour_dodge[65536];
  uint8_t colour_burn[65536];
  uint8_t linear_burn[65536];
  uint8_t hard_light[65536];
  uint8_t soft_light[65536];
  uint8_t vivid_light[65536];
  uint8_t linear_light[65536];
  uint8_t pin_light[65536];
  uint8_t maximum[65536];        // lighten
  uint8_t minimum[65536];        // darken
  uint16_t reciprocal[256 * 256];       // [k][j] = floor(256·j / k), row 0 all 0
  int16_t rounded_product[257 * 512];   // [k][j] = trunc(k·(j − 255) / 256)
  int16_t alpha_product[257 * 512];     // [k][j] = trunc(k·(j − 255) / 255)
};

// The tables (built on first use, thread-safe).
const BlendLookupTables& GetBlendTables();

// Builds the tables into `t` (the engine's copy comes from GetBlendTables).
void BuildBlendTables(BlendLookupTables& t);

// The 256 × 256 table of F for a mode, for every mode 0..18 (normal, add and subtract included);
// a mode outside 0..18 gives normal's.
const uint8_t* BlendFormulaTable(int mode);

}  // namespace korvel
