// The math command in compiled games: each function against the C library, the selector order,
// storage into integer and double elements, random ranges against std::mt19937 and CRC-32 against
// zlib.
#include "script/math_command.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/random.h"
#include "param_names.h"
#include "sysvar_game_env.h"

namespace korvel {
namespace {

using test::CommandGameTest;

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct FunctionCase {
  const char* name;
  int selector;
  double x;
  double y;
  double expected;
};

void PrintTo(const FunctionCase& c, std::ostream* os) {
  *os << c.name << ": selector " << c.selector << " of " << c.x << ", " << c.y;
}

class MathFunctionTest : public CommandGameTest,
                         public ::testing::WithParamInterface<FunctionCase> {};

// x and y come from double variables (type code 2 expressions), the result goes to a double.
TEST_P(MathFunctionTest, MatchesTheCLibrary) {
  const FunctionCase& c = GetParam();
  Load(
      ".global real out\n.global real x\n.global real y\n"
      "label SYSTEM_START\n"
      "MATH 0=( $out ) 1:2=( $x ) 2:2=( $y ) " +
      std::to_string(c.selector) + "=( 1 )\nQUIT\n");
  SetVarRealElement(Var(1), 0, c.x);
  SetVarRealElement(Var(2), 0, c.y);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  if (std::isnan(c.expected)) {
    EXPECT_TRUE(std::isnan(Real(Var(0))));
  } else {
    EXPECT_EQ(Real(Var(0)), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Math, MathFunctionTest,
    ::testing::Values(FunctionCase{"Sine", 4, 0.5, 0, std::sin(0.5)},
                      FunctionCase{"Cosine", 7, 0.5, 0, std::cos(0.5)},
                      FunctionCase{"Tangent", 10, 0.5, 0, std::tan(0.5)},
                      FunctionCase{"ArcSine", 5, 0.5, 0, std::asin(0.5)},
                      FunctionCase{"ArcCosine", 8, 0.5, 0, std::acos(0.5)},
                      FunctionCase{"HyperbolicSine", 6, 0.5, 0, std::sinh(0.5)},
                      FunctionCase{"HyperbolicCosine", 9, 0.5, 0, std::cosh(0.5)},
                      FunctionCase{"HyperbolicTangent", 13, 0.5, 0, std::tanh(0.5)},
                      FunctionCase{"ArcTangent", 11, 0.5, 0, std::atan(0.5)},
                      FunctionCase{"ArcTangentOfTwoTakesXAsTheOrdinate", 12, 1.0, -2.0,
                                   std::atan2(1.0, -2.0)},
                      FunctionCase{"SquareRoot", 14, 2.0, 0, std::sqrt(2.0)},
                      FunctionCase{"SquareRootOfANegative", 14, -1.0, 0, std::sqrt(-1.0)},
                      FunctionCase{"Absolute", 15, -2.25, 0, 2.25},
                      FunctionCase{"Exponential", 16, 1.5, 0, std::exp(1.5)},
                      FunctionCase{"NaturalLogarithm", 17, 10.0, 0, std::log(10.0)},
                      FunctionCase{"LogarithmOfZero", 17, 0.0, 0, -HUGE_VAL},
                      FunctionCase{"DecimalLogarithm", 18, 1000.0, 0, 3.0},
                      FunctionCase{"Power", 19, 2.0, 0.5, std::pow(2.0, 0.5)}),
    test::CaseName());

TEST_F(CommandGameTest, FirstSelectorInTheTableOrderDecides) {
  Load(
      ".global real out[4]\n"
      "label SYSTEM_START\n"
      "MATH 0=( $out[ 0 ] ) 1:2=( 0.5 ) 12=( 1 ) 4=( 1 )\n"  // sine before atan2
      "MATH 0=( $out[ 1 ] ) 1:2=( 0.5 ) 5=( 1 ) 10=( 1 )\n"  // tangent before arcsine
      "MATH 0=( $out[ 2 ] ) 1:2=( 4 ) 21=( 1 ) 14=( 1 )\n"   // square root before the checksum
      "let $out[ 3 ] = 9\n"
      "MATH 0=( $out[ 3 ] ) 1:2=( 4 ) 2=( 5 ) 3=( \"x\" )\n"  // no selector: nothing
      "QUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Real(Var(0), 0), std::sin(0.5));
  EXPECT_EQ(Real(Var(0), 1), std::tan(0.5));
  EXPECT_EQ(Real(Var(0), 2), 2.0);
  EXPECT_EQ(Real(Var(0), 3), 9.0);
}

TEST_F(CommandGameTest, SineAndCosineEvaluateInRealModeOtherFunctionsByTypeCode) {
  Load(
      ".global real out[4]\n"
      "label SYSTEM_START\n"
      // Integer-typed operands: 3 / 2 is 1.5 in real mode, 1 in integer mode.
      "MATH 0=( $out[ 0 ] ) 1=( 3 2 / ) 4=( 1 )\n"
      "MATH 0=( $out[ 1 ] ) 1=( 3 2 / ) 7=( 1 )\n"
      "MATH 0=( $out[ 2 ] ) 1=( 3 2 / ) 11=( 1 )\n"
      "MATH 0=( $out[ 3 ] ) 1:2=( 3 2 / ) 11=( 1 )\n"
      "QUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Real(Var(0), 0), std::sin(1.5));
  EXPECT_EQ(Real(Var(0), 1), std::cos(1.5));
  EXPECT_EQ(Real(Var(0), 2), std::atan(1.0));
  EXPECT_EQ(Real(Var(0), 3), std::atan(1.5));
}

TEST_F(CommandGameTest, ResultsAreStoredByTheOutputsType) {
  Load(
      ".global int n[6]\n.global real r[2]\n.global string s\n"
      "label SYSTEM_START\n"
      "MATH 0=( $n[ 0 ] ) 1:2=( 2.5 ) 2:2=( 3 ) 19=( 1 )\n"  // 15.58 truncated
      "MATH 0=( $n[ 1 ] ) 1:2=( -1 ) 14=( 1 )\n"             // NaN
      "MATH 0=( $n[ 2 ] ) 1:2=( 0 ) 17=( 1 )\n"              // -infinity
      "MATH 0=( $n[ 3 ] ) 1=( -7 ) 15=( 1 )\n"               // integer operand: double store
      "MATH 0=( $n[ 4 ] ) 1:3=( -7 ) 15=( 1 )\n"             // integer arithmetic, integer store
      "MATH 0=( $n[ 5 ] ) 1=( L:-9223372036854775808 ) 15=( 1 )\n"
      "MATH 0=( $r[ 0 ] ) 1=( 4 ) 2=( 4 ) 20=( 1 )\n"
      "MATH 0=( $r[ 1 ] ) 1:4=( -2.5 ) 15=( 1 )\n"
      "QUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Int(Var(0), 0), 15);
  EXPECT_EQ(Int(Var(0), 1), kMin);
  EXPECT_EQ(Int(Var(0), 2), kMin);
  EXPECT_EQ(Int(Var(0), 3), 7);
  EXPECT_EQ(Int(Var(0), 4), 7);
  EXPECT_EQ(Int(Var(0), 5), kMin);  // 2^63 does not fit
  EXPECT_EQ(Real(Var(1), 0), 4.0);
  EXPECT_EQ(Real(Var(1), 1), 2.5);
}

TEST_F(CommandGameTest, StoringANumberIntoATextIsRefused) {
  Load(".global string s\nlabel SYSTEM_START\nMATH 0=( $s ) 1:2=( 1 ) 4=( 1 )\nQUIT\n");
  RunTicks(3);
  EXPECT_EQ(LastCode(), 101140);
}

__extension__ typedef __int128 Int128;

// x + r mod (y - x + 1), with the remainder of the exact (unbounded) range.
int64_t ExpectedRandom(int64_t x, int64_t y, uint32_t r) {
  if (y < x) std::swap(x, y);
  const Int128 span = static_cast<Int128>(y) - x + 1;
  return static_cast<int64_t>(x + static_cast<Int128>(r) % span);
}

TEST(RandomInRangeTest, EveryRangeWorks) {
  const uint32_t outputs[] = {0u, 1u, 4u, 5u, 0x7FFFFFFFu, 0xFFFFFFFFu, 123456789u};
  const std::pair<int64_t, int64_t> ranges[] = {{1, 5},
                                                {5, 1},
                                                {7, 7},
                                                {-3, 3},
                                                {kMin, kMax},
                                                {kMax, kMin},
                                                {kMin, kMin + 2},
                                                {kMax - 2, kMax},
                                                {-1, kMax},
                                                {kMin, 0},
                                                {0, 0xFFFFFFFFLL},
                                                {0, 0x100000000LL}};
  for (const auto& [x, y] : ranges) {
    for (uint32_t r : outputs) {
      EXPECT_EQ(RandomInRange(x, y, r), ExpectedRandom(x, y, r)) << x << ".." << y << " r " << r;
    }
  }
}

TEST_F(CommandGameTest, RandomRangesFollowMt19937) {
  constexpr uint32_t kSeed = 20240229;
  const std::pair<int64_t, int64_t> ranges[] = {{1, 5}, {5, 1}, {42, 42}, {kMin, kMax}, {-10, 10}};
  Load(
      ".global int x\n.global int y\n.global int out[64]\n.global int i\n"
      "label SYSTEM_START\n"
      "let $i = 0\n"
      "loop 64\n"
      "  MATH 0=( $out[ $i ] ) 1=( $x ) 2=( $y ) 20=( 1 )\n"
      "  let $i += 1\n"
      "end\n"
      "QUIT\n");
  std::mt19937 reference(kSeed);
  SeedRandom(kSeed);
  for (const auto& [x, y] : ranges) {
    SCOPED_TRACE(testing::Message() << x << ".." << y);
    SetVarNumberElement(Var(0), 0, x);
    SetVarNumberElement(Var(1), 0, y);
    TaskRef("SYSTEM").command_index = 0;
    g_engine.quit_flag.store(0);
    ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
    for (int64_t k = 0; k < 64; ++k) {
      const int64_t v = Int(Var(2), k);
      ASSERT_EQ(v, ExpectedRandom(x, y, static_cast<uint32_t>(reference()))) << k;
      ASSERT_GE(v, std::min(x, y));
      ASSERT_LE(v, std::max(x, y));
    }
  }
}

TEST_F(CommandGameTest, ChecksumOfAbc) {
  Load(".global int out\nlabel SYSTEM_START\nMATH 0=( $out ) 3=( \"abc\" ) 21=( 1 )\nQUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Int(Var(0)), 891568578);  // 0x352441C2
}

TEST_F(CommandGameTest, ChecksumsOfRandomTextsMatchZlib) {
  Load(
      ".global string text[40]\n.global int out[40]\n.global int i\n"
      "label SYSTEM_START\n"
      "loop 40\n"
      "  MATH 0=( $out[ $i ] ) 3=( $text[ $i ] ) 21=( 1 )\n"
      "  let $i += 1\n"
      "end\n"
      "QUIT\n");
  std::mt19937 generator(7);
  std::vector<std::string> texts;
  for (int k = 0; k < 40; ++k) {
    std::string text(generator() % (k < 20 ? 64 : 4000), '\0');
    for (char& c : text) c = static_cast<char>(1 + generator() % 255);  // no NUL inside
    if (k == 0) text.clear();
    texts.push_back(text);
    ASSERT_EQ(SetVarStringElement(Var(0), k, text.c_str()), 0);
  }
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  for (int k = 0; k < 40; ++k) {
    // The command sees the text as the evaluator passes it: at most 4095 bytes.
    const char* stored = GetVarStringElement(Var(0), k);
    const uLong expected =
        crc32(0L, reinterpret_cast<const Bytef*>(stored), static_cast<uInt>(texts[k].size()));
    EXPECT_EQ(Int(Var(1), k), static_cast<int64_t>(expected)) << k;
    EXPECT_GE(Int(Var(1), k), 0);
  }
}

}  // namespace
}  // namespace korvel
