// Helpers the fuzz targets share: serving the input as a compiled file, and a scratch folder for
// targets whose parser reads a file from disk.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace korvel::fuzz {

// The bytes every compiled-file request is answered with, for the one file the target reads.
struct ServedFile {
  const char* name = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
};
inline ServedFile g_served;

// A DataFileLoader: the input for the served name, "not found" for any other.
inline int ServeInput(const char* name, std::vector<uint8_t>* out) {
  if (g_served.name == nullptr || std::strcmp(name, g_served.name) != 0) return -1;
  out->assign(g_served.data, g_served.data + g_served.size);
  return 0;
}

// A folder of its own under /tmp, removed at exit with what the target wrote into it.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/korvel-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return folder;
}

// The files written into the scratch folder, removed with it when the process ends.
inline std::vector<std::string>& ScratchFiles() {
  static std::vector<std::string>* files = [] {
    auto* list = new std::vector<std::string>();
    std::atexit([] {
      for (const std::string& path : ScratchFiles()) std::remove(path.c_str());
      rmdir(ScratchFolder().c_str());
    });
    return list;
  }();
  return *files;
}

// Writes `size` bytes to <scratch>/<name> and returns the path.
inline std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
  const std::string path = ScratchFolder() + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  if (std::fclose(out) != 0) std::abort();
  bool known = false;
  for (const std::string& p : ScratchFiles()) known = known || p == path;
  if (!known) ScratchFiles().push_back(path);
  return path;
}

}  // namespace korvel::fuzz
