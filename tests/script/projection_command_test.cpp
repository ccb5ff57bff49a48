// The projection command: hand-computed positions and scales whose depth exponents are multiples
// of 100 (so every factor is an exact power of two), and the command in compiled games.
#include "script/projection_command.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "param_names.h"
#include "sysvar_game_env.h"

namespace korvel {
namespace {

using test::CommandGameTest;

// D[8] = -100 gives s1 = 2, D[15] = 100 gives s2 = 1/2; fx = 1, fy = 2.
ProjectionInput BaseInput() {
  ProjectionInput in{};
  in.d[3] = 10;
  in.d[4] = 20;
  in.d[6] = 100;
  in.d[7] = 200;
  in.d[8] = -100;
  in.d[9] = 5;
  in.d[10] = 6;
  in.d[11] = 50;
  in.d[12] = 60;
  in.d[13] = 30;
  in.d[14] = 40;
  in.d[15] = 100;
  in.d[16] = 50;
  in.d[17] = 25;
  in.d[18] = 8;
  in.d[19] = 4;
  in.d[20] = 100;
  in.d[21] = 200;
  in.i[5] = 3;
  in.i[6] = -4;
  return in;
}

struct ProjectionCase {
  const char* name;
  void (*edit)(ProjectionInput*);
  ProjectionResult expected;
};

void PrintTo(const ProjectionCase& c, std::ostream* os) { *os << c.name; }

class ProjectionTest : public ::testing::TestWithParam<ProjectionCase> {};

TEST_P(ProjectionTest, MatchesTheHandComputedValues) {
  const ProjectionCase& c = GetParam();
  ProjectionInput in = BaseInput();
  c.edit(&in);
  const ProjectionResult r = ComputeProjection(in);
  EXPECT_EQ(r.x, c.expected.x);
  EXPECT_EQ(r.y, c.expected.y);
  EXPECT_EQ(r.sx, c.expected.sx);
  EXPECT_EQ(r.sy, c.expected.sy);
}

// X = ((100 - 5) - 10 × 1) × 2 + 50 × 1 + 3 / 2 = 221.5, then + 8 × (100 - 50) × s2 / 100;
// Y = ((200 - 6) - 20 × 2) × 2 + 60 × 2 - 4 / 2 = 426, then + 4 × (100 - 25) × s2 / 100.
INSTANTIATE_TEST_SUITE_P(
    Projection, ProjectionTest,
    ::testing::Values(
        ProjectionCase{
            "SameLevelSkipsTheSecondTerms", [](ProjectionInput*) {}, {223.5, 427.5, 25.0, 12.5}},
        // X' = 221.5 + 5 × 2, + (30 × 1 - 8) / 2; Y' = 426 + 6 × 2, + (40 × 2 - 4) / 2.
        ProjectionCase{"SecondLevelFirstForm",
                       [](ProjectionInput* in) { in->i[1] = 1; },
                       {244.5, 477.5, 25.0, 12.5}},
        // s2 = p(D[24] = 0) = 1: + ((30 + 2) - 8 - 1), + ((40 + 3) × 2 - 4 - 2).
        ProjectionCase{"SecondLevelSecondForm",
                       [](ProjectionInput* in) {
                         in->i[2] = 7;
                         in->i[4] = 1;
                         in->d[22] = 2;
                         in->d[23] = 3;
                         in->d[25] = 1;
                         in->d[26] = 2;
                       },
                       {258.5, 521.0, 50.0, 25.0}},
        // D[27] - D[8] + d = 100 doubles the object term; D[5] + D[30] is the depth d.
        ProjectionCase{"DepthOfPlusOneHundredDoubles",
                       [](ProjectionInput* in) {
                         in->d[8] = 0;
                         in->d[15] = 0;
                         in->d[5] = 60;
                         in->d[30] = 40;
                       },
                       {(85.0 * 2 + 51.5) + 8.0, (154.0 * 2 + 118) + 6.0, 100.0, 50.0}},
        ProjectionCase{"DepthOfMinusOneHundredHalves",
                       [](ProjectionInput* in) {
                         in->d[8] = 0;
                         in->d[15] = 0;
                         in->d[27] = -100;
                       },
                       {(85.0 / 2 + 51.5) + 2.0, (154.0 / 2 + 118) + 1.5, 25.0, 12.5}},
        ProjectionCase{"FlatOutput",
                       [](ProjectionInput* in) { in->i[7] = 1; },
                       {30.0 - 4.0, 40.0 - 1.0, 50.0, 25.0}}),
    test::CaseName());

class ProjectionGameTest : public CommandGameTest {
 protected:
  // I is variable 1000, D variable 1001 with `d_size` elements of `d_type`.
  void LoadWith(const std::string& d_type, int d_size) {
    Load(".global int i[8]\n.global " + d_type + " d[" + std::to_string(d_size) +
         "]\nlabel SYSTEM_START\nPROJECT 0=( $i ) 1=( $d )\ntrace 1\nQUIT\n");
    const ProjectionInput in = BaseInput();
    for (int k = 0; k < 8; ++k) SetVarNumberElement(Var(0), k, in.i[k]);
    for (int k = 0; k < 31 && k < d_size && d_type == "real"; ++k) {
      SetVarRealElement(Var(1), k, in.d[k]);
    }
  }
};

TEST_F(ProjectionGameTest, WritesTheFourResults) {
  LoadWith("real", 40);
  SetVarRealElement(Var(1), 35, 7.0);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Real(Var(1), 31), 223.5);
  EXPECT_EQ(Real(Var(1), 32), 427.5);
  EXPECT_EQ(Real(Var(1), 33), 25.0);
  EXPECT_EQ(Real(Var(1), 34), 12.5);
  EXPECT_EQ(Real(Var(1), 35), 7.0);
  EXPECT_EQ(Real(Var(1), 30), 0.0);
}

TEST_F(ProjectionGameTest, ShortVariablesReceiveWhatFits) {
  LoadWith("real", 33);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Real(Var(1), 31), 223.5);
  EXPECT_EQ(Real(Var(1), 32), 427.5);
  EXPECT_EQ(Record(Var(1)).count, 33);
}

TEST_F(ProjectionGameTest, MissingElementsReadZero) {
  // D of 16 elements: D[16..30] read 0, so both scales are 0 and nothing is written.
  LoadWith("real", 16);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  for (int k = 0; k < 16; ++k) EXPECT_EQ(Real(Var(1), k), BaseInput().d[k]) << k;
}

TEST_F(ProjectionGameTest, TextOrUndeclaredDIsRefused) {
  for (const bool undeclared : {false, true}) {
    SCOPED_TRACE(undeclared);
    LoadWith(undeclared ? "real" : "string", 40);
    if (undeclared) Record(Var(1)).type = kVarUndeclared;
    RunTicks(3);
    EXPECT_EQ(LastCode(), 101140);
    EXPECT_TRUE(test::Trace().empty());
    ResetReports();
    g_engine.quit_flag.store(0);
  }
}

TEST_F(ProjectionGameTest, NothingHappensWithoutBothVariables) {
  Load(
      ".global int i[8]\n.global real d[40]\n"
      "label SYSTEM_START\nPROJECT 0=( $i )\nPROJECT 1=( $d )\ntrace 1\nQUIT\n");
  SetVarNumberElement(Var(0), 7, 1);
  SetVarRealElement(Var(1), 16, 50);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Real(Var(1), 33), 0.0);
  EXPECT_EQ(test::Trace(), std::vector<int64_t>{1});
}

}  // namespace
}  // namespace korvel
