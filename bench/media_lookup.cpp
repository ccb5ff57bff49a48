// LocateMediaFile on loose files: a miss (all four image extensions tried through every source),
// hits on the first and the last extension, and the bare stat calls of a miss as a reference.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "resource/data_file_lookup.h"

namespace korvel {
namespace {

// A game folder with 200 images in "BG", some as ".png" and one as ".gif"; made once.
const std::string& GameFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/korvel-bench-media-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    const std::string root = std::string(pattern) + "/";
    std::filesystem::create_directories(root + "BG");
    for (int i = 0; i < 200; ++i) {
      std::ofstream(root + "BG/Image" + std::to_string(i) + ".PNG") << "x";
    }
    std::ofstream(root + "BG/Last.gif") << "x";
    InitResourceLookup(root);
    std::atexit([] { std::filesystem::remove_all(GameFolder()); });
    return root;
  }();
  return folder;
}

void Locate(benchmark::State& state, const char* name) {
  GameFolder();
  ResourceLocator locator{};
  std::string output;
  for (auto _ : state) {
    benchmark::DoNotOptimize(LocateMediaFile(&locator, &output, name, kMediaImage));
  }
}

void BM_LocateMediaFile_Miss(benchmark::State& state) { Locate(state, "bg\\Missing"); }
BENCHMARK(BM_LocateMediaFile_Miss);

void BM_LocateMediaFile_MissingFolder(benchmark::State& state) { Locate(state, "ev\\Missing"); }
BENCHMARK(BM_LocateMediaFile_MissingFolder);

void BM_LocateMediaFile_FirstExtension(benchmark::State& state) { Locate(state, "bg\\image150"); }
BENCHMARK(BM_LocateMediaFile_FirstExtension);

void BM_LocateMediaFile_LastExtension(benchmark::State& state) { Locate(state, "bg\\last"); }
BENCHMARK(BM_LocateMediaFile_LastExtension);

// What a case-sensitive miss costs at the least: one stat per extension.
void BM_StatMissReference(benchmark::State& state) {
  const std::string base = GameFolder() + "BG/Missing";
  const std::string names[] = {base + ".png", base + ".bmp", base + ".jpg", base + ".gif"};
  struct stat st {};
  for (auto _ : state) {
    for (const auto& name : names) benchmark::DoNotOptimize(stat(name.c_str(), &st));
  }
}
BENCHMARK(BM_StatMissReference);

}  // namespace
}  // namespace korvel
