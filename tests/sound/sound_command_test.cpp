// Commands 72, 73 and 74 in compiled games run in process against the real sound thread on the
// virtual clock: node creation and set-up, errors, deletion, and every query including the levels.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/named_tree.h"
#include "platform/sound_device.h"
#include "resource/data_file_lookup.h"
#include "resource/preload_banks.h"
#include "resource/resource_locator.h"
#include "script/sysvar_game_env.h"
#include "sound/sound_channel.h"
#include "sound/sound_commands.h"
#include "sound/sound_engine.h"
#include "sound/sound_stream.h"
#include "test_support.h"

namespace korvel {
namespace {

std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

std::string Wav(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return "RIFF" + Le(36 + static_cast<uint32_t>(data.size()), 4) + "WAVEfmt " + Le(16, 4) +
         Le(1, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) +
         Le(bits, 2) + "data" + Le(static_cast<uint32_t>(data.size()), 4) + data;
}

// One second of 16-bit mono at 1000 Hz whose samples count the frames.
std::string RampWav() {
  std::string data;
  for (uint32_t i = 0; i < 1000; ++i) data += Le(i, 2);
  return Wav(1, 1000, 16, data);
}

// One second of 8-bit stereo: left 128 + 50, right 128 - 100 in every frame.
std::string LevelsStereo8() {
  std::string data;
  for (int i = 0; i < 8000; ++i) data += std::string{static_cast<char>(178), static_cast<char>(28)};
  return Wav(2, 8000, 8, data);
}

// One second of 16-bit mono at -1234.
std::string LevelsMono16() {
  std::string data;
  for (int i = 0; i < 8000; ++i) data += Le(static_cast<uint16_t>(-1234), 2);
  return Wav(1, 8000, 16, data);
}

class SoundCommandTest : public test::CommandGameTest {
 protected:
  void SetUp() override {
    RegisterSoundTree();
    test::CommandGameTest::SetUp();
    folder_.Write("ramp.wav", RampWav());
    folder_.Write("lv8.wav", LevelsStereo8());
    folder_.Write("lv16.wav", LevelsMono16());
    folder_.Write("other.wav", RampWav());
    InitResourceLookup(folder_.path());
    ASSERT_TRUE(platform::OpenSoundDevice());
    InstallSoundStreams(true);
    g_sound_engine.sound_on = 1;
    RegisterSoundCommandHandlers();
    // This thread runs the scripts on the clock, taking turns with the sound thread.
    platform::SetClockThread(true);
    ASSERT_EQ(StartSoundEngine(), 0);
  }
  void TearDown() override {
    StopSoundEngine();
    platform::SetClockThread(false);
    g_sound_engine.sound_on = 0;
    InstallSoundStreams(false);
    platform::CloseSoundDevice();
    ShutdownResourceLookup();
    test::CommandGameTest::TearDown();
  }

  // Runs `body` between the declarations and QUIT; true when it quit without a report. The quit
  // flag is cleared again before the sound thread can see it, so the sounds go on.
  static bool Run(const std::string& body) {
    g_engine.quit_flag.store(0);
    Load(".global int out\n.global string name\n.global real r\nlabel SYSTEM_START\n" + body +
         "QUIT\n");
    const bool ok = RunToQuit();
    g_engine.quit_flag.store(0);
    return ok;
  }
  // Lets the sound thread run its passes for `ms` milliseconds of the clock.
  static void Settle(uint32_t ms = 50) { platform::SleepMs(ms); }

  static NamedTreeNode* Node(const char* path) {
    char full[kObjectPathCapacity];
    const int32_t kind = NormalizeObjectPath(full, sizeof full, path, g_sound_tree.base_path, true);
    if (kind < 0) return nullptr;
    std::lock_guard lock(EngineLock());
    return FindObjectByPath(g_sound_tree.root, full, kind == 1 ? kFindGroup : kFindLeaf);
  }
  static SoundChannel Ch(const char* path) {
    NamedTreeNode* node = Node(path);
    std::lock_guard lock(EngineLock());
    if (node == nullptr || node->payload == nullptr) {
      ADD_FAILURE() << "no sound node " << path;
      return SoundChannel{};
    }
    return *static_cast<const SoundChannel*>(node->payload);
  }
  static platform::VoiceId Voice(const char* path) {
    const SoundChannel c = Ch(path);
    std::lock_guard lock(EngineLock());
    return ChannelVoice(&c);
  }

