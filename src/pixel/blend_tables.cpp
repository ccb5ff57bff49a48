// Builds the blend lookup tables from the mode formulas.
#include "pixel/blend_tables.h"

#include <memory>

#include "pixel/blend_modes.h"

namespace korvel {

namespace {

int TruncDiv(int a, int b) { return a / b; }  // C++ division truncates toward zero

// F of every mode as one 256 × 256 table, for the generic blend kernels.
struct FormulaTables {
  uint8_t mode[19][65536];
};

const FormulaTables& GetFormulaTables() {
  static const std::unique_ptr<FormulaTables> tables = [] {
    auto t = std::make_unique<FormulaTables>();
    for (int m = 0; m < kBlendModeCount; ++m) {
      for (int s = 0; s < 256; ++s) {
        for (int d = 0; d < 256; ++d) t->mode[m][s * 256 + d] = BlendModeFormula(m, s, d);
      }
    }
    return t;
  }();
  return *tables;
}

void Fill2d(uint8_t* table, int mode) {
  for (int s = 0; s < 256; ++s) {
    for (int d = 0; d < 256; ++d) table[s * 256 + d] = BlendModeFormula(mode, s, d);
  }
}

}  // namespace

void BuildBlendTables(BlendLookupTables& t) {
  for (int i = 0; i < 512; ++i) {
    t.saturating_add[i] = static_cast<uint8_t>(i < 511 ? (i < 255 ? i : 255) : 0);
    t.floor_subtract[i] = static_cast<uint8_t>(i < 511 && i > 255 ? i - 255 : 0);
  }
  Fill2d(t.multiply, kBlendMultiply);
  Fill2d(t.divide, kBlendDivide);
  Fill2d(t.screen, kBlendScreen);
  Fill2d(t.difference, kBlendDifference);
  Fill2d(t.exclusion, kBlendExclusion);
  Fill2d(t.overlay, kBlendOverlay);
  Fill2d(t.colour_dodge, kBlendColourDodge);
  Fill2d(t.colour_burn, kBlendColourBurn);
  Fill2d(t.linear_burn, kBlendLinearBurn);
  Fill2d(t.hard_light, kBlendHardLight);
  Fill2d(t.soft_light, kBlendSoftLight);
  Fill2d(t.vivid_light, kBlendVividLight);
  Fill2d(t.linear_light, kBlendLinearLight);
  Fill2d(t.pin_light, kBlendPinLight);
  Fill2d(t.maximum, kBlendLighten);
  Fill2d(t.minimum, kBlendDarken);
  for (int k = 0; k < 256; ++k) {
    for (int j = 0; j < 256; ++j) {
      t.reciprocal[k * 256 + j] = static_cast<uint16_t>(k ? 256 * j / k : 0);
    }
  }
  for (int k = 0; k <= 256; ++k) {
    for (int j = 0; j < 512; ++j) {
      t.rounded_product[k * 512 + j] = static_cast<int16_t>(TruncDiv(k * (j - 255), 256));
      t.alpha_product[k * 512 + j] = static_cast<int16_t>(TruncDiv(k * (j - 255), 255));
    }
  }
}

const BlendLookupTables& GetBlendTables() {
  static const std::unique_ptr<BlendLookupTables> tables = [] {
    auto t = std::make_unique<BlendLookupTables>();
    BuildBlendTables(*t);
    return t;
  }();
  return *tables;
}

const uint8_t* BlendFormulaTable(int mode) {
  return GetFormulaTables().mode[ClampBlendMode(mode)];
}

}  // namespace korvel
