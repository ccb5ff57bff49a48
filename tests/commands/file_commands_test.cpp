// Commands 15 and 16 run through their handlers with hand-set arguments on a game folder of
// their own: the export format choice and its clamps, delete names, the folder chain and the
// copy, preload banks (move to the end, dropping the oldest, bank numbers outside 1..4), opening
// URLs and files through fake `xdg-mime` / `xdg-open` / viewer programs that log their arguments,
// and command 16's questions by mode and source.
#include "commands/file_commands.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "layer/layer_test_env.h"
#include "param_names.h"
#include "platform/open_target.h"
#include "resource/data_file_lookup.h"
#include "resource/preload_banks.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"
#include "support/platform/started_programs_probe.h"
#include "test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kInt = 1000, kText = 1001, kReal = 1002;

class FileCommandTest : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    root_ = game_.path() + "/";
    InitResourceLookup(root_);
    SetFileCommandRoot(root_);
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    ASSERT_EQ(FillVarIntInit(kInt, 0, nullptr, -7), 0);
    ASSERT_EQ(FillVarStringInit(kText, 0, nullptr, "old"), 0);
    ASSERT_EQ(FillVarRealInit(kReal, 0, nullptr, -7.5), 0);
    saved_decoder_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };
    // Text buffers that earlier code left belong to it: set aside, given back afterwards.
    for (size_t i = 0; i < std::size(g_args.at); ++i) {
      saved_texts_[i] = g_args.at[i].text;
      g_args.at[i].text = nullptr;
    }
    ClearDecodedArguments();
  }
  void TearDown() override {
    test::WaitStartedPrograms();
    g_argument_decoder = saved_decoder_;
    FreeDecodedArguments();
    for (size_t i = 0; i < std::size(g_args.at); ++i) g_args.at[i].text = saved_texts_[i];
    FreeVariableRecords();
    SetFileCommandRoot("");
    ShutdownResourceLookup();
    LayerEnv::TearDown();
  }

  // Arguments: a number, a flag (given, value 0), a text, a variable element.
  void Position(uint8_t param) {
    if (g_args.presence[param] == 0) g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
  }
  void Num(uint8_t param, int64_t value) {
    Position(param);
    g_args.at[g_args.presence[param]].value = value;
  }
  void Flag(uint8_t param) { Num(param, 0); }
  void Text(uint8_t param, const std::string& text) {
    Position(param);
    DecodedArgument& a = g_args.at[g_args.presence[param]];
    if (a.text == nullptr) a.text = static_cast<char*>(std::calloc(4096, 1));
    std::strncpy(a.text, text.c_str(), 4095);
    a.text_length = text.size();
  }
  void Var(uint8_t param, uint32_t number) {
    Position(param);
    g_args.at[g_args.presence[param]].var_number = number;
    g_args.at[g_args.presence[param]].element_index = 0;
  }
  void Reset() { ClearDecodedArguments(); }

  std::string File(const std::string& relative) const { return root_ + relative; }
  void Put(const std::string& relative, const std::string& bytes) {
    fs::create_directories(fs::path(File(relative)).parent_path());
    game_.Write(relative, bytes);
  }
  // A 4 × 3 image layer "pic" with varied pixels.
  void MakePicture() {
    LayerData* layer = MakeImage("pic", 0, 0, 4, 3, 1, 0xFF102030u, true);
    ASSERT_NE(layer, nullptr);
    for (int i = 0; i < 4 * 3 * 4; ++i) layer->pixels[i] = static_cast<uint8_t>(i * 37 + 11);
  }
  test::TempDir game_;
  std::string root_;
  ArgumentDecoder saved_decoder_ = nullptr;
  char* saved_texts_[std::size(DecodedArguments{}.at)] = {};
};

struct FormatCase {
  const char* name;
  std::vector<std::pair<uint8_t, int64_t>> nums;
  const char* file;
};

