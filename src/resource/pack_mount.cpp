// Pack registration, the folder scan and mounting.
#include "resource/pack_mount.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/appended_data.h"
#include "core/error_report.h"
#include "core/program_paths.h"
#include "platform/text_encoding.h"
#include "resource/loose_files.h"
#include "resource/pack_lookup.h"
#include "resource/pack_source.h"
#include "resource/pack_stream.h"

namespace korvel {

PackMountState g_packs;

namespace {

constexpr int32_t kMaxScanFolders = 999;
constexpr int32_t kMaxScanDepth = 32;

char FoldUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldUpper(a[i]) != FoldUpper(b[i])) return false;
  }
  return true;
}

// Folder listings in the order Windows lists them: letter case folded, then by bytes.
bool ListedBefore(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldUpper(a[i]));
    const auto y = static_cast<unsigned char>(FoldUpper(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string ShownPath(const std::string& path) {
  return platform::Utf8ToCp932(path == kExecutablePackPath ? g_pack_executable.path : path);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct ListedEntry {
  std::string name;
  bool is_file = false;
  bool is_folder = false;
};

std::vector<ListedEntry> ListFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<ListedEntry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return entries;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    ListedEntry entry;
    entry.name = it->path().filename().string();
    std::error_code type_ec;
    entry.is_file = it->is_regular_file(type_ec);
    entry.is_folder = !entry.is_file && it->is_directory(type_ec);
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), [](const ListedEntry& a, const ListedEntry& b) {
    return ListedBefore(a.name, b.name);
  });
  return entries;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Reads one registered pack's header and directory into the index. 0, or -1 after reporting.
int ReadPackDirectory(int32_t number) {
  PackFileRecord& pack = g_packs.packs[static_cast<size_t>(number)];
  DataFileStream stream;
  if (!OpenDataFile(&stream, pack.path)) {
    ReportError(901040, true, pack.shown_path);
    return -1;
  }
  uint8_t head[kPackHeaderSize];
  PackHeaderFields header;
  bool ok = ReadFileBytes(&stream, head, sizeof head) &&
            ParsePackHeader(head, sizeof head, &header) && header.magic_ok &&
            header.version >= kPackVersion && header.entry_count == pack.entry_count &&
            header.directory_size <= StreamLength(stream) - kPackHeaderSize;
  std::vector<uint8_t> directory;
  if (ok) {
    const uint64_t wanted =
        std::min<uint64_t>(header.directory_size, MaxPackDirectoryBytes(header.entry_count));
    directory.resize(static_cast<size_t>(wanted));
    ok = ReadFileBytes(&stream, directory.data(), directory.size()) &&
         AddPackDirectory(&g_packs.index, number, directory.data(), directory.size(),
                          header.entry_count) == PackDirectoryResult::kOk;
    pack.directory_end = kPackHeaderSize + wanted;
  }
  CloseDataFile(&stream);
  if (!ok) {
    // The file is not what its registration read, or its directory runs past its bytes.
    ReportError(104120, true, pack.shown_path);
    return -1;
  }
  return 0;
}

int MountFailed() {
  UnmountPackArchives();
  return -1;
}

}  // namespace

int BuildPackTables() { return 0; }

void ResetPackMountState(const PackMountConfig& config) {
  g_packs = PackMountState{};
  g_packs.config = config;
  g_pack_executable = PackExecutable{};
  if (config.inside_executable) {
    g_pack_executable.path = config.executable;
    g_pack_executable.base = config.executable_base;
    g_packs.packs_inside_executable = 1;
  }
}

int32_t UpdatePackNumber(const std::string& file_name) {
  if (file_name.size() != 11 || !EqualNoCase(file_name.substr(0, 6), "update") ||
      !EqualNoCase(file_name.substr(7), ".kpf")) {
    return 0;
  }
  const char digit = file_name[6];
  return digit >= '1' && digit <= '9' ? digit - '0' : 0;
}

