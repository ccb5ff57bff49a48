// The compiler link with a stand-in compiler (fake_compiler, built with the tests): delivered files
// shadow files on disk, the compiler's failures and malformed blocks end the link, and both shared
// blocks are gone afterwards on every path.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "param_names.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "platform/shared_memory.h"
#include "resource/compiler_link.h"
#include "resource/compiler_output.h"
#include "resource/data_file_lookup.h"
#include "resource/loose_files.h"
#include "test_support.h"

namespace korvel {
namespace {

class CompilerLinkTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    static int serial = 0;
    block_ = "korvel-link-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    setenv("KORVEL_COMPILER_BLOCK", block_.c_str(), 1);
    folder_ = game_.path() + "/";
    InitResourceLookup(folder_);
  }
  void TearDown() override {
    EXPECT_FALSE(platform::SharedBlockExists(block_)) << "first block left behind";
    EXPECT_FALSE(platform::SharedBlockExists(block_ + "2")) << "second block left behind";
    unsetenv("KORVEL_COMPILER_BLOCK");
    ShutdownResourceLookup();
    HeadlessEngine::TearDown();
  }

  // The stand-in compiler at `relative` in the game folder.
  std::string InstallCompiler(const std::string& relative = "system/RIDed/RIDed") {
    const std::filesystem::path path = game_.path() + "/" + relative;
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(FAKE_COMPILER, path,
                               std::filesystem::copy_options::overwrite_existing);
    return path.string();
  }
  void Control(const std::string& text) { game_.Write("fake_compiler.txt", text); }
  std::string Report() const { return test::ReadFile(game_.File("fake_compiler.out")); }
  static std::string Loaded(const char* name) {
    ResourceLocator locator{};
    if (LoadDataFile(&locator, name, false) <= 0) return "<none>";
    std::string text(reinterpret_cast<const char*>(locator.data), locator.size);
    FreeLocatorData(&locator);
    return text;
  }
  static void Answer() {
    std::string error;
    ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  }

  test::TempDir game_;
  std::string folder_;
  std::string block_;
};

TEST_F(CompilerLinkTest, DeliveredFilesShadowFilesOnDisk) {
  game_.Write("krbin/a.kbn", "from disk");
  game_.Write("krbin/b.kbn", "only on disk");
  InstallCompiler("SYSTEM/rided/RIDED");  // any letter case
  Control("file krbin\\a.kbn fresh from the compiler\nfile krbin\\c.kbn third\n");
  ASSERT_EQ(RunCompilerLinkAtStartup(folder_), 0);
  EXPECT_EQ(Report(), "argument kr\nformat 478\nfolder " + folder_ + "\nsecond " +
                          std::to_string(2 * 8 + 11 + 23 + 11 + 5) + "\n");
  EXPECT_EQ(Loaded("krbin\\a.kbn"), "fresh from the compiler");
  EXPECT_EQ(Loaded("KRBIN\\A.KBN"), "fresh from the compiler");
  EXPECT_EQ(Loaded("krbin\\b.kbn"), "only on disk");
  EXPECT_EQ(Loaded("krbin\\c.kbn"), "third");
  EXPECT_EQ(LooseFileRoot(), std::filesystem::canonical(game_.path()).string() + "/");
}

TEST_F(CompilerLinkTest, NoCompilerNoLink) {
  game_.Write("system/RIDed/RIDed.exe", "MZ");
  game_.Write("system/RIDed/readme.txt", "");
  EXPECT_EQ(FindCompilerProgram(folder_), "");
  ASSERT_EQ(RunCompilerLinkAtStartup(folder_), 0);
  EXPECT_TRUE(g_compiler_output.files.empty());
  EXPECT_FALSE(std::filesystem::exists(game_.File("fake_compiler.out")));
  // A file of that name that may not be run is no compiler either.
  const std::string path = InstallCompiler();
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write);
  EXPECT_EQ(FindCompilerProgram(folder_), "");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  EXPECT_EQ(FindCompilerProgram(folder_), path);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// A record: u32 name length, name, u32 data size, data.
std::vector<uint8_t> Record(uint32_t name_length, const std::string& name, uint32_t size,
                            const std::string& data) {
  std::string r;
  const auto put = [&r](uint32_t v) {
    for (int i = 0; i < 4; ++i) r += static_cast<char>(v >> (8 * i));
  };
  put(name_length);
  r += name;
  put(size);
  r += data;
  return std::vector<uint8_t>(r.begin(), r.end());
}

