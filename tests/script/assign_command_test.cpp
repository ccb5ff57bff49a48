// The assignment command in compiled games: the operator table on integer and double elements,
// strings, the writable system variables (key counters, joysticks, engine values and texts) and the
// errors of what cannot be assigned.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/input_state.h"
#include "core/named_tree.h"
#include "core/window_record.h"
#include "param_names.h"
#include "script/system_variable_writes.h"
#include "script/system_variables.h"
#include "sysvar_game_env.h"

namespace korvel {
namespace {

using test::CommandGameTest;

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct IntCase {
  const char* name;
  int64_t start;
  const char* op;
  const char* operand;  // tokens of the value expression
  int64_t expected;
};

void PrintTo(const IntCase& c, std::ostream* os) {
  *os << c.name << ": " << c.start << " " << c.op << " " << c.operand << " gives " << c.expected;
}

class IntOperatorTest : public CommandGameTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(IntOperatorTest, AppliesTheIntegerRow) {
  const IntCase& c = GetParam();
  Load(".global int a\nlabel SYSTEM_START\nlet $a " + std::string(c.op) + " " + c.operand +
       "\nQUIT\n");
  ASSERT_EQ(SetVarNumberElement(Var(0), 0, c.start), 0);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Int(Var(0)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Assign, IntOperatorTest,
    ::testing::Values(
        IntCase{"Set", 7, "=", "-3", -3}, IntCase{"Add", 7, "+=", "5", 12},
        IntCase{"AddWraps", kMax, "+=", "1", kMin}, IntCase{"Subtract", 7, "-=", "10", -3},
        IntCase{"SubtractWraps", kMin, "-=", "1", kMax}, IntCase{"Multiply", -7, "*=", "6", -42},
        IntCase{"DivideTruncates", -7, "/=", "2", -3},
        IntCase{"DivideByZeroKeeps", 7, "/=", "0", 7},
        IntCase{"MinByMinusOne", kMin, "/=", "-1", kMin}, IntCase{"Remainder", -7, "%=", "2", -1},
        IntCase{"RemainderByZeroKeeps", 7, "%=", "0", 7}, IntCase{"And", 6, "&=", "3", 2},
        IntCase{"Or", 6, "|=", "3", 7}, IntCase{"Xor", 6, "^=", "3", 5},
        IntCase{"RealValueTruncates", 0, "=", "F:-2.7", -2}),
    test::CaseName());

struct RealCase {
  const char* name;
  double start;
  const char* op;
  const char* operand;
  double expected;
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.name << ": " << c.start << " " << c.op << " " << c.operand << " gives " << c.expected;
}

class RealOperatorTest : public CommandGameTest, public ::testing::WithParamInterface<RealCase> {};

TEST_P(RealOperatorTest, AppliesTheDoubleRow) {
  const RealCase& c = GetParam();
  Load(".global real r\nlabel SYSTEM_START\nlet $r " + std::string(c.op) + " " + c.operand +
       "\nQUIT\n");
  ASSERT_EQ(SetVarRealElement(Var(0), 0, c.start), 0);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Real(Var(0)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Assign, RealOperatorTest,
    ::testing::Values(RealCase{"Set", 1.0, "=", "2.25", 2.25},
                      RealCase{"IntegerValueConverts", 1.0, "=", "3", 3.0},
                      RealCase{"Add", 1.5, "+=", "0.25", 1.75},
                      RealCase{"Subtract", 1.5, "-=", "2", -0.5},
                      RealCase{"Multiply", 1.5, "*=", "-2", -3.0},
                      RealCase{"Divide", 7.5, "/=", "2", 3.75},
                      RealCase{"DivideByZeroKeeps", 7.5, "/=", "0", 7.5},
                      RealCase{"RemainderThroughIntegers", 7.5, "%=", "2", 1.0},
                      RealCase{"RemainderByHalfKeeps", 7.5, "%=", "0.5", 7.5},
                      RealCase{"And", 6.9, "&=", "3", 2.0}, RealCase{"Or", 6.0, "|=", "3.5", 7.0},
                      RealCase{"Xor", 6.0, "^=", "3", 5.0}),
    test::CaseName());

TEST_F(CommandGameTest, AssignsElementsOfArrays) {
  Load(
      ".global int a[3]\n.global real r[2]\n.global string s[2]\n"
      "label SYSTEM_START\n"
      "let $a[ 2 ] = 5\nlet $a[ 2 ] *= 3\nlet $r[ 1 ] = 0.5\nlet $s[ 1 ] = \"x\"\n"
      "let $s[ 1 ] += \"yz\"\nQUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Int(Var(0), 2), 15);
  EXPECT_EQ(Int(Var(0), 1), 0);
  EXPECT_EQ(Real(Var(1), 1), 0.5);
  EXPECT_EQ(Text(Var(2), 1), "xyz");
  EXPECT_EQ(Text(Var(2), 0), "");
}

TEST_F(CommandGameTest, StringOperatorsOtherThanSetAndAppendAreRefused) {
  Load(".global string s\nlabel SYSTEM_START\nlet $s = \"abc\"\nlet $s -= \"c\"\ntrace 1\nQUIT\n");
  RunTicks(5);
  EXPECT_EQ(LastCode(), 101140);
  EXPECT_EQ(Text(Var(0)), "abc");
  EXPECT_TRUE(test::Trace().empty());
}

// The appended text cannot overflow the work buffer: the result holds at most 4095 bytes.
TEST_F(CommandGameTest, AppendIsCutToTheWorkBuffer) {
  Load(
      ".global string s[2]\n"
      "label SYSTEM_START\n"
      "let $s[ 0 ] += \"0123456789\"\n"
      "let $s[ 1 ] += \"z\"\n"
      "QUIT\n");
  const std::string a4090(4090, 'a');
  ASSERT_EQ(SetVarStringElement(Var(0), 0, a4090.c_str()), 0);
  const std::string long_text(6000, 'q');  // longer than any script string
  ASSERT_EQ(SetVarStringElement(Var(0), 1, long_text.c_str()), 0);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Text(Var(0), 0), a4090 + "01234");
  EXPECT_EQ(Text(Var(0), 1), std::string(4095, 'q'));
}

// ... and never ends inside a double-byte character.
TEST_F(CommandGameTest, AppendStopsBeforeASplitDoubleByteCharacter) {
  Load(
      ".global string s\n.global string t\n"
      "label SYSTEM_START\nlet $s += $t\nQUIT\n");
  ASSERT_EQ(SetVarStringElement(Var(0), 0, std::string(4090, 'a').c_str()), 0);
  ASSERT_EQ(SetVarStringElement(Var(1), 0,
                                "bbbb\x82\xa0"
                                "cc"),
            0);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Text(Var(0)), std::string(4090, 'a') + "bbbb");
}

TEST_F(CommandGameTest, UndeclaredTargetIsRefused) {
  Load(".global int u\nlabel SYSTEM_START\nlet $u = 1\nQUIT\n");
  Record(Var(0)).type = kVarUndeclared;
  RunTicks(3);
  EXPECT_EQ(LastCode(), 101140);
}

TEST_F(CommandGameTest, OperatorByteAboveEightIsRefusedWhenTheFileLoads) {
  tools::CompiledGame game = Build({{"main.kas",
                                     ".global int a\nlabel SYSTEM_START\nlet $a = 1\n"
                                     "QUIT\n"}});
  bool patched = false;
  for (auto& command : game.scripts[0].commands) {
    if (command.number == kCommandAssign) {
      command.args[0].op = 9;
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  Install(game);
  EXPECT_NE(LoadScriptData(), 0);
  EXPECT_NE(ReportCount(), 0u);
}

// {down, up} × {5, 0, -5}: a held key keeps only positive counts, a free key only negative ones.
TEST_F(CommandGameTest, KeyCounterMatrix) {
  Load(
      ".sysvar 122 int key[1024]\n.global int v\n"
      "label SYSTEM_START\nlet $key[ 65 ] = $v\nQUIT\n");
  struct Case {
    int8_t state;
    int64_t value;
    int64_t expected;
  };
  const Case cases[] = {{kKeyStateDown, 5, 5}, {kKeyStateDown, 0, 0}, {kKeyStateDown, -5, 0},
                        {kKeyStateUp, 5, 0},   {kKeyStateUp, 0, 0},   {kKeyStateUp, -5, -5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "state " << int{c.state} << " value " << c.value);
    InitInputState();
    g_keys.state[65] = c.state;
    g_keys.counter[65] = 99;
    TaskRef("SYSTEM").command_index = 0;  // start the script again
    SetVarNumberElement(Var(0), 0, c.value);
    g_engine.quit_flag.store(0);
    ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
    EXPECT_EQ(g_keys.counter[65], c.expected);
  }
}

TEST_F(CommandGameTest, InputEntriesWriteInsideTheKeyTable) {
  Load(
      ".sysvar 122 int key[2000]\n.sysvar 190 int keyA\n.sysvar 255 int right[40]\n"
      ".sysvar 258 int button[600]\n.sysvar 324 int pressesA\n.sysvar 392 int bpress[600]\n"
      "label SYSTEM_START\n"
      "let $keyA = -3\n"
      "let $right[ 2 ] = -4\n"
      "let $right[ 16 ] = -9\n"
      "let $button[ 511 ] = -6\n"
      "let $button[ 512 ] = -9\n"
      "let $key[ 1023 ] = -7\n"
      "let $key[ 1024 ] = -9\n"
      "let $key[ 1999 ] = -9\n"
      "let $pressesA = 12\n"
      "let $bpress[ 33 ] = 4\n"
      "let $bpress[ 34 ] = -4\n"
      "let $keyA -= 2\n"
      "QUIT\n");
  InitInputState();
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(g_keys.counter[0x41], -5);                         // 190 = 125 + 'A', then -= 2
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 72 + 1], -4);  // joystick 2, right
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 36 * 15 + 4 + 31], -6);
  EXPECT_EQ(g_keys.counter[1023], -7);
  EXPECT_EQ(g_keys.presses[0x41], 12u);  // 324 = 259 + 'A'
  EXPECT_EQ(g_keys.presses[kJoystickBaseCode + 36 + 4 + 1], 4u);
  EXPECT_EQ(g_keys.presses[kJoystickBaseCode + 36 + 4 + 2], 0u);  // negative counts store 0
  // Nothing outside the joysticks and the table was written.
  for (int32_t code = 0; code < kKeyCodeCount; ++code) {
    EXPECT_NE(g_keys.counter[code], -9) << code;
  }
}

TEST_F(CommandGameTest, KeyCounterBankElementZeroCannotBeSet) {
  Load(".sysvar 122 int key[1024]\nlabel SYSTEM_START\nlet $key[ 0 ] = 1\nQUIT\n");
  RunTicks(3);
  EXPECT_EQ(LastCode(), 101150);
}

class ReadOnlySystemVariableTest : public CommandGameTest,
                                   public ::testing::WithParamInterface<const char*> {};

TEST_P(ReadOnlySystemVariableTest, StopsTheScript) {
  Load(std::string(GetParam()) + "\nlabel SYSTEM_START\nlet $v = 1\ntrace 1\nQUIT\n");
  RunTicks(3);
  EXPECT_EQ(LastCode(), 101150);
  EXPECT_TRUE(test::Trace().empty());
}

INSTANTIATE_TEST_SUITE_P(Assign, ReadOnlySystemVariableTest,
                         ::testing::Values(".sysvar 49 int v", ".sysvar 0 int v[16]",
                                           ".sysvar 600 int v", ".sysvar 12 string v[9]",
                                           ".sysvar 10 real v"),
                         test::CaseName());

TEST_F(CommandGameTest, EngineValuesRoundTrip) {
  Load(
      ".sysvar 95 int closing\n.sysvar 96 int s96\n.sysvar 98 int s98\n.sysvar 110 int done\n"
      ".sysvar 123 int lastkey\n.sysvar 124 int lastbutton\n"
      "label SYSTEM_START\n"
      "let $closing = 0\nlet $s96 = 258\nlet $s98 = 7\nlet $done = 5\n"
      "let $lastkey = 0\nlet $lastbutton = 4\n"
      "QUIT\n");
  g_window_messages.close_requested.store(1);
  g_window_messages.last_key.store(65);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(g_window_messages.close_requested.load(), 0);
  EXPECT_EQ(GetSystemValueById(96, 0), 2);  // low byte
  EXPECT_EQ(GetSystemValueById(97, 0), 0);
  EXPECT_EQ(GetSystemValueById(98, 0), 7);
  EXPECT_EQ(g_window_messages.last_key.load(), 0u);
  EXPECT_EQ(g_window_messages.last_mouse_button.load(), 4u);
  EXPECT_GE(GetSystemValueById(110, 0), 5);  // the commands after the write count on
}

TEST_F(CommandGameTest, DroppedFileCountOnlyShrinks) {
  Load(".sysvar 15 int dropped\n.global int v\nlabel SYSTEM_START\nlet $dropped = $v\nQUIT\n");
  struct Case {
    int64_t value;
    size_t expected;
  };
  for (const Case c : {Case{2, 2}, Case{10, 3}, Case{-1, 0}, Case{0, 0}}) {
    SCOPED_TRACE(c.value);
    {
      std::lock_guard<std::mutex> lock(g_window_messages.dropped_lock);
      g_window_messages.dropped_files = {"a.txt", "b.txt", "c.txt"};
    }
    TaskRef("SYSTEM").command_index = 0;
    SetVarNumberElement(Var(0), 0, c.value);
    g_engine.quit_flag.store(0);
    ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
    EXPECT_EQ(DroppedFileCount(), c.expected);
  }
  std::lock_guard<std::mutex> lock(g_window_messages.dropped_lock);
  g_window_messages.dropped_files.clear();
}

TEST_F(CommandGameTest, EngineTextsAndBasePaths) {
  Load(
      ".sysvar 100 string t0\n.sysvar 101 string t1\n.sysvar 106 string layerbase\n"
      ".sysvar 109 string menubase\n"
      "label SYSTEM_START\n"
      "let $t0 = \"first\"\nlet $t0 += \" line\"\nlet $t1 = 12\n"
      "let $layerbase = \"W1/./x/../y/\"\nlet $menubase = \":M2\"\n"
      "QUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  char buffer[kStringBufferSize];
  ReadSystemStringVariable(100, 0, buffer);
  EXPECT_STREQ(buffer, "first line");
  ReadSystemStringVariable(101, 0, buffer);
  EXPECT_STREQ(buffer, "");  // a number leaves no text
  EXPECT_STREQ(g_layer_tree.base_path, "W1/y");
  EXPECT_STREQ(g_menu_tree.base_path, "M2");
}

TEST_F(CommandGameTest, EngineTextsAreBoundedByTheirBuffers) {
  std::string long_text(5000, 'x');
  long_text[4094] = '\x82';  // a double-byte character across the 4095-byte limit
  long_text[4095] = '\xa0';
  ASSERT_EQ(WriteSystemTextById(100, long_text.data(), long_text.size()), 0);
  char buffer[kStringBufferSize];
  EXPECT_EQ(ReadSystemStringVariable(100, 0, buffer), 4094u);

  const std::string old_base = g_layer_tree.base_path;
  const std::string long_path(300, 'p');
  EXPECT_EQ(WriteSystemTextById(106, long_path.data(), long_path.size()), -1);
  EXPECT_EQ(LastCode(), 900020);
  EXPECT_EQ(std::string(g_layer_tree.base_path), old_base);
  const std::string fits(255, 'p');
  EXPECT_EQ(WriteSystemTextById(109, fits.data(), fits.size()), 0);
  EXPECT_EQ(std::string(g_menu_tree.base_path), fits);
}

}  // namespace
}  // namespace korvel
