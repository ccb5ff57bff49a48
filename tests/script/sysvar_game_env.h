// Set-up of the tests of the assignment, declaration, system-variable, wait, math and projection
// commands: small compiled games run in process with the engine's own handlers and system-variable
// readers (the runner tests' stand-in assignment is removed).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/engine_state.h"
#include "lib/compiled_game.h"
#include "runner_test_env.h"
#include "script/command_table.h"
#include "script/variables.h"

namespace korvel::test {

class CommandGameTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    SetCommandHandlerOverride(kCommandAssign, nullptr);
    InitCommandHandlerTable();
  }

  // Builds a game from one source, lets `edit` change it, installs and loads it.
  template <typename Edit>
  static void LoadEdited(const std::string& main, Edit edit) {
    tools::CompiledGame game = Build({{"main.kas", main}});
    edit(&game);
    Install(game);
    ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  }

  // Runs ticks until the game quits (or `ticks` have run); true when it quit without a report.
  static bool RunToQuit(int ticks = 50) {
    RunTicks(ticks);
    return QuitRequested() && ReportCount() == 0;
  }

  // Script variables are numbered from 1000 in declaration order.
  static constexpr uint32_t Var(uint32_t position) { return 1000 + position; }

  // The record of a variable; a missing one fails the test and gives a blank stand-in.
  static VariableRecord& Record(uint32_t number) {
    VariableRecord* v = FindVariable(number);
    if (v != nullptr) return *v;
    ADD_FAILURE() << "no variable " << number;
    static VariableRecord blank;
    blank = VariableRecord{};
    return blank;
  }

  static int64_t Int(uint32_t number, int64_t index = 0) { return GetVarIntElement(number, index); }
  static double Real(uint32_t number, int64_t index = 0) {
    return GetVarRealElement(number, index);
  }
  static std::string Text(uint32_t number, int64_t index = 0) {
    const char* text = GetVarStringElement(number, index);
    return text != nullptr ? std::string(text) : std::string();
  }
};

}  // namespace korvel::test