class FileCommandFormats : public FileCommandTest,
                           public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FileCommandFormats, ChoiceAndExtension) {
  const FormatCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(MakePicture());
  Reset();
  Text(0, "SHOT");
  Text(10, "pic");
  for (const auto& [param, value] : c.nums) Num(param, value);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_TRUE(fs::exists(File(c.file))) << c.file;
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(root_)) {
    files += entry.path().filename().string().rfind("shot", 0) == 0;
  }
  EXPECT_EQ(files, 1u);
}

using test::PrintTo;
INSTANTIATE_TEST_SUITE_P(
    Formats, FileCommandFormats,
    ::testing::Values(FormatCase{"default png", {}, "shot.png"},
                      FormatCase{"bmp", {{11, 1}}, "shot.bmp"},
                      FormatCase{"png over bmp", {{11, 1}, {12, 1}}, "shot.png"},
                      FormatCase{"jpeg over both", {{11, 1}, {12, 1}, {13, 1}}, "shot.jpg"},
                      FormatCase{"jpeg with bmp", {{11, 1}, {13, 1}}, "shot.jpg"},
                      FormatCase{"two is no choice", {{11, 2}}, "shot.png"},
                      FormatCase{"png two stays bmp", {{11, 1}, {12, 2}}, "shot.bmp"}),
    test::CaseName{});

TEST_F(FileCommandTest, ExtensionIsNotDoubledAndLevelsAreClamped) {
  ASSERT_NO_FATAL_FAILURE(MakePicture());
  // Clamped values write the same bytes as the bounds.
  const auto bytes = [&](const std::string& name, std::initializer_list<std::pair<uint8_t, int64_t>> nums) {
    fs::remove_all(File("out"));
    fs::create_directories(File("out"));
    Reset();
    Text(0, "out/" + name);
    Text(10, "pic");
    for (const auto& [param, value] : nums) Num(param, value);
    EXPECT_EQ(RunFileCommand(), 0);
    std::string found;
    for (const auto& entry : fs::directory_iterator(File("out"))) found = entry.path().string();
    EXPECT_EQ(fs::path(found).filename().string(), "shot.jpg");
    return test::ReadFile(found);
  };
  const std::string q0 = bytes("shot.JPG", {{13, 1}, {9, 0}});
  EXPECT_EQ(q0, bytes("shot", {{13, 1}, {9, 1}}));
  EXPECT_EQ(bytes("shot", {{13, 1}, {9, 150}}), bytes("shot", {{13, 1}, {9, 100}}));
  EXPECT_EQ(bytes("shot", {{13, 1}}), bytes("shot", {{13, 1}, {9, 90}}));
  EXPECT_EQ(bytes("shot", {{13, 1}, {9, int64_t{1} << 40}}), bytes("shot", {{13, 1}, {9, 100}}));
  EXPECT_NE(q0, bytes("shot", {{13, 1}, {9, 100}}));
  const auto png = [&](std::initializer_list<std::pair<uint8_t, int64_t>> nums) {
    fs::remove(File("shot.png"));
    Reset();
    Text(0, "shot");
    Text(10, "pic");
    for (const auto& [param, value] : nums) Num(param, value);
    EXPECT_EQ(RunFileCommand(), 0);
    return test::ReadFile(File("shot.png"));
  };
  EXPECT_EQ(png({{9, -3}}), png({{9, 0}}));
  EXPECT_EQ(png({{9, 12}}), png({{9, 9}}));
  EXPECT_EQ(png({}), png({{9, 5}}));
  EXPECT_NE(png({{9, 0}}), png({{9, 9}}));
}

TEST_F(FileCommandTest, MissingLayerIsReportedAndOtherStepsDoNotRun) {
  Reset();
  Text(0, "shot");
  Text(10, "nothing");
  Text(2, "made");
  Flag(3);
  EXPECT_EQ(RunFileCommand(), -1);
  EXPECT_EQ(LastErrorReport().code, 101250);
  EXPECT_FALSE(fs::exists(File("made")));
  EXPECT_FALSE(fs::exists(File("shot.png")));
}

