// The system variables: one table of ids and elements against engine state, the families' element
// bounds, the values scripts read in compiled games (constants, krt.kbn's value, call arguments
// inside and after a call), and local time on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/frame_pacer.h"
#include "core/frame_step.h"
#include "core/input_state.h"
#include "core/named_tree.h"
#include "core/program_paths.h"
#include "core/project_config.h"
#include "core/system_probes.h"
#include "core/window_record.h"
#include "script/system_variable_writes.h"
#include "script/system_variables.h"
#include "sysvar_game_env.h"

namespace korvel {
namespace {

using test::CommandGameTest;

class SysvarTest : public CommandGameTest {
 protected:
  void SetUp() override {
    CommandGameTest::SetUp();
    ASSERT_EQ(CreateWindowRecords(), 0);
    InitInputState();
    InitFramePacer();
    saved_line_ = g_command_line;
    saved_paths_ = g_paths;
  }
  void TearDown() override {
    g_command_line = saved_line_;
    g_paths = saved_paths_;
    {
      std::lock_guard<std::mutex> lock(g_window_messages.dropped_lock);
      g_window_messages.dropped_files.clear();
    }
    ResetWindowMessages();
    FreeWindowRecords();
    InitInputState();
    InitFramePacer();
    CommandGameTest::TearDown();
  }

  static std::string Str(uint32_t id, int64_t element) {
    char buffer[kStringBufferSize];
    const size_t n = ReadSystemStringVariable(id, element, buffer);
    EXPECT_EQ(n, std::strlen(buffer)) << id;
    return std::string(buffer, n);
  }

