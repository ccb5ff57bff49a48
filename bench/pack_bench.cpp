// Packs: mounting 100,000 entries, 10^5 lookups, and loading stored and zlib entries in MB/s next
// to their peers, a plain open + pread (+ uncompress) of the same bytes; pread + MurmurHash2 shows
// what the stored entries' hash check costs on its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/murmur_hash.h"
#include "resource/pack_format.h"
#include "resource/pack_lookup.h"
#include "resource/pack_mount.h"

namespace korvel {
namespace {

void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

struct BenchEntry {
  std::string name;
  std::string stored;
  uint32_t size = 0;
  uint8_t compression = kPackStored;
};

// A pack without repair data (the bytes are intact, so it is never read).
std::string BuildPack(const std::vector<BenchEntry>& entries) {
  uint64_t directory_size = 0;
  for (const BenchEntry& e : entries) directory_size += kPackEntryFixedSize + e.name.size();
  std::string out("KPF\0", 4);
  PutU32(&out, kPackVersion);
  PutU32(&out, static_cast<uint32_t>(entries.size()));
  PutU32(&out, static_cast<uint32_t>(directory_size));
  out.append(16, '\0');
  uint64_t offset = kPackHeaderSize + directory_size;
  for (const BenchEntry& e : entries) {
    PutU32(&out, MurmurHash2(e.name.data(), e.name.size()));
    out.push_back(static_cast<char>(PackNameLengthCode(static_cast<uint8_t>(e.name.size()))));
    for (const char c : e.name) out.push_back(static_cast<char>(~c));
    out.push_back(0);
    out.push_back(static_cast<char>(e.compression));
    PutU32(&out, e.size);
    PutU32(&out, static_cast<uint32_t>(e.stored.size()));
    PutU32(&out, static_cast<uint32_t>(offset));
    PutU32(&out, static_cast<uint32_t>(offset >> 32));
    PutU32(&out, MurmurHash2(e.stored.data(), e.stored.size()));
    offset += e.stored.size() + 8;
  }
  for (const BenchEntry& e : entries) out += e.stored + std::string(8, '\0');
  return out;
}

// Folders made by this run, removed at exit.
std::vector<std::string>& MadeFolders() {
  static std::vector<std::string> folders;
  return folders;
}

std::string NewFolder() {
  char pattern[] = "/tmp/korvel-bench-pack-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  if (MadeFolders().empty()) {
    std::atexit([] {
      for (const std::string& folder : MadeFolders()) std::filesystem::remove_all(folder);
    });
  }
  MadeFolders().push_back(std::string(pattern) + "/");
  return MadeFolders().back();
}

std::string EntryName(int i) {
  char name[64];
  std::snprintf(name, sizeof name, "bg\\chapter%02d\\image_%06d.png", i % 37, i);
  return name;
}

// A game folder with one pack of 100,000 empty entries; made once.
const std::string& LargeFolder() {
  static const std::string folder = [] {
    const std::string root = NewFolder();
    std::vector<BenchEntry> entries(100000);
    for (int i = 0; i < 100000; ++i) entries[static_cast<size_t>(i)].name = EntryName(i);
    std::ofstream(root + "large.kpf", std::ios::binary) << BuildPack(entries);
    return root;
  }();
  return folder;
}

void BM_Mount100000Entries(benchmark::State& state) {
  PackMountConfig config;
  config.game_folder = LargeFolder();
  for (auto _ : state) {
    if (MountPackArchivesWith(config) != 0) state.SkipWithError("mount failed");
    UnmountPackArchives();
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Mount100000Entries)->Unit(benchmark::kMillisecond);

void BM_100000Lookups(benchmark::State& state) {
  PackMountConfig config;
  config.game_folder = LargeFolder();
  if (MountPackArchivesWith(config) != 0) state.SkipWithError("mount failed");
  std::vector<std::string> names;
  for (int i = 0; i < 100000; ++i) names.push_back(EntryName(i));
  std::shuffle(names.begin(), names.end(), std::mt19937(7));
  for (auto _ : state) {
    int found = 0;
    for (const std::string& name : names) {
      ResourceLocator locator{};
      found += FindPackEntry(&locator, name.c_str()) == kSourcePack ? 1 : 0;
    }
    if (found != 100000) state.SkipWithError("lookup missed");
  }
  state.SetItemsProcessed(state.iterations() * 100000);
  UnmountPackArchives();
}
BENCHMARK(BM_100000Lookups)->Unit(benchmark::kMillisecond);

// Data that compresses about 3:1, like typical image and script data.
std::string Contents(size_t size) {
  std::string out(size, '\0');
  std::mt19937 random(11);
  for (size_t i = 0; i < size; ++i) {
    out[i] = static_cast<char>((i / 64) % 7 == 0 ? random() & 0xFF : (i * 31 / 1024) & 0x3F);
  }
  return out;
}

struct LoadFixture {
  std::string folder;
  std::string pack_path;
  uint64_t offset = 0;  // of the entry's stored bytes
  uint32_t size = 0;
  uint32_t stored = 0;
};

const LoadFixture& LoadFolder(size_t size, bool zlib) {
  static std::vector<std::pair<std::pair<size_t, bool>, LoadFixture>> made;
  for (const auto& m : made) {
    if (m.first == std::make_pair(size, zlib)) return m.second;
  }
  LoadFixture f;
  f.folder = NewFolder();
  f.pack_path = f.folder + "data.kpf";
  BenchEntry entry;
  entry.name = "entry.bin";
  const std::string data = Contents(size);
  entry.size = static_cast<uint32_t>(size);
  if (zlib) {
    uLongf n = compressBound(static_cast<uLong>(size));
    entry.stored.resize(n);
    compress2(reinterpret_cast<Bytef*>(entry.stored.data()), &n,
              reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(size), 6);
    entry.stored.resize(n);
    entry.compression = kPackZlib;
  } else {
    entry.stored = data;
  }
  const std::string pack = BuildPack({entry});
  std::ofstream(f.pack_path, std::ios::binary) << pack;
  f.offset = kPackHeaderSize + kPackEntryFixedSize + entry.name.size();
  f.size = entry.size;
  f.stored = static_cast<uint32_t>(entry.stored.size());
  made.push_back({{size, zlib}, f});
  return made.back().second;
}

void LoadEntry(benchmark::State& state, bool zlib) {
  const LoadFixture& f = LoadFolder(static_cast<size_t>(state.range(0)), zlib);
  PackMountConfig config;
  config.game_folder = f.folder;
  if (MountPackArchivesWith(config) != 0) state.SkipWithError("mount failed");
  for (auto _ : state) {
    ResourceLocator locator{};
    if (FindPackEntry(&locator, "entry.bin") != kSourcePack ||
        LoadPackEntry(&locator, "entry.bin") != 0) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(locator.data);
    FreeLocatorData(&locator);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  UnmountPackArchives();
}

// The peer: open, read the stored bytes with pread, (uncompress,) close.
void PlainRead(benchmark::State& state, bool zlib, bool hash) {
  const LoadFixture& f = LoadFolder(static_cast<size_t>(state.range(0)), zlib);
  for (auto _ : state) {
    const int fd = open(f.pack_path.c_str(), O_RDONLY | O_CLOEXEC);
    auto* stored = static_cast<uint8_t*>(std::malloc(f.stored));
    if (pread(fd, stored, f.stored, static_cast<off_t>(f.offset)) !=
        static_cast<ssize_t>(f.stored)) {
      state.SkipWithError("short read");
    }
    if (zlib) {
      auto* out = static_cast<uint8_t*>(std::malloc(f.size));
      uLongf n = f.size;
      if (uncompress(out, &n, stored, f.stored) != Z_OK) state.SkipWithError("uncompress");
      benchmark::DoNotOptimize(out);
      std::free(out);
    }
    if (hash) benchmark::DoNotOptimize(MurmurHash2(stored, f.stored));
    benchmark::DoNotOptimize(stored);
    std::free(stored);
    close(fd);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_LoadStored(benchmark::State& state) { LoadEntry(state, false); }
void BM_PreadPeer(benchmark::State& state) { PlainRead(state, false, false); }
void BM_PreadAndHashPeer(benchmark::State& state) { PlainRead(state, false, true); }
void BM_LoadZlib(benchmark::State& state) { LoadEntry(state, true); }
void BM_PreadUncompressPeer(benchmark::State& state) { PlainRead(state, true, false); }

BENCHMARK(BM_LoadStored)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_PreadPeer)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_PreadAndHashPeer)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_LoadZlib)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_PreadUncompressPeer)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);

}  // namespace
}  // namespace korvel