// The export's layer path may not hold a space in a path of segments (a plain name is taken as it
// stands, as everywhere).
TEST_F(FileCommandTest, LayerPathWithASpaceIsRefused) {
  ASSERT_NE(MakeImage("my pic", 0, 0, 2, 2, 1, 0xFF102030u, true), nullptr);
  for (const char* path : {"./my pic"}) {
    SCOPED_TRACE(path);
    Reset();
    Text(0, "shot");
    Text(10, path);
    Text(2, "made");
    Flag(3);
    const uint32_t reports = LastErrorReport().count;
    EXPECT_EQ(RunFileCommand(), -1);
    EXPECT_EQ(LastErrorReport().count, reports + 1);
    EXPECT_EQ(LastErrorReport().code, 100242);
    EXPECT_FALSE(fs::exists(File("made")));
    EXPECT_FALSE(fs::exists(File("shot.png")));
    InitEngineState();
  }
}

TEST_F(FileCommandTest, FolderChainCopyAndDelete) {
  Reset();
  Text(2, "A/B/C");
  Flag(3);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_TRUE(fs::is_directory(File("a/b/c")));

  Put("src.txt", "new");
  Put("dst.txt", "old");
  Reset();
  Text(0, "SRC.txt");
  Text(1, "Dst.TXT");
  Flag(4);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_EQ(test::ReadFile(File("dst.txt")), "new");

  // Both spellings of a save file name delete save\data01.sd; the folder goes only when empty.
  for (const char* name : {"save/data01", "SAVE/DATA01.SD"}) {
    Put("save/data01.sd", "s");
    Reset();
    Text(0, name);
    Flag(5);
    ASSERT_EQ(RunFileCommand(), 0);
    EXPECT_FALSE(fs::exists(File("save/data01.sd"))) << name;
  }
  Put("save/keep.sd", "k");
  Reset();
  Text(2, "save");
  Flag(5);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_TRUE(fs::exists(File("save/keep.sd")));
  fs::remove(File("save/keep.sd"));
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_FALSE(fs::exists(File("save")));
  // Escapes change nothing.
  Reset();
  Text(0, "../outside");
  Flag(5);
  Text(2, "..\\");
  Flag(3);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_TRUE(fs::exists(game_.path()));
}

std::string BankNames(int32_t bank) {
  std::string names;
  for (int32_t r = 0; r < g_preload_banks[bank].count; ++r) {
    names += g_preload_banks[bank].rows[r].name;
    names += ' ';
  }
  return names;
}

TEST_F(FileCommandTest, PreloadMovesToTheEndWithoutReading) {
  Put("a.png", "A1");
  Put("b.png", "B1");
  Put("se/c.ogg", "C1");
  for (const char* name : {"A", "b", "a"}) {
    Reset();
    Text(0, name);
    Num(14, 2);
    ASSERT_EQ(RunFileCommand(), 0);
    Put("a.png", "A2");  // a row already in the bank is not read again
  }
  EXPECT_EQ(BankNames(1), "b.png a.png ");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_preload_banks[1].rows[1].data), 2), "A1");
  Reset();
  Text(0, "SE/C");
  Num(15, 4);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_EQ(BankNames(3), "se\\c.ogg ");
  // A file in bank 2 copied into bank 1 lies in both.
  Reset();
  Text(0, "b");
  Num(14, 1);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_EQ(BankNames(0), "b.png ");
  EXPECT_EQ(g_preload_banks[1].count, 2);
  // Missing names and bank numbers outside 1..4 change nothing.
  for (const int64_t bank : {0, 5, -1, 1000}) {
    Reset();
    Text(0, "a");
    Num(14, bank);
    Num(15, bank);
    ASSERT_EQ(RunFileCommand(), 0);
  }
  Reset();
  Text(0, "missing");
  Num(14, 1);
  ASSERT_EQ(RunFileCommand(), 0);
  EXPECT_EQ(g_preload_banks[0].count + g_preload_banks[1].count + g_preload_banks[2].count +
                g_preload_banks[3].count,
            4);
}

