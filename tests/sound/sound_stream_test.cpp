// Streaming a ramp WAV (sample = frame index) through a headless voice: what each half receives for
// a start position, loop range and loop count.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sound_device.h"
#include "resource/data_file_lookup.h"
#include "sound/sound_stream.h"
#include "sound_test_fixture.h"
#include "support/sound/channel_voice_ring.h"

namespace korvel::test {
namespace {

// 16-bit mono at 1000 Hz: one frame per millisecond, 500 frames per half.
std::string RampWav(int32_t frames, uint32_t rate = 1000) {
  std::string data;
  for (int32_t i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(i);
    data.append(reinterpret_cast<const char*>(&v), 2);
  }
  auto le = [](uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    return s;
  };
  return "RIFF" + le(36 + static_cast<uint32_t>(data.size()), 4) + "WAVEfmt " + le(16, 4) +
         le(1, 2) + le(1, 2) + le(rate, 4) + le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" +
         le(static_cast<uint32_t>(data.size()), 4) + data;
}

struct RampCase {
  std::string name;
  int32_t start, loop_start, loop_end, loop_count;
  std::vector<std::pair<int32_t, int32_t>> runs;  // [from, to) frame ranges, -1: silence
};

// Voices on the headless device, the ramp as "ramp.wav".
class RampVoiceTest : public SoundTreeTest {
 protected:
  void SetUp() override {
    SoundTreeTest::SetUp();
    folder_.Write("ramp.wav", RampWav(1000));
    InitResourceLookup(folder_.path());
    ASSERT_TRUE(platform::OpenSoundDevice());
    InstallSoundStreams(true);
  }
  void TearDown() override {
    StopAllSounds();
    DestroyTreeNode(g_sound_tree.root, FreeSoundPayload);
    g_sound_tree.root = AllocTreeNode("", true);
    InstallSoundStreams(false);
    platform::CloseSoundDevice();
    ShutdownResourceLookup();
    SoundTreeTest::TearDown();
  }
  // The frames the voice's ring holds (both halves).
  static std::vector<int16_t> Ring(NamedTreeNode* node) {
    std::lock_guard lock(EngineLock());
    const std::vector<uint8_t> ring = VoiceRingContents(&Ch(node));
    if (ring.empty()) return {};
    EXPECT_EQ(ring.size(), Ch(node).buffer_size) << "the voice's ring is one second of its format";
    std::vector<int16_t> frames(ring.size() / 2);
    std::memcpy(frames.data(), ring.data(), frames.size() * 2);
    return frames;
  }
  // The frames of the ramp's [from, to) runs, then silence up to `total` frames.
  static std::vector<int16_t> Runs(const std::vector<std::pair<int32_t, int32_t>>& runs,
                                   size_t total) {
    std::vector<int16_t> want;
    for (const auto& [from, to] : runs) {
      for (int32_t i = from; i < to; ++i) want.push_back(static_cast<int16_t>(i));
    }
    want.resize(total, 0);
    return want;
  }

  TempDir folder_;
};

class SoundRamp : public RampVoiceTest, public ::testing::WithParamInterface<RampCase> {};

TEST_P(SoundRamp, HalvesHoldTheExpectedFrames) {
  const RampCase& c = GetParam();
  NamedTreeNode* node = AddNode("ramp");
  Post(node, kSoundOpLoad, 0, "ramp.wav");
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Ch(node).state, kSoundLoaded);
  EXPECT_EQ(Ch(node).length_ms, 1000);
  Post(node, kSoundOpSetLoopEnd, c.loop_end);
  Post(node, kSoundOpSetStart, c.start);
  Post(node, kSoundOpSetLoopStart, c.loop_start);
  Post(node, kSoundOpSetLoopCount, c.loop_count);
  Post(node, kSoundOpPlay, 0);
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Ch(node).state, kSoundPlaying);
  std::vector<int16_t> got(1500);
  std::lock_guard lock(EngineLock());
  // The play pass filled the first half and its refill the second; a third fill goes where the
  // refill wrote.
  const std::vector<uint8_t> before = VoiceRingContents(&Ch(node));
  ASSERT_GE(before.size(), 2000u);
  std::memcpy(got.data(), before.data(), 2000);
  ASSERT_EQ(FillNextHalf(&Ch(node)), 0);
  const std::vector<uint8_t> after = VoiceRingContents(&Ch(node));
  ASSERT_GE(after.size(), 2000u);
  std::memcpy(got.data() + 1000, after.data() + 1000, 1000);
  EXPECT_EQ(got, Runs(c.runs, 1500));  // silence after the last pass
}

