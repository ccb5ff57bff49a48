// The compiler link: two shared blocks, a handshake of two words polled every 10 ms in real time,
// and the compiled files walked out of the second block with every length checked against it.
#include "resource/compiler_link.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/show_message.h"
#include "core/sjis_text.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "resource/compiler_output.h"
#include "resource/loose_files.h"
#include "resource/pack_format.h"

namespace korvel {

namespace {

constexpr uint32_t kPollMs = 10;

void ShowNoConnection() { ShowMessageF("", Sjis("KORVELコンパイラとデータ通信が出来ませんでした。")); }

// Counts the 10 ms polls of both waits against the limit; sleeps overshoot, so the link never
// gives up before the limit has passed.
struct PollBudget {
  uint64_t left;
  bool Spend() {
    if (left == 0) return false;
    --left;
    platform::SleepRealTimeMs(kPollMs);
    return true;
  }
};

// A compiler that neither finishes nor ends within the limit is ended.
int32_t GiveUpWaiting(int64_t pid, uint32_t wait_limit_ms) {
  platform::EndProcess(pid);
  ShowMessageF("", Sjis("KORVELコンパイラが %d 秒以内に終了しませんでした。"),
               static_cast<int32_t>((uint64_t{wait_limit_ms} + 999) / 1000));
  return -1;
}

// Both blocks, closed (and their names removed) on every way out.
struct LinkBlocks {
  platform::SharedBlock first, second;
  ~LinkBlocks() {
    platform::CloseSharedBlock(&first);
    platform::CloseSharedBlock(&second);
  }
};

// Walks `count` records (u32 name length, name, u32 data size, data) through the block copy and
// registers each file. A name is its bytes up to the first NUL among them (a compiler may count the
// NUL that ends it), else all of them. False when a record does not fit the block, a name is empty
// or longer than 260 bytes, or memory runs out.
bool RegisterRecords(const std::vector<uint8_t>& block, uint32_t count) {
  struct Record {
    size_t name_at, name_length, data_at, data_size;
  };
  std::vector<Record> records;
  const uint64_t size = block.size();
  uint64_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < 4) return false;
    const uint64_t name_length = LoadU32(block.data() + at);
    at += 4;
    if (size - at < name_length) return false;
    const auto* name = block.data() + at;
    const auto* nul = static_cast<const uint8_t*>(std::memchr(name, 0, name_length));
    const uint64_t text_length = nul != nullptr ? static_cast<uint64_t>(nul - name) : name_length;
    if (text_length < 1 || text_length > kCompilerMaxNameLength) return false;
    const uint64_t name_at = at;
    at += name_length;
    if (size - at < 4) return false;
    const uint64_t data_size = LoadU32(block.data() + at);
    at += 4;
    if (size - at < data_size) return false;
    records.push_back({name_at, text_length, at, data_size});
    at += data_size;
  }
  // Only a block that is whole hands over any file.
  for (const Record& r : records) {
    const std::string name(reinterpret_cast<const char*>(block.data()) + r.name_at, r.name_length);
    if (RegisterCompilerOutputFile(name.c_str(), block.data() + r.data_at,
                                   static_cast<uint32_t>(r.data_size)) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string CompilerBlockName() {
  const std::string name = platform::GetEnvironment("KORVEL_COMPILER_BLOCK");
  return name.empty() ? std::string("KORVELCompilerFileMapObject") : name;
}

std::string FindCompilerProgram(const std::string& game_folder) {
  std::string path;
  bool is_folder = false;
  if (platform::ResolvePath(game_folder, "system/RIDed/RIDed", &path, &is_folder) !=
          platform::FileStatus::kOk ||
      is_folder || !platform::IsExecutableFile(path)) {
    return "";
  }
  return path;
}

int32_t RunCompilerLink(const std::string& program, const std::string& game_folder,
                        std::string* working_folder, uint32_t wait_limit_ms) {
  LinkBlocks blocks;
  const std::string name = CompilerBlockName();
  // The folder text and its NUL must fit behind offset 132.
  if (game_folder.size() + 1 > kCompilerBlockSize - kCompilerFolderOffset ||
      !platform::CreateSharedBlock(name, kCompilerBlockSize, &blocks.first)) {
    ShowNoConnection();
    return -1;
  }
  uint8_t* first = blocks.first.data;
  platform::StoreSharedU32(first + kCompilerFormatOffset, kCompilerFormat);
  std::memcpy(first + kCompilerFolderOffset, game_folder.data(), game_folder.size());

  const int64_t pid = platform::StartProcess(program, {"kr"}, {game_folder, false});
  if (pid < 0) {
    ShowMessageF("", Sjis("KORVELコンパイラを起動できませんでした。"));
    return -1;
  }
  PollBudget budget{wait_limit_ms / kPollMs};
  platform::SleepRealTimeMs(kPollMs);
  while (platform::LoadSharedU32(first + kCompilerReadyOffset) != 1) {
    if (platform::ProcessHasEnded(pid)) return -1;  // ended without its output
    if (!budget.Spend()) return GiveUpWaiting(pid, wait_limit_ms);
  }

  const uint32_t count = platform::LoadSharedU32(first + kCompilerCountOffset);
  uint64_t size = platform::LoadSharedU32(first + kCompilerSizeOffset);
  if (size == 0) size = 16;
  if (size > kCompilerMaxFilesBlock ||
      !platform::CreateSharedBlock(name + "2", static_cast<size_t>(size), &blocks.second)) {
    // The compiler never gets its go: it is ended, and start-up goes on without it.
    platform::EndProcess(pid);
    ShowNoConnection();
    return -1;
  }
  platform::StoreSharedU32(first + kCompilerGoOffset, 1);
  while (!platform::ProcessHasEnded(pid)) {
    if (!budget.Spend()) return GiveUpWaiting(pid, wait_limit_ms);
  }

  if (count >= 1) {
    const std::vector<uint8_t> copy(blocks.second.data, blocks.second.data + size);
    if (!RegisterRecords(copy, count)) {
      ShowNoConnection();
      return -1;
    }
  }

  const uint8_t result = __atomic_load_n(first + kCompilerResultOffset, __ATOMIC_ACQUIRE);
  const char* folder_text = reinterpret_cast<const char*>(first + kCompilerFolderOffset);
  const size_t folder_room = kCompilerBlockSize - kCompilerFolderOffset;
  const size_t folder_length = strnlen(folder_text, folder_room);
  if (result != 1) return 1;  // the compiler has shown its own errors
  if (folder_length == folder_room) {
    ShowNoConnection();
    return -1;
  }
  std::string folder;
  bool is_folder = false;
  if (platform::ResolvePath(std::string(folder_text, folder_length), "", &folder, &is_folder) !=
          platform::FileStatus::kOk ||
      !is_folder) {
    ShowNoConnection();
    return -1;
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  *working_folder = folder;
  return 0;
}

int32_t RunCompilerLinkAtStartup(const std::string& game_folder) {
  const std::string program = FindCompilerProgram(game_folder);
  if (program.empty()) return 0;
  std::string folder;
  const int32_t result = RunCompilerLink(program, game_folder, &folder);
  if (result != 0) {
    // Start-up ends here; say why on stderr, since a compiler that ended early showed nothing.
    std::fprintf(stderr, "korvel: the script compiler %s %s\n", program.c_str(),
                 result == 1 ? "reported a failure" : "did not hand over its output");
    return -1;
  }
  SetLooseFileRoot(folder);
  platform::ChangeDirectory(folder);
  return 0;
}

}  // namespace korvel
