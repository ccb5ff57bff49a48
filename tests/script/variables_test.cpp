// Variables: sizing, element access, the operator table, resize, and commands 85 and 86.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "script/decoded_arguments.h"
#include "script/element_operators.h"
#include "script/var_commands.h"
#include "script_test_env.h"

namespace korvel {
namespace {

constexpr uint32_t kV = 1000, kW = 1001, kI = 1002, kD = 1003;

class VariablesTest : public test::ScriptEnv {
 protected:
  void SetUp() override {
    ScriptEnv::SetUp();
    MakeVariables();
  }
  static void IntArray(uint32_t n, std::initializer_list<int64_t> values) {
    const uint32_t dims[] = {static_cast<uint32_t>(values.size())};
    ASSERT_EQ(FillVarIntInit(n, 1, dims, 0), 0);
    int64_t i = 0;
    for (int64_t v : values) SetVarNumberElement(n, i++, v);
  }
  static int64_t Count(uint32_t n) {
    const VariableRecord* v = FindVariable(n);
    return v != nullptr ? v->count : -1;
  }
  static uint32_t Capacity(uint32_t n) {
    const VariableRecord* v = FindVariable(n);
    return v != nullptr && v->capacities != nullptr ? v->capacities[0] : 0;
  }
  static std::vector<int64_t> Ints(uint32_t n) {
    std::vector<int64_t> out;
    for (int64_t i = 0; i < Count(n); ++i) out.push_back(GetVarIntElement(n, i));
    return out;
  }
  // Arguments as the decoder leaves them: (parameter, value) pairs, references by variable.
  static void Args(std::initializer_list<std::pair<uint8_t, int64_t>> values) {
    ClearDecodedArguments();
    int32_t pos = 0;
    for (auto [param, value] : values) {
      DecodedArgument& a = g_args.at[++pos];
      a.param = param;
      a.value = value;
      g_args.presence[param] = static_cast<uint8_t>(pos);
    }
    g_args.count = pos;
  }
  static void Ref(uint8_t param, uint32_t number, int64_t index = 0) {
    if (g_args.presence[param] == 0) {
      g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
    }
    DecodedArgument& a = g_args.at[g_args.presence[param]];
    a.var_number = number;
    a.element_index = index;
  }
  static void Text(uint8_t param, const char* text) {
    if (g_args.presence[param] == 0) g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
    DecodedArgument& a = g_args.at[g_args.presence[param]];
    if (a.text == nullptr) a.text = static_cast<char*>(std::malloc(kStringBufferSize));
    std::strcpy(a.text, text);
  }
  static std::string Str(uint32_t n, int64_t i = 0) {
    const char* t = GetVarStringElement(n, i);
    return t != nullptr ? t : "<none>";
  }
};

TEST_F(VariablesTest, Sizing) {
  const struct {
    std::vector<uint32_t> dims;
    int32_t error;
  } cases[] = {
      {{2000, 2000}, 0},
      {{2001, 2000}, 101100},
      {{0}, 101110},
      {{static_cast<uint32_t>(-2), static_cast<uint32_t>(-3)}, 101110},
      {{65536, 65536, 65536}, 101100},  // checked after every multiplication
      {{}, 0},
  };
  for (const auto& c : cases) {
    InitErrorReporting();
    ASSERT_EQ(FillVarIntInit(kV, 1, std::vector<uint32_t>{3}.data(), 9), 0);
    const int32_t r = FillVarIntInit(kV, static_cast<int32_t>(c.dims.size()), c.dims.data(), 1);
    EXPECT_EQ(r, c.error == 0 ? 0 : -1);
    EXPECT_EQ(ReportCount() == 0 ? 0 : LastCode(), c.error);
    if (c.error != 0) {
      EXPECT_EQ(Count(kV), 3);  // unchanged on failure
      EXPECT_EQ(GetVarIntElement(kV, 2), 9);
    }
    InitEngineState();
  }
}

TEST_F(VariablesTest, ElementAccessAndStringCapacity) {
  ASSERT_EQ(FillVarStringInit(kV, 0, nullptr, "abcd"), 0);
  EXPECT_EQ(Capacity(kV), 5u);
  ASSERT_EQ(SetVarStringElement(kV, 0, "0123456789"), 0);
  EXPECT_EQ(Capacity(kV), 11u);
  ASSERT_EQ(SetVarStringElement(kV, 0, "xyz"), 0);
  EXPECT_EQ(Capacity(kV), 11u);
  EXPECT_EQ(Str(kV), "xyz");
  EXPECT_EQ(SetVarStringElement(kV, 1, "x"), -1);
  ASSERT_EQ(FillVarIntInit(kW, 0, nullptr, 0), 0);
  EXPECT_EQ(SetVarRealElement(kW, 0, -2.7), 0);
  EXPECT_EQ(GetVarIntElement(kW, 0), -2);
  EXPECT_EQ(SetVarNumberElement(kW, -1, 5), -1);
  EXPECT_EQ(SetVarNumberElement(kW, 1, 5), -1);
  EXPECT_EQ(ReportCount(), 0u);
  EXPECT_EQ(SetVarStringElement(kW, 0, "x"), -1);
  EXPECT_EQ(LastCode(), 101140);
}

// The "nothing found" answer every query command stores: by the variable's type, and only inside
// the variable; an undeclared or missing one is left alone without a report.
TEST_F(VariablesTest, SetVarElementEmptyByType) {
  const uint32_t two[] = {2};
  const struct {
    uint8_t type;  // kVar*, or kVarUndeclared
    uint32_t number;
    int64_t index;
    int32_t result;
    const char* after;  // both elements as text after the call
  } cases[] = {
      {kVarInt, kV, 1, 0, "7,0"},
      {kVarInt, kV, 0, 0, "0,7"},
      {kVarReal, kV, 1, 0, "7.5,0"},
      {kVarString, kV, 0, 0, ",seven"},
      {kVarInt, kV, 2, -1, "7,7"},
      {kVarString, kV, -1, -1, "seven,seven"},
      {kVarUndeclared, kV, 0, -1, ""},
      {kVarInt, 5000, 0, -1, "7,7"},  // a number past the table
  };
  for (const auto& c : cases) {
    ASSERT_EQ(CreateVariableRecords(1101), 0);
    int32_t filled = 0;
    if (c.type == kVarInt) filled = FillVarIntInit(kV, 1, two, 7);
    if (c.type == kVarReal) filled = FillVarRealInit(kV, 1, two, 7.5);
    if (c.type == kVarString) filled = FillVarStringInit(kV, 1, two, "seven");
    ASSERT_EQ(filled, 0);
    EXPECT_EQ(SetVarElementEmpty(c.number, c.index), c.result) << c.after;
    std::string after;
    for (int64_t i = 0; i < Count(kV); ++i) {
      if (i > 0) after += ",";
      if (c.type == kVarInt) after += std::to_string(GetVarIntElement(kV, i));
      if (c.type == kVarString) after += Str(kV, i);
      if (c.type == kVarReal) {
        char real[32];
        std::snprintf(real, sizeof real, "%g", GetVarRealElement(kV, i));
        after += real;
      }
    }
    EXPECT_EQ(after, c.after) << int(c.type) << " " << c.index;
    EXPECT_EQ(ReportCount(), 0u) << int(c.type) << " " << c.index;
  }
}

TEST_F(VariablesTest, OperatorTable) {
  const struct {
    int op;
    int64_t start, operand, expected;
  } ints[] = {{0, 5, 3, 3},  {1, 5, 3, 8},  {2, 5, 3, 2},  {3, 5, 3, 15}, {4, 7, 2, 3},
              {4, 7, 0, 7},  {5, -7, 2, -1}, {5, 7, 0, 7}, {6, 6, 3, 2},  {7, 6, 3, 7},
              {8, 6, 3, 5},  {1, INT64_MAX, 1, INT64_MIN}, {4, INT64_MIN, -1, INT64_MIN},
              {5, INT64_MIN, -1, 0}};
  for (const auto& c : ints) {
    ASSERT_EQ(FillVarIntInit(kV, 0, nullptr, c.start), 0);
    kElementOperatorTable[c.op](kV, 0, ElementOperand{.integer = c.operand});
    EXPECT_EQ(GetVarIntElement(kV, 0), c.expected) << c.op;
  }
  const struct {
    int op;
    double start, operand, expected;
  } reals[] = {{9, 1.5, 2.0, 2.0},  {10, 1.5, 2.0, 3.5}, {11, 1.5, 2.0, -0.5}, {12, 1.5, 2.0, 3.0},
               {13, 3.0, 2.0, 1.5}, {13, 3.0, 0.0, 3.0}, {14, 7.9, 2.5, 1.0},  {14, 7.5, 0.5, 7.5},
               {15, 6.7, 3.2, 2.0}, {16, 6.0, 3.0, 7.0}, {17, 6.0, 3.0, 5.0}};
  for (const auto& c : reals) {
    ASSERT_EQ(FillVarRealInit(kV, 0, nullptr, c.start), 0);
    kElementOperatorTable[c.op](kV, 0, ElementOperand{.real = c.operand});
    EXPECT_DOUBLE_EQ(GetVarRealElement(kV, 0), c.expected) << c.op;
  }
  // Outside the variable, or on a variable of the other type, nothing changes.
  IntArray(kW, {1, 2});
  kElementOperatorTable[1](kW, -1, ElementOperand{.integer = 5});
  kElementOperatorTable[1](kW, 2, ElementOperand{.integer = 5});
  kElementOperatorTable[10](kW, 0, ElementOperand{.real = 5.0});
  EXPECT_EQ(Ints(kW), (std::vector<int64_t>{1, 2}));
}

TEST_F(VariablesTest, ResizeKeepsAndAddsElements) {
  IntArray(kV, {1, 2, 3});
  ASSERT_EQ(ResizeVarArray(kV, 5), 0);
  EXPECT_EQ(Ints(kV), (std::vector<int64_t>{1, 2, 3, 0, 0}));
  ASSERT_EQ(ResizeVarArray(kV, 2), 0);
  EXPECT_EQ(Ints(kV), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(ResizeVarArray(kV, 4000001), -1);
  EXPECT_EQ(LastCode(), 101100);
  EXPECT_EQ(Ints(kV), (std::vector<int64_t>{1, 2}));
  const uint32_t dims[] = {2};
  ASSERT_EQ(FillVarStringInit(kW, 1, dims, "s"), 0);
  SetVarStringElement(kW, 1, "second");
  ASSERT_EQ(ResizeVarArray(kW, 3), 0);
  EXPECT_EQ(Str(kW, 1), "second");
  EXPECT_EQ(Str(kW, 2), "");
  ASSERT_EQ(ResizeVarArray(kW, 1), 0);
  EXPECT_EQ(Str(kW, 0), "s");
}

TEST_F(VariablesTest, Command85ArrayEdits) {
  const struct {
    uint8_t param;
    uint8_t op;
    int64_t value;
    std::vector<int64_t> expected;
  } cases[] = {
      {14, 0, 1, {1, 0, 2}}, {14, 0, 5, {1, 2, 0}}, {14, 0, -1, {1, 2, 3}},
      {15, 0, 0, {2, 3, 0}}, {15, 0, 2, {1, 2, 0}}, {15, 0, 3, {1, 2, 3}},
      {15, 0, -1, {1, 2, 3}}, {13, 1, 2, {1, 2, 3, 0, 0}}, {13, 0, 1, {1}},
      {13, 4, 0, {1, 2, 3}},
  };
  for (const auto& c : cases) {
    IntArray(kV, {1, 2, 3});
    Args({{0, 0}, {c.param, c.value}});
    g_args.at[2].op = c.op;
    Ref(0, kV);
    EXPECT_EQ(RunVarConvert(), 0);
    EXPECT_EQ(Ints(kV), c.expected) << int(c.param) << " " << c.value;
  }
  // Refusals: a message box, -1, no error, the quit flag untouched.
  const uint32_t dims[] = {2, 2};
  ASSERT_EQ(FillVarIntInit(kW, 2, dims, 0), 0);
  Args({{0, 0}, {13, 3}});
  Ref(0, kW);
  EXPECT_EQ(RunVarConvert(), -1);
  IntArray(kV, {1, 2, 3});
  Args({{0, 0}, {13, -3}});
  Ref(0, kV);
  EXPECT_EQ(RunVarConvert(), -1);
  EXPECT_EQ(ReportCount(), 0u);
  EXPECT_FALSE(QuitRequested());
}

TEST_F(VariablesTest, Command85Conversions) {
  ASSERT_EQ(FillVarStringInit(kV, 0, nullptr, ""), 0);
  ASSERT_EQ(FillVarIntInit(kI, 0, nullptr, 0), 0);
  ASSERT_EQ(FillVarRealInit(kD, 0, nullptr, 0), 0);
  const struct {
    const char* text;
    uint32_t target;
    double expected;
    int32_t error;
  } cases[] = {{"12.5", kI, 12, 0}, {"0x1F", kI, 31, 0}, {"-42", kI, -42, 0},
               {"12.5", kD, 12.5, 0}, {"", kI, 0, 0},    {"1e5", kI, 0, 108210},
               {"12a", kI, 0, 108210}};
  for (const auto& c : cases) {
    InitErrorReporting();
    SetVarStringElement(kV, 0, c.text);
    SetVarNumberElement(c.target, 0, 0);
    Args({{0, 0}, {1, 0}, {6, 0}});
    Ref(0, kV);
    Ref(1, c.target);
    EXPECT_EQ(RunVarConvert(), c.error == 0 ? 0 : -1) << c.text;
    EXPECT_DOUBLE_EQ(GetVarRealElement(c.target, 0), c.expected) << c.text;
    EXPECT_EQ(ReportCount() == 0 ? 0 : LastCode(), c.error) << c.text;
    InitEngineState();
  }
  // Numbers into text, locale-free; huge doubles fit.
  SetVarNumberElement(kI, 0, INT64_MIN);
  Args({{0, 0}, {1, 0}, {6, 0}});
  Ref(0, kI);
  Ref(1, kV);
  EXPECT_EQ(RunVarConvert(), 0);
  EXPECT_EQ(Str(kV), "-9223372036854775808");
  SetVarRealElement(kD, 0, 1e300);
  Ref(0, kD);
  EXPECT_EQ(RunVarConvert(), 0);
  EXPECT_EQ(Str(kV).size(), 308u);
  // Two integers: 108200.
  Ref(0, kI);
  Ref(1, kI);
  EXPECT_EQ(RunVarConvert(), -1);
  EXPECT_EQ(LastCode(), 108200);
}

TEST_F(VariablesTest, Command85TextEdits) {
  // "aあb": three characters, the second double-byte.
  const std::string text = "a\x82\xA0" "b";
  const struct {
    uint8_t which;  // 3 substring, 2 delete
    int64_t start, count;
    std::string expected;
    int32_t error;
  } cases[] = {
      {3, 3, 1, "b", 0},        {3, 4, 1, "", 120010},      {3, 2, 3, "", 120020},
      {3, 2, 1, "\x82\xA0", 0}, {3, 0, 2, "a\x82\xA0", 0},  {3, 1, 0, "", 0},
      {2, 2, 1, "ab", 0},       {2, 4, 1, "", 120110},      {2, 1, 4, "", 120120},
  };
  for (const auto& c : cases) {
    InitErrorReporting();
    ASSERT_EQ(FillVarStringInit(kV, 0, nullptr, text.c_str()), 0);
    ASSERT_EQ(FillVarStringInit(kW, 0, nullptr, "old"), 0);
    Args({{0, 0}, {1, 0}, {c.which, 0}, {4, c.start}, {5, c.count}});
    Ref(0, kV);
    Ref(1, kW);
    EXPECT_EQ(RunVarConvert(), c.error == 0 ? 0 : -1);
    if (c.error == 0) {
      EXPECT_EQ(Str(kW), c.expected);
    } else {
      EXPECT_EQ(LastCode(), c.error);
    }
    InitEngineState();
  }
}

TEST_F(VariablesTest, Command85WidthAndCase) {
  ASSERT_EQ(FillVarStringInit(kV, 0, nullptr, "Ab1 \xB6\xDE"), 0);  // "Ab1 ｶﾞ"
  ASSERT_EQ(FillVarStringInit(kW, 0, nullptr, ""), 0);
  Args({{0, 0}, {1, 0}, {11, 0}});
  Ref(0, kV);
  Ref(1, kW);
  ASSERT_EQ(RunVarConvert(), 0);
  EXPECT_EQ(Str(kW), "\x82\x60\x82\x82\x82\x50\x81\x40\x83\x4A\x81\x4A");  // Ａｂ１　カ゛
  ASSERT_EQ(FillVarStringInit(kV, 0, nullptr, Str(kW).c_str()), 0);
  Args({{0, 0}, {1, 0}, {12, 0}});
  Ref(0, kV);
  Ref(1, kW);
  ASSERT_EQ(RunVarConvert(), 0);
  EXPECT_EQ(Str(kW), "Ab1 \xB6\xDE");
  ASSERT_EQ(FillVarStringInit(kV, 0, nullptr, "ab\x82\x81\x95\x5C"), 0);  // abａ表
  const struct {
    uint8_t param;
    std::string expected;
  } cases[] = {{7, "AB\x82\x81\x95\x5C"}, {8, "AB\x82\x60\x95\x5C"}, {9, "ab\x82\x81\x95\x5C"},
               {10, "ab\x82\x81\x95\x5C"}};
  for (const auto& c : cases) {
    Args({{0, 0}, {1, 0}, {c.param, 0}});
    Ref(0, kV);
    Ref(1, kW);
    ASSERT_EQ(RunVarConvert(), 0);
    EXPECT_EQ(Str(kW), c.expected) << int(c.param);
  }
}

TEST_F(VariablesTest, Command86InformationAndSearch) {
  IntArray(kV, {1, 2, 2});
  ASSERT_EQ(FillVarIntInit(kI, 0, nullptr, 0), 0);
  const struct {
    std::initializer_list<std::pair<uint8_t, int64_t>> args;
    int64_t expected;
  } cases[] = {
      {{{2, 0}}, 1},           {{{4, 0}}, 1},          {{{5, 0}}, 3},
      {{{14, 0}, {15, 2}}, 1}, {{{14, 0}, {15, 2}, {18, 2}}, 2},
      {{{14, 0}, {15, 2}, {18, 3}}, -1}, {{{14, 0}, {15, 5}}, -1},
      {{{14, 0}, {15, 1}, {18, -5}}, 0},
  };
  for (const auto& c : cases) {
    ClearDecodedArguments();
    Args(c.args);
    Ref(0, kV);
    Ref(1, kI);
    EXPECT_EQ(RunVarInfo(), 0);
    EXPECT_EQ(GetVarIntElement(kI, 0), c.expected);
  }
  ASSERT_EQ(FillVarStringInit(kW, 0, nullptr, "a\x82\xA0" "b"), 0);
  Args({{13, 0}});
  Ref(0, kW);
  Ref(1, kI);
  EXPECT_EQ(RunVarInfo(), 0);
  EXPECT_EQ(GetVarIntElement(kI, 0), 3);
  Args({{3, 0}});
  Ref(0, kW);
  Ref(1, kI);
  EXPECT_EQ(RunVarInfo(), 0);
  EXPECT_EQ(GetVarIntElement(kI, 0), 1);
  SetVarStringElement(kW, 0, "");
  EXPECT_EQ(RunVarInfo(), -1);
  EXPECT_EQ(LastCode(), 101450);
  const uint32_t dims[] = {3};
  ASSERT_EQ(FillVarStringInit(kD, 1, dims, "x"), 0);
  SetVarStringElement(kD, 2, "find");
  Args({{14, 0}});
  Text(17, "find");
  Ref(0, kD);
  Ref(1, kI);
  EXPECT_EQ(RunVarInfo(), 0);
  EXPECT_EQ(GetVarIntElement(kI, 0), 2);
}

}  // namespace
}  // namespace korvel