// Three passes of [0, 300) ms: the decoder runs up to a second ahead of the voice, so when the
// channel pauses it has already wrapped (and counted) passes the voice has not reached. After the
// resume the voice still hears every pass, from where it stopped.
struct PauseCase {
  std::string name;
  uint32_t pause_at;     // ms after the start, with no pass in between
  uint32_t loops_done;   // loop ends the voice had passed
  int32_t resume_at;     // the frame the voice was at in its pass (the cursor's step may be a frame short)
  std::vector<std::pair<int32_t, int32_t>> later;  // the passes after it, in the ring after the resume
};

void PrintTo(const PauseCase& c, std::ostream* out) { *out << c.name; }

class SoundLoopPause : public RampVoiceTest, public ::testing::WithParamInterface<PauseCase> {};

TEST_P(SoundLoopPause, ResumeKeepsEveryPass) {
  const PauseCase& c = GetParam();
  NamedTreeNode* node = AddNode("ramp");
  Post(node, kSoundOpLoad, 0, "ramp.wav");
  Post(node, kSoundOpSetLoopEnd, 300);
  Post(node, kSoundOpSetLoopCount, 3);
  Post(node, kSoundOpPlay, 0);
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Ring(node), Runs({{0, 300}, {0, 300}, {0, 300}}, 1000));
  Post(node, kSoundOpPause, 1);
  ASSERT_EQ(Pass(c.pause_at), 0);
  ASSERT_NE(Ch(node).pause_tick, 0u);
  EXPECT_EQ(Ch(node).loops_done, c.loops_done);
  const auto at = static_cast<int32_t>(Ch(node).played_bytes / 2);
  EXPECT_NEAR(at, c.resume_at, 1);
  Post(node, kSoundOpPause, 0);
  ASSERT_EQ(Pass(100), 0);
  ASSERT_EQ(Ch(node).pause_tick, 0u);
  std::vector<std::pair<int32_t, int32_t>> runs = {{at, 300}};
  runs.insert(runs.end(), c.later.begin(), c.later.end());
  EXPECT_EQ(Ring(node), Runs(runs, 1000));
}