TEST_F(FileCommandTest, FullBankDropsItsOldestRow) {
  for (int i = 0; i <= kPreloadBankMaxRows; ++i) Put("f" + std::to_string(i) + ".png", "x");
  for (int i = 0; i <= kPreloadBankMaxRows; ++i) {
    Reset();
    Text(0, "f" + std::to_string(i));
    Num(14, 3);
    ASSERT_EQ(RunFileCommand(), 0);
  }
  const PreloadBank& bank = g_preload_banks[2];
  EXPECT_EQ(bank.count, kPreloadBankMaxRows);
  EXPECT_STREQ(bank.rows[0].name, "f1.png");
  EXPECT_STREQ(bank.rows[kPreloadBankMaxRows - 1].name, "f512.png");
  EXPECT_EQ(bank.rows[kPreloadBankMaxRows].name, nullptr);
}

// Fake desktop programs on PATH: each logs its arguments to its own file.
class FileOpenTest : public FileCommandTest {
 protected:
  void SetUp() override {
    FileCommandTest::SetUp();
    fs::create_directories(tools_.File("bin"));
    fs::create_directories(tools_.File("data/applications"));
    Script("xdg-open", "echo \"$@\" >> " + tools_.File("xdg-open.log"));
    Script("xdg-mime",
           "if [ \"$1 $2\" = 'query filetype' ]; then echo text/plain; exit 0; fi\n"
           "if [ \"$1 $2 $3\" = 'query default text/plain' ]; then echo viewer.desktop; exit 0; fi\n"
           "exit 1");
    Script("viewer", "echo \"$@\" >> " + tools_.File("viewer.log"));
    tools_.Write("data/applications/viewer.desktop",
                 "[Desktop Entry]\nType=Application\nExec=viewer --view %f\n");
    saved_path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (tools_.File("bin") + ":/usr/bin:/bin").c_str(), 1);
    setenv("XDG_DATA_HOME", tools_.File("data").c_str(), 1);
    setenv("XDG_DATA_DIRS", tools_.File("none").c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", saved_path_.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
    FileCommandTest::TearDown();
  }
  void Script(const std::string& name, const std::string& body) {
    tools_.Write("bin/" + name, "#!/bin/sh\n" + body + "\n");
    chmod(tools_.File("bin/" + name).c_str(), 0755);
  }
  std::string Log(const std::string& name) {
    test::WaitStartedPrograms();
    return fs::exists(tools_.File(name)) ? test::ReadFile(tools_.File(name)) : "";
  }
  int32_t Open(const std::string& target, bool open, bool wait,
               const std::string& parameters = "") {
    Reset();
    Text(0, target);
    if (!parameters.empty()) Text(8, parameters);
    if (open) Flag(6);
    if (wait) Flag(7);
    return RunFileCommand();
  }

  test::TempDir tools_;
  std::string saved_path_;
};

TEST_F(FileOpenTest, UrlsGoToXdgOpenWithTheirSlashes) {
  // One child each, kept for reaping; each is waited for here so that the log keeps their order.
  // With 7, xdg-open itself is waited for.
  ASSERT_EQ(Open("HTTPS://Example.com/A/b?x=1", true, false, "--not-for-urls"), 0);
  EXPECT_EQ(test::WaitStartedPrograms(), 1u);
  ASSERT_EQ(Open("http://example.com\\page", true, false), 0);
  EXPECT_EQ(test::WaitStartedPrograms(), 1u);
  ASSERT_EQ(Open("mailto:someone@example.com", false, true), 0);
  EXPECT_EQ(test::WaitStartedPrograms(), 0u);
  EXPECT_EQ(Log("xdg-open.log"),
            "https://example.com/a/b?x=1\nhttp://example.com/page\nmailto:someone@example.com\n");
  EXPECT_EQ(Log("viewer.log"), "");
}

