// Mounting the packs: the folder scan (the game folder and its "pac" sub-folder), registration
// with its limits, update packs mounted last, and the index every lookup searches. Packs appended
// to the executable replace the scan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resource/pack_format.h"
#include "resource/pack_index.h"

namespace korvel {

// Where the packs come from.
struct PackMountConfig {
  std::string game_folder;         // UTF-8; the scan starts here
  bool inside_executable = false;  // mount only the pack appended to `executable`
  std::string executable;          // UTF-8 path of the program file
  uint64_t executable_base = 0;    // where the appended pack starts in it
};

struct PackFileRecord {
  std::string path;        // UTF-8 path, or kExecutablePackPath for the appended pack
  std::string shown_path;  // code page 932, for messages
  bool is_update = false;  // update1.kpf .. update9.kpf
  uint32_t entry_count = 0;
  uint64_t directory_end = 0;  // from the start of the pack, once mounted
};

struct PackMountState {
  PackMountConfig config;
  std::vector<PackFileRecord> packs;           // registration order = pack number
  std::string update_paths[kUpdatePackSlots];  // found by the scan, mounted last
  uint64_t entry_total = 0;
  PackIndex index;
  uint8_t packs_inside_executable = 0;
  bool mounted = false;
};

extern PackMountState g_packs;

// The pack-name length table is a constant of the format; this start-up step has nothing left to
// build. Returns 0.
int BuildPackTables();

// Scans for packs (or takes the appended one), registers them, reads every directory into the
// index and installs the pack source. 0, or -1 after reporting (start-up then ends).
// MountPackArchives takes the game folder and the appended pack from the start-up state.
int MountPackArchives();
int MountPackArchivesWith(const PackMountConfig& config);

// Forgets every pack and removes the pack source.
void UnmountPackArchives();

// The data is packed: the packs are inside the executable, or an entry krbin\krcfg.kbn is mounted.
uint8_t DataIsPacked();

// Starts an empty mount state for `config` (what MountPackArchivesWith does first).
void ResetPackMountState(const PackMountConfig& config);

// Registers one pack (UTF-8 path, or kExecutablePackPath). 0 registered or ignored (another magic),
// -1 refused (101st pack, version below 234, too many entries in all), -2 cannot be opened.
int32_t RegisterPackFile(const std::string& path);

// Breadth-first scan from `start_folder` (depth 1) through sub-folders named "pac" while the
// folder's depth is at most `depth_limit`. Ordinary packs are registered as found (listings sorted
// with letter case folded); update packs go to their slots. 0, or -1 after reporting.
int32_t ScanPackFolders(int32_t depth_limit, const std::string& start_folder);

// 1..9 when the file name is update1.kpf .. update9.kpf (without regard to case), else 0.
int32_t UpdatePackNumber(const std::string& file_name);

}  // namespace korvel
