// A headless engine for tests: in process (platform, engine state and error reporting up and
// torn down around each test) or as the real program run on a game folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

// Test programs that link the game tools can build games into the folder.
#if __has_include("lib/assembler.h")
#include "lib/assembler.h"
#include "lib/compiled_game.h"
#define KORVEL_TEST_HAS_TOOLS 1
#endif

namespace korvel::test {

// The headless platform, fresh engine state and error reporting. Fixtures that need more call
// HeadlessEngine::SetUp() (or StartWith) first and HeadlessEngine::TearDown() last.
class HeadlessEngine : public ::testing::Test {
 public:
  using Variables = std::vector<std::pair<std::string, std::string>>;

 protected:
  void SetUp() override { StartWith({}); }
  void TearDown() override;
  // SetUp with headless controls (KORVEL_DUMP, KORVEL_INPUT...) that the platform reads when it
  // starts; TearDown removes them again.
  void StartWith(const Variables& variables);
  // The window records, with window 0 open at `width` x `height` (logical and client size).
  static void OpenWindowZero(int32_t width, int32_t height);

 private:
  std::vector<std::string> set_;
};

// The real program on a game folder, with a runtime folder of its own (its single-instance
// locks live there). Every run's exit status and stderr are printed when the test fails.
class GameFolderTest : public ::testing::Test {
 public:
  using Sources = std::vector<std::pair<std::string, std::string>>;

 protected:

#ifdef KORVEL_TEST_HAS_TOOLS
  // Assembles the sources into the game folder.
  void BuildGame(const Sources& sources) {
    std::vector<tools::AssemblerSource> files;
    for (const auto& [name, text] : sources) files.push_back({name, text});
    tools::CompiledGame game;
    std::string error;
    ASSERT_TRUE(tools::Assemble(files, &game, &error)) << error;
    WriteGame(game);
  }
  void WriteGame(const tools::CompiledGame& game) {
    std::string error;
    ASSERT_TRUE(tools::WriteGameFolder(game, game_.path(), &error)) << error;
  }
#endif

  // The program on the game folder, with more arguments.
  std::vector<std::string> Args(std::vector<std::string> extra = {}) const;
  // The environment of a headless run, with more variables.
  std::vector<std::string> HeadlessEnv(std::vector<std::string> extra = {}) const;
  // Sets the environment of a headless run in this process, for the engine started in process
  // (EngineMain); the headless controls the test does not give are removed.
  void UseHeadlessEnvInProcess() const;
  // The environment of a run on the X server `display`, with more variables.
  std::vector<std::string> SdlEnv(const std::string& display,
                                  std::vector<std::string> extra = {}) const;

  TempDir runtime_;
  TempDir game_;
};

}  // namespace korvel::test
