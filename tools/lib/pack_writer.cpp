// The pack writer and the executable appender.
#include "lib/pack_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/appended_data.h"
#include "core/murmur_hash.h"
#include "core/shift_jis.h"
#include "core/byte_writer.h"
#include "platform/text_encoding.h"
#include "resource/pack_crc32.h"
#include "resource/pack_format.h"
#include "resource/resource_locator.h"

namespace korvel::tools {

namespace {

struct PreparedEntry {
  std::string name;
  const std::vector<uint8_t>* bytes = nullptr;
  uint8_t compression = kPackStored;
  std::vector<uint8_t> packed;  // zlib stream when compressed
};

bool Compress(const std::vector<uint8_t>& bytes, int level, std::vector<uint8_t>* out) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  out->resize(size);
  if (compress2(out->data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), level) !=
      Z_OK) {
    return false;
  }
  out->resize(size);
  return true;
}

}  // namespace

std::string PackEntryName(const std::string& name) {
  if (name.empty() || name.size() > 255 || name.find('\0') != std::string::npos) return {};
  std::string plain = name;
  SlashToBackslash(plain.data());
  LowercaseAsciiDbcs(plain.data());
  return plain;
}

std::vector<uint8_t> BuildRepairBlock(const uint8_t* stored, size_t size, bool with_parity) {
  ByteWriter w;
  if (!with_parity) {
    w.U32(0);
    w.U32(0);
    return w.bytes;
  }
  const uint64_t blocks = PackRepairBlockCount(size);
  w.U32(kPackRepairBlockSize);
  w.U32(static_cast<uint32_t>(blocks));
  uint8_t parity[kPackRepairBlockSize] = {};
  for (size_t at = 0; at < size; at += kPackRepairBlockSize) {
    const size_t n = std::min<size_t>(size - at, kPackRepairBlockSize);
    w.U16(static_cast<uint16_t>(Crc32(stored + at, n)));
    for (size_t j = 0; j < n; ++j) parity[j] ^= stored[at + j];
  }
  w.Bytes(parity, sizeof parity);
  return w.bytes;
}

bool BuildPack(const std::vector<PackFileInput>& files, const PackWriterOptions& options,
               std::vector<uint8_t>* pack, std::string* error) {
  pack->clear();
  std::vector<PreparedEntry> entries;
  entries.reserve(files.size());
  for (const PackFileInput& file : files) {
    PreparedEntry entry;
    entry.name = PackEntryName(file.name);
    if (entry.name.empty()) {
      *error = "cannot store the name \"" + file.name + "\" (empty, NUL or over 255 bytes)";
      return false;
    }
    if (file.bytes.size() > UINT32_MAX) {
      *error = "\"" + file.name + "\" is 4 GiB or more";
      return false;
    }
    entry.bytes = &file.bytes;
    entries.push_back(std::move(entry));
  }
  if (entries.size() > kMaxPackEntries) {
    *error = "more than " + std::to_string(kMaxPackEntries) + " files";
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const PreparedEntry& a, const PreparedEntry& b) { return a.name < b.name; });
  for (size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].name == entries[i - 1].name) {
      *error = "two files are stored as \"" + entries[i].name + "\"";
      return false;
    }
  }

  uint64_t directory_size = 0;
  for (PreparedEntry& entry : entries) {
    directory_size += kPackEntryFixedSize + entry.name.size();
    if (options.compression == PackCompression::kStored) continue;
    if (!Compress(*entry.bytes, options.level, &entry.packed)) {
      *error = "zlib failed on \"" + entry.name + "\"";
      return false;
    }
    if (options.compression == PackCompression::kZlib ||
        entry.packed.size() < entry.bytes->size()) {
      entry.compression = kPackZlib;
    } else {
      entry.packed.clear();
    }
  }
  if (directory_size > UINT32_MAX) {
    *error = "the directory is larger than 4 GiB";
    return false;
  }

  ByteWriter w;
  w.Bytes(kPackMagic, sizeof kPackMagic);
  w.I32(kPackVersion);
  w.U32(static_cast<uint32_t>(entries.size()));
  w.U32(static_cast<uint32_t>(directory_size));
  w.Zeros(16);
  ByteWriter data;
  uint64_t offset = kPackHeaderSize + directory_size;
  for (const PreparedEntry& entry : entries) {
    const std::vector<uint8_t>& stored =
        entry.compression == kPackZlib ? entry.packed : *entry.bytes;
    if (stored.size() > UINT32_MAX) {
      *error = "\"" + entry.name + "\" does not fit in 4 GiB when compressed";
      return false;
    }
    w.U32(MurmurHash2(entry.name.data(), entry.name.size()));
    w.U8(PackNameLengthCode(static_cast<uint8_t>(entry.name.size())));
    for (const char c : entry.name) w.U8(static_cast<uint8_t>(~static_cast<uint8_t>(c)));
    w.U8(TypeFromExtension(entry.name));
    w.U8(entry.compression);
    w.U32(static_cast<uint32_t>(entry.bytes->size()));
    w.U32(static_cast<uint32_t>(stored.size()));
    w.U64(offset);
    w.U32(MurmurHash2(stored.data(), stored.size()));
    const std::vector<uint8_t> repair =
        BuildRepairBlock(stored.data(), stored.size(), options.repair_data);
    data.Bytes(stored);
    data.Bytes(repair);
    offset += stored.size() + repair.size();
  }
  w.Bytes(data.bytes);
  pack->swap(w.bytes);
  return true;
}

