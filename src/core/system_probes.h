// System probes: the operating-system version code, processor facts, the "DirectX version" figure,
// the write probe of the data folder, the best-format text of a wave device and the system report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvel {

struct ProcessorInfo {
  std::string brand;  // CPUID brand string, empty where there is none
  bool mmx = false;
  bool sse = false;
  bool sse2 = false;
  bool avx2 = false;
  int32_t count = 1;  // processors online
};

struct SystemProbes {
  uint8_t os_version_code = 255;
  ProcessorInfo processor;
  uint32_t directx_version = 0;
  uint8_t read_only_folder = 0;  // a file cannot be created in the data folder
};

extern SystemProbes g_probes;

// The code of a Windows build number (950 -> 1 ... 9600 -> 91), 255 for any other.
uint8_t WindowsVersionCodeForBuild(uint32_t build);
// There is no Windows build here: always 255, which starts normally.
uint8_t GetWindowsVersionCode();

ProcessorInfo ProbeProcessor();

// 9 when GPU drawing is available, else 0.
uint32_t DirectXVersionFigure(bool gpu_available);

// 1 for version codes 20 to 39, otherwise whether the process runs as root.
int32_t IsUserAdmin(uint8_t os_version_code);

// Creates and deletes a temporary file "ini..." in `folder`; failure sets the read-only flag.
// Returns the flag.
uint8_t ProbeWritePermission(const std::string& folder);

// Wave-device format bits (WAVE_FORMAT_*).
enum : uint32_t {
  kWaveFormat1M08 = 0x1, kWaveFormat1S08 = 0x2, kWaveFormat1M16 = 0x4, kWaveFormat1S16 = 0x8,
  kWaveFormat2M08 = 0x10, kWaveFormat2S08 = 0x20, kWaveFormat2M16 = 0x40, kWaveFormat2S16 = 0x80,
  kWaveFormat4M08 = 0x100, kWaveFormat4S08 = 0x200, kWaveFormat4M16 = 0x400,
  kWaveFormat4S16 = 0x800,
};
// The best format of a wave device, or "Disable".
const char* SoundFormatText(uint32_t format_bits);

// The lines of the system report, in order ("OS_VER = ..." first).
std::vector<std::string> BuildSystemReportLines(const SystemProbes& probes,
                                                const platform::DisplayMode& desktop);

// Deletes `folder`/info.txt when its first line is one the report writes, then composes the report
// lines into the discarding trace sink. No file is written.
void WriteSystemInfoFile(const std::string& folder);

void InitSystemProbes();

}  // namespace korvel
