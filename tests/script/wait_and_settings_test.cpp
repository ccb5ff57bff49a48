// Waits on the virtual clock, the frame-rate, input and switch-table commands, the script-file list
// query and the argument-only commands, in compiled games.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/frame_pacer.h"
#include "core/input_state.h"
#include "script/args_only_commands.h"
#include "script/settings_commands.h"
#include "script/switch_table_command.h"
#include "param_names.h"
#include "sysvar_game_env.h"

namespace korvel {
namespace {

using test::CommandGameTest;
using test::Trace;

// The ticks at which the task traced, with the clock advanced `ms_per_tick` before each tick.
std::vector<int64_t> TicksOfTraces(int ticks, uint32_t ms_per_tick) {
  std::vector<int64_t> seen;
  for (int t = 1; t <= ticks && !QuitRequested(); ++t) {
    platform::AdvanceClockForTest(ms_per_tick);
    const size_t before = Trace().size();
    g_frame.tick_counter += 1;
    RunScriptTasks();
    for (size_t i = before; i < Trace().size(); ++i) seen.push_back(t);
  }
  return seen;
}

struct WaitCase {
  const char* name;
  const char* wait;  // the wait command between two traces
  uint32_t ms_per_tick;
  std::vector<int64_t> ticks;  // the ticks of the two traces
};

void PrintTo(const WaitCase& c, std::ostream* os) {
  *os << c.name << ": " << c.wait << " at " << c.ms_per_tick << " ms a tick";
}

class WaitTest : public CommandGameTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WaitTest, HoldsTheTask) {
  const WaitCase& c = GetParam();
  Load("label SYSTEM_START\ntrace 1\n" + std::string(c.wait) + "\ntrace 2\nQUIT\n");
  EXPECT_EQ(TicksOfTraces(40, c.ms_per_tick), c.ticks);
  EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
}

INSTANTIATE_TEST_SUITE_P(
    Wait, WaitTest,
    ::testing::Values(
        // A wait of n frames keeps the task idle for n - 1 ticks.
        WaitCase{"Frames", "WAIT 0=( 3 )", 16, {1, 4}},
        WaitCase{"OneFrameIsTheNextTick", "WAIT 0=( 1 )", 16, {1, 2}},
        // 50 ms at 16 ms per tick: the clock reaches the wake-up time on the fourth tick after.
        WaitCase{"Milliseconds", "WAIT 1=( 50 )", 16, {1, 5}},
        WaitCase{"MillisecondsOnASlowClock", "WAIT 1=( 50 )", 100, {1, 2}},
        WaitCase{"BothGivenOnlyTheFramesCount", "WAIT 0=( 2 ) 1=( 1000 )", 16, {1, 3}},
        WaitCase{"ZeroFramesFallsToMilliseconds", "WAIT 0=( 0 ) 1=( 32 )", 16, {1, 3}},
        WaitCase{"NothingToWaitForGoesOn", "WAIT 0=( 0 ) 1=( 0 )", 16, {1, 1}},
        WaitCase{"NoParametersGoOn", "WAIT", 16, {1, 1}}),
    test::CaseName());

TEST_F(CommandGameTest, MillisecondWaitSurvivesTheClockWrap) {
  Load("label SYSTEM_START\ntrace 1\nWAIT 1=( 100 )\ntrace 2\nQUIT\n");
  platform::AdvanceClockForTest(0xFFFFFFFFu - platform::NowMs() - 40);  // 41 ms before the wrap
  EXPECT_EQ(TicksOfTraces(10, 30), (std::vector<int64_t>{1, 5}));
}

TEST_F(CommandGameTest, FrameRateAndFrameSkipping) {
  Load("label SYSTEM_START\nFRAMERATE 0=( 30 ) 1=( 0 )\nQUIT\n");
  InitFramePacer();
  g_pacer.loop_frames = 44;
  g_pacer.drawn_frames = 40;
  platform::AdvanceClockForTest(1234);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(g_pacer.fps, 30);
  EXPECT_EQ(g_pacer.skip_enabled, 0u);
  EXPECT_EQ(g_pacer.last_loop_frames, 44u);
  EXPECT_EQ(g_pacer.last_drawn_frames, 40u);
  EXPECT_EQ(g_pacer.loop_frames, 0u);
  EXPECT_EQ(g_pacer.drawn_frames, 0u);
  EXPECT_EQ(g_pacer.second_stamp, platform::NowMs());
  InitFramePacer();
}

class FrameRateRefusedTest : public CommandGameTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(FrameRateRefusedTest, StopsWith101000) {
  Load("label SYSTEM_START\nFRAMERATE 0=( " + std::string(GetParam()) + " )\ntrace 1\nQUIT\n");
  InitFramePacer();
  RunTicks(3);
  EXPECT_EQ(LastCode(), 101000);
  EXPECT_EQ(g_pacer.fps, 60);
  EXPECT_TRUE(Trace().empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, FrameRateRefusedTest,
                         ::testing::Values("0", "-30", "1001", "L:4294967356"),
                         test::CaseName());

TEST_F(CommandGameTest, FrameRateLimitsAreAccepted) {
  Load("label SYSTEM_START\nFRAMERATE 0=( 1 )\ntrace 1\nFRAMERATE 0=( 1000 ) 1=( 5 )\nQUIT\n");
  InitFramePacer();
  g_pacer.skip_enabled = 0;
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(g_pacer.fps, 1000);
  EXPECT_EQ(g_pacer.skip_enabled, 1u);
  InitFramePacer();
}

TEST_F(CommandGameTest, InputSwitchesAndCursor) {
  Load(
      "label SYSTEM_START\nINPUT 0=( 0 ) 1=( 1 ) 2=( 0 )\nWAIT 0=( 1 )\n"
      "INPUT 0=( 2 ) 2=( 1 )\nQUIT\n");
  InitInputState();
  RunTicks(1);
  EXPECT_EQ(g_input_switches.keyboard.load(), 0);
  EXPECT_EQ(g_input_switches.joystick.load(), 1);
  EXPECT_EQ(g_cursor.pending.load(), -1);
  EXPECT_EQ(g_cursor.shown.load(), 0);
  g_cursor.pending.store(0);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(g_input_switches.keyboard.load(), 1);
  EXPECT_EQ(g_input_switches.joystick.load(), 1);  // not given: unchanged
  EXPECT_EQ(g_cursor.pending.load(), 1);
  EXPECT_EQ(g_cursor.shown.load(), 1);
  InitInputState();
}

TEST_F(CommandGameTest, CursorStateOutsideItsRangeIsRefused) {
  Load("label SYSTEM_START\nINPUT 2=( 2 )\nQUIT\n");
  InitInputState();
  RunTicks(2);
  EXPECT_EQ(LastCode(), 101000);
  EXPECT_EQ(g_cursor.shown.load(), 1);
}

TEST_F(CommandGameTest, SwitchTable) {
  Load("label SYSTEM_START\nSWITCH 2=( 0 ) 5=( 7 ) 105=( 300 )\nQUIT\n");
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(CommandSwitch(0), 1);
  EXPECT_EQ(CommandSwitch(1), 0);
  EXPECT_EQ(CommandSwitch(2), 1);
  EXPECT_EQ(CommandSwitch(4), 7);
  EXPECT_EQ(CommandSwitch(104), 300 & 0xFF);
  EXPECT_EQ(CommandSwitch(105), 1);
  EXPECT_EQ(CommandSwitch(127), 1);
  EXPECT_EQ(CommandSwitch(128), 0);
  InitCommandSwitchTable();
  EXPECT_EQ(CommandSwitch(1), 1);
}

TEST_F(CommandGameTest, ScriptFileList) {
  tools::CompiledGame game = Build({{"a.kas",
                                     ".global int n[8]\n.global string p[4]\n"
                                     "label SYSTEM_START\n"
                                     "SCRIPTLIST 1=( 1 ) 4=( $n[ 0 ] )\n"
                                     "SCRIPTLIST 2=( 1 ) 3=( 2 ) 4=( $n[ 1 ] )\n"
                                     "SCRIPTLIST 2=( 1 ) 3=( 0 ) 4=( $n[ 2 ] )\n"
                                     "SCRIPTLIST 2=( 1 ) 3=( 3 ) 4=( $n[ 3 ] )\n"
                                     "SCRIPTLIST 2=( 1 ) 1=( 1 ) 3=( 1 ) 4=( $n[ 4 ] )\n"
                                     "SCRIPTLIST 3=( 1 ) 4=( $n[ 5 ] )\n"
                                     "SCRIPTLIST 0=( 1 ) 3=( 2 ) 4=( $p[ 0 ] )\n"
                                     "SCRIPTLIST 0=( 1 ) 3=( 3 ) 4=( $p[ 1 ] )\n"
                                     "SCRIPTLIST 0=( 1 ) 4=( $p[ 2 ] )\n"
                                     "SCRIPTLIST 0=( 1 ) 3=( 1 ) 4=( $p[ 3 ] )\n"
                                     "QUIT\n"},
                                    {"b.kas", ".path scenes\\b.txt\n.value 77\nlabel B\nQUIT\n"}});
  game.scripts[0].value = 55;
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  const uint32_t n = Var(0), p = Var(1);
  SetVarNumberElement(n, 5, -1);
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(Int(n, 0), 2);
  EXPECT_EQ(Int(n, 1), 77);
  EXPECT_EQ(Int(n, 2), 0);  // n = 0
  EXPECT_EQ(Int(n, 3), 0);  // past the count
  EXPECT_EQ(Int(n, 4), 2);  // the count comes first
  EXPECT_EQ(Int(n, 5), 0);  // no query
  EXPECT_EQ(Text(p, 0), "scenes\\b.txt");
  EXPECT_EQ(Text(p, 1), "");
  EXPECT_EQ(Text(p, 2), "");
  EXPECT_EQ(Text(p, 3), "a.kas");
}

// The argument-only commands decode and check their arguments and do nothing else.
class ArgsOnlyTest : public CommandGameTest,
                     public ::testing::WithParamInterface<std::tuple<uint8_t, bool>> {
 protected:
  void SetUp() override {
    CommandGameTest::SetUp();
    // The runner tests' traces sit on slots 7 and 14: give the slot under test back to its
    // handler, and trace through the other one.
    SetCommandHandlerOverride(std::get<0>(GetParam()), nullptr);
    InitCommandHandlerTable();
  }
};

TEST_P(ArgsOnlyTest, ChecksTheArguments) {
  const auto [command, in_range] = GetParam();
  const bool text_trace = command == test::kTraceSlot;
  const std::string line =
      "ARGS" + std::to_string(command) + " 0=( " + (in_range ? "1" : "0") + " )\n";
  tools::CompiledGame game =
      Build({{"main.kas", "label SYSTEM_START\n" + line +
                              (text_trace ? "tracetext \"1\"" : "trace 1") + "\nQUIT\n"}});
  game.commands[command].params = {{"value", 0, 2}};  // at least 1
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  RunTicks(3);
  const size_t traced = text_trace ? test::TextTrace().size() : Trace().size();
  if (in_range) {
    EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
    EXPECT_EQ(traced, 1u);
  } else {
    EXPECT_EQ(LastCode(), 101010);
    EXPECT_EQ(traced, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, ArgsOnlyTest,
                         ::testing::Combine(::testing::Values(7, 14, 52, 53, 54, 59, 71, 84),
                                            ::testing::Bool()),
                         [](const auto& param) {
                           return "Args" + std::to_string(std::get<0>(param.param)) +
                                  (std::get<1>(param.param) ? "InRange" : "OutOfRange");
                         });

}  // namespace
}  // namespace korvel
