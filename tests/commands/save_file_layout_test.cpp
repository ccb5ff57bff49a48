// Save files on disk: the name rule, where every block lands in new, appended and rewritten
// files, blocks checked with Python's zlib, damaged old files, and saves cut short.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "core/sjis_text.h"
#include "layer/layer_block_codec.h"
#include "platform/file_system.h"
#include "platform/file_writer.h"
#include "save_test_env.h"
#include "support/platform/file_write_hook.h"

namespace korvel::test {
namespace {

struct NameCase {
  const char* name;
  std::string script_name;
  int32_t code;
  std::string file;
};

TEST(SaveFileName, FollowsTheNameRule) {
  const std::string katakana_so = Sjis("ソ");  // its trail byte is '\'
  const NameCase cases[] = {
      {"plain", "Data01", 0, "data01.sd"},
      {"upper_extension", "A.SD", 0, "a.sd"},
      {"kept_extension", "x.sd", 0, "x.sd"},
      {"slash", "save/x", kErrSaveNameBackslash, ""},
      {"backslash", "save\\x", kErrSaveNameBackslash, ""},
      {"thirty_two", std::string(32, 'a'), 0, std::string(32, 'a') + ".sd"},
      {"thirty_three", std::string(33, 'a'), kErrSaveNameLength, ""},
      {"double_byte", katakana_so, 0, katakana_so + ".sd"},
      {"double_byte_upper_trail", Sjis("ア") + "B", 0, Sjis("ア") + "b.sd"},
      {"colon", "c:x", kErrSaveOpen, ""},
  };
  for (const NameCase& c : cases) {
    std::string file;
    EXPECT_EQ(MakeSaveFileName(c.script_name, &file), c.code) << c.name;
    if (c.code == 0) {
      EXPECT_EQ(file, c.file) << c.name;
    }
  }
}

class SaveFileLayout : public SaveEnv {
 protected:
  void Declare(uint32_t number, int64_t value) {
    const uint32_t dims[1] = {1};
    ASSERT_EQ(FillVarIntInit(number, 0, dims, value), 0);
  }
  // Writes slots with values 100 + slot into game.sd.
  void WriteSlots(std::initializer_list<uint32_t> slots) {
    for (uint32_t s : slots) {
      Declare(1000, 100 + s);
      SaveVar(s, 1000);
    }
    ASSERT_EQ(WriteFile(), 0);
    for (uint32_t s = 0; s < 1024; ++s) ASSERT_EQ(g_save_blocks.sizes[s], 0u);
  }
  int64_t LoadInt(uint32_t slot) {
    Declare(1001, -1);
    EXPECT_EQ(Load(slot, 1001), 0);
    return GetVarIntElement(1001, 0);
  }
  // Offset and length of the block the table names for a slot.
  static uint64_t BlockLength(const std::string& file, uint32_t slot) {
    return 16 + U32At(file, TableEntry(file, slot) + 8);
  }
};

TEST_F(SaveFileLayout, NewFileStartsItsFirstBlockAfterTheTable) {
  WriteSlots({1});
  const std::string file = ReadFile(FilePath());
  ASSERT_GE(file.size(), 4128u);
  EXPECT_EQ(file.substr(0, 4), "KRSD");
  EXPECT_EQ(U32At(file, 4), 312u);
  EXPECT_EQ(U32At(file, 8), 1u);
  EXPECT_EQ(U32At(file, 12), 1024u);
  EXPECT_EQ(TableEntry(file, 1), 4112u);
  EXPECT_EQ(U32At(file, 4112), 1u);  // the slot word
  const uint32_t compressed = U32At(file, 4112 + 8);
  EXPECT_EQ(file.size(), 4128u + compressed);
  EXPECT_EQ(uint8_t(file[4116]), 0);  // kind: variable
  EXPECT_EQ(uint8_t(file[4117]), 1);
  EXPECT_EQ(LoadInt(1), 101);
}

TEST_F(SaveFileLayout, RewriteReplacesInPlaceAndAppendsTheRest) {
  WriteSlots({1, 3});
  const std::string before = ReadFile(FilePath());
  const uint64_t slot1_length = BlockLength(before, 1);
  const std::string slot1 = before.substr(TableEntry(before, 1), slot1_length);
  Declare(1000, 203);
  SaveVar(3, 1000);
  Declare(1000, 205);
  SaveVar(5, 1000);
  ASSERT_EQ(WriteFile(), 0);
  const std::string after = ReadFile(FilePath());
  EXPECT_EQ(U32At(after, 8), 3u);  // one block more than before
  EXPECT_EQ(TableEntry(after, 1), 4112u);
  EXPECT_EQ(after.substr(4112, slot1_length), slot1);  // copied unchanged
  EXPECT_EQ(TableEntry(after, 3), 4112u + slot1_length);
  EXPECT_EQ(TableEntry(after, 5), TableEntry(after, 3) + BlockLength(after, 3));
  EXPECT_EQ(after.size(), TableEntry(after, 5) + BlockLength(after, 5));
  for (uint32_t s : {1u, 3u, 5u}) EXPECT_EQ(U32At(after, TableEntry(after, s)), s);
  EXPECT_EQ(LoadInt(1), 101);
  EXPECT_EQ(LoadInt(3), 203);
  EXPECT_EQ(LoadInt(5), 205);
}

TEST_F(SaveFileLayout, AppendPointsEveryEntryAtItsSlotWord) {
  WriteSlots({2});
  const std::string before = ReadFile(FilePath());
  WriteSlots({7, 4});
  const std::string after = ReadFile(FilePath());
  EXPECT_EQ(after.substr(0, before.size()).substr(4112), before.substr(4112));
  EXPECT_EQ(U32At(after, 8), 3u);
  EXPECT_EQ(TableEntry(after, 2), 4112u);
  EXPECT_EQ(TableEntry(after, 4), before.size());  // ascending slot order
  EXPECT_EQ(TableEntry(after, 7), TableEntry(after, 4) + BlockLength(after, 4));
  for (uint32_t s : {2u, 4u, 7u}) {
    EXPECT_EQ(U32At(after, TableEntry(after, s)), s);
    EXPECT_EQ(LoadInt(s), 100 + s);
  }
}

TEST_F(SaveFileLayout, FileNameMatchesAnExistingFileWithoutRegardToCase) {
  WriteSlots({1});
  ASSERT_EQ(std::rename(FilePath().c_str(), FilePath("GAME.SD").c_str()), 0);
  platform::ForgetFolderListings();
  WriteSlots({2});
  EXPECT_FALSE(std::ifstream(FilePath()).good());
  EXPECT_EQ(LoadInt(1), 101);
  EXPECT_EQ(LoadInt(2), 102);
}

TEST_F(SaveFileLayout, MissingFoldersAreCreated) {
  g_save_settings.save_folder = dir_.path() + "/a/b/c/";
  Declare(1000, 9);
  SaveVar(1, 1000);
  EXPECT_EQ(WriteSaveFile(dir_.path() + "/a/b/c", "x.sd").code, 0);
  EXPECT_TRUE(std::ifstream(dir_.path() + "/a/b/c/x.sd").good());
}

// The blocks inflate with Python's zlib to exactly the bytes the payload encoder gives.
TEST_F(SaveFileLayout, BlocksInflateWithPythonZlib) {
  const uint32_t dims[2] = {2, 3};
  ASSERT_EQ(FillVarStringInit(1000, 2, dims, "text"), 0);
  ASSERT_EQ(SetVarStringElement(1000, 5, Sjis("日本語").c_str()), 0);
  SaveVar(1, 1000);
  LayerData* layer = MakeImage("L", 0, 0, 3, 2, 10, 0x80112233, true);
  SaveLayer(2, layer);
  ASSERT_EQ(WriteFile(), 0);
  const std::string script = dir_.Write("inflate.py",
                                        "import sys, struct, zlib\n"
                                        "d = open(sys.argv[1], 'rb').read()\n"
                                        "for s in (1, 2):\n"
                                        "    o = struct.unpack_from('<I', d, 12 + 4 * s)[0]\n"
                                        "    c, r = struct.unpack_from('<II', d, o + 8)\n"
                                        "    raw = zlib.decompress(d[o + 16:o + 16 + c])\n"
                                        "    assert len(raw) == r\n"
                                        "    open(sys.argv[2] + str(s), 'wb').write(raw)\n");
  const std::string out = dir_.path() + "/raw";
  ASSERT_EQ(std::system(("python3 " + script + " " + FilePath() + " " + out).c_str()), 0);
  std::vector<uint8_t> expected;
  ASSERT_EQ(EncodeVariablePayload(*FindVariable(1000), true, 0, &expected), 0);
  EXPECT_EQ(ReadFile(out + "1"), std::string(expected.begin(), expected.end()));
  std::string layer_raw(8 + 1536, '\0');
  const uint32_t head[2] = {1536, 24};
  std::memcpy(layer_raw.data(), head, 8);
  EncodeLayerBlock(*layer, reinterpret_cast<uint8_t*>(layer_raw.data() + 8));
  layer_raw.append(reinterpret_cast<const char*>(layer->pixels), 24);
  EXPECT_EQ(ReadFile(out + "2"), layer_raw);
}

struct DamageCase {
  const char* name;
  size_t at;  // byte to change (in the header or the first block)
  uint32_t value;
  int32_t code;
};

// A rewrite checks the old file first; a damaged one is refused and left as it was, and the
// pending blocks stay.
TEST_F(SaveFileLayout, DamagedOldFileIsLeftUntouched) {
  const DamageCase cases[] = {
      {"magic", 0, 0x44534B4Bu, kErrSaveMagic},
      {"version", 4, 311, kErrSaveVersion},
      {"entry_past_end", 16 + 4 * 1, 0x7FFFFFFF, kErrSaveMagic},
      {"entry_not_slot_word", 16, 4113, kErrSaveMagic},
      {"slot_word_zero", 4112, 0, kErrSaveMagic},
      {"slot_word_past_1024", 4112, 1025, kErrSaveMagic},
      {"size_past_end", 4112 + 8, 0x10000, kErrSaveMagic},
  };
  for (const DamageCase& c : cases) {
    FreeIdBuffers(-1);
    std::remove(FilePath().c_str());
    WriteSlots({1, 2});
    std::string damaged = ReadFile(FilePath());
    std::memcpy(damaged.data() + c.at, &c.value, 4);
    dir_.Write("save/game.sd", damaged);
    platform::ForgetFolderListings();
    Declare(1000, 7);
    SaveVar(3, 1000);
    EXPECT_EQ(WriteFile(), c.code) << c.name;
    EXPECT_EQ(ReadFile(FilePath()), damaged) << c.name;
    EXPECT_NE(g_save_blocks.sizes[2], 0u) << c.name;
  }
  // A short file is no save file either.
  FreeIdBuffers(-1);
  dir_.Write("save/game.sd", "KRSD");
  Declare(1000, 7);
  SaveVar(3, 1000);
  EXPECT_EQ(WriteFile(), kErrSaveMagic);
  EXPECT_EQ(ReadFile(FilePath()), "KRSD");
}

TEST_F(SaveFileLayout, FolderInThePlaceOfTheFileIsAnOpenError) {
  ASSERT_EQ(platform::CreateFolderPath(FilePath()), 0);
  Declare(1000, 7);
  SaveVar(1, 1000);
  EXPECT_EQ(WriteFile(), kErrSaveOpen);
  EXPECT_NE(g_save_blocks.sizes[0], 0u);
}

uint64_t g_kill_at_write = 0;
int KillAtWrite(uint64_t index) {
  if (index == g_kill_at_write) ::raise(SIGKILL);
  return 0;
}

// A save cut short, by the process dying at a chosen write or by a full disk, leaves the old file
// byte for byte.
TEST_F(SaveFileLayout, InterruptedSaveLeavesTheOldFile) {
  WriteSlots({1, 2, 3});
  const std::string old = ReadFile(FilePath());
  const auto prepare = [this] {
    Declare(1000, 77);
    SaveVar(2, 1000);
    SaveVar(9, 1000);
  };
  for (uint64_t kill_at : {0u, 1u, 2u, 4u, 6u}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      prepare();
      g_kill_at_write = kill_at;
      SetFileWriteHook(KillAtWrite);
      WriteFile();
      ::_exit(3);  // every write done: this kill point was past the last write
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << kill_at;
    EXPECT_EQ(ReadFile(FilePath()), old) << "killed at write " << kill_at;
  }
  // Disk full: the file size limit stops the writes (SIGXFSZ ignored, so they fail with EFBIG).
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    prepare();
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 4200;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const SaveWriteResult result = WriteSaveFile(Folder(), "game.sd");
    const bool kept = g_save_blocks.sizes[1] != 0 && g_save_blocks.sizes[8] != 0;
    ::_exit(result.code == kErrSaveOpen && result.error == EFBIG && kept ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(FilePath()), old);
  // The file still loads.
  EXPECT_EQ(LoadInt(2), 102);
}

int FailFolderFlush(uint64_t step) { return step == kFolderFlushStep ? EIO : 0; }

// Once the new file has been renamed into place the save has happened: a folder that cannot be
// flushed afterwards is told on stderr, and the save answers success.
TEST_F(SaveFileLayout, FolderFlushFailureAfterTheRenameIsNoFailure) {
  WriteSlots({1});
  Declare(1000, 55);
  SaveVar(2, 1000);
  SetFileWriteHook(FailFolderFlush);
  ::testing::internal::CaptureStderr();
  const int32_t result = WriteFile();
  const std::string err = ::testing::internal::GetCapturedStderr();
  SetFileWriteHook(nullptr);
  EXPECT_EQ(result, 0);
  EXPECT_NE(err.find("game.sd"), std::string::npos) << err;
  EXPECT_NE(err.find("flushed"), std::string::npos) << err;
  EXPECT_EQ(LoadInt(1), 101);
  EXPECT_EQ(LoadInt(2), 55);
}

}  // namespace
}  // namespace korvel::test
