// Fuzz target: a whole pack file, mounted and every entry loaded (stored and zlib entries, repair
// data, bad offsets and sizes). The pack is written once per input to a temporary file that is
// mounted as a pack appended to a program (base 0, a 16-byte footer behind it), so no folder is
// scanned.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "platform/platform.h"
#include "resource/data_file_lookup.h"
#include "resource/pack_lookup.h"
#include "resource/pack_mount.h"

namespace {

std::string g_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::platform::InitPlatformWith(korvel::platform::BackendKind::kHeadless);
  korvel::InitErrorReporting();
  char pattern[] = "/tmp/korvel-pack-fuzz-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
  close(fd);
  g_path = pattern;
  std::atexit([] { std::remove(g_path.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  std::FILE* out = std::fopen(g_path.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(data, 1, size, out);
  static const char kFooter[16] = {'K', 'R', '_', 'R', 'E', 'S'};
  std::fwrite(kFooter, 1, sizeof kFooter, out);
  std::fclose(out);

  PackMountConfig config;
  config.inside_executable = true;
  config.executable = g_path;
  config.executable_base = 0;
  if (MountPackArchivesWith(config) == 0) {
    const PackIndex& index = g_packs.index;
    for (size_t i = 0; i < index.hashes.size() && i < 64; ++i) {
      ResourceLocator locator{};
      locator.source = kSourcePack;
      locator.pack_number = index.packs[i];
      locator.position = int64_t{index.positions[i]} + 1 + index.name_lengths[i] + 1;
      if (LoadPackEntry(&locator, "fuzz") == 0) FreeLocatorData(&locator);
    }
  }
  UnmountPackArchives();
  return 0;
}
