// Writes .kpf packs (stored or zlib entries, with or without repair data) and appends a pack to a
// copy of the engine's executable with the footer that tells the engine where it starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::tools {

enum class PackCompression : uint8_t {
  kStored,
  kZlib,  // every entry compressed
  kAuto,  // compressed where that makes the entry smaller
};

struct PackWriterOptions {
  PackCompression compression = PackCompression::kAuto;
  int level = 9;            // zlib level
  bool repair_data = true;  // parity and block checks behind every entry
};

struct PackFileInput {
  std::string name;  // code page 932, any letter case, '/' or '\' separators
  std::vector<uint8_t> bytes;
};

// The name as packs store it: '\' separators, ASCII letters lower-cased (double-byte characters
// untouched). Empty when the name is empty, longer than 255 bytes or holds a NUL.
std::string PackEntryName(const std::string& name);

// The repair block behind stored bytes: 1024 parity bytes and a check per 1024-byte block, or
// the empty block (no repair data).
std::vector<uint8_t> BuildRepairBlock(const uint8_t* stored, size_t size, bool with_parity);

// Builds a pack: entries sorted by stored name, each entry's stored bytes followed by its repair
// block. False with a message for a bad or repeated name, or a pack past 4 GiB of directory.
bool BuildPack(const std::vector<PackFileInput>& files, const PackWriterOptions& options,
               std::vector<uint8_t>* pack, std::string* error);

// Every regular file below `folder` (UTF-8), named by its relative path in code page 932. False
// with a message when a name has no code page 932 form or a file cannot be read.
bool CollectFolderFiles(const std::string& folder, std::vector<PackFileInput>* files,
                        std::string* error);

// "update<n>.kpf" for n = 1..9.
std::string UpdatePackFileName(int number);

// The executable's bytes with `pack` appended: the bare executable (without a block it already
// carries), "KRER", the pack offset 16, preview size 0, a zero word, the pack, then the footer
// "KR_RES\0\0" + u64 size of the bare executable.
std::vector<uint8_t> AppendPackToExecutable(const std::vector<uint8_t>& executable,
                                            const std::vector<uint8_t>& pack);

// Whole-file helpers. Writes go to a temporary file renamed into place; `mode` sets the
// permissions of the new file.
bool ReadWholeFileBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
bool WriteWholeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, unsigned mode,
                         std::string* error);

}  // namespace korvel::tools