int32_t RegisterPackFile(const std::string& path) {
  if (g_packs.packs.size() >= kMaxPackFiles) {
    ReportError(104130, true, static_cast<int32_t>(kMaxPackFiles));
    return -1;
  }
  PackFileRecord pack;
  pack.path = path;
  pack.shown_path = ShownPath(path);
  pack.is_update = path != kExecutablePackPath && UpdatePackNumber(FileNameOf(path)) != 0;

  DataFileStream stream;
  if (!OpenDataFile(&stream, path)) {
    ReportError(901040, true, pack.shown_path);
    return -2;
  }
  const uint64_t length = StreamLength(stream);
  uint8_t head[16] = {};
  const bool read = ReadFileBytes(&stream, head, length < sizeof head ? length : sizeof head);
  CloseDataFile(&stream);
  if (!read) {
    ReportError(901040, true, pack.shown_path);
    return -2;
  }
  PackHeaderFields header;
  ParsePackHeader(head, sizeof head, &header);
  if (length < sizeof kPackMagic || !header.magic_ok) return 0;  // not a pack: ignored
  if (length < kPackHeaderSize || header.version < kPackVersion) {
    ReportError(104120, true, pack.shown_path);
    return -1;
  }
  g_packs.entry_total += header.entry_count;
  if (g_packs.entry_total > kMaxPackEntries) {
    ReportError(104140, true, static_cast<int32_t>(kMaxPackEntries));
    return -1;
  }
  pack.entry_count = header.entry_count;
  g_packs.packs.push_back(std::move(pack));
  return 0;
}

int32_t ScanPackFolders(int32_t depth_limit, const std::string& start_folder) {
  struct Folder {
    std::string path;
    int32_t depth;
  };
  std::vector<Folder> folders = {{start_folder, 1}};
  for (size_t i = 0; i < folders.size(); ++i) {
    const std::string folder = folders[i].path;
    const int32_t depth = folders[i].depth;
    for (const ListedEntry& entry : ListFolder(folder)) {
      const std::string path = JoinPath(folder, entry.name);
      if (entry.is_file && entry.name.size() >= 4 &&
          EqualNoCase(entry.name.substr(entry.name.size() - 4), ".kpf")) {
        const int32_t update = UpdatePackNumber(entry.name);
        if (update == 0) {
          if (RegisterPackFile(path) < 0) return -1;
          continue;
        }
        std::string& slot = g_packs.update_paths[update - 1];
        if (!slot.empty()) {
          std::fprintf(stderr, "korvel: warning: update pack %s is ignored; %s has its number\n",
                       slot.c_str(), path.c_str());
        }
        slot = path;
      } else if (entry.is_folder && EqualNoCase(entry.name, "pac") && depth <= depth_limit) {
        if (folders.size() + 1 > static_cast<size_t>(kMaxScanFolders)) {
          ReportErrorPlain(104110, true);
          return -1;
        }
        if (depth + 1 >= kMaxScanDepth) {
          ReportErrorPlain(104111, true);
          return -1;
        }
        folders.push_back({path, depth + 1});
      }
    }
  }
  return 0;
}

int MountPackArchives() {
  PackMountConfig config;
  config.game_folder = LooseFileRoot();
  config.inside_executable = g_appended.packs_inside_executable;
  config.executable = g_paths.executable;
  config.executable_base = g_appended.pack_base;
  return MountPackArchivesWith(config);
}

int MountPackArchivesWith(const PackMountConfig& config) {
  UnmountPackArchives();
  ResetPackMountState(config);

  if (config.inside_executable) {
    if (RegisterPackFile(kExecutablePackPath) < 0) return MountFailed();
  } else {
    if (ScanPackFolders(1, config.game_folder) < 0) return MountFailed();
    for (const std::string& path : g_packs.update_paths) {
      if (!path.empty() && RegisterPackFile(path) < 0) return MountFailed();
    }
  }

  std::vector<uint8_t> is_update;
  for (size_t i = 0; i < g_packs.packs.size(); ++i) {
    if (ReadPackDirectory(static_cast<int32_t>(i)) != 0) return MountFailed();
    is_update.push_back(g_packs.packs[i].is_update ? 1 : 0);
  }
  std::string duplicate;
  if (!FinishPackIndex(&g_packs.index, is_update, &duplicate)) {
    ReportError(104150, false, duplicate);
    return MountFailed();
  }
  g_packs.mounted = true;
  static constexpr PackSource kMountedPacks = {FindPackEntry, LoadPackEntry};
  SetPackSource(&kMountedPacks);
  return 0;
}

void UnmountPackArchives() {
  if (g_packs.mounted) SetPackSource(nullptr);
  g_packs = PackMountState{};
  g_pack_executable = PackExecutable{};
}

uint8_t DataIsPacked() {
  return g_packs.packs_inside_executable != 0 || g_packs.index.data_is_packed != 0 ? 1 : 0;
}

}  // namespace korvel