TEST_F(FileOpenTest, FilesOpenWithTheirDesktopProgram) {
  Put("Docs/Read Me.txt", "hello");
  // Waiting: the program has ended before the command returns.
  ASSERT_EQ(Open("docs/read me.txt", false, true), 0);
  EXPECT_EQ(test::RunningStartedPrograms(), 0u);
  EXPECT_EQ(test::ReadFile(tools_.File("viewer.log")),
            "--view " + File("Docs/Read Me.txt") + "\n");
  // 6 and 7 together: opened once, not waited for; the child is kept until reaped.
  ASSERT_EQ(Open("DOCS/READ ME.TXT", true, true), 0);
  EXPECT_EQ(test::WaitStartedPrograms(), 1u);
  EXPECT_EQ(Log("viewer.log"), "--view " + File("Docs/Read Me.txt") + "\n--view " +
                                   File("Docs/Read Me.txt") + "\n");
  // Without a desktop program, xdg-open gets the file (and nothing else: it takes one file).
  fs::remove(tools_.File("data/applications/viewer.desktop"));
  ASSERT_EQ(Open("docs/read me.txt", true, false, "-x"), 0);
  EXPECT_EQ(Log("xdg-open.log"), File("Docs/Read Me.txt") + "\n");
}

// Parameter 8 reaches the desktop program after the file, split as a Windows command line splits
// (spaces separate, double quotes group), one argument each and never through a shell.
TEST_F(FileOpenTest, ProgramParametersFollowTheFile) {
  Put("a.txt", "hello");
  Script("viewer", "for a in \"$@\"; do echo \"[$a]\"; done >> " + tools_.File("viewer.log"));
  ASSERT_EQ(Open("a.txt", false, true, "-p 1  \"two words\" $HOME;x `id` \"\""), 0);
  EXPECT_EQ(test::ReadFile(tools_.File("viewer.log")),
            "[--view]\n[" + File("a.txt") + "]\n[-p]\n[1]\n[two words]\n[$HOME;x]\n[`id`]\n[]\n");
}

// With 7 the command returns only once the program it started has ended: the desktop program, or
// xdg-open when the desktop names none.
TEST_F(FileOpenTest, WaitingCoversTheXdgOpenFallBack) {
  Put("a.txt", "hello");
  fs::remove(tools_.File("data/applications/viewer.desktop"));
  Script("xdg-open", "sleep 0.2\necho \"$@\" >> " + tools_.File("xdg-open.log"));
  ASSERT_EQ(Open("a.txt", false, true), 0);
  EXPECT_EQ(test::WaitStartedPrograms(), 0u);  // none left running to reap
  EXPECT_EQ(test::ReadFile(tools_.File("xdg-open.log")), File("a.txt") + "\n");
}

TEST_F(FileOpenTest, ProgramsScriptsAndEscapesAreNeverOpened) {
  Put("run.sh", "#!/bin/sh\n");
  Put("tool", "#!/bin/sh\necho hi\n");
  Put("exec.dat", "data");
  chmod(File("exec.dat").c_str(), 0755);
  Put("game.desktop", "[Desktop Entry]\nExec=sh\n");
  Put("elf.dat", std::string("\x7f" "ELF", 4));
  fs::create_directories(File("folder"));
  for (const char* target : {"run.sh", "tool", "exec.dat", "game.desktop", "elf.dat", "folder",
                             "../outside.txt", "/etc/hostname", "file:///etc/hostname",
                             "javascript:alert(1)", "ftp://example.com", "missing.txt"}) {
    ASSERT_EQ(Open(target, true, false), 0) << target;
    ASSERT_EQ(Open(target, false, true), 0) << target;
  }
  EXPECT_EQ(Log("xdg-open.log"), "");
  EXPECT_EQ(Log("viewer.log"), "");
}

TEST(FileExistsTrials, OrderOfTheImageAndSoundTrials) {
  EXPECT_EQ(ExistsTrialNames("bg\\title", 2),
            (std::vector<std::string>{"bg\\title", "bg\\title.bmp", "bg\\title.png",
                                      "bg\\title.jpg", "bg\\title.gif", "bg\\title.psd"}));
  EXPECT_EQ(ExistsTrialNames("se\\x", 3),
            (std::vector<std::string>{"se\\x", "se\\x.ogg", "se\\x.wav"}));
  EXPECT_EQ(ExistsTrialNames("a", 1), (std::vector<std::string>{"a"}));
}

