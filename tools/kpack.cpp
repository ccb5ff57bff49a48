// kpack: builds a .kpf pack from every file below a folder (stored or zlib entries, with or without
// repair data), or an update pack update<N>.kpf.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/pack_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kpack [--stored | --zlib | --auto] [--level 0-9] [--no-repair]\n"
               "             [--update N] FOLDER OUTPUT\n"
               "  Packs every file below FOLDER; names are the files' paths from FOLDER.\n"
               "  --stored / --zlib: store or compress every entry; --auto (default) compresses\n"
               "      entries that get smaller.\n"
               "  --no-repair: leave out the parity that lets the engine mend a damaged block.\n"
               "  --update N: an update pack (N = 1..9); OUTPUT is the folder that receives\n"
               "      update<N>.kpf. Without it OUTPUT is the pack file.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace korvel::tools;
  PackWriterOptions options;
  int update = 0;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--stored") {
      options.compression = PackCompression::kStored;
    } else if (arg == "--zlib") {
      options.compression = PackCompression::kZlib;
    } else if (arg == "--auto") {
      options.compression = PackCompression::kAuto;
    } else if (arg == "--no-repair") {
      options.repair_data = false;
    } else if (arg == "--level" && i + 1 < argc) {
      const std::string value = argv[++i];
      if (value.size() != 1 || value[0] < '0' || value[0] > '9') return Usage();
      options.level = value[0] - '0';
    } else if (arg == "--update" && i + 1 < argc) {
      const std::string value = argv[++i];
      if (value.size() != 1 || value[0] < '1' || value[0] > '9') return Usage();
      update = value[0] - '0';
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return Usage();

  std::string error;
  std::vector<PackFileInput> files;
  std::vector<uint8_t> pack;
  if (!CollectFolderFiles(positional[0], &files, &error) ||
      !BuildPack(files, options, &pack, &error)) {
    std::fprintf(stderr, "kpack: %s\n", error.c_str());
    return 1;
  }
  std::string output = positional[1];
  if (update != 0) output += "/" + UpdatePackFileName(update);
  if (!WriteWholeFileBytes(output, pack, 0644, &error)) {
    std::fprintf(stderr, "kpack: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu files, %zu bytes\n", output.c_str(), files.size(), pack.size());
  return 0;
}
