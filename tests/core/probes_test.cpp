// System probes, the engine timers on the virtual clock, MT19937 known answers and the small
// helpers.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/parent_chain.h"
#include "core/random.h"
#include "core/save_blocks.h"
#include "core/system_probes.h"
#include "core/version_numbers.h"
#include "platform/platform.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

TEST(ProbesTest, WindowsBuildTable) {
  const struct {
    uint32_t build;
    uint8_t code;
  } cases[] = {{950, 1},   {1111, 2},  {1212, 3},  {1214, 4},  {1057, 12}, {1381, 13},
               {1998, 20}, {2222, 21}, {3000, 30}, {2195, 40}, {2211, 45}, {2257, 45},
               {2600, 50}, {3790, 60}, {5219, 65}, {5743, 65}, {6000, 70}, {6002, 70},
               {6801, 80}, {7600, 80}, {8158, 90}, {9200, 90}, {9374, 91}, {9600, 91},
               {7601, 255}, {0, 255}, {10240, 255}, {0xFFFFFFFF, 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.build);
    EXPECT_EQ(WindowsVersionCodeForBuild(c.build), c.code);
  }
  EXPECT_EQ(GetWindowsVersionCode(), 255);
  EXPECT_EQ(IsUserAdmin(20), 1);
  EXPECT_EQ(IsUserAdmin(39), 1);
  EXPECT_EQ(DirectXVersionFigure(true), 9u);
  EXPECT_EQ(DirectXVersionFigure(false), 0u);
}

TEST(ProbesTest, ProcessorFacts) {
  const ProcessorInfo info = ProbeProcessor();
  EXPECT_GE(info.count, 1);
#if defined(__x86_64__)
  EXPECT_TRUE(info.sse2);  // every x86-64 processor has it
  EXPECT_TRUE(info.sse);
#endif
}

TEST(ProbesTest, SoundFormatTextPrefersTheBestFormat) {
  EXPECT_STREQ(SoundFormatText(0), "Disable");
  EXPECT_STREQ(SoundFormatText(0xFFF), "44.1kHz(16-bit)");
  EXPECT_STREQ(SoundFormatText(kWaveFormat4S16), "44.1kHz(16-bit)");
  EXPECT_STREQ(SoundFormatText(kWaveFormat4M08 | kWaveFormat2S16), "44.1kHz(8-bit)");
  EXPECT_STREQ(SoundFormatText(kWaveFormat2M16 | kWaveFormat1M08), "22.05kHz(16-bit)");
  EXPECT_STREQ(SoundFormatText(kWaveFormat2S08), "22.05kHz,(8-bit)");
  EXPECT_STREQ(SoundFormatText(kWaveFormat1S16), "11.025kHz(16-bit)");
  EXPECT_STREQ(SoundFormatText(kWaveFormat1M08), "11.025kHz(8-bit)");
  EXPECT_STREQ(SoundFormatText(0x1000), "Disable");
}

TEST(ProbesTest, WriteProbeAndSystemReport) {
  char pattern[] = "/tmp/korvel-probes-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  EXPECT_EQ(ProbeWritePermission(dir), 0);
  EXPECT_EQ(g_probes.read_only_folder, 0);
  EXPECT_TRUE(fs::is_empty(dir));  // the probe file is gone
  EXPECT_EQ(ProbeWritePermission(dir + "/missing"), 1);
  EXPECT_EQ(g_probes.read_only_folder, 1);

  // info.txt goes only when the report wrote it.
  ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
  std::ofstream(dir + "/info.txt") << "OS_VER = 91\nCPU_NAME = x\n";
  WriteSystemInfoFile(dir);
  EXPECT_FALSE(fs::exists(dir + "/info.txt"));
  std::ofstream(dir + "/info.txt") << "my own notes\n";
  WriteSystemInfoFile(dir);
  EXPECT_TRUE(fs::exists(dir + "/info.txt"));

  SystemProbes probes;
  probes.processor.count = 8;
  const auto lines = BuildSystemReportLines(probes, platform::DisplayMode{1920, 1080, 32, 60});
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[0], "OS_VER = 255");
  EXPECT_EQ(lines[5], "CPU_CORENUM = 8");
  EXPECT_EQ(lines[6], "CPU_COREUSE = 2");
  EXPECT_EQ(lines[10], "SCREEN = 1920 x 1080 x 32 bit (60Hz)");
  platform::ShutdownPlatform();
  fs::remove_all(dir);
}

TEST(RandomTest, Mt19937KnownAnswers) {
  SeedRandom(5489);
  EXPECT_EQ(NextRandomMT(), 3499211612u);
  for (int i = 2; i < 10000; ++i) NextRandomMT();
  EXPECT_EQ(NextRandomMT(), 4123659995u);  // the 10,000th output
  // Seeding again restarts the sequence.
  SeedRandom(5489);
  EXPECT_EQ(NextRandomMT(), 3499211612u);
}

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
    InitEngineState();
    InitEngineTimers();
    start_ = platform::NowMs();
    SetTimerStartStamps(start_);
  }
  void TearDown() override { platform::ShutdownPlatform(); }
  void AdvanceTo(uint32_t t) { platform::AdvanceClockForTest(t - (platform::NowMs() - start_)); }
  uint32_t Stamp(int i) const { return g_engine.start_stamps[i] - start_; }
  uint32_t start_ = 0;
};

