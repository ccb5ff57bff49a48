// CPUID probing for the pixel-kernel choice.
#include "pixel/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace korvel {

bool IsCpuidSupported() {
#if defined(__x86_64__)
  return true;
#elif defined(__i386__)
  // Toggle the ID bit (21) of EFLAGS and see whether it sticks.
  uint32_t before = 0;
  uint32_t after = 0;
  __asm__ volatile(
      "pushfl\n\tpopl %0\n\tmovl %0, %1\n\txorl $0x200000, %1\n\t"
      "pushl %1\n\tpopfl\n\tpushfl\n\tpopl %1\n\tpushl %0\n\tpopfl"
      : "=&r"(before), "=&r"(after));
  return ((before ^ after) & 0x200000u) != 0;
#else
  return false;
#endif
}

CpuFeatures DetectCpuFeatures() {
  CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
  if (!IsCpuidSupported()) return f;
  unsigned a = 0, b = 0, c = 0, d = 0;
  __cpuid(0, a, b, c, d);
  if (a != 0) {
    __cpuid(1, a, b, c, d);
    f.mmx = (d >> 23) & 1;
    f.sse = (d >> 25) & 1;
    f.sse2 = (d >> 26) & 1;
    f.sse3 = c & 1;
    f.ssse3 = (c >> 9) & 1;
    f.sse41 = (c >> 19) & 1;
    f.sse42 = (c >> 20) & 1;
  }
  __cpuid(0x80000000u, a, b, c, d);
  if (a > 0x80000000u) {
    __cpuid(0x80000001u, a, b, c, d);
    f.amd_3dnow = (d >> 31) & 1;
    f.amd_3dnow_ext = (d >> 30) & 1;
    f.sse4a = (c >> 6) & 1;
    f.xop = (c >> 11) & 1;
  }
#endif
  return f;
}

}  // namespace korvel
