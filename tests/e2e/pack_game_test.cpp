// The real program running a game from packs: the compiled game packed into game.kpf (no loose
// files), the same pack appended to a copy of the program, and start-ups that a broken pack ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lib/compiled_game.h"
#include "lib/pack_writer.h"
#include "engine_fixture.h"

namespace korvel {
namespace {

using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

class PackGameTest : public test::GameFolderTest {
 protected:
  std::vector<std::string> Env(std::vector<std::string> extra = {}) const {
    extra.push_back("KORVEL_FRAMES=10");
    return HeadlessEnv(extra);
  }
  // The smallest game's krbin files as pack entries.
  static std::vector<tools::PackFileInput> GameFiles() {
    std::vector<tools::PackFileInput> files;
    for (const auto& [name, bytes] : tools::BuildKrbinFiles(tools::SmallestGame())) {
      files.push_back({"krbin\\" + name, bytes});
    }
    return files;
  }
  static std::vector<uint8_t> Pack(const std::vector<tools::PackFileInput>& files,
                                   tools::PackWriterOptions options = {}) {
    std::vector<uint8_t> pack;
    std::string error;
    EXPECT_TRUE(tools::BuildPack(files, options, &pack, &error)) << error;
    return pack;
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes, unsigned mode) {
    std::string error;
    ASSERT_TRUE(tools::WriteWholeFileBytes(path, bytes, mode, &error)) << error;
  }
  // A copy of the program with `pack` appended, alone in a folder of its own.
  std::string AppendedProgram(const std::vector<uint8_t>& pack) {
    std::vector<uint8_t> program;
    std::string error;
    EXPECT_TRUE(tools::ReadWholeFileBytes(KORVEL_BINARY, &program, &error)) << error;
    const std::string path = program_folder_.File("game");
    Write(path, tools::AppendPackToExecutable(program, pack), 0755);
    return path;
  }

  TempDir program_folder_;
};

TEST_F(PackGameTest, GameRunsFromAPack) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress);
    tools::PackWriterOptions options;
    options.compression =
        compress ? tools::PackCompression::kZlib : tools::PackCompression::kStored;
    Write(game_.File("game.kpf"), Pack(GameFiles(), options), 0644);
    ASSERT_FALSE(std::filesystem::exists(game_.File("krbin")));
    const ProcessResult r = RunProcess(Args(), Env(), 60000);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
    EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
  }
}

TEST_F(PackGameTest, GameRunsFromAPackAppendedToTheProgram) {
  const std::string program = AppendedProgram(Pack(GameFiles()));
  // No --game: the program's own folder holds the game, inside the program file.
  const ProcessResult r = RunProcess({program}, Env(), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
}

TEST_F(PackGameTest, SameEntryInTwoPacksEndsStartUp) {
  Write(game_.File("a.kpf"), Pack(GameFiles()), 0644);
  Write(game_.File("b.kpf"), Pack({{"krbin\\krcfg.kbn", Bytes("again")}}), 0644);
  TempDir dump;
  const ProcessResult r = RunProcess(Args(),
                                     Env({"KORVEL_DUMP=" + dump.path()}), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_NE(r.stderr_text.find("korvel: error 104150"), std::string::npos) << r.stderr_text;
  EXPECT_TRUE(std::filesystem::is_empty(dump.path()));  // no frame ran
}

TEST_F(PackGameTest, AppendedPackOfAnOldVersionEndsStartUp) {
  std::vector<uint8_t> pack = Pack(GameFiles());
  pack[4] = 233;
  const std::string program = AppendedProgram(pack);
  const ProcessResult r = RunProcess({program}, Env(), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 104120"), std::string::npos) << r.stderr_text;
}

// Damaged script data without repair data is reported, never run.
TEST_F(PackGameTest, DamagedEntryIsReportedNotUsed) {
  tools::PackWriterOptions options;
  options.compression = tools::PackCompression::kStored;
  options.repair_data = false;
  std::vector<uint8_t> pack = Pack(GameFiles(), options);
  pack[pack.size() - 9] ^= 0xFF;  // the last stored byte of the last entry (krv.kbn)
  Write(game_.File("game.kpf"), pack, 0644);
  const ProcessResult r = RunProcess(Args(), Env(), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 104100"), std::string::npos) << r.stderr_text;
}

}  // namespace
}  // namespace korvel