TEST_F(TimerTest, LostFocusTimeIsAddedToEnabledTimersOnly) {
  g_engine_timers.enabled[2] = 0;
  AdvanceTo(1000);
  UpdatePauseTimers(false);  // focus lost at 1000
  EXPECT_EQ(g_engine_timers.paused, 1);
  AdvanceTo(1200);
  UpdatePauseTimers(false);  // still away: the pause keeps its start
  AdvanceTo(1500);
  UpdatePauseTimers(true);  // back at 1500
  EXPECT_EQ(g_engine_timers.paused, 0);
  EXPECT_EQ(Stamp(0), 500u);
  EXPECT_EQ(Stamp(1), 500u);
  EXPECT_EQ(Stamp(2), 0u);
  EXPECT_EQ(Stamp(3), 500u);
  UpdatePauseTimers(true);  // nothing more while focused
  EXPECT_EQ(Stamp(0), 500u);
}

TEST_F(TimerTest, StartingASecondPauseKeepsTheFirst) {
  AdvanceTo(1000);
  StartTimerPause();
  AdvanceTo(1300);
  StartTimerPause();
  AdvanceTo(1500);
  EndTimerPause();
  EXPECT_EQ(Stamp(0), 500u);
}

TEST_F(TimerTest, KeepRunningWhileInactiveNeverPauses) {
  g_keep_running_inactive.store(1);
  AdvanceTo(1000);
  UpdatePauseTimers(false);
  EXPECT_EQ(g_engine_timers.paused, 0);
  AdvanceTo(1500);
  UpdatePauseTimers(true);
  EXPECT_EQ(Stamp(0), 0u);
  // Switching it on during a pause drops the pause without crediting it.
  g_keep_running_inactive.store(0);
  UpdatePauseTimers(false);
  g_keep_running_inactive.store(1);
  AdvanceTo(2000);
  UpdatePauseTimers(true);
  EXPECT_EQ(g_engine_timers.paused, 0);
  EXPECT_EQ(Stamp(0), 0u);
}

TEST_F(TimerTest, PauseAcrossTheClockWrap) {
  // Stamps and pause start near 2^32: the paused time still comes out right.
  for (auto& s : g_engine.start_stamps) s = 0xFFFFFF00u;
  g_engine_timers.paused = 1;
  g_engine_timers.pause_start = platform::NowMs() - 0x40u;
  AdvanceTo(0x100);
  EndTimerPause();
  EXPECT_EQ(g_engine.start_stamps[0], 0xFFFFFF00u + 0x140u);
}

TEST(SmallHelpersTest, VersionsAndParentChains) {
  EXPECT_EQ(MakeVersion64(1, 2, 3, 4), 0x0001000200030004ull);
  EXPECT_EQ(CompareVersion64(MakeVersion64(4, 9, 0, 0), MakeVersion64(5, 0, 0, 0)), -1);
  EXPECT_EQ(CompareVersion64(MakeVersion64(5, 3, 2, 1), MakeVersion64(5, 3, 2, 1)), 0);
  EXPECT_EQ(CompareVersion64(MakeVersion64(6, 0, 0, 0), MakeVersion64(5, 9, 9, 9)), 1);

  uint16_t parents[4096] = {};
  parents[300] = 290;
  parents[290] = 258;
  parents[258] = 65;
  EXPECT_EQ(FollowParentChain(parents, 4096, 300, 257), 65u);
  EXPECT_EQ(FollowParentChain(parents, 4096, 100, 257), 100u);
  // A loop ends after 4096 steps; a code outside the table ends the walk.
  parents[500] = 501;
  parents[501] = 500;
  const uint32_t looped = FollowParentChain(parents, 4096, 500, 257);
  EXPECT_TRUE(looped == 500 || looped == 501);
  EXPECT_EQ(FollowParentChain(parents, 4096, 5000, 257), 5000u);

  for (int i = 0; i < 3; ++i) {
    g_save_blocks.blocks[i] = static_cast<uint8_t*>(AllocZeroed(8));
    g_save_blocks.sizes[i] = 8;
  }
  FreeIdBuffers(1);
  EXPECT_EQ(g_save_blocks.blocks[1], nullptr);
  EXPECT_EQ(g_save_blocks.sizes[1], 0u);
  EXPECT_NE(g_save_blocks.blocks[0], nullptr);
  FreeIdBuffers(5000);  // outside the table: nothing
  FreeIdBuffers(-1);
  EXPECT_EQ(g_save_blocks.blocks[0], nullptr);
  EXPECT_EQ(g_save_blocks.sizes[2], 0u);
}

}  // namespace
}  // namespace korvel
