// The headless sound device: voices follow the virtual clock, the recorder writes exactly the frames
// the clock has made due, through a temporary file, and its header is right also when the program
// ends without closing the device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sound_device.h"
#include "platform_test_util.h"
#include "required_tool.h"
#include "sound_test_util.h"
#include "support/platform/sound_device_probe.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using korvel::test::HeadlessMixedFrames;
using korvel::test::HeadlessMixToClock;
using test::ScopedEnv;
using korvel::test::VoicePlaying;

using test::Pcm;

struct Dump {
  uint16_t channels = 0, bits = 0;
  uint32_t rate = 0, riff_size = 0, data_size = 0;
  std::vector<int16_t> samples;
};

Dump ReadDump(const std::string& path) {
  Dump d;
  const std::string bytes = korvel::test::ReadFile(path);
  if (bytes.size() < 44) return d;
  auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, bytes.data() + at, 4); return v; };
  auto u16 = [&](size_t at) { uint16_t v; std::memcpy(&v, bytes.data() + at, 2); return v; };
  d.riff_size = u32(4);
  d.channels = u16(22);
  d.rate = u32(24);
  d.bits = u16(34);
  d.data_size = u32(40);
  d.samples.resize((bytes.size() - 44) / 2);
  std::memcpy(d.samples.data(), bytes.data() + 44, d.samples.size() * 2);
  return d;
}

class SoundDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("korvel-sound-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    dump_ = (dir_ / "mix.wav").string();
  }
  void TearDown() override {
    ShutdownPlatform();
    std::filesystem::remove_all(dir_);
  }
  void Start(const char* clock_start = nullptr, bool record = true) {
    ScopedEnv start("KORVEL_CLOCK_START",
                    clock_start ? std::optional<std::string>(clock_start) : std::nullopt);
    ScopedEnv audio("KORVEL_AUDIO_DUMP", record ? std::optional<std::string>(dump_) : std::nullopt);
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
    ASSERT_TRUE(OpenSoundDevice());
  }
  // A looping voice holding `value` in every sample.
  VoiceId ConstantVoice(const PcmFormat& format, int16_t value) {
    VoiceId voice = 0;
    EXPECT_EQ(CreateVoice(format, &voice), 0);
    std::vector<int16_t> data(VoiceBufferBytes(voice) / 2, value);
    EXPECT_TRUE(WriteVoice(voice, 0, data.data(), VoiceBufferBytes(voice)));
    EXPECT_TRUE(PlayVoice(voice, true));
    return voice;
  }
  CleanHeadlessEnv env_;
  std::filesystem::path dir_;
  std::string dump_;
};

