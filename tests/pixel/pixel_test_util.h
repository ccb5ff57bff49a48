// Helpers shared by the pixel tests: kernel tables per set and instruction set, seeded buffers.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pixel/pixel_kernels.h"

namespace korvel::pixel_test {

inline std::vector<PixelIsa> SimdIsas() {
  std::vector<PixelIsa> out;
  for (PixelIsa isa : {PixelIsa::kSse2, PixelIsa::kAvx2}) {
    if (PixelIsaSupported(isa)) out.push_back(isa);
  }
  return out;
}

inline PixelKernelTable TableFor(KernelSet set, PixelIsa isa) {
  PixelKernelTable t{};
  FillPixelKernelTable(t, set, isa);
  return t;
}

inline const char* SetName(KernelSet set) { return set == KernelSet::kSse ? "sse-set" : "mmx-set"; }

inline std::string Label(KernelSet set, PixelIsa isa) {
  return std::string(SetName(set)) + "/" + PixelIsaName(isa);
}

inline void FillRandom(std::vector<uint8_t>& v, uint32_t seed) {
  std::mt19937 rng(seed);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
}

// Index of the first differing byte, or -1.
inline long FirstDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 0;
  if (std::memcmp(a.data(), b.data(), a.size()) == 0) return -1;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace korvel::pixel_test
