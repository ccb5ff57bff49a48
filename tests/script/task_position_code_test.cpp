// Position codes: the golden code of an empty task, round trips with full stacks, every kind of
// malformed code (run under ASan in CI), and the codes through commands 80 and 78.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "runner_test_env.h"
#include "script/position_code.h"
#include "script/task_payload.h"

namespace korvel {
namespace {

using test::RunnerTest;

class PositionCodeTest : public RunnerTest {
 protected:
  void TearDown() override {
    for (NamedTreeNode* node : loose_) DestroyTreeNode(node, FreeTaskPayload);
    RunnerTest::TearDown();
  }
  // A task outside the tree, with its block of call frames.
  ScriptTask* NewTask() {
    NamedTreeNode* node = AllocTreeNode("loose", false);
    loose_.push_back(node);
    return CreateScriptTask(node);
  }
  static std::string Encode(const ScriptTask* task) {
    std::vector<char> buffer(kMaxPositionCodeLength + 64);
    const int32_t n = EncodeTaskPositionCode(buffer.data(), buffer.size(), task);
    EXPECT_GT(n, 0);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
  }
  // A task with two levels of every stack, in script 1 ("b.kas").
  ScriptTask* FullTask() {
    ScriptTask* t = NewTask();
    t->block_depth = 2;
    t->block_loop_depth[0] = 0;
    t->block_loop_depth[1] = 1;
    t->block_open_index[0] = 3;
    t->block_open_index[1] = 9;
    t->block_end_target[0] = 20;
    t->block_end_target[1] = 15;
    t->reserved1 = 0x5A;
    t->call_depth = 2;
    CallFrame* f0 = EnsureCallFrame(t, 0);
    CallFrame* f1 = EnsureCallFrame(t, 1);
    *f0 = CallFrame{};
    f0->block_depth = 1;
    f0->return_index = 7;
    f0->caller_script = 1;
    f1->block_depth = 2;
    f1->loop_depth = 1;
    f1->return_index = 12;
    f1->caller_script = 0;
    t->loop_depth = 2;
    t->loop_block_depth[0] = 0;
    t->loop_block_depth[1] = 2;
    t->loop_start_index[0] = 4;
    t->loop_start_index[1] = 10;
    t->loop_end_index[0] = 30;
    t->loop_end_index[1] = 14;
    t->loop_counter[0] = 3;
    t->loop_counter[1] = 0x80000005LL;  // above 2^31 - 1: comes back negative
    t->loop_count[0] = -1;              // endless survives
    t->loop_count[1] = 5;
    t->reserved2 = 0xA5;
    t->message_position[0] = 0xDEADBEEF;
    t->message_position[1] = 77;  // not carried
    t->command_index = 11;
    t->script_number = 1;
    return t;
  }
  void LoadTwoScripts() { Load({{"a.kas", "label SYSTEM_START\nQUIT\n"}, {"b.kas", "QUIT\n"}}); }

  std::vector<NamedTreeNode*> loose_;
};

TEST_F(PositionCodeTest, GoldenCodeOfAnEmptyTask) {
  Load({{"a.kas", ".path scenario/a.txt\nlabel SYSTEM_START\nQUIT\n"}});
  ScriptTask* t = NewTask();
  t->command_index = 5;
  const std::string golden = std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) +
                             "aa"         // block depth
                             "aa"         // first reserved byte
                             "aa"         // call depth
                             "aa"         // loop depth
                             "aa"         // second reserved byte
                             "aaaaaaaa"   // first message word
                             "aaaaaaaf"   // command index 5
                             "aaaaaaao"   // path length 14
                             "scenario/a.txt";
  const std::string code = Encode(t);
  EXPECT_EQ(code.size(), 56u);
  EXPECT_EQ(code, golden);

  // Decoding puts another task at the same command of the same file, the path matched without
  // regard to case.
  std::string upper = golden;
  for (size_t i = 42; i < upper.size(); ++i) upper[i] = static_cast<char>(std::toupper(upper[i]));
  ScriptTask* u = NewTask();
  u->command_index = 99;
  EXPECT_EQ(DecodeTaskPositionCode(upper.data(), upper.size(), u), 56);
  EXPECT_EQ(u->command_index, 5u);
  EXPECT_EQ(u->script_number, 0);

