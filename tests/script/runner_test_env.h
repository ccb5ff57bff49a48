// Shared set-up of the runner, flow and task tests: games assembled from text and loaded with the
// task tree, ticks run by hand, and test-only commands that record what the script did.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/engine_timers.h"
#include "core/frame_step.h"
#include "core/named_tree.h"
#include "lib/assembler.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/script_tasks.h"
#include "script/task_runner.h"
#include "script/value_ops.h"
#include "script/script_test_env.h"

namespace korvel::test {

// Slots of the test-only commands: a number trace, a text trace, and a small integer assignment.
inline constexpr uint8_t kTraceSlot = 7;
inline constexpr uint8_t kTextTraceSlot = 14;

inline std::vector<int64_t>& Trace() {
  static std::vector<int64_t> trace;
  return trace;
}
inline std::vector<std::string>& TextTrace() {
  static std::vector<std::string> trace;
  return trace;
}

inline int32_t TraceNumber() {
  if (DecodeCommandArguments(kTraceSlot) != 0) return -1;
  Trace().push_back(ArgValue(0));
  return 0;
}

inline int32_t TraceText() {
  if (DecodeCommandArguments(kTextTraceSlot) != 0) return -1;
  const DecodedArgument* a = FindArg(0);
  TextTrace().emplace_back(ArgText(0), a != nullptr ? a->text_length : 0);
  return 0;
}

// Integer assignment for the tests: record 0 names the element, record 1 the value.
inline int32_t TestAssign() {
  uint32_t count = 0;
  const CommandArgRecord* r = CurrentRecords(&count);
  const ScriptTask* task = CurrentTask();
  if (r == nullptr || count < 2) return -1;
  kExpressionEvaluatorTable.to_int[r[0].type](task->expressions + r[0].offset, r[0].length);
  const uint32_t number = g_expr.var_number;
  const int64_t index = g_expr.element_index;
  const int64_t value =
      kExpressionEvaluatorTable.to_int[r[1].type](task->expressions + r[1].offset, r[1].length);
  SetVarNumberElement(number, index,
                      ApplyAssignOperator(r[0].op, GetVarIntElement(number, index), value));
  return 0;
}

// The decoded argument of a parameter (position 0, all zero, when it was not given).
inline const DecodedArgument& ArgAt(uint8_t param) { return g_args.at[g_args.presence[param]]; }

// System variables of calls and tasks as the scripts of these tests read them (element k = value k).
inline int64_t ReadSystemInt(uint32_t id, int64_t k) {
  const ScriptTask* task = g_runner.task;
  if (k < 1 || k > kTaskArgumentCount) return 0;
  const CallFrame* args = CallArgumentFrame(task);
  const CallFrame* results = CallResultFrame(task);
  switch (id) {
    case 50: return args != nullptr ? args->args[k - 1].integer : 0;
    case 53: return args != nullptr ? args->args[k - 1].given : 0;
    case 54: return results != nullptr ? results->results[k - 1].integer : 0;
    case 57: return results != nullptr ? results->results[k - 1].given : 0;
    case 58: return task != nullptr ? task->int_args[k - 1] : 0;
    default: return 0;
  }
}
inline double ReadSystemReal(uint32_t id, int64_t k) {
  const ScriptTask* task = g_runner.task;
  if (k < 1 || k > kTaskArgumentCount) return 0.0;
  const CallFrame* args = CallArgumentFrame(task);
  const CallFrame* results = CallResultFrame(task);
  switch (id) {
    case 51: return args != nullptr ? args->args[k - 1].real : 0.0;
    case 55: return results != nullptr ? results->results[k - 1].real : 0.0;
    case 59: return task != nullptr ? task->double_args[k - 1] : 0.0;
    default: return 0.0;
  }
}
inline size_t ReadSystemString(uint32_t id, int64_t k, char* buffer) {
  buffer[0] = '\0';
  const ScriptTask* task = g_runner.task;
  if (k < 1 || k > kTaskArgumentCount) return 0;
  const CallFrame* frame = id == 52 ? CallArgumentFrame(task) : CallResultFrame(task);
  if (frame == nullptr || (id != 52 && id != 56)) return 0;
  const CallValue& v = id == 52 ? frame->args[k - 1] : frame->results[k - 1];
  if (v.text == nullptr) return 0;
  const std::string text(v.text);
  text.copy(buffer, kStringBufferSize - 1);
  buffer[std::min(text.size(), kStringBufferSize - 1)] = '\0';
  return std::min(text.size(), kStringBufferSize - 1);
}

// Declarations of those system variables, for the first source of a game.
inline constexpr char kCallVariables[] =
    ".sysvar 50 int arg[11]\n"
    ".sysvar 51 real rarg[11]\n"
    ".sysvar 52 string targ[11]\n"
    ".sysvar 53 int given[11]\n"
    ".sysvar 54 int ret[11]\n"
    ".sysvar 55 real rret[11]\n"
    ".sysvar 56 string tret[11]\n"
    ".sysvar 57 int retgiven[11]\n"
    ".sysvar 58 int taskarg[11]\n"
    ".sysvar 59 real rtaskarg[11]\n";

// "trace X" records X as a number, "tracer X" evaluates it in real arithmetic first, and
// "tracetext X" records a text.
inline std::string ExpandTraces(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    const size_t start = line.find_first_not_of(" \t");
    const std::string body = start == std::string::npos ? "" : line.substr(start);
    if (body.rfind("tracetext ", 0) == 0) {
      line = "ARGS14 0=( " + body.substr(10) + " )";
    } else if (body.rfind("tracer ", 0) == 0) {
      line = "ARGS7 0:2=( " + body.substr(7) + " )";
    } else if (body.rfind("trace ", 0) == 0) {
      line = "ARGS7 0=( " + body.substr(6) + " )";
    }
    out += line + "\n";
  }
  return out;
}

