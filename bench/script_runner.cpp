// Commands per second of the task runner on a loop of 10^6 iterations of an assignment and a loop
// end, and the cost of decoding one argument. The script file is built in memory; the assignment
// is a stand-in that does the work of the real one (evaluate the target and the value, apply the
// element operator).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/named_tree.h"
#include "core/system_objects.h"
#include "platform/platform.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/element_operators.h"
#include "script/expression_machine.h"
#include "script/scene_file.h"
#include "script/script_data.h"
#include "script/script_tasks.h"
#include "script/task_payload.h"
#include "script/task_runner.h"
#include "script/variables.h"

namespace {

using namespace korvel;

constexpr uint32_t kVariable = 1000;
constexpr int32_t kIterations = 1000000;

int32_t StandInAssign() {
  uint32_t count = 0;
  const CommandArgRecord* r = CurrentRecords(&count);
  const ScriptTask* task = CurrentTask();
  kExpressionEvaluatorTable.to_int[r[0].type](task->expressions + r[0].offset, r[0].length);
  const uint32_t number = g_expr.var_number;
  const int64_t index = g_expr.element_index;
  ElementOperand operand;
  operand.integer =
      kExpressionEvaluatorTable.to_int[r[1].type](task->expressions + r[1].offset, r[1].length);
  kElementOperatorTable[r[0].op](number, index, operand);
  return 0;
}

// Expression bytecode: opcode, u16 operand length, operand.
void Op(std::vector<uint8_t>* code, char opcode, std::initializer_list<uint8_t> operand = {}) {
  code->push_back(static_cast<uint8_t>(opcode));
  code->push_back(static_cast<uint8_t>(operand.size()));
  code->push_back(0);
  code->insert(code->end(), operand);
}

struct SceneBuilder {
  std::unique_ptr<SceneScript> scene = std::make_unique<SceneScript>();
  std::vector<std::vector<CommandArgRecord>> args;

  // An argument record whose bytecode is `code`.
  CommandArgRecord Expr(uint8_t param, const std::vector<uint8_t>& code, uint8_t op = 0) {
    CommandArgRecord r{param, 0, kExprTypeInt, op, static_cast<uint32_t>(code.size()),
                       static_cast<uint32_t>(scene->expression_store.size())};
    scene->expression_store.insert(scene->expression_store.end(), code.begin(), code.end());
    return r;
  }
  static CommandArgRecord Target(uint8_t param, uint32_t index) {
    return CommandArgRecord{param, 0, kExprTypeInt, 0, index, 0};
  }
  void Command(uint8_t number, std::vector<CommandArgRecord> records) {
    scene->command_numbers.push_back(number);
    scene->arg_count_store.push_back(static_cast<uint8_t>(records.size()));
    args.push_back(std::move(records));
  }
  std::unique_ptr<SceneScript> Finish() {
    SceneScript& s = *scene;
    s.command_count = static_cast<uint32_t>(s.command_numbers.size());
    for (const auto& records : args) s.args.insert(s.args.end(), records.begin(), records.end());
    size_t next = 0;
    for (uint32_t i = 0; i < s.command_count; ++i) {
      s.first_arg_store.push_back(s.args.data() + next);
      next += s.arg_count_store[i];
      s.line_store.push_back(i + 1);
      s.wrappers.push_back(g_command_handlers.wrapper);
      s.handlers.push_back(HandlerForCommand(s.command_numbers[i]));
    }
    s.expression_size = static_cast<uint32_t>(s.expression_store.size());
    s.tables[0] = s.wrappers.data();
    s.tables[1] = s.handlers.data();
    s.arg_counts = s.arg_count_store.data();
    s.first_args = s.first_arg_store.data();
    s.expressions = s.expression_store.data();
    s.lines = s.line_store.data();
    return std::move(scene);
  }
};

struct Game {
  NamedTreeNode* system = nullptr;
  ScriptTask* task = nullptr;

  Game() {
    platform::InitPlatformWith(platform::BackendKind::kHeadless);
    InitEngineState();
    InitErrorReporting();
    SetCommandHandlerOverride(kCommandAssign, StandInAssign);
    InitScriptData();
    InitScriptRunner();
    RegisterTaskTree();
    SetScriptTickBudget(0);
    if (CreateVariableRecords(kVariable + 1) != 0 ||
        FillVarIntInit(kVariable, 0, nullptr, 0) != 0 ||
        CreateSystemObjects(640, 480, nullptr) != 0) {
      std::abort();
    }

    const uint8_t lo = kVariable & 0xFF, hi = kVariable >> 8;
    std::vector<uint8_t> var, one, seven, var_plus_one, count;
    Op(&var, 'H', {0, lo, hi});
    Op(&one, 'B', {1});
    Op(&seven, 'B', {7});
    Op(&var_plus_one, 'H', {0, lo, hi});
    Op(&var_plus_one, 'B', {1});
    Op(&var_plus_one, '+');
    Op(&count, 'I', {0x40, 0x42, 0x0F, 0x00});  // 1000000

    SceneBuilder b;
    b.Command(kCommandLabel, {});                                                   // 0
    b.Command(kCommandLoop, {b.Expr(0, {}), b.Expr(1, count), SceneBuilder::Target(2, 3)});
    b.Command(kCommandAssign, {b.Expr(0, var, 1), b.Expr(1, one)});                 // 2: +=
    b.Command(kCommandLoopEnd, {});                                                 // 3
    b.Command(kCommandQuit, {});                                                    // 4
    b.Command(kCommandWait, {b.Expr(0, seven)});                                    // 5
    b.Command(kCommandWait, {b.Expr(0, var_plus_one)});                             // 6
    g_script.script_count = 1;
    g_script.script_paths = {"bench.kas"};
    g_script.scenes.resize(1);
    g_script.scenes[0] = b.Finish();

    system = FindObjectByPath(g_task_tree.root, "SYSTEM", kFindLeaf);
    task = static_cast<ScriptTask*>(system->payload);
    TakeSceneTables(task, g_script.scenes[0].get(), 0);
  }
};

Game& TheGame() {
  static Game game;
  return game;
}

void BM_LoopOfAssignments(benchmark::State& state) {
  Game& g = TheGame();
  uint64_t commands = 0;
  for (auto _ : state) {
    g.task->command_index = 0;
    g.task->block_depth = 0;
    g.task->loop_depth = 0;
    g_engine.quit_flag.store(0);
    const uint64_t before = g_runner.executed;
    g_frame.tick_counter += 1;
    RunScriptTasks();
    commands += g_runner.executed - before;
  }
  if (commands < static_cast<uint64_t>(2) * kIterations) state.SkipWithError("the loop did not run");
  state.SetItemsProcessed(static_cast<int64_t>(commands));
  state.counters["commands/s"] =
      benchmark::Counter(static_cast<double>(commands), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopOfAssignments)->Unit(benchmark::kMillisecond);

void DecodeOne(benchmark::State& state, uint32_t index) {
  Game& g = TheGame();
  SetCurrentTask(g.system, g.task, index);
  for (auto _ : state) benchmark::DoNotOptimize(DecodeCommandArguments(kCommandWait));
  if (ArgValue(0) == 0) state.SkipWithError("nothing decoded");
}

void BM_DecodeOneLiteral(benchmark::State& state) { DecodeOne(state, 5); }
BENCHMARK(BM_DecodeOneLiteral);

void BM_DecodeOneVariableExpression(benchmark::State& state) { DecodeOne(state, 6); }
BENCHMARK(BM_DecodeOneVariableExpression);

}  // namespace