  // No room, no buffer, no task.
  char small[55];
  EXPECT_EQ(EncodeTaskPositionCode(small, sizeof small, t), -1);
  EXPECT_EQ(EncodeTaskPositionCode(nullptr, 100, t), -1);
  EXPECT_EQ(EncodeTaskPositionCode(small, sizeof small, nullptr), -1);
  EXPECT_EQ(DecodeTaskPositionCode(nullptr, 0, u), -1);
  EXPECT_EQ(DecodeTaskPositionCode(golden.data(), golden.size(), nullptr), -1);
}

TEST_F(PositionCodeTest, RoundTripWithEveryStack) {
  LoadTwoScripts();
  const ScriptTask* t = FullTask();
  const std::string code = Encode(t);
  EXPECT_EQ(code.size(), 42u + 2 * 18 + 2 * 20 + 2 * 34 + 5);
  ScriptTask* u = NewTask();
  ASSERT_EQ(DecodeTaskPositionCode(code.data(), code.size(), u), static_cast<int32_t>(code.size()));
  EXPECT_EQ(u->block_depth, 2);
  EXPECT_EQ(u->block_loop_depth[1], 1);
  EXPECT_EQ(u->block_open_index[1], 9u);
  EXPECT_EQ(u->block_end_target[0], 20u);
  EXPECT_EQ(u->reserved1, 0x5A);
  ASSERT_EQ(u->call_depth, 2);
  ASSERT_NE(u->call_frames[1], nullptr);  // allocated by the decoder
  EXPECT_EQ(u->call_frames[0]->block_depth, 1);
  EXPECT_EQ(u->call_frames[0]->return_index, 7u);
  EXPECT_EQ(u->call_frames[0]->caller_script, 1);
  EXPECT_EQ(u->call_frames[1]->loop_depth, 1);
  EXPECT_EQ(u->call_frames[1]->return_index, 12u);
  EXPECT_EQ(u->loop_depth, 2);
  EXPECT_EQ(u->loop_block_depth[1], 2);
  EXPECT_EQ(u->loop_start_index[1], 10u);
  EXPECT_EQ(u->loop_end_index[0], 30u);
  EXPECT_EQ(u->loop_counter[0], 3);
  EXPECT_EQ(u->loop_counter[1], static_cast<int32_t>(0x80000005u));
  EXPECT_LT(u->loop_counter[1], 0);
  EXPECT_EQ(u->loop_count[0], -1);
  EXPECT_EQ(u->loop_count[1], 5);
  EXPECT_EQ(u->reserved2, 0xA5);
  EXPECT_EQ(u->message_position[0], 0xDEADBEEFu);
  EXPECT_EQ(u->message_position[1], 0u);
  EXPECT_EQ(u->command_index, 11u);
  EXPECT_EQ(u->script_number, 1);
  EXPECT_EQ(Encode(u), code);
}

TEST_F(PositionCodeTest, SixtyThreeLevelsOfEveryStackFit) {
  LoadTwoScripts();
  ScriptTask* t = NewTask();
  t->block_depth = 63;
  t->call_depth = 63;
  t->loop_depth = 63;
  for (int i = 0; i < 63; ++i) {
    t->block_loop_depth[i] = static_cast<uint8_t>(i);
    EnsureCallFrame(t, i)->block_depth = static_cast<uint8_t>(i);
    t->loop_count[i] = i;
  }
  const std::string code = Encode(t);
  EXPECT_EQ(code.size(), 42u + 63 * 72 + 5);
  ScriptTask* u = NewTask();
  ASSERT_EQ(DecodeTaskPositionCode(code.data(), code.size(), u), static_cast<int32_t>(code.size()));
  EXPECT_EQ(u->call_frames[62]->block_depth, 62);
  EXPECT_EQ(Encode(u), code);
}

TEST_F(PositionCodeTest, MalformedCodesAreRefusedAndLeaveTheTask) {
  LoadTwoScripts();
  const std::string good = Encode(FullTask());
  // Offsets in the good code: block depth at 8, the first frame's script number at 8 + 2 + 36 +
  // 2 + 2 + 12, the path at the end.
  const size_t frame_script = 8 + 2 + 36 + 2 + 2 + 12;
  auto with = [&](size_t at, const std::string& letters) {
    std::string c = good;
    c.replace(at, letters.size(), letters);
    return c;
  };
  const struct {
    const char* what;
    std::string code;
    int32_t error;
  } cases[] = {
      {"prefix", with(0, std::string(1, '\0')), 900000},
      {"one byte more", good + "x", 900000},
      {"letter above p", with(9, "q"), 900000},
      {"upper-case letter", with(9, "A"), 900000},
      {"letter below a", with(8, "`"), 900000},
      {"block depth 64", with(8, "ea"), 900000},
      {"depth byte of a level above 63", with(10, "ea"), 900000},
      {"frame of an unknown script", with(frame_script, "aaaaaaac"), 900000},
      {"path of no script", with(good.size() - 5, "z.kas"), 102130},
      {"empty", std::string(), 900000},
  };
  ScriptTask* u = FullTask();
  const std::string before = Encode(u);
  for (const auto& c : cases) {
    ResetReports();
    EXPECT_EQ(DecodeTaskPositionCode(c.code.data(), c.code.size(), u), 0) << c.what;
    EXPECT_EQ(LastCode(), c.error) << c.what;
    EXPECT_EQ(LastErrorReport().file, "") << c.what;  // no script position
    EXPECT_EQ(Encode(u), before) << c.what;
  }
  // Every shorter piece of a good code.
  for (size_t n = 0; n < good.size(); ++n) {
    ResetReports();
    EXPECT_EQ(DecodeTaskPositionCode(good.data(), n, u), 0) << n;
    EXPECT_EQ(LastCode(), 900000) << n;
  }
  EXPECT_EQ(Encode(u), before);
  // Every byte of a good code replaced: never a crash, and any result leaves sound depths.
  for (size_t at = 0; at < good.size(); ++at) {
    for (int v : {0, int{'a'}, int{'p'}, int{'q'}, 0xFF}) {
      std::string c = good;
      c[at] = static_cast<char>(v);
      ScriptTask* w = NewTask();
      DecodeTaskPositionCode(c.data(), c.size(), w);
      EXPECT_LE(w->block_depth, 63);
      EXPECT_LE(w->call_depth, 63);
      EXPECT_LE(w->loop_depth, 63);
    }
  }
}

TEST_F(PositionCodeTest, CommandsCarryATaskToAnother) {
  Load(
      ".global string code\n"
      "label SYSTEM_START\n"
      "loop 2\n  if 1\n    call SUB\n  end\nend\nQUIT\n"
      "label SUB\n"
      "loop 3\n"
      "  if 1\n"
      "    TASKINFO 1=( $code ) 19=( 1 )\n"
      "    TASK 0=( \"copy\" ) 34=( \"IDLE\" ) 1=( 0 ) 35=( $code )\n"
      "    WAIT 0=( 1 )\n"
      "  end\n"
      "end\n"
      "RETURN\n"
      "label IDLE\nWAIT 0=( 1 )\n");
  RunTicks(1);
  const ScriptTask* s = System();
  const ScriptTask* c = TaskAt("copy");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->enabled, 0);
  EXPECT_EQ(c->command_index, s->command_index - 2);  // the command after the code was taken
  EXPECT_EQ(c->block_depth, 2);
  EXPECT_EQ(c->loop_depth, 2);
  EXPECT_EQ(c->call_depth, 1);
  EXPECT_EQ(c->call_frames[0]->return_index, s->call_frames[0]->return_index);
  EXPECT_EQ(c->call_frames[0]->block_depth, 1);
  EXPECT_EQ(c->call_frames[0]->loop_depth, 1);
  EXPECT_EQ(c->loop_counter[1], 1);
  EXPECT_EQ(c->loop_count[1], 3);
  EXPECT_EQ(c->block_open_index[1], s->block_open_index[1]);
  EXPECT_EQ(c->command_tables, s->command_tables);
  EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
}

