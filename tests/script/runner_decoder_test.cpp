// The argument decoder: range classes, the evaluation kinds, the presence map over every parameter
// index, string buffers, and records that cannot be evaluated.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "lib/expression_builder.h"
#include "runner_test_env.h"

namespace korvel {
namespace {

using test::RunnerTest;

TEST(RangeClasses, ValuesAgainstEveryClass) {
  constexpr int64_t k2p32 = int64_t{1} << 32;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  const struct {
    uint8_t range_class;
    int64_t value;
    int32_t expected;
  } cases[] = {
      {0, kMin, 0},
      {1, 0, 0}, {1, -1, 101010}, {1, k2p32, 0}, {1, kMin, 101010},
      {2, 1, 0}, {2, 0, 101010}, {2, -5, 101010},
      // Classes 3..27 look at the low 32 bits as an unsigned number.
      {3, 0, 0}, {3, 1, 0}, {3, 2, 101000}, {3, -1, 101000}, {3, k2p32 + 1, 0},
      {4, 2, 0}, {4, 3, 101000},
      {5, 3, 0}, {5, 4, 101000},
      {6, 0, 101000}, {6, 1, 0}, {6, 3, 0}, {6, 4, 101000},
      {7, 4, 0}, {7, 5, 101000},
      {8, 8, 0}, {8, 9, 101000}, {8, k2p32 + 5, 0}, {8, -1, 101000},
      {9, 0, 101000}, {9, 8, 0},
      {10, 15, 0}, {10, 16, 101000},
      {11, 18, 0}, {11, 19, 101000},
      {12, 256, 0}, {12, 257, 101000},
      {13, 0, 101000}, {13, 256, 0},
      {14, 512, 0}, {14, 513, 101000},
      {15, 1024, 0}, {15, 1025, 101000},
      {16, 0, 101000}, {16, 1024, 0},
      {17, 127, 101000}, {17, 128, 0}, {17, 1024, 0}, {17, 1025, 101000},
      {18, 2048, 0}, {18, 2049, 101000},
      {19, 0, 101000}, {19, 2048, 0},
      {20, 8192, 0}, {20, 8193, 101000},
      {21, 0, 101000}, {21, 8192, 0},
      {22, 15, 101000}, {22, 16, 0}, {22, 8193, 101000},
      {23, 127, 101000}, {23, 128, 0}, {23, 8192, 0},
      // value + 1 in 32-bit unsigned arithmetic: a low half of 0xFFFFFFFF wraps to 0 and passes.
      {24, 0xFFFFFF, 0}, {24, 0x1000000, 101020}, {24, 0xFFFFFFFF, 0}, {24, -1, 0},
      {24, -2, 101020},
      {25, 0xFFFFFF, 0}, {25, 0x1000000, 101030}, {25, k2p32 + 7, 0},
      // The main window's logical size (640 x 480 without a window).
      {26, 0, 0}, {26, 639, 0}, {26, 640, 101000}, {26, -1, 101000},
      {27, 479, 0}, {27, 480, 101000},
      // Class 28 looks at the whole signed value.
      {28, 0, 0}, {28, 3, 0}, {28, 4, 101210}, {28, -1, 101220}, {28, k2p32, 101210},
      {28, kMin, 101220},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckArgumentRange(c.range_class, c.value), c.expected)
        << "class " << int{c.range_class} << " value " << c.value;
  }
}

// A command with one parameter of each kind: 0 number (class 2), 1 string, 2 raw, 5 number.
class DecoderTest : public RunnerTest {
 protected:
  void LoadDecoderGame(const std::string& body) {
    tools::CompiledGame game = Build({{"main.kas", "label SYSTEM_START\n" + body}});
    game.commands[kProbe].params = {
        {"count", 0, 2}, {"name", 1, 0}, {"code", 2, 0}, {"p3", 0, 0}, {"p4", 0, 0},
        {"extra", 0, 0}};
    Install(game);
    ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  }
  // Decodes command `index` of SYSTEM's script as the runner would.
  static int32_t DecodeAt(uint32_t index) {
    SetCurrentTask(TaskNode("SYSTEM"), System(), index);
    return DecodeCommandArguments(kProbe);
  }
  static constexpr uint8_t kProbe = 52;  // a decode-only slot, given parameters here
};

TEST_F(DecoderTest, KindsPresenceAndBuffers) {
  LoadDecoderGame(
      ".global int v[4]\n"
      "ARGS52 0=( 3 4 + ) 1=( \"abc\" ) 2=( 9 ) 5=( $v[ 2 ] )\n"  // command 1
      "ARGS52 0=( 1 ) 1=( \"de\" \"f\" + )\n"                     // command 2
      "ARGS52 1=( 5 )\n");                                         // command 3: a number
  ASSERT_EQ(DecodeAt(1), 0);
  EXPECT_EQ(g_args.count, 4);
  EXPECT_EQ(g_args.presence[0], 1);
  EXPECT_EQ(g_args.presence[5], 4);
  EXPECT_EQ(ArgValue(0), 7);
  EXPECT_STREQ(ArgText(1), "abc");
  EXPECT_EQ(test::ArgAt(1).text_length, 3u);
  // Raw parameters are not evaluated: the pointer to their bytecode is kept.
  const DecodedArgument& raw = test::ArgAt(2);
  ASSERT_NE(raw.raw, nullptr);
  EXPECT_EQ(raw.raw[0], 'B');
  EXPECT_EQ(raw.value, 0);
  // The variable element an argument named.
  EXPECT_EQ(test::ArgAt(5).var_number, 1000u);
  EXPECT_EQ(test::ArgAt(5).element_index, 2);
  const char* buffer = test::ArgAt(1).text;

  ASSERT_EQ(DecodeAt(2), 0);
  EXPECT_EQ(g_args.count, 2);
  EXPECT_EQ(g_args.presence[0], 1);
  EXPECT_EQ(g_args.presence[1], 2);
  EXPECT_EQ(g_args.presence[5], 0);  // the previous command gave it; this one does not
  EXPECT_STREQ(ArgText(1), "def");
  // The string buffer of a position is allocated once and reused.
  EXPECT_EQ(g_args.at[2].text, buffer);

  // A string parameter whose expression gives a number has no text, not the last command's.
  ASSERT_EQ(DecodeAt(3), 0);
  EXPECT_STREQ(ArgText(1), "");
  EXPECT_EQ(test::ArgAt(1).text_length, 0u);
}

TEST_F(DecoderTest, RangeFailureReportsTheNamesAndEndsTheDecode) {
  LoadDecoderGame("ARGS52 0=( 0 ) 5=( 1 )\n");
  EXPECT_EQ(DecodeAt(1), -1);
  EXPECT_EQ(LastCode(), 101010);
  const std::string message = LastErrorReport().message;
  EXPECT_NE(message.find("[ARGS52]"), std::string::npos) << message;
  EXPECT_NE(message.find("[count]"), std::string::npos) << message;
  EXPECT_NE(message.find(" 0 "), std::string::npos) << message;
  // A script error: it carries the file and line of the command.
  EXPECT_EQ(LastErrorReport().file, "main.kas");
  EXPECT_EQ(LastErrorReport().line, 2);
  EXPECT_TRUE(QuitRequested());
  // Decoding stopped at the failing position.
  EXPECT_EQ(g_args.presence[5], 0);
}

TEST_F(DecoderTest, FailedEvaluationFailsTheDecode) {
  LoadDecoderGame("ARGS52 5=( \"a\" 1 + ) 0=( 1 )\n");
  EXPECT_EQ(DecodeAt(1), -1);
  EXPECT_EQ(LastCode(), 160010);
}

TEST_F(DecoderTest, EveryParameterIndexHasASlot) {
  // 255 parameters (indices 0..254), all given: positions 1..255.
  tools::CompiledGame game = Build({{"main.kas", "label SYSTEM_START\n"}});
  tools::SceneCommand command{kProbe, {}, 2};
  game.commands[kProbe].params.clear();
  for (int p = 0; p < 255; ++p) {
    game.commands[kProbe].params.push_back({"p" + std::to_string(p), 0, 0});
    tools::ExprBuilder value;
    value.Int(p * 3);
    command.args.push_back(tools::SceneArg{static_cast<uint8_t>(254 - p), 1, 0, value.code});
  }
  game.scripts[0].commands.push_back(command);
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  ASSERT_EQ(DecodeAt(1), 0);
  EXPECT_EQ(g_args.count, 255);
  for (int p = 0; p < 255; ++p) {
    const auto param = static_cast<uint8_t>(254 - p);
    ASSERT_EQ(g_args.presence[param], p + 1) << p;
    EXPECT_EQ(ArgValue(param), p * 3);
  }
}

TEST_F(DecoderTest, BranchTargetsAreNeverEvaluated) {
  // A definition that calls the loop's end target a number: the record holds a command index.
  tools::CompiledGame game =
      Build({{"main.kas", "label SYSTEM_START\nloop 2\n  trace 1\nend\nQUIT\n"}});
  game.commands[kCommandLoop].params[2].kind = 0;
  game.commands[kCommandLoop].params[2].range_class = 2;
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0);
  SetCurrentTask(TaskNode("SYSTEM"), System(), 1);
  EXPECT_EQ(DecodeCommandArguments(kCommandLoop), 0);
  EXPECT_EQ(test::ArgAt(2).value, 0);
  RunTicks(1);
  EXPECT_EQ(test::Trace(), (std::vector<int64_t>{1, 1}));
  EXPECT_EQ(ReportCount(), 0u);
}

TEST_F(DecoderTest, SlotZeroOnlyDecodes) {
  tools::CompiledGame game = Build({{"main.kas", "label SYSTEM_START\nARGS 0=( 0 )\n"}});
  game.commands[0].params = {{"n", 0, 2}};
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0);
  SetCurrentTask(TaskNode("SYSTEM"), System(), 1);
  EXPECT_EQ(RunCommandArgsOnly(), -1);
  EXPECT_EQ(LastCode(), 101010);
}

}  // namespace
}  // namespace korvel
