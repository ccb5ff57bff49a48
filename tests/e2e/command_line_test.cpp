// The command line of the real program: --help and --version answer on stdout before any lock or
// game lookup, "--" ends the engine's options, and a folder without a game says so in plain words
// before the coded report.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "lib/pack_writer.h"
#include "param_names.h"

namespace korvel {
namespace {

using test::PrintTo;
using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

// Placeholders in a case's arguments: the game folder with a game, an empty folder, a folder whose
// game is a pack in its `pac` folder.
constexpr const char* kGame = "<game>";
constexpr const char* kEmpty = "<empty>";
constexpr const char* kPacked = "<packed>";

struct CommandLineCase {
  std::string name;
  std::vector<std::string> args;  // after the program; placeholders replaced
  bool from_empty_folder;         // run with the empty folder as the current folder
  int exit_status;
  std::vector<std::string> in_stdout;
  std::vector<std::string> in_stderr;
  std::vector<std::string> not_in_stderr;
  bool stdout_empty;
};

const char kNoGameLine[] = "holds no game";

std::vector<CommandLineCase> Cases() {
  const std::vector<std::string> usage = {
      "usage: korvel", "--game DIR", "script arguments", "--version", "KORVEL_PLATFORM",
      "KORVEL_EDITOR", "KORVEL_PIXEL_ISA", "KORVEL_FRAMES", "KORVEL_DUMP", "KORVEL_AUDIO_DUMP",
      "KORVEL_INPUT", "KORVEL_ANSWERS", "KORVEL_CLOCK_START", "KORVEL_COMPILER_BLOCK"};
  return {
      {"HelpPrintsTheUsage", {"--help"}, true, 0, usage, {}, {}, false},
      {"ShortHelp", {"-h"}, true, 0, {"usage: korvel"}, {}, {}, false},
      {"VersionPrintsTheVersion", {"--version"}, true, 0, {"korvel 0."}, {}, {}, false},
      {"HelpComesBeforeTheGameLookup", {"--game", "/nonexistent/folder", "--help"}, false, 0,
       {"usage: korvel"}, {}, {}, false},
      {"FirstOfHelpAndVersionWins", {"--version", "--help"}, true, 0, {"korvel 0."}, {}, {},
       false},
      {"GameFolderNamedLikeAnOption", {"--game", "--help"}, false, 2, {}, {"--help"}, {}, true},
      {"HelpAfterTheEndOfOptionsGoesToTheScripts", {"--game", kGame, "--", "--help"}, false, 0,
       {}, {}, {kNoGameLine, "korvel: error"}, true},
      {"GameAfterTheEndOfOptionsGoesToTheScripts",
       {"--game", kGame, "--", "--game", "/nonexistent/folder"}, false, 0, {}, {},
       {kNoGameLine, "korvel: error", "not found"}, true},
      {"EmptyGameFolderSaysSo", {"--game", kEmpty}, false, 1, {},
       {kNoGameLine, "--game DIR", "korvel: error 104060"}, {}, true},
      {"EmptyCurrentFolderSaysSo", {}, true, 1, {}, {kNoGameLine, "--game DIR"}, {}, true},
      {"GameFolderHasNoSuchLine", {"--game", kGame}, false, 0, {}, {}, {kNoGameLine}, true},
      {"PackInThePacFolderIsAGame", {"--game", kPacked}, false, 0, {}, {}, {kNoGameLine}, true},
  };
}

class CommandLineTest : public test::GameFolderTest,
                        public ::testing::WithParamInterface<CommandLineCase> {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", "label SYSTEM_START\nQUIT\n"}});
    std::string error;
    std::vector<tools::PackFileInput> files;
    std::vector<uint8_t> pack;
    ASSERT_TRUE(tools::CollectFolderFiles(game_.path(), &files, &error)) << error;
    ASSERT_TRUE(tools::BuildPack(files, {}, &pack, &error)) << error;
    std::filesystem::create_directories(packed_.File("PAC"));
    ASSERT_TRUE(tools::WriteWholeFileBytes(packed_.File("PAC/game.kpf"), pack, 0644, &error))
        << error;
  }

  TempDir empty_;
  TempDir packed_;
};

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

TEST_P(CommandLineTest, AnswersAsTheShellExpects) {
  const CommandLineCase& c = GetParam();
  std::vector<std::string> argv = {KORVEL_BINARY};
  for (const std::string& arg : c.args) {
    argv.push_back(arg == kGame     ? game_.path()
                   : arg == kEmpty  ? empty_.path()
                   : arg == kPacked ? packed_.path()
                                    : arg);
  }
  if (c.from_empty_folder) {
    std::string line = "cd " + ShellQuote(empty_.path()) + " && exec";
    for (const std::string& arg : argv) line += " " + ShellQuote(arg);
    argv = {"/bin/sh", "-c", line};
  }
  const ProcessResult r = RunProcess(argv, HeadlessEnv(), 60000);
  const std::string shown = "stdout:\n" + r.stdout_text + "stderr:\n" + r.stderr_text +
                            "exit status: " + std::to_string(r.exit_status);
  ASSERT_FALSE(r.timed_out) << shown;
  EXPECT_EQ(r.exit_status, c.exit_status) << shown;
  for (const std::string& text : c.in_stdout) {
    EXPECT_NE(r.stdout_text.find(text), std::string::npos) << text << "\n" << shown;
  }
  for (const std::string& text : c.in_stderr) {
    EXPECT_NE(r.stderr_text.find(text), std::string::npos) << text << "\n" << shown;
  }
  for (const std::string& text : c.not_in_stderr) {
    EXPECT_EQ(r.stderr_text.find(text), std::string::npos) << text << "\n" << shown;
  }
  if (c.stdout_empty) {
    EXPECT_EQ(r.stdout_text, "") << shown;
  }
  if (!c.in_stdout.empty()) {
    // Answered before anything else: nothing on stderr, and no lock was taken.
    EXPECT_EQ(r.stderr_text, "") << shown;
    EXPECT_TRUE(std::filesystem::is_empty(runtime_.path())) << shown;
  }
  // The plain line comes before the coded report.
  const size_t plain = r.stderr_text.find(kNoGameLine);
  const size_t coded = r.stderr_text.find("korvel: error");
  if (plain != std::string::npos && coded != std::string::npos) {
    EXPECT_LT(plain, coded) << shown;
  }
  // The plain line is one line.
  if (plain != std::string::npos) {
    const size_t start = r.stderr_text.rfind('\n', plain);
    const std::string line = r.stderr_text.substr(
        start == std::string::npos ? 0 : start + 1,
        r.stderr_text.find('\n', plain) - (start == std::string::npos ? 0 : start + 1));
    EXPECT_NE(line.find("--game DIR"), std::string::npos) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineTest, ::testing::ValuesIn(Cases()),
                         test::CaseName());

}  // namespace
}  // namespace korvel