TEST_F(PositionCodeTest, ReturnIntoAFileThatCannotBeLoadedLeavesTheTask) {
  tools::CompiledGame game =
      Build({{"a.kas",
              ".global string code\n"
              "label SYSTEM_START\n"
              "TASK 0=( \"t\" ) 34=( \"T\" ) 35=( $code )\n"
              "loop -1\n  WAIT 0=( 1 )\nend\n"
              "label T\nRETURN\n"},
             {"b.kas", "QUIT\n"},
             {"c.kas", "QUIT\n"}});
  Install(game);
  test::MemoryFiles().erase("krt00002.kbn");
  ASSERT_EQ(LoadScriptData(), 0);
  ScriptTask* model = NewTask();
  model->command_index = 6;  // the RETURN
  model->call_depth = 1;
  EnsureCallFrame(model, 0)->caller_script = 2;
  const std::string code = Encode(model);
  ASSERT_EQ(SetVarStringElementBytes(1000, 0, code.data(), code.size()), 0);
  RunTicks(1);
  EXPECT_EQ(LastCode(), 104060);
  const ScriptTask* t = TaskAt("t");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->call_depth, 1);
  EXPECT_EQ(t->script_number, 0);
  EXPECT_EQ(t->command_index, 7u);
}

TEST_F(PositionCodeTest, CodeThatPointsPastTheFileIsRefused) {
  Load(".global string code\n"
       "label SYSTEM_START\n"
       "TASK 0=( \"t\" ) 34=( \"T\" ) 35=( $code )\n"
       "QUIT\n"
       "label T\nQUIT\n");
  ScriptTask* model = NewTask();
  model->command_index = 50;
  const std::string code = Encode(model);
  ASSERT_EQ(SetVarStringElementBytes(1000, 0, code.data(), code.size()), 0);
  RunTicks(1);
  EXPECT_EQ(LastCode(), 900000);
  const ScriptTask* t = TaskAt("t");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->command_index, 3u);  // still at its label
}

}  // namespace
}  // namespace korvel