struct ExistsCase {
  const char* name;
  uint8_t mode_param;  // 0..3
  std::string text;
  uint8_t question;  // 4, 5 or 6
  int64_t answer;
};

class FileExistsTable : public FileCommandTest, public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(FileExistsTable, AnswersByModeAndSource) {
  const ExistsCase& c = GetParam();
  Put("BG/Title.JPG", "j");
  Put("se/x.wav", "w");
  Put("five.bin", "12345");
  Put("Folder/inner.txt", "i");
  Put("banked.png", "b");
  Reset();
  Text(0, "banked");
  Num(14, 1);
  ASSERT_EQ(RunFileCommand(), 0);
  fs::remove(File("banked.png"));  // now only in bank 1
  Reset();
  Text(c.mode_param, c.text);
  Flag(c.question);
  Var(7, kInt);
  ASSERT_EQ(RunFileExistsCommand(), 0);
  EXPECT_EQ(GetVarIntElement(kInt, 0), c.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Questions, FileExistsTable,
    ::testing::Values(
        ExistsCase{"folder is folder", 0, "FOLDER", 4, 1},
        ExistsCase{"file is no folder", 0, "five.bin", 4, 0},
        ExistsCase{"folder escape", 0, "..", 4, 0},
        ExistsCase{"data file on disk", 1, "Five.BIN", 4, 1},
        ExistsCase{"data file in a bank", 1, "banked.png", 4, 1},
        ExistsCase{"data file missing", 1, "six.bin", 4, 0},
        ExistsCase{"image trials", 2, "bg/title", 4, 1},
        ExistsCase{"image with extension", 2, "bg/title.jpg", 4, 1},
        ExistsCase{"image missing", 2, "bg/none", 4, 0},
        ExistsCase{"sound trials", 3, "SE/X", 4, 1},
        ExistsCase{"sound is no image", 2, "se/x", 4, 0},
        ExistsCase{"name over 259 bytes", 1, std::string(300, 'a'), 4, 0},
        ExistsCase{"size of a file", 1, "five.bin", 5, 5},
        ExistsCase{"size of a folder", 1, "folder", 5, 0},
        ExistsCase{"size in image mode", 2, "five.bin", 5, 0},
        ExistsCase{"program into an integer", 1, "five.bin", 6, 0}),
    test::CaseName{});

TEST_F(FileOpenTest, ProgramQuestionAnswersThePathByType) {
  Put("doc.txt", "d");
  Put("dir/x", "x");
  const auto ask = [&](uint8_t mode, const std::string& name, uint32_t var) {
    Reset();
    Text(mode, name);
    Flag(6);
    Var(7, var);
    ASSERT_EQ(RunFileExistsCommand(), 0);
  };
  ask(1, "DOC.txt", kText);
  EXPECT_STREQ(GetVarStringElement(kText, 0), tools_.File("bin/viewer").c_str());
  ask(1, "DOC.txt", kInt);
  EXPECT_EQ(GetVarIntElement(kInt, 0), 0);
  ask(1, "DOC.txt", kReal);
  EXPECT_EQ(GetVarRealElement(kReal, 0), 0.0);
  ask(0, "dir", kText);
  EXPECT_STREQ(GetVarStringElement(kText, 0), "");
  ask(1, "none.txt", kText);
  EXPECT_STREQ(GetVarStringElement(kText, 0), "");
  // The highest name parameter gives the mode: 1 and 2 both given asks about 2 as an image.
  Reset();
  Text(1, "doc.txt");
  Text(2, "bg/none");
  Flag(4);
  Var(7, kInt);
  ASSERT_EQ(RunFileExistsCommand(), 0);
  EXPECT_EQ(GetVarIntElement(kInt, 0), 0);
}

}  // namespace
}  // namespace korvel
