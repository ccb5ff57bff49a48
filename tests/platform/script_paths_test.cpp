// Script paths: a table of paths against one small tree (relative, escapes, absolute, drive and
// UNC names, links leading out, case variants, a 0x5C trail byte, over-long names), and the
// folder chain, copy and delete operations that go through the same fence.
#include "platform/script_paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "param_names.h"

namespace korvel::platform {
namespace {

namespace fs = std::filesystem;

class ScriptPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvel-spath-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    top_ = pattern;
    root_ = top_ + "/game";
    fs::create_directories(root_ + "/Data/BG");
    fs::create_directories(top_ + "/outside");
    fs::create_directories(root_ + "/\xe8\xa1\xa8");
    Write("Data/BG/Title.PNG", "title");
    Write("\xe8\xa1\xa8/a.txt", "hyou");  // "表" (0x95 0x5C in code page 932)
    std::ofstream(top_ + "/outside/secret.txt") << "secret";
    fs::create_symlink(top_ + "/outside", root_ + "/out");
    fs::create_symlink(top_ + "/outside/secret.txt", root_ + "/leak.txt");
    fs::create_symlink("Data/BG/Title.PNG", root_ + "/inner.png");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(top_, ec);
    ForgetFolderListings();
  }
  void Write(const std::string& relative, const std::string& bytes) {
    std::ofstream(root_ + "/" + relative, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string top_, root_;
};

struct PathCase {
  const char* name;
  std::string path;  // code page 932
  FileStatus read;   // resolving an existing file
  const char* found; // below the root, when read is kOk
  FileStatus write;  // resolving for a write
};

const PathCase kPathCases[] = {
    {"relative", "data\\bg\\title.png", FileStatus::kOk, "Data/BG/Title.PNG", FileStatus::kOk},
    {"slashes", "data/bg/title.png", FileStatus::kOk, "Data/BG/Title.PNG", FileStatus::kOk},
    {"case variant", "DATA\\Bg\\TITLE.png", FileStatus::kOk, "Data/BG/Title.PNG", FileStatus::kOk},
    {"dotdot inside", "data\\..\\data\\bg\\title.png", FileStatus::kOk, "Data/BG/Title.PNG",
     FileStatus::kOk},
    {"dotdot through missing", "none\\..\\data\\bg\\title.png", FileStatus::kOk,
     "Data/BG/Title.PNG", FileStatus::kOk},
    {"dotdot escape", "..\\game\\data\\bg\\title.png", FileStatus::kRefused, "",
     FileStatus::kRefused},
    {"dotdot escape later", "data\\..\\..\\x", FileStatus::kRefused, "", FileStatus::kRefused},
    {"absolute", "/etc/passwd", FileStatus::kRefused, "", FileStatus::kRefused},
    {"rooted backslash", "\\etc\\passwd", FileStatus::kRefused, "", FileStatus::kRefused},
    {"drive", "c:\\windows\\win.ini", FileStatus::kRefused, "", FileStatus::kRefused},
    {"colon inside", "data\\a:b", FileStatus::kRefused, "", FileStatus::kRefused},
    {"unc", "\\\\srv\\share\\x", FileStatus::kRefused, "", FileStatus::kRefused},
    {"link leaving folder", "out\\secret.txt", FileStatus::kRefused, "", FileStatus::kRefused},
    {"link leaving file", "leak.txt", FileStatus::kRefused, "", FileStatus::kRefused},
    {"link inside", "inner.png", FileStatus::kOk, "inner.png", FileStatus::kOk},
    {"trail byte 5c", "\x95\x5c\\a.txt", FileStatus::kOk, "\xe8\xa1\xa8/a.txt", FileStatus::kOk},
    {"missing file", "data\\bg\\none.png", FileStatus::kNotFound, "", FileStatus::kOk},
    {"missing folder", "none\\x.png", FileStatus::kNotFound, "", FileStatus::kNotFound},
    {"259 bytes", std::string(255, 'a') + ".png", FileStatus::kNotFound, "", FileStatus::kOk},
    {"260 bytes", std::string(256, 'a') + ".png", FileStatus::kRefused, "", FileStatus::kRefused},
};

using test::PrintTo;

class ScriptPathTable : public ScriptPathTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ScriptPathTable, ResolvesOrRefuses) {
  const PathCase& c = GetParam();
  ScriptPath read;
  EXPECT_EQ(ResolveScriptPath(root_, c.path, false, &read), c.read);
  if (c.read == FileStatus::kOk) {
    EXPECT_EQ(read.real, root_ + "/" + c.found);
    EXPECT_TRUE(read.exists);
  }
  ScriptPath write;
  EXPECT_EQ(ResolveScriptPath(root_, c.path, true, &write), c.write);
  if (c.write == FileStatus::kOk) {
    EXPECT_EQ(write.folder + "/" + write.leaf, write.real);
    EXPECT_EQ(write.exists, c.read == FileStatus::kOk);
  }
  // The data-file reader takes the same path the same way.
  std::string real;
  bool folder = false;
  EXPECT_EQ(ResolveSjisPath(root_, c.path, &real, &folder), c.read);
}

INSTANTIATE_TEST_SUITE_P(Paths, ScriptPathTable, ::testing::ValuesIn(kPathCases), test::CaseName{});

TEST_F(ScriptPathTest, FolderChainCreatesEveryMissingParentAndReusesCaseVariants) {
  EXPECT_EQ(CreateScriptFolderChain(root_, "DATA\\new\\deeper\\"), FileStatus::kOk);
  EXPECT_TRUE(fs::is_directory(root_ + "/Data/new/deeper"));
  EXPECT_FALSE(fs::exists(root_ + "/DATA"));
  EXPECT_EQ(CreateScriptFolderChain(root_, "data/new/deeper"), FileStatus::kOk);  // already there
  EXPECT_EQ(CreateScriptFolderChain(root_, "..\\evil\\"), FileStatus::kRefused);
  EXPECT_EQ(CreateScriptFolderChain(root_, "out\\made\\"), FileStatus::kRefused);
  EXPECT_FALSE(fs::exists(top_ + "/evil"));
  EXPECT_FALSE(fs::exists(top_ + "/outside/made"));
}

TEST_F(ScriptPathTest, CopyOverwritesThroughATemporaryFile) {
  Write("copy.bin", "old");
  EXPECT_EQ(CopyScriptFile(root_, "data\\bg\\title.png", "COPY.BIN"), FileStatus::kOk);
  EXPECT_EQ(Read(root_ + "/copy.bin"), "title");
  EXPECT_FALSE(fs::exists(root_ + "/COPY.BIN"));  // the existing name was matched
  EXPECT_EQ(CopyScriptFile(root_, "data\\bg\\title.png", "data\\fresh.png"), FileStatus::kOk);
  EXPECT_EQ(Read(root_ + "/Data/fresh.png"), "title");
  EXPECT_EQ(CopyScriptFile(root_, "out\\secret.txt", "stolen.txt"), FileStatus::kRefused);
  EXPECT_EQ(CopyScriptFile(root_, "data\\bg\\title.png", "out\\planted.txt"), FileStatus::kRefused);
  EXPECT_FALSE(fs::exists(root_ + "/stolen.txt"));
  EXPECT_FALSE(fs::exists(top_ + "/outside/planted.txt"));
  for (const auto& entry : fs::directory_iterator(root_)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".korvel-write", 0), std::string::npos);
  }
}