class RunnerTest : public ScriptEnv {
 protected:
  void SetUp() override {
    ScriptEnv::SetUp();
    InitScriptRunner();
    InitFrameState();
    InitEngineTimers();
    Trace().clear();
    TextTrace().clear();
    SetCommandHandlerOverride(kTraceSlot, TraceNumber);
    SetCommandHandlerOverride(kTextTraceSlot, TraceText);
    SetCommandHandlerOverride(kCommandAssign, TestAssign);
    g_system_variable_readers.get_int = ReadSystemInt;
    g_system_variable_readers.get_real = ReadSystemReal;
    g_system_variable_readers.read_string = ReadSystemString;
    SetScriptTickBudget(100000);
    CreateTrees();
  }
  void TearDown() override {
    InitScriptRunner();
    ClearCommandHandlerOverrides();
    ResetSystemVariableReaders();
    ScriptEnv::TearDown();
  }

  // Assembles the sources (trace lines expanded) with the test commands defined.
  static tools::CompiledGame Build(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<tools::AssemblerSource> sources;
    for (const auto& [name, text] : files) sources.push_back({name, ExpandTraces(text)});
    tools::CompiledGame game;
    std::string error;
    EXPECT_TRUE(tools::Assemble(sources, &game, &error)) << error;
    game.commands[kTraceSlot].params = {{"value", 0, 0}};
    game.commands[kTextTraceSlot].params = {{"text", 1, 0}};
    return game;
  }
  // Builds, installs and loads a game; SYSTEM stands at "SYSTEM_START".
  static void Load(const std::vector<std::pair<std::string, std::string>>& files) {
    Install(Build(files));
    ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  }
  static void Load(const std::string& main) { Load({{"main.kas", main}}); }

  // Runs `ticks` ticks, stopping early once the quit flag is set.
  static void RunTicks(int ticks) {
    for (int i = 0; i < ticks && !QuitRequested(); ++i) {
      g_frame.tick_counter += 1;
      RunScriptTasks();
    }
  }

  static NamedTreeNode* TaskNode(const char* path) {
    return FindObjectByPath(g_task_tree.root, path, kFindLeaf);
  }
  static ScriptTask* TaskAt(const char* path) {
    NamedTreeNode* node = TaskNode(path);
    return node != nullptr ? static_cast<ScriptTask*>(node->payload) : nullptr;
  }
  static ScriptTask* System() { return TaskAt("SYSTEM"); }
  // The task at `path`; a missing one fails the test and gives a blank stand-in.
  static ScriptTask& TaskRef(const char* path) {
    ScriptTask* task = TaskAt(path);
    if (task != nullptr) return *task;
    ADD_FAILURE() << "no task " << path;
    static ScriptTask blank;
    blank = ScriptTask{};
    return blank;
  }
};

}  // namespace korvel::test