struct LinkCase {
  const char* name;
  std::string control;
  int32_t result;
  bool message;        // the link's own message box
  size_t files;        // registered afterwards
  std::string second;  // the second block's size the compiler saw ("" when it saw none)
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class CompilerLinkCases : public CompilerLinkTest,
                          public ::testing::WithParamInterface<LinkCase> {};

TEST_P(CompilerLinkCases, EndAsExpected) {
  const LinkCase& c = GetParam();
  const std::string program = InstallCompiler();
  Control(c.control);
  if (c.message) Answer();
  std::string folder = "unchanged";
  EXPECT_EQ(RunCompilerLink(program, folder_, &folder), c.result);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_EQ(platform::HeadlessAbortStatus(), 0) << "no other dialog";
  EXPECT_EQ(g_compiler_output.files.size(), c.files);
  // However the link ends, the compiler has ended and been reaped.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  const std::string report = Report();
  const size_t at = report.find("second ");
  EXPECT_EQ(at == std::string::npos ? "" : report.substr(at + 7, report.size() - at - 8), c.second)
      << report;
  if (c.result != 0) {
    EXPECT_EQ(folder, "unchanged");
  }
}

const std::vector<uint8_t> kGood = Record(5, "a.kbn", 3, "abc");
std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompilerLinkCases,
    ::testing::Values(
        LinkCase{"exit before ready", "exit-before-ready\n", -1, false, 0, ""},
        LinkCase{"result 0", "result 0\nfile a.kbn x\n", 1, false, 1, "14"},
        LinkCase{"zero files", "", 0, false, 0, "16"},
        LinkCase{"second block over 1 GiB", "size 2147483647\nfile a.kbn x\n", -1, true, 0, ""},
        LinkCase{"size 0 makes 16 bytes", "size 0\nraw " + Hex(Record(1, "z", 0, "")) + "\n", 0,
                 false, 1, "16"},
        LinkCase{"count 0 ignores the block", "count 0\nfile a.kbn x\n", 0, false, 0, "14"},
        LinkCase{"empty name", "raw " + Hex(Record(0, "", 1, "x")) + "\n", -1, true, 0, "9"},
        LinkCase{"name over 260 bytes",
                 "raw " + Hex(Record(261, std::string(261, 'n'), 0, "")) + "\n", -1, true, 0,
                 "269"},
        // A name ends at its first NUL: the bytes after it are not part of it.
        LinkCase{"name with a NUL", "raw " + Hex(Record(3, std::string("a\0b", 3), 0, "")) + "\n",
                 0, false, 1, "11"},
        LinkCase{"name that is a NUL alone", "raw " + Hex(Record(1, std::string(1, '\0'), 1, "x")) +
                 "\n", -1, true, 0, "10"},
        LinkCase{"260 bytes and the NUL",
                 "raw " + Hex(Record(261, std::string(260, 'n') + '\0', 0, "")) + "\n", 0, false,
                 1, "269"},
        LinkCase{"name past the block", "raw " + Hex(Record(200, "abc", 0, "")) + "\n", -1, true,
                 0, "11"},
        LinkCase{"data past the block", "raw " + Hex(Record(1, "a", 0xFFFFFFF0u, "xyz")) + "\n",
                 -1, true, 0, "12"},
        LinkCase{"count beyond the records", "count 2\nraw " + Hex(kGood) + "\n", -1, true, 0,
                 "16"},
        LinkCase{"two good records", "count 2\nraw " + Hex(Join(kGood, kGood)) + "\n", 0, false,
                 2, "32"},
        LinkCase{"missing folder returned", "folder /nonexistent/korvel\n", -1, true, 0, "16"},
        LinkCase{"folder without its NUL", "folder " + std::string(400, 'x') + "\n", -1, true, 0,
                 "16"}),
    test::CaseName());

// A compiler that counts the NUL ending each name in the name's length hands over files under
// their names.
TEST_F(CompilerLinkTest, NamesCountingTheirNulAreTaken) {
  InstallCompiler();
  Control("count 2\nraw " +
          Hex(Join(Record(12, std::string("krbin\\a.kbn\0", 12), 3, "abc"),
                   Record(5, std::string("b.kb\0", 5), 2, "de"))) +
          "\n");
  ASSERT_EQ(RunCompilerLinkAtStartup(folder_), 0);
  ASSERT_EQ(g_compiler_output.files.size(), 2u);
  EXPECT_EQ(Loaded("krbin\\a.kbn"), "abc");
  EXPECT_EQ(Loaded("b.kb"), "de");
}

TEST_F(CompilerLinkTest, FolderTooLongForTheBlock) {
  const std::string program = InstallCompiler();
  Answer();
  std::string folder;
  const std::string long_folder = "/" + std::string(379, 'd');  // with its NUL: 381 > 380
  EXPECT_EQ(RunCompilerLink(program, long_folder, &folder), -1);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_FALSE(std::filesystem::exists(game_.File("fake_compiler.out"))) << "never started";
}

// A compiler that hangs before its output or after its go is ended once the wait limit has passed;
// the link fails with its own message.
TEST_F(CompilerLinkTest, HangingCompilerIsEndedAtTheLimit) {
  const std::string program = InstallCompiler();
  for (const char* control : {"hang-before-ready\n", "hang-after-go\nfile a.kbn x\n"}) {
    SCOPED_TRACE(control);
    Control(control);
    Answer();
    std::string folder = "unchanged";
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunCompilerLink(program, folder_, &folder, 3000), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("KORVELコンパイラが 3 秒以内に終了しませんでした。"), std::string::npos) << err;
    EXPECT_EQ(folder, "unchanged");
    EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
    EXPECT_EQ(platform::HeadlessAbortStatus(), 0) << "no other dialog";
    EXPECT_NE(Report().find("hanging\n"), std::string::npos) << Report();
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the compiler was ended and reaped";
    EXPECT_EQ(errno, ECHILD);
  }
}

// The compiler names the working folder: one outside the game folder is taken as it stands (a
// developer may keep the compiled files elsewhere).
TEST_F(CompilerLinkTest, ReturnedFolderOutsideTheGameFolderIsTaken) {
  const std::string program = InstallCompiler();
  test::TempDir outside;
  Control("folder " + outside.path() + "\n");
  std::string folder = "unchanged";
  EXPECT_EQ(RunCompilerLink(program, folder_, &folder), 0);
  EXPECT_EQ(folder, outside.path() + "/");
}

TEST_F(CompilerLinkTest, ReturnedFolderBecomesTheLooseFileRoot) {
  game_.Write("other/krbin/x.kbn", "in other");
  InstallCompiler();
  Control("folder " + game_.path() + "/other\n");
  ASSERT_EQ(RunCompilerLinkAtStartup(folder_), 0);
  EXPECT_EQ(Loaded("krbin\\x.kbn"), "in other");
}

}  // namespace
}  // namespace korvel
