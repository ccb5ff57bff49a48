// Processor feature flags read through CPUID, used to choose the pixel-kernel set.
#pragma once

#include <cstdint>

namespace korvel {

// One byte per feature, in this order; every flag stays 0 where CPUID is missing.
struct CpuFeatures {
  uint8_t mmx = 0;
  uint8_t amd_3dnow = 0;
  uint8_t amd_3dnow_ext = 0;
  uint8_t sse = 0;
  uint8_t sse2 = 0;
  uint8_t sse3 = 0;
  uint8_t ssse3 = 0;
  uint8_t sse41 = 0;
  uint8_t sse42 = 0;
  uint8_t sse4a = 0;
  uint8_t xop = 0;
};

// True when bit 21 of the flags register can be toggled (always true on x86-64; false elsewhere).
bool IsCpuidSupported();

// Reads leaves 0, 1, 0x80000000 and 0x80000001 and sets the flags from them.
CpuFeatures DetectCpuFeatures();

}  // namespace korvel