bool CollectFolderFiles(const std::string& folder, std::vector<PackFileInput>* files,
                        std::string* error) {
  namespace fs = std::filesystem;
  files->clear();
  std::error_code ec;
  const fs::path root(folder);
  if (!fs::is_directory(root, ec)) {
    *error = "not a folder: " + folder;
    return false;
  }
  std::vector<fs::path> paths;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_regular_file(type_ec)) paths.push_back(it->path());
  }
  if (ec) {
    *error = "cannot list " + folder + ": " + ec.message();
    return false;
  }
  std::sort(paths.begin(), paths.end());
  for (const fs::path& path : paths) {
    const std::string relative = path.lexically_relative(root).generic_string();
    PackFileInput file;
    file.name = platform::Utf8ToCp932(relative);
    if (platform::Cp932ToUtf8(file.name) != relative) {
      *error = "the name \"" + relative + "\" has no code page 932 form";
      return false;
    }
    if (!ReadWholeFileBytes(path.string(), &file.bytes, error)) return false;
    files->push_back(std::move(file));
  }
  return true;
}

std::string UpdatePackFileName(int number) { return "update" + std::to_string(number) + ".kpf"; }

std::vector<uint8_t> AppendPackToExecutable(const std::vector<uint8_t>& executable,
                                            const std::vector<uint8_t>& pack) {
  // A program that already carries a block is taken without it.
  uint64_t bare = executable.size();
  uint64_t r = 0;
  if (ParseAppendedFooter(executable.data(), executable.size(), &r) && r > kNoAppendedBlock &&
      r <= executable.size() - kAppendedFooterSize) {
    bare = r;
  }
  ByteWriter w;
  w.Bytes(executable.data(), static_cast<size_t>(bare));
  w.Text("KRER");
  w.U32(16);  // the pack follows the block header
  w.U32(0);   // no preview bitmap
  w.U32(0);
  w.Bytes(pack);
  w.Bytes("KR_RES\0\0", 8);
  w.U64(bare);
  return w.bytes;
}

bool ReadWholeFileBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  bytes->clear();
  std::FILE* in = std::fopen(path.c_str(), "rbe");
  if (in == nullptr) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  uint8_t buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    bytes->insert(bytes->end(), buffer, buffer + got);
  }
  const bool ok = std::ferror(in) == 0;
  std::fclose(in);
  if (!ok) *error = "cannot read " + path;
  return ok;
}

bool WriteWholeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, unsigned mode,
                         std::string* error) {
  const std::string temporary = path + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    *error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ok = fchmod(fd, mode) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
  }
  return ok;
}

}  // namespace korvel::tools