  CommandLine saved_line_;
  ProgramPaths saved_paths_;
};

struct IntValue {
  uint32_t id;
  int64_t element;
  int64_t expected;
};

TEST_F(SysvarTest, IntegerValuesFollowEngineState) {
  Load(".global int x\nlabel SYSTEM_START\nQUIT\n");
  platform::AdvanceClockForTest(100000);
  const uint32_t now = platform::NowMs();
  // Timers 1 and 2 stand still at the pause start; timer 3, switched off 20 ms ago, stands where
  // it stopped.
  g_engine.start_stamps[0] = now - 500;
  g_engine.start_stamps[1] = now - 300;
  g_engine.start_stamps[2] = now - 50;
  g_engine_timers.enabled[2] = 0;
  g_engine_timers.stopped_at[2] = now - 20;
  g_engine_timers.paused = 1;
  g_engine_timers.pause_start = now - 100;
  g_pacer.last_loop_frames = 58;
  g_pacer.last_drawn_frames = 57;
  g_project.sound_on = 0;
  g_probes.read_only_folder = 1;
  g_project.debug = 1;
  g_probes.directx_version = 9;
  g_window_messages.dropped_files = {"a.txt", "b.txt"};
  g_frame.frame_counter = 1234567890123;
  g_frame.tick_counter = 77;
  g_settings.script_switch = 1;
  g_display.desktop_bits = 24;
  g_display.desktop_width = 1920;
  g_display.desktop_height = 1080;
  g_window_messages.close_requested.store(1);
  g_keep_running_inactive.store(1);
  g_runner.executed = 5;
  for (int w = 0; w < kWindowCount; ++w) {
    g_windows[w]->mouse_x.store(10 + w);
    g_windows[w]->mouse_y.store(20 + w);
  }
  g_keys.counter[0x41] = 7;
  g_keys.presses[0x41] = 3;
  g_keys.down[0x41] = 0x80;
  g_keys.counter[kJoystickBaseCode + 72 + 3] = -4;     // joystick 2, down
  g_keys.counter[kJoystickBaseCode + 36 + 4 + 8] = 6;  // joystick 1, button 9
  g_keys.presses[kJoystickBaseCode + 72 + 3] = 2;
  g_keys.presses[kJoystickBaseCode + 36 + 4 + 8] = 5;
  g_window_messages.last_key.store(13);
  g_window_messages.last_mouse_button.store(2);
  WriteSystemValueById(96, 0, 3);

  const IntValue table[] = {
      {1, 0, now},
      {1, 1, 400},
      {1, 2, 200},
      {1, 3, 30},
      {2, 0, 58},
      {3, 0, 57},
      {4, 0, 0},
      {9, 0, 1},
      {11, 0, 1},
      {13, 0, 9},
      {15, 0, 2},
      {48, 0, 0},
      {49, 0, 999},
      {49, 5, 999},
      {86, 0, 478},
      {87, 0, 1234567890123},
      {88, 0, 77},
      {89, 0, 400},
      {90, 0, 1},
      {92, 0, 24},
      {93, 0, 1920},
      {94, 0, 1080},
      {95, 0, 1},
      {96, 0, 3},
      {99, 0, 1},
      {104, 0, 2},
      {110, 0, 5},
      {111, 0, 10},
      {112, 0, 10},
      {113, 0, 11},
      {115, 0, 13},
      {116, 0, 20},
      {117, 0, 20},
      {118, 0, 21},
      {120, 0, 23},
      {121, 0, 0},
      {122, 'A', 7},
      {123, 0, 13},
      {124, 0, 2},
      {125 + 'A', 0, 7},
      {257, 2, -4},
      {258, 40, 6},
      {259 + 'A', 0, 3},
      {391, 2, 2},
      {392, 40, 5},
      {393 + 'A', 0, 0x80},
      {394, 0, 0},
      {521, 2, kJoystickBaseCode + 72},
      {524, 0, kJoystickBaseCode + 3},
      {525, 41, kJoystickBaseCode + 36 + 4 + 9},
  };
  for (const IntValue& v : table) {
    EXPECT_EQ(GetSystemValueById(v.id, v.element), v.expected)
        << "id " << v.id << " element " << v.element;
  }
  g_engine_timers.enabled[2] = 1;
  g_engine_timers.paused = 0;
  g_keep_running_inactive.store(0);
}

TEST_F(SysvarTest, ElementsOutsideEveryFamilyReadZero) {
  Load(".global int x\nlabel SYSTEM_START\nQUIT\n");
  for (int32_t code = 0; code < kKeyCodeCount; ++code) {
    g_keys.counter[code] = 1;
    g_keys.presses[code] = 1;
  }
  const IntValue table[] = {
      {0, -1, 0},   {0, 16, 0},    {1, -1, 0},   {1, 5, 0},     {50, 0, 0},   {50, 11, 0},
      {53, 11, 0},  {58, 0, 0},    {58, 11, 0},  {122, 0, 0},   {122, -5, 0}, {122, 1024, 0},
      {254, -1, 0}, {254, 16, 0},  {258, -1, 0}, {258, 512, 0}, {388, 16, 0}, {392, 512, 0},
      {521, 16, 0}, {525, 512, 0}, {526, 0, 0},  {8, 0, 0},     {999, 0, 0},  {2000, 0, 0},
  };
  for (const IntValue& v : table) {
    EXPECT_EQ(GetSystemValueById(v.id, v.element), v.expected)
        << "id " << v.id << " element " << v.element;
  }
  char buffer[kStringBufferSize];
  for (const auto& [id, element] : std::vector<std::pair<uint32_t, int64_t>>{{12, -1},
                                                                             {12, 9},
                                                                             {52, 0},
                                                                             {52, 11},
                                                                             {56, 11},
                                                                             {60, 11},
                                                                             {105, 0},
                                                                             {105, 256},
                                                                             {105, -1},
                                                                             {99, 0},
                                                                             {0, 0}}) {
    EXPECT_EQ(ReadSystemStringVariable(id, element, buffer), 0u) << id << " " << element;
    EXPECT_STREQ(buffer, "");
  }
  EXPECT_EQ(GetSystemValueRealById(51, 0), 0.0);
  EXPECT_EQ(GetSystemValueRealById(59, 11), 0.0);
  EXPECT_EQ(GetSystemValueRealById(11, 0), 0.0);
}

TEST_F(SysvarTest, WithoutACurrentTaskTaskValuesAreEmpty) {
  Load(".global int x\nlabel SYSTEM_START\nQUIT\n");
  ScriptTask* system = &TaskRef("SYSTEM");
  system->int_args[0] = 5;
  system->double_args[0] = 1.5;
  SetCurrentTask(nullptr, nullptr, 0);
  for (uint32_t id : {48u, 50u, 53u, 54u, 57u, 58u}) EXPECT_EQ(GetSystemValueById(id, 1), 0) << id;
  for (uint32_t id : {51u, 55u, 59u}) EXPECT_EQ(GetSystemValueRealById(id, 1), 0.0) << id;
  for (uint32_t id : {52u, 56u, 60u, 103u}) EXPECT_EQ(Str(id, 1), "") << id;

  SetCurrentTask(TaskNode("SYSTEM"), system, 0);
  EXPECT_EQ(GetSystemValueById(58, 1), 5);
  EXPECT_EQ(GetSystemValueRealById(59, 1), 1.5);
  EXPECT_EQ(Str(103, 0), "SYSTEM");
  SetCurrentTask(nullptr, nullptr, 0);
}

TEST_F(SysvarTest, StringValues) {
  Load(".global int x\nlabel SYSTEM_START\nQUIT\n");
  g_command_line.slots[0] = "/opt/korvel";
  g_command_line.slots[1] = "セーブ";  // UTF-8 on the command line, code page 932 for scripts
  g_paths.game_folder = "/games/ゲーム/";
  g_paths.executable = "/opt/korvel";
  g_window_messages.dropped_files = {"a.txt", "b.txt"};
  WriteSystemTextById(101, "line", 4);

  EXPECT_EQ(Str(12, 0), "/opt/korvel");
  EXPECT_EQ(Str(12, 1), "\x83\x5a\x81\x5b\x83\x75");
  EXPECT_EQ(Str(12, 8), "");
  EXPECT_EQ(Str(14, 1), "b.txt");
  EXPECT_EQ(Str(81, 0), "/games/\x83\x51\x81\x5b\x83\x80/");
  EXPECT_EQ(Str(83, 0), "/opt/korvel");
  EXPECT_EQ(Str(100, 0), "");
  EXPECT_EQ(Str(101, 0), "line");
  EXPECT_EQ(Str(105, 65), "A");
  EXPECT_EQ(Str(105, 255), "\xff");
  EXPECT_EQ(Str(106, 0), "W0");
  EXPECT_EQ(Str(107, 0), "");
  EXPECT_EQ(Str(108, 0), "S0");
  EXPECT_EQ(Str(109, 0), "M0");
  EXPECT_EQ(Str(13, 0), "");
  EXPECT_EQ(ReportCount(), 0u);

  // A dropped file that does not exist is an error.
  EXPECT_EQ(Str(14, 2), "");
  EXPECT_EQ(LastCode(), 107010);
  EXPECT_TRUE(QuitRequested());
}

TEST_F(SysvarTest, MemoryFiguresAreConsistent) {
  const int64_t load = GetSystemValueById(5, 0);
  const int64_t total = GetSystemValueById(6, 0);
  const int64_t free = GetSystemValueById(7, 0);
  EXPECT_GE(load, 0);
  EXPECT_LE(load, 100);
  EXPECT_GT(total, 0);
  EXPECT_GE(free, 0);
  EXPECT_LE(free, total);
}

TEST_F(SysvarTest, KeyMapOfTheCommandFileSelectsTheKeys) {
  tools::CompiledGame game = Build({{"main.kas", ".global int x\nlabel SYSTEM_START\nQUIT\n"}});
  game.key_map = tools::DefaultKeyMap();
  game.key_map[0] = 'Z';
  game.key_map[128] = 0x0D;
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  g_keys.counter[0x5A] = 4;
  g_keys.presses[0x5A] = 8;
  g_keys.counter[0x0D] = -2;
  g_keys.state[0x5A] = kKeyStateDown;
  EXPECT_EQ(GetSystemValueById(125, 0), 4);
  EXPECT_EQ(GetSystemValueById(259, 0), 8);
  EXPECT_EQ(GetSystemValueById(253, 0), -2);
  EXPECT_EQ(GetSystemValueById(387, 0), 0);
  EXPECT_EQ(WriteSystemValueById(125, 0, 9), 0);
  EXPECT_EQ(g_keys.counter[0x5A], 9);
  EXPECT_EQ(WriteSystemValueById(253, 0, 9), 0);  // Enter is up: a positive count stores 0
  EXPECT_EQ(g_keys.counter[0x0D], 0);
}

// What scripts read: constants, the value kept from krt.kbn, pi, call arguments inside a call and
// return values after it, and the loop counter.
TEST_F(SysvarTest, ScriptsReadTheTable) {
  tools::CompiledGame game =
      Build({{"main.kas", std::string(test::kCallVariables) +
                              ".sysvar 49 int fixed\n.sysvar 86 int format\n.sysvar 102 int krt\n"
                              ".sysvar 121 int zero\n.sysvar 10 real pi\n.sysvar 48 int counter\n"
                              ".global real p\n"
                              "label SYSTEM_START\n"
                              "trace $fixed\ntrace $format\ntrace $krt\ntrace $zero\n"
                              "let $p = $pi\n"
                              "trace $counter\n"
                              "loop 3\n  trace $counter\nend\n"
                              "call SUB 1=( 7 ) 2=( 8 ) 13:2=( 2.5 ) 24=( \"t\" )\n"
                              "trace $ret[ 1 ]\ntrace $retgiven[ 1 ]\ntrace $retgiven[ 2 ]\n"
                              "tracer $rret[ 2 ] 4 *\n"
                              "trace $arg[ 1 ]\n"
                              "QUIT\n"
                              "label SUB\n"
                              "trace $arg[ 1 ]\ntrace $arg[ 2 ]\ntrace $given[ 1 ]\n"
                              "trace $given[ 3 ]\ntracer $rarg[ 3 ] 2 *\ntracetext $targ[ 4 ]\n"
                              "RETURN 0=( 9 ) 11:2=( 0.5 )\n"}});
  game.system_value = 0x12345678;
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0) << LastErrorReport().message;
  ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
  EXPECT_EQ(test::Trace(), (std::vector<int64_t>{999, 478, 0x12345678, 0, 0, 1, 2, 3, 7, 8, 1, 1, 5,
                                                 9, 1, 1, 2, 0}));
  EXPECT_EQ(test::TextTrace(), std::vector<std::string>{"t"});
  EXPECT_EQ(Real(Var(0)), 3.141592653589793);
  EXPECT_EQ(GetSystemValueRealById(10, 0), M_PI);
}

// Local time on the virtual clock: a fixed epoch plus the clock, converted under TZ. The expected
// fields come from Python's datetime (datetime.fromtimestamp with timezone.utc, and with a fixed
// +9 hours zone for "JST-9"); the day of the week counts from Sunday = 0.
struct LocalTimeCase {
  const char* tz;
  int64_t epoch_ms;
  uint32_t advance_ms;
  int64_t fields[8];
};

int64_t g_epoch_ms = 0;
uint32_t g_clock_start = 0;
platform::LocalTime VirtualLocalTime() {
  return platform::LocalTimeFromUnixMs(g_epoch_ms + (platform::NowMs() - g_clock_start));
}

TEST_F(SysvarTest, LocalTimeOnTheVirtualClock) {
  constexpr int64_t kA = 1700000000123;  // 2023-11-14 22:13:20.123 UTC
  constexpr int64_t kB = 1709164799500;  // 2024-02-28 23:59:59.500 UTC
  const LocalTimeCase cases[] = {
      {"UTC", kA, 0, {2023, 11, 14, 2, 22, 13, 20, 123}},
      {"UTC", kA, 2877, {2023, 11, 14, 2, 22, 13, 23, 0}},
      {"UTC", kA, 3600000, {2023, 11, 14, 2, 23, 13, 20, 123}},
      {"UTC", kA, 100000000, {2023, 11, 16, 4, 2, 0, 0, 123}},
      {"UTC", kB, 0, {2024, 2, 28, 3, 23, 59, 59, 500}},
      {"UTC", kB, 2877, {2024, 2, 29, 4, 0, 0, 2, 377}},
      {"UTC", kB, 3600000, {2024, 2, 29, 4, 0, 59, 59, 500}},
      {"UTC", kB, 100000000, {2024, 3, 1, 5, 3, 46, 39, 500}},
      {"JST-9", kA, 0, {2023, 11, 15, 3, 7, 13, 20, 123}},
      {"JST-9", kA, 100000000, {2023, 11, 16, 4, 11, 0, 0, 123}},
      {"JST-9", kB, 0, {2024, 2, 29, 4, 8, 59, 59, 500}},
      {"JST-9", kB, 2877, {2024, 2, 29, 4, 9, 0, 2, 377}},
      {"JST-9", kB, 100000000, {2024, 3, 1, 5, 12, 46, 39, 500}},
  };
  const char* old_tz = std::getenv("TZ");
  const std::string saved_tz = old_tz != nullptr ? old_tz : "";
  Load(
      ".sysvar 0 int now[16]\nlabel SYSTEM_START\n"
      "trace $now[ 0 ]\ntrace $now[ 1 ]\ntrace $now[ 2 ]\ntrace $now[ 3 ]\n"
      "trace $now[ 4 ]\ntrace $now[ 5 ]\ntrace $now[ 6 ]\ntrace $now[ 7 ]\nQUIT\n");
  SetLocalTimeSource(VirtualLocalTime);
  for (const LocalTimeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tz << " " << c.epoch_ms << " + " << c.advance_ms);
    setenv("TZ", c.tz, 1);
    tzset();
    g_epoch_ms = c.epoch_ms;
    g_clock_start = platform::NowMs();
    platform::AdvanceClockForTest(c.advance_ms);
    test::Trace().clear();
    TaskRef("SYSTEM").command_index = 0;
    g_engine.quit_flag.store(0);
    ASSERT_TRUE(RunToQuit()) << LastErrorReport().message;
    EXPECT_EQ(test::Trace(), std::vector<int64_t>(c.fields, c.fields + 8));
  }
  // Elements 8..15 are the time stamp kept at start-up; 16 and above read 0.
  g_engine.start_time = platform::LocalTime{2001, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(GetSystemValueById(0, 8), 2001);
  EXPECT_EQ(GetSystemValueById(0, 9), 2);
  EXPECT_EQ(GetSystemValueById(0, 10), 4);  // the day
  EXPECT_EQ(GetSystemValueById(0, 11), 3);  // the day of the week
  EXPECT_EQ(GetSystemValueById(0, 15), 8);
  EXPECT_EQ(GetSystemValueById(0, 16), 0);
  g_engine.start_time = {};
  SetLocalTimeSource(nullptr);
  if (old_tz != nullptr) {
    setenv("TZ", saved_tz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace korvel