INSTANTIATE_TEST_SUITE_P(
    Moments, SoundLoopPause,
    ::testing::Values(
        PauseCase{"InTheFirstPass", 250, 0, 250, {{0, 300}, {0, 300}}},
        PauseCase{"PastALoopEndNotYetTracked", 350, 1, 50, {{0, 300}}},
        PauseCase{"InTheLastPass", 700, 2, 100, {}}),
    [](const ::testing::TestParamInfo<PauseCase>& param_info) { return param_info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Ranges, SoundRamp,
    ::testing::Values(
        RampCase{"OnePass", 0, 0, 1000, 1, {{0, 1000}}},
        RampCase{"TwoPassesOfARange", 200, 100, 400, 2, {{200, 400}, {100, 400}}},
        RampCase{"EndlessShortLoop", 0, 0, 100, 0,
                 {{0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100},
                  {0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100},
                  {0, 100}}},
        RampCase{"InvertedRangeRestartsFromZero", 250, 300, 300, 3,
                 {{250, 300}, {0, 300}, {0, 300}}},
        RampCase{"StartPastTheEnd", 2000, 0, 1000, 1, {{0, 1000}}}),
    [](const ::testing::TestParamInfo<RampCase>& param_info) { return param_info.param.name; });


// Ogg Vorbis made with sox and oggenc, streamed through a voice: the halves it receives, across
// the start seek and the wraps at the loop end, are slices of oggdec's decode of the same file.
struct OggCase {
  std::string name;
  const char* file;
  int32_t start_ms, loop_start_ms, loop_count;
};

void PrintTo(const OggCase& c, std::ostream* out) { *out << c.name; }

class SoundOggVoice : public RampVoiceTest, public ::testing::WithParamInterface<OggCase> {};

TEST_P(SoundOggVoice, HalvesAreSlicesOfTheReferenceDecode) {
  const OggCase& c = GetParam();
  const std::string fixtures = std::string(KORVEL_FIXTURES_DIR) + "/sound/";
  folder_.Write("s.ogg", ReadFile(fixtures + c.file + ".ogg"));
  const std::string raw = ReadFile(fixtures + c.file + ".ref.raw");
  std::vector<int16_t> ref(raw.size() / 2);
  std::memcpy(ref.data(), raw.data(), ref.size() * 2);

  NamedTreeNode* node = AddNode("ogg");
  Ch(node).kind = 1;
  Post(node, kSoundOpLoad, 0, "s.ogg");
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Ch(node).state, kSoundLoaded);
  Post(node, kSoundOpSetStart, c.start_ms);
  Post(node, kSoundOpSetLoopStart, c.loop_start_ms);
  Post(node, kSoundOpSetLoopCount, c.loop_count);
  Post(node, kSoundOpPlay, 0);
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Ch(node).state, kSoundPlaying);

  // Sample positions (interleaved) of the start, the loop start and the loop end (the length in
  // whole milliseconds, so a little of the file's tail may lie past it).
  const int64_t channels = Ch(node).channels;
  const int64_t rate = Ch(node).sample_rate;
  auto at_ms = [&](int64_t ms) { return static_cast<size_t>(ms * rate / 1000 * channels); };
  const size_t start = at_ms(c.start_ms), loop_start = at_ms(c.loop_start_ms);
  const size_t loop_end = at_ms(Ch(node).length_ms);
  ASSERT_LE(loop_end, ref.size());
  std::vector<int16_t> want(ref.begin() + static_cast<std::ptrdiff_t>(start),
                            ref.begin() + static_cast<std::ptrdiff_t>(loop_end));
  const size_t half = Ch(node).buffer_size / 4;  // samples
  for (int32_t pass = 2; loop_end > loop_start && want.size() < 3 * half &&
                         (c.loop_count == 0 || pass <= c.loop_count);
       ++pass) {
    want.insert(want.end(), ref.begin() + static_cast<std::ptrdiff_t>(loop_start),
                ref.begin() + static_cast<std::ptrdiff_t>(loop_end));
  }
  want.resize(3 * half, 0);

  std::vector<int16_t> got = Ring(node);
  ASSERT_EQ(got.size(), 2 * half);
  {
    std::lock_guard lock(EngineLock());
    ASSERT_EQ(FillNextHalf(&Ch(node)), 0);  // the third half goes where the refill wrote
  }
  const std::vector<int16_t> third = Ring(node);
  got.insert(got.end(), third.begin() + static_cast<std::ptrdiff_t>(half), third.end());
  EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SoundOggVoice,
    ::testing::Values(OggCase{"Mono22050Endless", "mono22050", 0, 0, 0},
                      OggCase{"Stereo44100FromASeekEndless", "stereo44100", 100, 0, 0},
                      OggCase{"Stereo44100TwoPassesOfARange", "stereo44100", 100, 50, 2},
                      OggCase{"OneSampleIsSilenceWithoutSpinning", "one_sample", 0, 0, 0}),
    [](const ::testing::TestParamInfo<OggCase>& param_info) { return param_info.param.name; });

// A header's rate decides the channel's buffers: rates no voice plays are refused before any is
// sized from them (the sound thread ends with the voice's code).
class SoundOddRate : public RampVoiceTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(SoundOddRate, IsRefusedBeforeTheBuffersAreMade) {
  folder_.Write("odd.wav", RampWav(10, GetParam()));
  NamedTreeNode* node = AddNode("odd");
  Post(node, kSoundOpLoad, 0, "odd.wav");
  EXPECT_EQ(Pass(), -1120);
  EXPECT_EQ(Ch(node).buffer_size, 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, SoundOddRate, ::testing::Values(200001u, 99u, 0x3FFFFFFFu));

TEST_F(RampVoiceTest, ChainedOggEndsTheThreadWithItsCode) {
  folder_.Write("chained.ogg",
                ReadFile(std::string(KORVEL_FIXTURES_DIR) + "/sound/chained.ogg"));
  NamedTreeNode* node = AddNode("ogg");
  Ch(node).kind = 1;
  Post(node, kSoundOpLoad, 0, "chained.ogg");
  EXPECT_EQ(Pass(), -1045);
}

}  // namespace
}  // namespace korvel::test
