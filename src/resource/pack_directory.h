// Reading a pack's header and walking its directory from memory, every entry checked against the
// bytes left.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

struct PackHeaderFields {
  bool magic_ok = false;
  int32_t version = 0;
  uint32_t entry_count = 0;
  uint32_t directory_size = 0;
};

// The header fields from the first bytes of a pack. False when fewer than 16 bytes are given.
bool ParsePackHeader(const uint8_t* bytes, size_t size, PackHeaderFields* header);

// One directory entry as read. `name` (plain: the stored bytes inverted) stays valid only during
// the visit.
struct PackDirectoryEntry {
  uint32_t hash = 0;
  uint32_t length_position = 0;  // of the length code, from the start of the pack
  const char* name = nullptr;
  uint32_t name_length = 0;
  uint8_t type = 0;
  uint8_t compression = 0;
  uint32_t size = 0;
  uint32_t stored_size = 0;
  uint64_t data_offset = 0;
  uint32_t data_hash = 0;
};

// Returns false to stop the walk.
using PackEntryVisitor = bool (*)(void* context, const PackDirectoryEntry& entry);

enum class PackDirectoryResult : uint8_t {
  kOk,
  kTruncated,  // an entry does not fit in the bytes left
  kStopped,    // the visitor stopped the walk
};

// Walks `count` entries of the directory bytes (which start at pack offset 32).
PackDirectoryResult ParsePackDirectory(const uint8_t* directory, size_t size, uint32_t count,
                                       PackEntryVisitor visit, void* context);

// The most directory bytes `count` entries can use (names are at most 255 bytes).
uint64_t MaxPackDirectoryBytes(uint64_t count);

}  // namespace korvel
