// The array declaration commands in compiled games: shapes from subscripts (none, one to eight),
// redeclaration as another type, the element limit and sizes below 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "param_names.h"
#include "sysvar_game_env.h"

namespace korvel {
namespace {

using test::CommandGameTest;

struct DeclareCase {
  const char* name;
  std::string command;  // one declaration command line for variable $a
  int32_t error;        // 0: declared
  uint8_t type;
  std::vector<uint32_t> dims;
  int64_t count;
};

void PrintTo(const DeclareCase& c, std::ostream* os) { *os << c.name << ": " << c.command; }

class DeclareTest : public CommandGameTest, public ::testing::WithParamInterface<DeclareCase> {};

TEST_P(DeclareTest, GivesTheShape) {
  const DeclareCase& c = GetParam();
  Load(".global int a[2]\nlabel SYSTEM_START\n" + c.command + "\ntrace 1\nQUIT\n");
  SetVarNumberElement(Var(0), 1, 42);
  RunTicks(5);
  const VariableRecord* v = &Record(Var(0));
  if (c.error != 0) {
    EXPECT_EQ(LastCode(), c.error);
    EXPECT_TRUE(test::Trace().empty());
    // A refused declaration leaves the variable as it was.
    EXPECT_EQ(v->type, kVarInt);
    EXPECT_EQ(v->count, 2);
    EXPECT_EQ(Int(Var(0), 1), 42);
    return;
  }
  ASSERT_EQ(ReportCount(), 0u) << LastErrorReport().message;
  EXPECT_EQ(test::Trace(), std::vector<int64_t>{1});
  EXPECT_EQ(v->type, c.type);
  ASSERT_EQ(v->dim_count, static_cast<int8_t>(c.dims.size()));
  for (size_t k = 0; k < c.dims.size(); ++k) EXPECT_EQ(v->dims[k], c.dims[k]) << k;
  for (size_t k = c.dims.size(); k < kMaxDimensions; ++k) EXPECT_EQ(v->dims[k], 0u) << k;
  EXPECT_EQ(v->count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Declare, DeclareTest,
    ::testing::Values(
        DeclareCase{
            "NoSubscriptsIsOneElement", "DIMINT 0=( 0 ) 1=( $a ) 2=( 3 )", 0, kVarInt, {}, 1},
        DeclareCase{
            "TwoDimensions", "DIMINT 0=( 0 ) 1=( $a[ 3 4 ] ) 2=( 3 )", 0, kVarInt, {3, 4}, 12},
        DeclareCase{"FourMillionElements",
                    "DIMINT 0=( 0 ) 1=( $a[ 2000 2000 ] ) 2=( 1 )",
                    0,
                    kVarInt,
                    {2000, 2000},
                    4000000},
        DeclareCase{"MoreThanFourMillion", "DIMINT 0=( 0 ) 1=( $a[ 2001 2000 ] ) 2=( 1 )", 101100},
        DeclareCase{"ProductOfHugeSizesIsCheckedOnTheWay",
                    "DIMINT 0=( 0 ) 1=( $a[ 65536 65536 65536 ] ) 2=( 1 )", 101100},
        DeclareCase{"TwoNegativeSizes", "DIMINT 0=( 0 ) 1=( $a[ -2 -3 ] ) 2=( 1 )", 101110},
        DeclareCase{"ZeroSize", "DIMREAL 0=( 0 ) 1=( $a[ 4 0 ] ) 2=( 1 )", 101110},
        DeclareCase{"LowThirtyTwoBitsAreTheSize",
                    "DIMINT 0=( 0 ) 1=( $a[ L:4294967299 ] ) 2=( 1 )",
                    0,
                    kVarInt,
                    {3},
                    3},
        DeclareCase{"EightDimensions",
                    "DIMINT 0=( 0 ) 1=( $a[ 2 2 2 2 2 2 2 3 ] ) 2=( 1 )",
                    0,
                    kVarInt,
                    {2, 2, 2, 2, 2, 2, 2, 3},
                    384},
        DeclareCase{"AsDoubles", "DIMREAL 0=( 0 ) 1=( $a[ 5 ] ) 2:2=( 1.5 )", 0, kVarReal, {5}, 5},
        DeclareCase{
            "AsTexts", "DIMSTR 0=( 0 ) 1=( $a[ 2 2 ] ) 2:3=( \"abc\" )", 0, kVarString, {2, 2}, 4}),
    test::CaseName());

TEST_F(CommandGameTest, DeclarationsFillEveryElement) {
  Load(
      ".global int a\n.global real r\n.global string s\n.global int n\n"
      "label SYSTEM_START\n"
      "DIMINT 0=( 0 ) 1=( $a[ $n 2 ] ) 2=( $n 7 * )\n"
      "DIMREAL 0=( 0 ) 1=( $r[ 3 ] ) 2:2=( 0.25 )\n"
      "DIMSTR 0=( 0 ) 1=( $s[ 2 ] ) 2:3=( \"x\" $n str + )\n"
      "let $s[ 1 ] = \"changed\"\n"
      "QUIT\n");
  SetVarNumberElement(Var(3), 0, 3);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  ASSERT_EQ(Record(Var(0)).count, 6);
  for (int64_t i = 0; i < 6; ++i) EXPECT_EQ(Int(Var(0), i), 21) << i;
  for (int64_t i = 0; i < 3; ++i) EXPECT_EQ(Real(Var(1), i), 0.25) << i;
  EXPECT_EQ(Text(Var(2), 0), "x3");
  EXPECT_EQ(Text(Var(2), 1), "changed");  // each element has its own copy
}

TEST_F(CommandGameTest, RedeclaringAsAnotherTypeReplacesTheElements) {
  Load(
      ".global int a[4]\n"
      "label SYSTEM_START\n"
      "DIMSTR 0=( 0 ) 1=( $a[ 3 ] ) 2:3=( \"t\" )\n"
      "let $a[ 2 ] += \"u\"\n"
      "DIMREAL 0=( 0 ) 1=( $a[ 2 ] ) 2:2=( -1.5 )\n"
      "QUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  const VariableRecord* v = &Record(Var(0));
  EXPECT_EQ(v->type, kVarReal);
  EXPECT_EQ(v->count, 2);
  EXPECT_EQ(Real(Var(0), 1), -1.5);
}

TEST_F(CommandGameTest, RedeclaredStringsKeepTheirTexts) {
  Load(
      ".global int a[4]\n"
      "label SYSTEM_START\n"
      "DIMSTR 0=( 0 ) 1=( $a[ 3 ] ) 2:3=( \"t\" )\n"
      "let $a[ 2 ] += \"u\"\n"
      "QUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Record(Var(0)).type, kVarString);
  EXPECT_EQ(Text(Var(0), 0), "t");
  EXPECT_EQ(Text(Var(0), 2), "tu");
}

TEST_F(CommandGameTest, SystemVariablesCannotBeRedeclared) {
  Load(
      ".sysvar 49 int answer\nlabel SYSTEM_START\nDIMINT 0=( 0 ) 1=( $answer[ 4 ] ) 2=( 1 )\n"
      "QUIT\n");
  RunTicks(3);
  EXPECT_EQ(LastCode(), 101150);
  EXPECT_EQ(Record(49).count, 1);
}

TEST_F(CommandGameTest, NineSubscriptsAreRefused) {
  Load(
      ".global int a\nlabel SYSTEM_START\nDIMINT 0=( 0 ) 1=( $a[ 1 1 1 1 1 1 1 1 1 ] ) 2=( 1 )\n"
      "trace 1\nQUIT\n");
  RunTicks(3);
  EXPECT_NE(ReportCount(), 0u);
  EXPECT_TRUE(test::Trace().empty());
  EXPECT_EQ(Record(Var(0)).count, 1);
}

}  // namespace
}  // namespace korvel