  test::TempDir folder_;
};

TEST_F(SoundCommandTest, CreateSetsUpTheNode) {
  ASSERT_TRUE(Run("SOUND 0=( \"c\" ) 2=( \"ramp\" )\n"));
  SoundChannel c = Ch("c");
  EXPECT_EQ(c.state, kSoundLoaded);
  EXPECT_EQ(c.kind, 2);
  EXPECT_STREQ(c.file_name, "ramp.wav");
  EXPECT_EQ(c.length_ms, 1000);

  // Settings follow the completed load; the loop count also becomes the loop limit.
  ASSERT_TRUE(Run("SOUND 0=( \"f\" ) 2=( \"ramp\" ) 6=( 300 ) 7=( 100 ) 8=( 600 ) 9=( 2 ) "
                  "11=( 384 ) 12=( 512 ) 1=( 1 )\n"));
  Settle();
  c = Ch("f");
  EXPECT_EQ(c.state, kSoundLoaded);
  EXPECT_EQ(c.start_ms, 300);
  EXPECT_EQ(c.loop_start_ms, 100);
  EXPECT_EQ(c.loop_end_ms, 600);
  EXPECT_EQ(c.loop_count, 2);
  EXPECT_EQ(c.loop_limit, 2u);
  EXPECT_EQ(c.pan, 384);
  EXPECT_EQ(c.speed, 512);

  // Without parameter 3 the volume changes at once; with it, it is the fade-in's target.
  ASSERT_TRUE(Run("SOUND 0=( \"e\" ) 2=( \"ramp\" ) 10=( 100 )\n"
                  "SOUND 0=( \"d\" ) 2=( \"ramp\" ) 3=( 1 ) 5=( 1000 ) 10=( 128 )\n"));
  EXPECT_EQ(Ch("d").state, kSoundFadingIn);
  EXPECT_EQ(Ch("d").volume, 0);
  Settle(500);
  EXPECT_EQ(Ch("e").volume, 100);
  EXPECT_EQ(Ch("e").state, kSoundLoaded);
  EXPECT_NEAR(Ch("d").volume, 64, 3);
  Settle(600);
  EXPECT_EQ(Ch("d").volume, 128);
  EXPECT_EQ(Ch("d").state, kSoundPlaying);

  // A new file for a playing node stops it first, then loads the new file.
  ASSERT_TRUE(Run("SOUND 0=( \"d\" ) 2=( \"other\" )\n"));
  EXPECT_EQ(Ch("d").state, kSoundLoaded);
  EXPECT_STREQ(Ch("d").file_name, "other.wav");
}

TEST_F(SoundCommandTest, CreateCasesAndErrors) {
  // "bad.ogg" is found, but as an image.
  uint8_t* bytes = static_cast<uint8_t*>(AllocZeroed(16));
  ASSERT_EQ(PushPreloadBankRow(0, "bad.ogg", kTypePng, bytes, 16), 0);
  // A file whose name (with its folder) is longer than a request's 255 bytes can carry.
  const std::string long_name = std::string(200, 'd') + "/" + std::string(60, 'n') + ".wav";
  folder_.Write(long_name, RampWav());
  const struct {
    const char* what;
    std::string body;
    const char* path;  // the node the command may create
    bool exists;
    int32_t code;      // the report, 0 for none
  } cases[] = {
      {"no file, new path: nothing", "SOUND 0=( \"a\" ) 1=( 0 )\n", "a", false, 0},
      {"file for a new group", "SOUND 0=( \"g/\" ) 2=( \"ramp\" )\n", "g/", false, 101292},
      {"group without a file", "SOUND 0=( \"h/\" ) 1=( 0 )\n", "h/", true, 0},
      {"missing file ends quietly", "SOUND 0=( \"b\" ) 2=( \"missing\" )\n", "b", true, 0},
      {"not a sound type", "SOUND 0=( \"i\" ) 2=( \"bad.ogg\" )\n", "i", true, 100030},
      {"name too long for a request: not found",
       "SOUND 0=( \"j\" ) 2=( \"" + long_name + "\" )\n", "j", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetReports();
    EXPECT_EQ(Run(c.body), c.code == 0);
    EXPECT_EQ(LastCode(), c.code);
    if (c.code != 0) {
      // The message names the command.
      EXPECT_NE(LastErrorReport().message.find("[SOUND]"), std::string::npos)
          << LastErrorReport().message;
    }
    EXPECT_EQ(Node(c.path) != nullptr, c.exists);
    if (c.exists) {
      EXPECT_EQ(Ch(c.path).state, kSoundIdle);
    }
  }
  EXPECT_EQ(Ch("h/").enabled, 0);
  EXPECT_EQ(Ch("b").kind, 0);
  // A name that fits a request loads from the same folder.
  const std::string fitting = std::string(200, 'd') + "/" + std::string(40, 'n') + ".wav";
  folder_.Write(fitting, RampWav());
  ResetReports();
  ASSERT_TRUE(Run("SOUND 0=( \"k\" ) 2=( \"" + fitting + "\" )\n"));
  EXPECT_EQ(Ch("k").state, kSoundLoaded);
}

TEST_F(SoundCommandTest, SoundOffDoesNothing) {
  g_sound_engine.sound_on = 0;
  ASSERT_TRUE(Run("SOUND 0=( \"x\" ) 2=( \"ramp\" ) 3=( 1 )\n"));
  EXPECT_EQ(Node("x"), nullptr);
  g_sound_engine.sound_on = 1;
}

TEST_F(SoundCommandTest, FadeOutStopsWithoutWaitingAndPauseWaits) {
  ASSERT_TRUE(Run("SOUND 0=( \"m\" ) 2=( \"ramp\" ) 3=( 1 )\n"));
  Settle();
  ASSERT_EQ(Ch("m").state, kSoundPlaying);
  ASSERT_TRUE(Run("SOUND 0=( \"m\" ) 4=( 1 )\n"));
  EXPECT_EQ(Ch("m").paused, 1);
  EXPECT_NE(Ch("m").pause_tick, 0u);
  ASSERT_TRUE(Run("SOUND 0=( \"m\" ) 4=( 0 )\n"));
  EXPECT_EQ(Ch("m").paused, 0);
  EXPECT_EQ(Ch("m").pause_tick, 0u);
  // Parameter 3 = 0 with a second's fade: the command returns before the sound thread has begun.
  ASSERT_TRUE(Run("SOUND 0=( \"m\" ) 3=( 0 ) 5=( 1000 )\n"));
  EXPECT_EQ(Ch("m").state, kSoundPlaying);
  Settle(500);
  EXPECT_EQ(Ch("m").state, kSoundFadingOut);
  EXPECT_NEAR(Ch("m").volume, 128, 8);
  Settle(600);
  EXPECT_EQ(Ch("m").state, kSoundIdle);
  EXPECT_EQ(Voice("m"), 0);
}

TEST_F(SoundCommandTest, DeleteStopsAndFreesNodes) {
  ASSERT_TRUE(Run("SOUND 0=( \"grp/\" ) 1=( 1 )\n"
                  "SOUND 0=( \"grp/a\" ) 2=( \"ramp\" ) 3=( 1 )\n"
                  "SOUND 0=( \"grp/sub/\" ) 1=( 1 )\n"
                  "SOUND 0=( \"grp/sub/b\" ) 2=( \"ramp\" ) 3=( 1 )\n"
                  "SOUND 0=( \"solo\" ) 2=( \"ramp\" ) 3=( 1 )\n"));
  const platform::VoiceId a = Voice("grp/a");
  const platform::VoiceId b = Voice("grp/sub/b");
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  ResetReports();
  ASSERT_TRUE(Run("SOUNDDELETE 0=( \"nothing/\" )\nSOUNDDELETE 0=( \"none\" )\n"));
  ASSERT_TRUE(Run("SOUNDDELETE 0=( \"grp/\" )\n"));
  // (Paths below the deleted group are not looked up: a missing group on the way is an error.)
  EXPECT_EQ(Node("grp/"), nullptr);
  // Every voice was stopped and freed before its node went.
  EXPECT_EQ(platform::VoiceBufferBytes(a), 0u);
  EXPECT_EQ(platform::VoiceBufferBytes(b), 0u);
  ASSERT_NE(Node("solo"), nullptr);
  ASSERT_TRUE(Run("SOUNDDELETE 0=( \"solo\" )\n"));
  EXPECT_EQ(Node("solo"), nullptr);
  EXPECT_EQ(ReportCount(), 0u);
  // The tree still works after the deletions.
  ASSERT_TRUE(Run("SOUND 0=( \"grp/\" ) 1=( 1 )\nSOUND 0=( \"grp/a\" ) 2=( \"ramp\" )\n"));
  EXPECT_EQ(Ch("grp/a").state, kSoundLoaded);
}

TEST_F(SoundCommandTest, InfoAnswers) {
  ASSERT_TRUE(Run("SOUND 0=( \"q\" ) 2=( \"ramp\" ) 7=( 100 ) 8=( 900 ) 9=( 3 ) 11=( 100 ) "
                  "12=( 300 )\n"
                  "SOUND 0=( \"q\" ) 1=( 1 ) 3=( 1 ) 10=( 200 )\n"
                  "SOUND 0=( \"lv8\" ) 2=( \"lv8\" ) 3=( 1 )\n"
                  "SOUND 0=( \"lv16\" ) 2=( \"lv16\" ) 3=( 1 )\n"
                  "SOUND 0=( \"nofile\" ) 2=( \"missing\" )\n"));
  Settle(100);
  const struct {
    const char* query;
    int64_t value;
  } cases[] = {
      {"0=( \"q\" ) 1=( 1 )", 1},
      {"0=( \"nofile\" ) 1=( 1 )", 0},
      {"0=( \"q\" ) 2=( 1 )", 1},
      {"0=( \"q\" ) 3=( 1 )", 1},
      {"0=( \"nofile\" ) 3=( 1 )", 0},
      {"0=( \"q\" ) 4=( 1 )", 0},
      {"0=( \"q\" ) 5=( 1 )", 200},
      {"0=( \"q\" ) 6=( 1 )", 100},
      {"0=( \"q\" ) 7=( 1 )", 300},
      {"0=( \"q\" ) 2=( 1 ) 5=( 1 )", 1},       // the first of 1..7 only
      {"0=( \"q\" ) 9=( 1 )", 2},
      {"0=( \"q\" ) 11=( 1 )", 100},
      {"0=( \"q\" ) 12=( 1 )", 900},
      {"0=( \"q\" ) 13=( 1 )", 3},
      {"0=( \"q\" ) 14=( 1 )", 0},
      {"0=( \"q\" ) 15=( 1 ) 16=( 1 )", 1000},  // the last given wins: the length
      {"0=( \"q\" ) 17=( 1 )", 1},
      {"0=( \"q\" ) 18=( 1 )", 16},
      {"0=( \"q\" ) 19=( 1 )", 1000},
      {"0=( \"q\" ) 22=( 1 )", 0},
      {"0=( \"lv8\" ) 20=( 1 )", 50},
      {"0=( \"lv8\" ) 21=( 1 )", 100},
      {"0=( \"lv16\" ) 20=( 1 )", 1234},
      {"0=( \"lv16\" ) 21=( 1 )", 1234},        // mono: the first channel
      {"0=( \"nofile\" ) 20=( 1 )", -1},        // no buffer
      {"0=( \"nofile\" ) 21=( 1 )", -1},
      {"0=( \"absent\" ) 5=( 1 )", 0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Run("let $out = 77\nSOUNDINFO " + std::string(c.query) + " 23=( $out )\n"))
        << c.query << " " << LastErrorReport().message;
    EXPECT_EQ(Int(Var(0)), c.value) << c.query;
  }
  // The play position lies inside the loop.
  ASSERT_TRUE(Run("SOUNDINFO 0=( \"q\" ) 15=( 1 ) 23=( $out )\n"));
  EXPECT_GE(Int(Var(0)), 100);
  EXPECT_LT(Int(Var(0)), 900);
  // The file name as text; a missing node gives the empty text or 0.0.
  ASSERT_TRUE(Run("SOUNDINFO 0=( \"q\" ) 8=( 1 ) 23=( $name )\n"));
  EXPECT_EQ(Text(Var(1)), "ramp.wav");
  ASSERT_TRUE(Run("SOUNDINFO 0=( \"absent\" ) 8=( 1 ) 23=( $name )\n"));
  EXPECT_EQ(Text(Var(1)), "");
  ASSERT_TRUE(Run("let $r = 2.5\nSOUNDINFO 0=( \"absent\" ) 5=( 1 ) 23=( $r )\n"));
  EXPECT_EQ(Real(Var(2)), 0.0);
  ASSERT_TRUE(Run("SOUNDINFO 0=( \"q\" ) 5=( 1 ) 23=( $r )\n"));
  EXPECT_EQ(Real(Var(2)), 200.0);
  // A number into a text variable is refused.
  ResetReports();
  EXPECT_FALSE(Run("SOUNDINFO 0=( \"q\" ) 5=( 1 ) 23=( $name )\n"));
  EXPECT_EQ(LastCode(), 101140);
}

}  // namespace
}  // namespace korvel