TEST_F(ScriptPathTest, DeleteAndRemoveStayInsideAndTakeOnlyTheirKind) {
  Write("Save1.sd", "s");
  fs::create_directories(root_ + "/Empty");
  EXPECT_EQ(DeleteScriptFile(root_, "save1.SD"), FileStatus::kOk);
  EXPECT_FALSE(fs::exists(root_ + "/Save1.sd"));
  EXPECT_EQ(DeleteScriptFile(root_, "save1.sd"), FileStatus::kNotFound);
  EXPECT_EQ(DeleteScriptFile(root_, "data"), FileStatus::kIsFolder);
  EXPECT_EQ(DeleteScriptFile(root_, "out\\secret.txt"), FileStatus::kRefused);
  EXPECT_TRUE(fs::exists(top_ + "/outside/secret.txt"));
  EXPECT_EQ(RemoveScriptFolder(root_, "data"), FileStatus::kOpenFailed);  // not empty
  EXPECT_EQ(RemoveScriptFolder(root_, "empty"), FileStatus::kOk);
  EXPECT_FALSE(fs::exists(root_ + "/Empty"));
  EXPECT_EQ(RemoveScriptFolder(root_, ""), FileStatus::kRefused);
  EXPECT_EQ(RemoveScriptFolder(root_, "data\\bg\\title.png"), FileStatus::kNotFound);
}

TEST_F(ScriptPathTest, SizesOfFilesAndFolders) {
  Write("five.bin", "12345");
  uint64_t size = 7;
  EXPECT_EQ(ScriptFileSize(root_, "FIVE.bin", &size), FileStatus::kOk);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(ScriptFileSize(root_, "data", &size), FileStatus::kIsFolder);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(ScriptFileSize(root_, "leak.txt", &size), FileStatus::kRefused);
}

}  // namespace
}  // namespace korvel::platform
