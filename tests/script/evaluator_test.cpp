// The expression evaluator by opcode family: arithmetic with its edge values, real mode, strings,
// number text, variables and subscripts, binding mode and malformed bytecode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "lib/expression_builder.h"
#include "script/expression_machine.h"
#include "script/format_constants.h"
#include "script_test_env.h"

namespace korvel {
namespace {

constexpr uint32_t kA = 1000;  // int a[3][4], a[i][j] = 10 * i + j
constexpr uint32_t kB = 1001;  // int b = 7
constexpr uint32_t kR = 1002;  // real r = 2.5
constexpr uint32_t kS = 1003;  // string s = "abc"
constexpr uint32_t kU = 1004;  // undeclared

class EvaluatorTest : public test::ScriptEnv {
 protected:
  void SetUp() override {
    ScriptEnv::SetUp();
    MakeVariables();
    const uint32_t dims[] = {3, 4};
    ASSERT_EQ(FillVarIntInit(kA, 2, dims, 0), 0);
    for (int64_t i = 0; i < 12; ++i) SetVarNumberElement(kA, i, (i / 4) * 10 + i % 4);
    ASSERT_EQ(FillVarIntInit(kB, 0, nullptr, 7), 0);
    ASSERT_EQ(FillVarRealInit(kR, 0, nullptr, 2.5), 0);
    ASSERT_EQ(FillVarStringInit(kS, 0, nullptr, "abc"), 0);
  }

