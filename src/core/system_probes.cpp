// System probes and the discarded system report.
#include "core/system_probes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "core/error_report.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/system_info.h"

namespace korvel {

SystemProbes g_probes;

uint8_t WindowsVersionCodeForBuild(uint32_t build) {
  static constexpr struct {
    uint32_t build;
    uint8_t code;
  } kTable[] = {
      {950, 1},   {1111, 2},  {1212, 3},  {1214, 4},  {1057, 12}, {1381, 13}, {1998, 20},
      {2222, 21}, {3000, 30}, {2195, 40}, {2211, 45}, {2223, 45}, {2239, 45}, {2247, 45},
      {2250, 45}, {2257, 45}, {2600, 50}, {3790, 60}, {5219, 65}, {5260, 65}, {5270, 65},
      {5381, 65}, {5384, 65}, {5536, 65}, {5568, 65}, {5600, 65}, {5743, 65}, {6000, 70},
      {6001, 70}, {6002, 70}, {6801, 80}, {7000, 80}, {7100, 80}, {7600, 80}, {8158, 90},
      {8250, 90}, {8375, 90}, {9200, 90}, {9374, 91}, {9600, 91},
  };
  for (const auto& row : kTable) {
    if (row.build == build) return row.code;
  }
  return 255;
}

uint8_t GetWindowsVersionCode() { return 255; }

ProcessorInfo ProbeProcessor() {
  ProcessorInfo info;
  info.count = platform::OnlineProcessorCount();
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
    info.mmx = (d & bit_MMX) != 0;
    info.sse = (d & bit_SSE) != 0;
    info.sse2 = (d & bit_SSE2) != 0;
  }
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) != 0) info.avx2 = (b & bit_AVX2) != 0;
  if (__get_cpuid(0x80000000u, &a, &b, &c, &d) != 0 && a >= 0x80000004u) {
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      unsigned regs[4] = {};
      __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
      std::memcpy(brand + leaf * 16, regs, 16);
    }
    info.brand = brand;
    const size_t first = info.brand.find_first_not_of(' ');
    info.brand = first == std::string::npos ? std::string() : info.brand.substr(first);
  }
#endif
  return info;
}

uint32_t DirectXVersionFigure(bool gpu_available) { return gpu_available ? 9 : 0; }

int32_t IsUserAdmin(uint8_t os_version_code) {
  if (os_version_code >= 20 && os_version_code <= 39) return 1;
  return platform::UserIsAdministrator() ? 1 : 0;
}

uint8_t ProbeWritePermission(const std::string& folder) {
  g_probes.read_only_folder = platform::CanCreateFileIn(folder) ? 0 : 1;
  return g_probes.read_only_folder;
}

const char* SoundFormatText(uint32_t bits) {
  static constexpr struct {
    uint32_t mask;
    const char* text;
  } kTable[] = {
      {kWaveFormat4M16 | kWaveFormat4S16, "44.1kHz(16-bit)"},
      {kWaveFormat4M08 | kWaveFormat4S08, "44.1kHz(8-bit)"},
      {kWaveFormat2M16 | kWaveFormat2S16, "22.05kHz(16-bit)"},
      {kWaveFormat2M08 | kWaveFormat2S08, "22.05kHz,(8-bit)"},
      {kWaveFormat1M16 | kWaveFormat1S16, "11.025kHz(16-bit)"},
      {kWaveFormat1M08 | kWaveFormat1S08, "11.025kHz(8-bit)"},
  };
  for (const auto& row : kTable) {
    if ((bits & row.mask) != 0) return row.text;
  }
  return "Disable";
}

std::vector<std::string> BuildSystemReportLines(const SystemProbes& probes,
                                                const platform::DisplayMode& mode) {
  std::vector<std::string> lines;
  char line[256];
  auto add = [&lines, &line](int n) {
    if (n >= 0) lines.emplace_back(line);
  };
  add(std::snprintf(line, sizeof(line), "OS_VER = %d", probes.os_version_code));
  add(std::snprintf(line, sizeof(line), "CPU_NAME = %s", probes.processor.brand.c_str()));
  add(std::snprintf(line, sizeof(line), "CPU_MMX = %d", probes.processor.mmx ? 1 : 0));
  add(std::snprintf(line, sizeof(line), "CPU_SSE = %d", probes.processor.sse ? 1 : 0));
  add(std::snprintf(line, sizeof(line), "CPU_SSE2 = %d", probes.processor.sse2 ? 1 : 0));
  add(std::snprintf(line, sizeof(line), "CPU_CORENUM = %d", probes.processor.count));
  const int32_t count = probes.processor.count;
  const int32_t use = count < 1 ? 1 : (count > 2 ? 2 : count);
  add(std::snprintf(line, sizeof(line), "CPU_COREUSE = %d", use));
  add(std::snprintf(line, sizeof(line), "DirectX_VER = %u", probes.directx_version));
  platform::MemoryStatus memory;
  platform::GetMemoryStatus(&memory);
  const uint64_t total = memory.total_bytes >> 20;
  const uint64_t avail = memory.free_bytes >> 20;
  add(std::snprintf(line, sizeof(line), "MEM_TOTAL = %u MB", static_cast<unsigned>(total)));
  add(std::snprintf(line, sizeof(line), "MEM_AVAIL = %u MB", static_cast<unsigned>(avail)));
  add(std::snprintf(line, sizeof(line), "SCREEN = %d x %d x %d bit (%dHz)", mode.width,
                    mode.height, mode.bits_per_pixel, mode.refresh_hz));
  add(std::snprintf(line, sizeof(line), "ADMIN = %d", IsUserAdmin(probes.os_version_code)));
  lines.emplace_back("VIDEO");
  lines.emplace_back("EnumDisplayDevicesA Not Found.");
  lines.emplace_back("SOUND[OUTPUT]");
  lines.emplace_back("SOUND[INPUT]");
  lines.emplace_back("DISPLAYMODE");
  add(std::snprintf(line, sizeof(line), "[%3d]%4dx%4d %2d bit (%d Hz)", 0, mode.width,
                    mode.height, mode.bits_per_pixel, mode.refresh_hz));
  return lines;
}

void WriteSystemInfoFile(const std::string& folder) {
  std::string path = folder.empty() ? std::string("./") : folder;
  if (path.back() != '/') path += '/';
  path += "info.txt";
  {
    std::ifstream file(path);
    std::string first;
    if (file && std::getline(file, first) && first.rfind("OS_VER = ", 0) == 0) {
      file.close();
      std::remove(path.c_str());
    }
  }
  for (const auto& line : BuildSystemReportLines(g_probes, platform::GetDesktopMode())) TraceNothing(line);
}

void InitSystemProbes() { g_probes = SystemProbes{}; }

}  // namespace korvel
