// The sample game with its sounds, headless: the recorded mix holds the music and the chime.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine_fixture.h"
#include "test_support.h"

namespace korvel {
namespace {

using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

class SoundGameTest : public test::GameFolderTest {
 protected:
  void BuildSample() const {
    const std::string kasm = std::string(KORVEL_BUILD_DIR) + "/kasm";
    const std::string samples = std::string(KORVEL_SOURCE_DIR) + "/samples/sample-game";
    const ProcessResult built = RunProcess({kasm, "--out", game_.path(), samples}, {}, 60000);
    ASSERT_EQ(built.exit_status, 0) << built.stderr_text;
    for (const char* media :
         {"bg.png", "sprite.png", "window.png", "text.png", "music.ogg", "chime.wav"}) {
      std::filesystem::copy_file(samples + "/media/" + media, game_.File(media),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
};

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

// RMS of the 16-bit stereo samples in [from, to) frames, in dB below full scale.
double RmsDb(const std::string& wav, size_t data, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from * 2; i < to * 2; ++i) {
    int16_t sample = 0;
    std::memcpy(&sample, wav.data() + data + i * 2, 2);
    sum += static_cast<double>(sample) * sample;
  }
  const double rms = std::sqrt(sum / static_cast<double>((to - from) * 2)) / 32768.0;
  return rms > 0 ? 20.0 * std::log10(rms) : -200.0;
}

// Power of the `hz` component of the left channel over [from, to) frames (Goertzel), in dB.
double ToneDb(const std::string& wav, size_t data, size_t from, size_t to, double hz) {
  const double k = 2.0 * std::cos(2.0 * 3.14159265358979323846 * hz / 44100.0);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < to; ++i) {
    int16_t sample = 0;
    std::memcpy(&sample, wav.data() + data + i * 4, 2);
    const double s0 = sample / 32768.0 + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = (s1 * s1 + s2 * s2 - k * s1 * s2) / static_cast<double>(to - from);
  return power > 0 ? 10.0 * std::log10(power) : -200.0;
}

TEST_F(SoundGameTest, SampleGameMixHoldsTheMusicAtItsLevel) {
  BuildSample();
  TempDir out;
  const std::string dump = out.File("mix.wav");
  const ProcessResult r =
      RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=600", "KORVEL_AUDIO_DUMP=" + dump}), 120000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  const std::string wav = test::ReadFile(dump);
  ASSERT_GE(wav.size(), 44u);
  ASSERT_EQ(wav.compare(0, 4, "RIFF"), 0);
  EXPECT_EQ(Le32(wav, 24), 44100u);
  const size_t frames = Le32(wav, 40) / 4;
  ASSERT_EQ(wav.size(), 44 + frames * 4);
  // The run lasts longer than the two-second loop, so the music has wrapped at least once.
  ASSERT_GT(frames, 44100u * 5 / 2);
  // The music fades in from silence over half a second, then plays at volume 192 (-5 dB): the
  // source's level is about -16 dB RMS, so the mix lies near -21 dB after the fade.
  EXPECT_LT(RmsDb(wav, 44, 0, 441), -40.0);
  const double steady = RmsDb(wav, 44, 44100 * 3 / 2, frames);
  EXPECT_GT(steady, -26.0);
  EXPECT_LT(steady, -14.0);
  // The chime (880 Hz, 0.4 s, started on the first frame) stands far above the music's 880 Hz
  // content while it sounds, and is gone a second later.
  const double chime = ToneDb(wav, 44, 44100 / 20, 44100 * 3 / 10, 880.0);
  const double after = ToneDb(wav, 44, 44100 * 3 / 2, 44100 * 2, 880.0);
  EXPECT_GT(chime - after, 20.0) << chime << " dB against " << after << " dB";
}

// With the sound thread on the virtual clock, a run repeats exactly: the same mix, to the byte.
TEST_F(SoundGameTest, RunsRepeatTheSameMix) {
  BuildSample();
  TempDir out;
  std::string first;
  for (int run = 0; run < 10; ++run) {
    const std::string dump = out.File("mix" + std::to_string(run) + ".wav");
    const ProcessResult r =
        RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=600", "KORVEL_AUDIO_DUMP=" + dump}), 120000);
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
    const std::string wav = test::ReadFile(dump);
    ASSERT_GT(wav.size(), 44u);
    if (run == 0) {
      first = wav;
    } else {
      ASSERT_EQ(wav.size(), first.size()) << "run " << run;
      ASSERT_TRUE(wav == first) << "run " << run;
    }
  }
}

// A sound the thread cannot stream ends the thread: its "DEBUG Message" box is shown through the main
// thread, the run quits, and shutdown collects the thread that ended by itself.
TEST_F(SoundGameTest, ChainedOggEndsTheRunThroughTheSoundErrorBox) {
  BuildGame({{"main.kas",
              "label SYSTEM_START\n"
              "SOUND 0=( \"bgm\" ) 2=( \"chained\" ) 3=( 1 )\n"
              "loop -1\n  WAIT 0=( 1 )\nend\n"}});
  std::filesystem::copy_file(std::string(KORVEL_FIXTURES_DIR) + "/sound/chained.ogg",
                             game_.File("chained.ogg"));
  TempDir control;
  const std::string answers = control.Write("answers.txt", "1\n");
  const ProcessResult r = RunProcess(
      Args(), HeadlessEnv({"KORVEL_ANSWERS=" + answers, "KORVEL_FRAMES=100000"}), 120000);
  ASSERT_FALSE(r.timed_out) << r.stderr_text;
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: DEBUG Message | 複数曲連結OGGには対応していません。 | 1"),
            std::string::npos)
      << r.stderr_text;
}

}  // namespace
}  // namespace korvel