  static std::vector<uint8_t> Code(const std::string& tokens) {
    std::vector<uint8_t> code;
    std::string error;
    auto resolve = [](std::string_view name, uint16_t* n) {
      const struct {
        const char* name;
        uint32_t number;
      } vars[] = {{"a", kA}, {"b", kB}, {"r", kR}, {"s", kS}, {"u", kU}};
      for (const auto& v : vars) {
        if (name == v.name) {
          *n = static_cast<uint16_t>(v.number);
          return true;
        }
      }
      return false;
    };
    EXPECT_TRUE(tools::ParseExpressionTokens(tokens, resolve, &code, &error)) << error;
    return code;
  }
  static int64_t Int(const std::string& tokens) {
    const auto code = Code(tokens);
    return EvaluateIntExpression(code.data(), code.size());
  }
  static double Real(const std::string& tokens) {
    const auto code = Code(tokens);
    return EvaluateRealExpression(code.data(), code.size());
  }
  static std::string Text(const std::string& tokens, bool mode4 = false) {
    const auto code = Code(tokens);
    char buffer[kStringBufferSize] = "untouched";
    const size_t n = mode4 ? EvaluateStringExpressionMode4(buffer, code.data(), code.size())
                           : EvaluateStringExpression(buffer, code.data(), code.size());
    return n == 0 && std::strcmp(buffer, "untouched") == 0 ? "<number>" : std::string(buffer, n);
  }
};

TEST_F(EvaluatorTest, IntegerArithmetic) {
  const struct {
    const char* tokens;
    int64_t expected;
  } cases[] = {
      {"7 0 /", 0},
      {"7 0 %", 0},
      {"-7 2 /", -3},
      {"-7 2 %", -1},
      {"7 -2 %", 1},
      {"L:-9223372036854775808 -1 /", INT64_MIN},
      {"L:-9223372036854775808 -1 %", 0},
      {"L:9223372036854775807 1 +", INT64_MIN},
      {"L:-9223372036854775808 1 -", INT64_MAX},
      {"L:4611686018427387904 4 *", 0},
      {"L:-9223372036854775808 neg", INT64_MIN},
      {"2 3 + 4 *", 20},
      {"6 3 &&", 1},
      {"6 0 ||", 1},
      {"0 0 ||", 0},
      {"6 3 &", 2},
      {"6 3 |", 7},
      {"6 3 ^", 5},
      {"3 2 >", 1},
      {"3 3 >=", 1},
      {"2 3 <=", 1},
      {"2 3 <", 1},
      {"3 3 ==", 1},
      {"3 4 !=", 1},
      {"1 2 ,", 1},  // "," does nothing: entry 0 stays 1
      {"F:2.9", 2},
      {"F:-2.9", -2},
      {"F:nan", INT64_MIN},
      {"F:1e300", INT64_MIN},
      {"W:-300", -300},
      {"I:-70000", -70000},
      {"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Int(c.tokens), c.expected) << c.tokens;
    EXPECT_EQ(ReportCount(), 0u) << c.tokens;
  }
}

TEST_F(EvaluatorTest, RealMode) {
  EXPECT_DOUBLE_EQ(Real("7.5 2 %"), 7.5);       // remainder keeps the left operand
  EXPECT_DOUBLE_EQ(Real("6.0 3.0 &"), 6.0);     // bitwise keeps the left operand
  EXPECT_DOUBLE_EQ(Real("7 2 /"), 3.5);
  EXPECT_DOUBLE_EQ(Real("7 0 /"), 0.0);
  EXPECT_DOUBLE_EQ(Real("$r 2 *"), 5.0);
  EXPECT_DOUBLE_EQ(Real("$b 2 /"), 3.5);        // integer variable converted
  EXPECT_DOUBLE_EQ(Real("2.5 1 >"), 1.0);
  // Inside a subscript list the arithmetic stays integer: a[7 / 2 - 2][1] is a[1][1].
  EXPECT_DOUBLE_EQ(Real("$a[ 7 2 / 2 - 1 ]"), 11.0);
  const auto code = Code("7.9");
  EXPECT_EQ(EvaluateRealExpressionAsInt(code.data(), code.size()), 7);
  EXPECT_EQ(kExpressionEvaluatorTable.to_int[2](code.data(), code.size()), 7);
  EXPECT_EQ(kExpressionEvaluatorTable.to_int[1](code.data(), code.size()), 7);
  EXPECT_DOUBLE_EQ(kExpressionEvaluatorTable.to_real[1](code.data(), code.size()), 7.0);
  EXPECT_DOUBLE_EQ(kExpressionEvaluatorTable.to_real_only[1](code.data(), code.size()), 7.9);
}

TEST_F(EvaluatorTest, StringsAndConversions) {
  EXPECT_EQ(Text("\"ab\" \"cd\" +"), "abcd");
  EXPECT_EQ(Text("$s \"!\" +"), "abc!");
  EXPECT_EQ(Text("12 str"), "12");
  EXPECT_EQ(Text("-5 str"), "-5");
  EXPECT_EQ(Text("2.5 str", true), "2.500000");  // "%f" in the C locale
  EXPECT_EQ(Text("1 2 +"), "<number>");          // a number leaves the buffer untouched
  EXPECT_EQ(Int("\"abc\" \"abc\" =="), 1);
  EXPECT_EQ(Int("\"abc\" \"abd\" =="), 0);
  EXPECT_EQ(Int("\"abc\" \"abd\" !="), 1);
  EXPECT_EQ(Int("\"0x1F\" num"), 31);
  EXPECT_EQ(Int("\"12.5\" num"), 12);
  EXPECT_DOUBLE_EQ(Real("\"12.5\" num"), 12.5);
  EXPECT_EQ(Int("\"-42\" num"), -42);
  EXPECT_EQ(Int("\"\" num"), 0);
  EXPECT_EQ(ReportCount(), 0u);
}

TEST_F(EvaluatorTest, EscapesAndDoubleByteLiterals) {
  EXPECT_EQ(Text(R"("a\\b")"), "a\\b");
  EXPECT_EQ(Text(R"("a\nb\tc")"), "a\nb\tc");
  EXPECT_EQ(Text(R"("a\rb\r\n")"), "a\rb\r\n");     // the assembler writes the carriage return
  EXPECT_EQ(Text(R"("a\\rb\\\rc")"), "a\\rb\\\rc");  // an escaped backslash stays one
  EXPECT_EQ(Text(R"("a\qb")"), "aqb");  // the backslash is dropped
  // "表" is 0x95 0x5C in code page 932: its trail byte is a backslash and must stay.
  EXPECT_EQ(Text("\"表n\""), "\x95\x5Cn");
  // The delimiter search stays inside the operand: an operand without its closing delimiter.
  tools::ExprBuilder b;
  b.Op('M', {'"', 'x', 'y'});
  char buffer[kStringBufferSize];
  EXPECT_EQ(EvaluateStringExpression(buffer, b.code.data(), b.code.size()), 2u);
  EXPECT_STREQ(buffer, "xy");
}

TEST_F(EvaluatorTest, LongResultsAreCutOnACharacterBoundary) {
  // 2047 double-byte characters (4094 bytes) plus another one: the last does not fit.
  std::string wide;
  for (int i = 0; i < 2047; ++i) wide += "\x82\xA0";
  tools::ExprBuilder b;
  b.Text(wide).Text("\x82\xA0").Binary('+');
  char buffer[kStringBufferSize];
  EXPECT_EQ(EvaluateStringExpression(buffer, b.code.data(), b.code.size()), 4094u);
  // A single byte still fits.
  tools::ExprBuilder c;
  c.Text(wide).Text("xyz").Binary('+');
  EXPECT_EQ(EvaluateStringExpression(buffer, c.code.data(), c.code.size()), 4095u);
  EXPECT_EQ(buffer[4094], 'x');
}

TEST_F(EvaluatorTest, VariablesAndReferences) {
  EXPECT_EQ(Int("$b"), 7);
  EXPECT_EQ(g_expr.var_number, kB);
  EXPECT_EQ(Int("$a[ 2 3 ] 1 + $b >"), 1);  // 23 + 1 > 7
  EXPECT_EQ(Int("$a[ 2 3 ]"), 23);
  EXPECT_EQ(g_expr.var_number, kA);
  EXPECT_EQ(g_expr.element_index, 11);
  EXPECT_EQ(g_expr.sub_count, 2);
  EXPECT_EQ(Int("$a[ $b 6 - 2 ]"), 12);  // nested references
  EXPECT_EQ(Int("$a[]"), 0);
  EXPECT_EQ(g_expr.whole, 1);
  EXPECT_EQ(Int("$u 5 +"), 5);  // an undeclared variable reads as 0
  EXPECT_EQ(ReportCount(), 0u);
}

TEST_F(EvaluatorTest, ErrorsStopTheEvaluation) {
  const struct {
    const char* tokens;
    int32_t code;
  } cases[] = {
      {"\"a\" 1 +", 160010},            // string and number
      {"1 \"a\" ==", 160010},
      {"\"a\" \"b\" -", 160010},
      {"$a[ \"x\" 0 ]", 160010},        // a text as a subscript
      {"\"12a\" num", 108210},
      {"\"1e5\" num", 108210},
      {"$a[ 3 0 ]", 107010},            // subscript at its bound
      {"$a[ 0 4 ]", 107010},
      {"$a[ -1 0 ]", 107010},
      {"$a[ L:4294967296 0 ]", 107010},  // compared with its full 64-bit value
      {"$a[ 0 0 0 ]", 107010},          // a subscript past the last dimension
      {"$65000", 108010},               // beyond the variable table
      {"op:FF", 900030},                // undefined opcode
      {"+", 900030},                    // stack underflow
      {"]", 900030},                    // close without open
      {"B:1 bytes:49", 900030},          // truncated instruction
      {"op:4C:0102", 900030},           // "L" with a 2-byte operand
  };
  for (const auto& c : cases) {
    InitErrorReporting();
    Int(c.tokens);
    EXPECT_EQ(LastCode(), c.code) << c.tokens;
    EXPECT_TRUE(QuitRequested()) << c.tokens;
    InitEngineState();
  }
}

TEST_F(EvaluatorTest, HexTextWithoutDigitsStopsWithoutAReport) {
  EXPECT_EQ(Int("5 \"0x\" num ,"), 5);  // stopped: entry 0 keeps its value
  EXPECT_EQ(ReportCount(), 0u);
  Int("\"0x11112222333344445\" num");  // 17 digits
  EXPECT_EQ(ReportCount(), 0u);
}

TEST_F(EvaluatorTest, LimitsAreChecked) {
  tools::ExprBuilder deep;
  for (int i = 0; i < kExprStackSize + 1; ++i) deep.Int(1);
  EvaluateIntExpression(deep.code.data(), deep.code.size());
  EXPECT_EQ(LastCode(), 900030);

  InitErrorReporting();
  tools::ExprBuilder texts;
  for (int i = 0; i < kExprSlotCount; ++i) texts.Text("x").Op(',');
  EvaluateIntExpression(texts.code.data(), texts.code.size());
  EXPECT_EQ(LastCode(), 900030);

  InitErrorReporting();
  tools::ExprBuilder levels;
  for (int i = 0; i < kExprMaxLevels + 1; ++i) levels.OpenSubscripts(kA);
  EvaluateIntExpression(levels.code.data(), levels.code.size());
  EXPECT_EQ(LastCode(), 900030);

  InitErrorReporting();
  tools::ExprBuilder subs;
  subs.OpenSubscripts(kA);
  for (int i = 0; i < kMaxDimensions + 1; ++i) subs.Int(0);
  subs.CloseSubscripts();
  EvaluateIntExpression(subs.code.data(), subs.code.size());
  EXPECT_EQ(LastCode(), 900030);
}

TEST_F(EvaluatorTest, DeclareModeCollectsTheShape) {
  g_expr.declare_mode = 1;
  EXPECT_EQ(Int("$u[ 5 7 ]"), 0);
  g_expr.declare_mode = 0;
  EXPECT_EQ(g_expr.var_number, kU);
  ASSERT_EQ(g_expr.sub_count, 2);
  EXPECT_EQ(g_expr.subs[0], 5);
  EXPECT_EQ(g_expr.subs[1], 7);
  EXPECT_EQ(ReportCount(), 0u);
}

TEST_F(EvaluatorTest, BindingModeStopsAtTheFirstVariable) {
  InstallExpressionOpcodes(0);
  char buffer[kStringBufferSize] = "";
  const auto constant = Code("\"LABEL\"");
  EvaluateStringExpression(buffer, constant.data(), constant.size());
  EXPECT_EQ(g_expr.not_constant, 0);
  EXPECT_STREQ(buffer, "LABEL");
  const auto variable = Code("\"L\" $s +");
  EvaluateStringExpression(buffer, variable.data(), variable.size());
  EXPECT_EQ(g_expr.not_constant, 1);
  InstallExpressionOpcodes(1);
  EXPECT_EQ(ReportCount(), 0u);
}

}  // namespace
}  // namespace korvel