TEST_F(SoundDevice, RecordsTheFramesTheClockMadeDue) {
  Start("0xFFFFFF00");  // the clock wraps during the recording
  ConstantVoice(Pcm(2, 44100, 16), 1234);
  const struct {
    uint32_t advance_ms;
    uint64_t total_frames;
  } steps[] = {{1, 44}, {9, 441}, {1, 485}, {239, 11025}, {1000, 55125}};
  for (const auto& s : steps) {
    AdvanceClockForTest(s.advance_ms);
    HeadlessMixToClock();
    EXPECT_EQ(HeadlessMixedFrames(), s.total_frames) << s.advance_ms;
  }
  // Until the device closes, the dump is a temporary file beside its place.
  EXPECT_FALSE(std::filesystem::exists(dump_));
  CloseSoundDevice();
  const Dump d = ReadDump(dump_);
  EXPECT_EQ(d.channels, 2);
  EXPECT_EQ(d.rate, 44100u);
  EXPECT_EQ(d.bits, 16);
  EXPECT_EQ(d.data_size, 55125u * 4);
  EXPECT_EQ(d.riff_size, 36 + 55125u * 4);
  ASSERT_EQ(d.samples.size(), 55125u * 2);
  for (int16_t s : d.samples) ASSERT_EQ(s, 1234);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(SoundDevice, FramesCountFromTheClockStartNotFromTheOpen) {
  Start();
  AdvanceClockForTest(100);  // before any voice: silence
  ConstantVoice(Pcm(1, 22050, 16), -700);
  AdvanceClockForTest(100);
  CloseSoundDevice();
  const Dump d = ReadDump(dump_);
  ASSERT_EQ(d.samples.size(), 8820u * 2);
  EXPECT_EQ(d.samples[2 * 4409], 0);
  EXPECT_EQ(d.samples[2 * 4410], -700);
  EXPECT_EQ(d.samples[2 * 8819 + 1], -700);
}

TEST_F(SoundDevice, CursorsAdvanceWithTheClock) {
  Start(nullptr, false);  // no dump: the device still mixes at the clock's pace
  const VoiceId voice = ConstantVoice(Pcm(1, 22050, 16), 1);
  uint32_t play = 1, write = 1;
  ASSERT_TRUE(GetVoicePosition(voice, &play, &write));
  EXPECT_EQ(play, 0u);
  AdvanceClockForTest(250);  // 11025 output frames: 5512.5 source frames
  ASSERT_TRUE(GetVoicePosition(voice, &play, &write));
  EXPECT_EQ(play, 5512u * 2);
  EXPECT_EQ(write, play);
  ASSERT_TRUE(SetVoiceFrequency(voice, 44100));
  AdvanceClockForTest(1000);  // one second at 44100 Hz wraps a 22050-frame ring twice
  ASSERT_TRUE(GetVoicePosition(voice, &play, &write));
  EXPECT_EQ(play, 5512u * 2);
  ASSERT_TRUE(StopVoice(voice));
  AdvanceClockForTest(500);
  ASSERT_TRUE(GetVoicePosition(voice, &play, &write));
  EXPECT_EQ(play, 5512u * 2);
  EXPECT_FALSE(VoicePlaying(voice));
}

TEST_F(SoundDevice, RefusesBadFormatsAndLevels) {
  Start(nullptr, false);
  PcmFormat float_format = Pcm(1, 44100, 32);
  float_format.tag = 3;
  PcmFormat wrong_align = Pcm(2, 44100, 16);
  wrong_align.block_align = 3;
  VoiceId voice = 99;
  for (const PcmFormat& f : {float_format, Pcm(3, 44100, 16), Pcm(1, 0, 16), wrong_align, Pcm(1, 8000, 20)}) {
    EXPECT_EQ(CreateVoice(f, &voice), kVoiceCreateFailed);
    EXPECT_EQ(voice, 0);
  }
  ASSERT_EQ(CreateVoice(Pcm(2, 48000, 24), &voice), 0);
  EXPECT_EQ(VoiceBufferBytes(voice), 48000u * 6);
  EXPECT_FALSE(SetVoiceVolume(voice, 1));
  EXPECT_FALSE(SetVoiceVolume(voice, -10001));
  EXPECT_TRUE(SetVoiceVolume(voice, -10000));
  EXPECT_FALSE(SetVoicePan(voice, 10001));
  EXPECT_FALSE(SetVoiceFrequency(voice, 99));
  EXPECT_FALSE(SetVoiceFrequency(voice, 200001));
  EXPECT_FALSE(WriteVoice(voice, 48000 * 6, "x", 1));
  EXPECT_FALSE(WriteVoice(voice, 0, nullptr, 48000 * 6 + 1));
  DestroyVoice(voice);
  EXPECT_FALSE(PlayVoice(voice, true));
  CloseSoundDevice();
  EXPECT_EQ(CreateVoice(Pcm(1, 8000, 8), &voice), kVoiceCreateFailed);  // no device
}

TEST_F(SoundDevice, WritesWrapAroundTheRing) {
  Start(nullptr, false);
  VoiceId voice = 0;
  ASSERT_EQ(CreateVoice(Pcm(1, 8000, 8), &voice), 0);
  std::vector<uint8_t> data(3000, 0x90);
  ASSERT_TRUE(WriteVoice(voice, 6000, data.data(), 3000));
  // Bytes 6000..7999 and 0..999 now hold 0x90: play from 7990 for 20 source frames.
  ASSERT_TRUE(SetVoicePosition(voice, 7990));
  ASSERT_TRUE(PlayVoice(voice, true));
  AdvanceClockForTest(2);  // 88 output frames at 8000 Hz: 15 source frames
  uint32_t play = 0;
  ASSERT_TRUE(GetVoicePosition(voice, &play, nullptr));
  EXPECT_EQ(play, 5u);
}

TEST_F(SoundDevice, VolumeHalvesTwiceAtMinus1204) {
  Start();
  const VoiceId voice = ConstantVoice(Pcm(2, 44100, 16), 32767);
  ASSERT_TRUE(SetVoiceVolume(voice, -1204));
  AdvanceClockForTest(100);
  CloseSoundDevice();
  // sox, when present, measures the peak of the dump: -12.04 dB.
  const std::string stats = korvel::test::CaptureCommand("sox '" + dump_ + "' -n stats 2>&1");
  KORVEL_REQUIRE_TOOL(stats.find("Pk lev dB") != std::string::npos,
                      "sox (it said: " << stats << ")");
  const size_t at = stats.find("Pk lev dB");
  EXPECT_NEAR(std::strtod(stats.c_str() + at + 9, nullptr), -12.04, 0.005) << stats;
}

TEST_F(SoundDevice, TheDumpIsFinishedWhenTheProgramEndsWithoutClosing) {
  EXPECT_EXIT(
      {
        Start();
        ConstantVoice(Pcm(1, 44100, 16), 50);
        AdvanceClockForTest(20);
        std::exit(3);  // as after a fatal error: no close
      },
      ::testing::ExitedWithCode(3), "");
  const Dump d = ReadDump(dump_);
  EXPECT_EQ(d.data_size, 882u * 4);
  EXPECT_EQ(d.samples.size(), 882u * 2);
}

TEST_F(SoundDevice, VoiceCallsFromTwoThreadsAgree) {
  Start(nullptr, false);
  const VoiceId voice = ConstantVoice(Pcm(2, 44100, 16), 9);
  std::thread writer([&] {
    std::vector<uint8_t> half(VoiceBufferBytes(voice) / 2, 3);
    for (int i = 0; i < 200; ++i) {
      uint32_t play = 0, write = 0;
      ASSERT_TRUE(GetVoicePosition(voice, &play, &write));
      ASSERT_TRUE(WriteVoice(voice, write < half.size() ? static_cast<uint32_t>(half.size()) : 0,
                             half.data(), static_cast<uint32_t>(half.size())));
      ASSERT_TRUE(SetVoiceVolume(voice, -(i % 100)));
    }
  });
  for (int i = 0; i < 200; ++i) {
    AdvanceClockForTest(7);
    HeadlessMixToClock();
  }
  writer.join();
  EXPECT_EQ(HeadlessMixedFrames(), 1400u * 441 / 10);
}

// SDL's dummy drivers: the audio callback runs on SDL's thread and mixes the voices while this
// thread writes them, without the engine lock.
TEST(SdlSoundDevice, TheCallbackMixesVoicesOnItsOwnThread) {
  CleanHeadlessEnv clean;
  ScopedEnv display("DISPLAY", std::nullopt);
  ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
  ScopedEnv video("SDL_VIDEODRIVER", "dummy");
  ScopedEnv audio("SDL_AUDIODRIVER", "dummy");
  korvel::test::TempDir runtime;
  ScopedEnv runtime_dir("XDG_RUNTIME_DIR", runtime.path());
  ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
  ASSERT_EQ(ActiveBackend(), BackendKind::kSdl);
  ASSERT_TRUE(OpenSoundDevice());
  VoiceId voice = 0;
  ASSERT_EQ(CreateVoice(Pcm(2, 44100, 16), &voice), 0);
  ASSERT_TRUE(PlayVoice(voice, true));
  std::vector<uint8_t> half(VoiceBufferBytes(voice) / 2, 1);
  // The cursor moves only when the callback mixes; wait for it to pass the first half.
  uint32_t play = 0;
  for (int i = 0; i < 100000 && play < half.size(); ++i) {
    ASSERT_TRUE(WriteVoice(voice, static_cast<uint32_t>(half.size()), half.data(),
                           static_cast<uint32_t>(half.size())));
    ASSERT_TRUE(GetVoicePosition(voice, &play, nullptr));
    ASSERT_TRUE(SetVoicePan(voice, (i % 200) - 100));
    korvel::test::SleepRealMs(1);
  }
  EXPECT_GE(play, half.size());
  CloseSoundDevice();
  EXPECT_FALSE(SoundDeviceOpen());
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
