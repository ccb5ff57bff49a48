// Control flow as small compiled games with the traces they must leave: conditional blocks, loops,
// jumps, calls and returns, nesting limits, arguments and results.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/engine_state.h"
#include "param_names.h"
#include "runner_test_env.h"

namespace korvel {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

struct FlowCase {
  std::string name;
  Files files;
  std::vector<int64_t> trace;
  int32_t error = 0;  // 0: the game ends with QUIT and nothing is reported
  std::vector<std::string> texts = {};
};

std::string Nest(const std::string& open, const std::string& close, int levels,
                 const std::string& inner) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open + "\n";
  text += inner + "\n";
  for (int i = 0; i < levels; ++i) text += close + "\n";
  return text;
}

Files One(const std::string& text) { return {{"main.kas", text}}; }

const std::string kDepths =
    ".global int d\n";
const std::string kTraceBlockDepth = "TASKINFO 1=( $d ) 16=( 1 )\ntrace $d\n";
const std::string kTraceLoopDepth = "TASKINFO 1=( $d ) 18=( 1 )\ntrace $d\n";

std::vector<FlowCase> Cases() {
  const std::string calls = test::kCallVariables;
  return {
      {"ElseIfChain",
       One(".global int x\n"
           "label SYSTEM_START\n"
           "loop 4\n"
           "  if $x 0 ==\n    trace 10\n"
           "  elseif $x 1 ==\n    trace 11\n"
           "  elseif $x 2 ==\n    trace 12\n"
           "  else\n    trace 13\n"
           "  end\n"
           "  let $x += 1\n"
           "end\n" +
           kDepths + kTraceBlockDepth + "QUIT\n"),
       {10, 11, 12, 13, 0}},
      {"FalseConditionWithoutElseGoesToTheEnd",
       One(kDepths + "label SYSTEM_START\nif 0\n  trace 99\nend\ntrace 1\n" + kTraceBlockDepth +
           "QUIT\n"),
       {1, 0}},
      {"BlockBreakTwoLevels",
       One(kDepths +
           "label SYSTEM_START\n"
           "if 1\n  trace 1\n  if 1\n    trace 2\n    BREAKBLOCK 0=( 2 )\n    trace 99\n"
           "  end\n  trace 98\nend\n" +
           kTraceBlockDepth +
           "if 1\n  BREAKBLOCK 0=( 0 )\n  trace 3\nend\n"  // n below 1 does nothing
           "QUIT\n"),
       {1, 2, 0, 3}},
      {"BlockBreakDeeperThanOpenIsAnError",
       One("label SYSTEM_START\nif 1\n  BREAKBLOCK 0=( 2 )\nend\nQUIT\n"), {}, 101300},
      {"RetestEvaluatesTheConditionAgain",
       One(".global int x\n"
           "label SYSTEM_START\n"
           "if $x 3 <\n  trace $x\n  let $x += 1\n  RETEST\nend\n"
           "trace 100\nQUIT\n"),
       {0, 1, 2, 100}},
      {"LoopCounts",
       One(".global int x\n.global int y\n"
           "label SYSTEM_START\n"
           "loop 0\n  trace 99\nend\n"
           "loop 3\n  let $x += 1\n  trace $x\nend\n"
           "loop -1\n  let $y += 1\n  if $y 4 ==\n    break\n  end\nend\n"
           "trace $y\n"
           "loop -5\n  trace 7\nend\n" +
           kDepths + kTraceBlockDepth + kTraceLoopDepth + "QUIT\n"),
       {1, 2, 3, 4, 7, 0, 0}},
      {"ContinueSkipsTheRestOfTheBody",
       One(".global int z\n"
           "label SYSTEM_START\n"
           "loop 3\n  let $z += 1\n  if $z 2 ==\n    continue\n  end\n  trace $z\nend\n"
           "QUIT\n"),
       {1, 3}},
      {"BreakTwoLoops",
       One("label SYSTEM_START\n"
           "loop 3\n  trace 1\n  loop 3\n    trace 2\n    break 2\n  end\n  trace 99\nend\n"
           "trace 3\nQUIT\n"),
       {1, 2, 3}},
      {"ContinueDeeperThanOpenIsAnError",
       One("label SYSTEM_START\nloop 2\n  continue 2\nend\nQUIT\n"), {}, 101300},
      {"LoopEndWithoutLoop", One("label SYSTEM_START\nENDLOOP\n"), {}, 108120},
      {"ElseWithoutBlock", One("label SYSTEM_START\nELSE\n"), {}, 101300},
      {"BlockEndWithoutBlock", One("label SYSTEM_START\nENDIF\n"), {}, 101300},
      {"SixtyThreeNestedBlocks",
       One(kDepths + "label SYSTEM_START\n" +
           Nest("if 1", "end", 63, kTraceBlockDepth) + "QUIT\n"),
       {63}},
      {"SixtyFourNestedBlocks",
       One("label SYSTEM_START\n" + Nest("if 1", "end", 64, "trace 1") + "QUIT\n"), {}, 101600},
      {"SixtyThreeNestedLoops",
       One(kDepths + "label SYSTEM_START\n" + Nest("loop 1", "end", 63, kTraceLoopDepth) +
           "QUIT\n"),
       {63}},
      {"SixtyFourNestedLoops",
       One("label SYSTEM_START\n" + Nest("loop 1", "end", 64, "trace 1") + "QUIT\n"), {}, 101600},
      {"JumpWithinACallAddsTheCallersDepths",
       One(kDepths +
           "label SYSTEM_START\n"
           "if 1\n  call SUB\n" + kTraceBlockDepth + "end\nQUIT\n"
           "label SUB\n"
           "if 1\n  jump INSIDE\n  trace 99\n  label INSIDE\n" + kTraceBlockDepth + "end\n"
           "RETURN\n"),
       {2, 1}},
      {"ReturnRestoresTheCallersDepths",
       One(kDepths + "label SYSTEM_START\ncall SUB\n" + kTraceBlockDepth + kTraceLoopDepth +
           "QUIT\nlabel SUB\nloop 1\n  if 1\n    RETURN\n  end\nend\n"),
       {0, 0}},
      {"CrossFileCallAndReturn",
       {{"a.kas", calls + ".global int s\n"
                          "label SYSTEM_START\n"
                          "call FAR 1=( 5 )\n"
                          "trace $ret[ 1 ]\n"
                          "trace $retgiven[ 1 ]\n"
                          "TASKINFO 1=( $s ) 7=( 1 )\n"
                          "trace $s\n"
                          "QUIT\n"},
        {"b.kas", "label FAR\n"
                  "TASKINFO 1=( $s ) 7=( 1 )\n"
                  "trace $s\n"
                  "trace $arg[ 1 ]\n"
                  "RETURN 0=( $arg[ 1 ] 2 * )\n"}},
       {1, 5, 10, 1, 0}},
      {"SixtyThreeNestedCalls",
       One(".global int n\n"
           "label SYSTEM_START\ncall REC\ntrace $n\nQUIT\n"
           "label REC\nlet $n += 1\nif $n 63 <\n  call REC\nend\nRETURN\n"),
       {63}},
      {"SixtyFourNestedCalls",
       One(".global int n\n"
           "label SYSTEM_START\ncall REC\ntrace $n\nQUIT\n"
           "label REC\nlet $n += 1\nif $n 64 <\n  call REC\nend\nRETURN\n"),
       {}, 101600},
      {"ArgumentsGivenAndMissing",
       One(calls +
           "label SYSTEM_START\n"
           "call SUB 1=( 7 ) 3=( 9 )\n"
           "call SUB2 1=( 4 ) 11:2=( 2.5 ) 12:2=( 1.5 ) 21=( \"x\" )\n"
           "call SUB3 21=( \"hi\" ) 22=( \"there\" )\n"
           "call SUB4\n"
           "QUIT\n"
           "label SUB\n"
           "trace $arg[ 1 ]\ntrace $given[ 1 ]\ntrace $arg[ 2 ]\ntrace $given[ 2 ]\n"
           "trace $arg[ 3 ]\ntrace $given[ 3 ]\ntrace $given[ 4 ]\nRETURN\n"
           "label SUB2\n"
           "trace $arg[ 1 ]\ntracer $rarg[ 1 ] 10 *\ntracer $rarg[ 2 ] 10 *\ntrace $given[ 2 ]\n"
           "RETURN\n"
           "label SUB3\n"
           "tracetext $targ[ 1 ]\ntracetext $targ[ 2 ]\nRETURN\n"
           "label SUB4\n"
           "trace $given[ 1 ]\ntracetext $targ[ 1 ]\nRETURN\n"),
       {7, 1, 0, 0, 9, 1, 0, 4, 0, 15, 1, 0},
       0,
       {"hi", "there", ""}},
      {"ResultsAreReadFromTheFrameJustLeft",
       One(calls +
           "label SYSTEM_START\n"
           "call SUB\n"
           "trace $ret[ 1 ]\ntrace $retgiven[ 1 ]\ntracer $rret[ 2 ] 10 *\n"
           "trace $retgiven[ 3 ]\ntracetext $tret[ 3 ]\n"
           "call NONE\n"
           "trace $retgiven[ 1 ]\n"
           "QUIT\n"
           "label SUB\ncall INNER\ntrace $ret[ 1 ]\n"
           "RETURN 0=( 11 ) 11:2=( 2.5 ) 22=( \"r\" )\n"
           "label INNER\nRETURN 0=( 42 )\n"
           "label NONE\nRETURN\n"),
       {42, 11, 1, 25, 1, 0},
       0,
       {"r"}},
      {"ReturnOutsideACallInSystem", One("label SYSTEM_START\nRETURN\n"), {}, 101300},
      {"JumpByNameToAnotherFile",
       {{"a.kas", ".global string where = \"THERE\"\n"
                  "label SYSTEM_START\njump ( $where )\ntrace 99\n"},
        {"b.kas", "label THERE\ntrace 1\nQUIT\n"}},
       {1}},
      {"JumpToAMissingLabel",
       One(".global string where = \"NOWHERE\"\nlabel SYSTEM_START\njump ( $where )\n"), {},
       108180},
      {"CallToAMissingLabel",
       One(".global string where = \"NOWHERE\"\nlabel SYSTEM_START\ncall ( $where )\n"), {},
       108180},
      {"LabelLookup",
       One(".global int v\n.global real r\n"
           "label SYSTEM_START\n"
           "LABELEXISTS 0=( \"HERE\" ) 1=( $v ) 2=( 1 )\ntrace $v\n"
           "LABELEXISTS 0=( \"THERE\" ) 1=( $v ) 2=( 1 )\ntrace $v\n"
           "let $v = 5\n"
           "LABELEXISTS 0=( \"HERE\" ) 1=( $v )\ntrace $v\n"  // without parameter 2: nothing
           "LABELEXISTS 0=( \"HERE\" ) 1=( $r ) 2=( 1 )\ntracer $r 10 *\n"
           "label HERE\nQUIT\n"),
       {1, 0, 5, 10}},
      {"LabelLookupIntoAText",
       One(".global string t\nlabel SYSTEM_START\nLABELEXISTS 0=( \"A\" ) 1=( $t ) 2=( 1 )\n"),
       {}, 101140},
  };
}

void PrintTo(const FlowCase& c, std::ostream* os) { *os << c.name; }

class FlowTest : public test::RunnerTest, public ::testing::WithParamInterface<FlowCase> {};

TEST_P(FlowTest, LeavesItsTrace) {
  const FlowCase& c = GetParam();
  Load(c.files);
  RunTicks(20);
  EXPECT_EQ(test::Trace(), c.trace);
  EXPECT_TRUE(QuitRequested());
  if (c.error == 0) {
    EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
    EXPECT_EQ(g_engine.fatal_quit.load(), 0);
  } else {
    EXPECT_EQ(LastCode(), c.error) << LastErrorReport().message;
    EXPECT_EQ(g_engine.fatal_quit.load(), 1);
  }
  EXPECT_EQ(test::TextTrace(), c.texts);
}

INSTANTIATE_TEST_SUITE_P(Games, FlowTest, ::testing::ValuesIn(Cases()), test::CaseName());

}  // namespace
}  // namespace korvel
