// The movie decoder against the ffmpeg program's own frame checksums, and the headless player: the
// frame shown follows the virtual clock, the same run shows the same frames, the tone reaches the
// mix, and the end event arrives after the fixture's duration.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/md5.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/frame_overlay.h"
#include "platform/movie_decoder.h"
#include "platform/movie_player.h"
#include "platform/platform.h"
#include "platform/sound_device.h"
#include "platform_test_util.h"
#include "support/platform/movie_raw_frames.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::ScopedEnv;

const std::string kMovie = std::string(KORVEL_FIXTURES_DIR) + "/movie/movie.mpg";
const std::string kTone = std::string(KORVEL_FIXTURES_DIR) + "/movie/tone.mpg";
const std::string kFrameSums = std::string(KORVEL_FIXTURES_DIR) + "/movie/movie.framemd5";

std::string Md5Hex(const uint8_t* data, size_t size) {
  uint8_t sum[16];
  av_md5_sum(sum, data, size);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + i * 2, 3, "%02x", sum[i]);
  return hex;
}

// The hash column of every frame line of a framemd5 file.
std::vector<std::string> ReadFrameSums(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> sums;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    sums.push_back(line.substr(line.rfind(' ') + 1));
  }
  return sums;
}

TEST(MovieDecoder, FramesInTheirOwnFormatMatchTheFfmpegProgram) {
  const std::vector<std::string> expected = ReadFrameSums(kFrameSums);
  ASSERT_EQ(expected.size(), 20u);
  std::vector<std::string> got;
  ASSERT_TRUE(korvel::test::DecodeRawVideo(
      kMovie,
      [](void* context, const uint8_t* data, size_t size, int64_t) {
        static_cast<std::vector<std::string>*>(context)->push_back(Md5Hex(data, size));
      },
      &got));
  EXPECT_EQ(got, expected);
}

TEST(MovieDecoder, ScalesFramesAndConvertsTheTone) {
  MovieDecoder decoder;
  ASSERT_EQ(decoder.Open(kMovie), MovieOpenStatus::kOk);
  EXPECT_TRUE(decoder.Info().has_video);
  EXPECT_TRUE(decoder.Info().has_audio);
  EXPECT_EQ(decoder.Info().width, 160);
  EXPECT_EQ(decoder.Info().height, 120);
  decoder.SetVideoOutputSize(80, 30);
  MovieVideoFrame frame;
  std::vector<int16_t> audio;
  int64_t audio_time = 0, last_video = -1;
  int videos = 0;
  for (;;) {
    const MovieDecoder::Item item = decoder.Next(&frame, &audio, &audio_time);
    if (item == MovieDecoder::Item::kEnd) break;
    if (item != MovieDecoder::Item::kVideo) continue;
    ++videos;
    EXPECT_EQ(frame.width, 80);
    EXPECT_EQ(frame.height, 30);
    ASSERT_EQ(frame.bgra.size(), 80u * 30 * 4);
    for (size_t i = 3; i < frame.bgra.size(); i += 4) ASSERT_EQ(frame.bgra[i], 255);
    EXPECT_GT(frame.time_us, last_video);
    EXPECT_EQ(frame.duration_us, 100000);
    last_video = frame.time_us;
  }
  EXPECT_EQ(videos, 20);
  // The last frame starts 1.9 s after the first one.
  EXPECT_NEAR(static_cast<double>(last_video), 1911000.0, 2000.0);
  // About 2 s of stereo audio at the mix rate.
  EXPECT_NEAR(static_cast<double>(audio.size() / 2) / kMixRate, 2.0, 0.05);
}

TEST(MovieDecoder, FilesThatAreNoMoviesAreRefused) {
  const auto dir = std::filesystem::temp_directory_path() / ("korvel-movie-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string text = (dir / "notes.txt").string();
  std::ofstream(text) << "not a movie at all\n";
  MovieDecoder decoder;
  EXPECT_EQ(decoder.Open((dir / "missing.mpg").string()), MovieOpenStatus::kOpenFailed);
  EXPECT_EQ(decoder.Open(text), MovieOpenStatus::kOpenFailed);
  MovieVideoFrame frame;
  std::vector<int16_t> audio;
  int64_t t = 0;
  EXPECT_EQ(decoder.Next(&frame, &audio, &t), MovieDecoder::Item::kEnd);
  std::filesystem::remove_all(dir);
}

class MoviePlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("korvel-movie-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    StopMovie();
    ResetFrameOverlays();
    ShutdownPlatform();
    std::filesystem::remove_all(dir_);
  }
  void Start(bool sound) {
    ScopedEnv audio("KORVEL_AUDIO_DUMP", (dir_ / "mix.wav").string());
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
    if (sound) {
      ASSERT_TRUE(OpenSoundDevice());
    }
    WindowDesc desc;
    desc.client_width = 320;
    desc.client_height = 240;
    window_ = CreateWindow(desc);
  }

  struct Shown {
    uint32_t ms;
    std::string picture;
  };
  struct Run {
    std::vector<Shown> shown;
    uint32_t end_ms = 0;
    bool ended = false;
  };
  // Plays the fixture into (20, 30, 160, 120) of a 320 x 240 frame, 10 ms per step, recording the
  // picture whenever it changed and when the end event came.
  Run Play(uint32_t stall_at = 0, uint32_t stall_ms = 0) {
    Run run;
    MovieStartRequest request;
    request.path = movie_;
    request.window = window_;
    request.rect = {20, 30, 160, 120};
    const uint32_t start = NowMs();
    EXPECT_EQ(StartMovie(request), MovieStartStatus::kStarted);
    std::vector<uint8_t> frame(320 * 240 * 4, 0);
    for (int step = 0; step < 400 && !run.ended; ++step) {
      if (PumpMovie()) {
        int32_t pitch = 320 * 4;
        const uint8_t* out = ApplyFrameOverlays(window_, frame.data(), 320, 240, &pitch);
        run.shown.push_back({NowMs() - start, Md5Hex(out, frame.size())});
      }
      for (const Event& e : test::DrainEvents()) {
        if (e.kind == EventKind::kMovieEnd && e.value == 1 && e.window == window_) {
          run.end_ms = NowMs() - start;
          run.ended = true;
        }
      }
      AdvanceClockForTest(stall_ms != 0 && NowMs() - start == stall_at ? stall_ms : 10);
    }
    return run;
  }
  CleanHeadlessEnv env_;
  std::string movie_ = kMovie;
  std::filesystem::path dir_;
  WindowId window_ = kNoWindow;
};

TEST_F(MoviePlayer, EndsAfterTheMovieOnTheAudioClockAndRepeatsExactly) {
  Start(true);
  const Run first = Play();
  // The last frame starts at 1.911 s and lasts 0.1 s; the step after that reports the end.
  EXPECT_GE(first.end_ms, 2011u);
  EXPECT_LT(first.end_ms, 2030u);
  EXPECT_FALSE(MovieActive() && !MovieEnded());
  EXPECT_FALSE(HasFrameOverlay(window_)) << "the picture leaves at the end";
  // Twenty frames, each shown when its time came, and the end shows the plain frame again.
  ASSERT_EQ(first.shown.size(), 21u);
  for (size_t i = 0; i < 20; ++i) {
    EXPECT_GE(first.shown[i].ms, 11 + 100 * i) << i;
    EXPECT_LT(first.shown[i].ms, 21 + 100 * i) << i;
  }
  StopMovie();
  const Run second = Play();
  ASSERT_EQ(second.shown.size(), first.shown.size());
  for (size_t i = 0; i < first.shown.size(); ++i) {
    EXPECT_EQ(second.shown[i].picture, first.shown[i].picture) << i;
  }
  EXPECT_EQ(second.end_ms, first.end_ms);
}

// The frame step stalls (longer than the voice's one-second ring in the second case): the sound of
// that time is dropped and the pictures and the end keep to the clock.
TEST_F(MoviePlayer, AStalledFrameStepKeepsTime) {
  Start(true);
  for (const uint32_t stall : {400u, 1200u}) {
    const Run run = Play(300, stall);
    EXPECT_GE(run.end_ms, 2011u) << stall;
    EXPECT_LT(run.end_ms, 2030u) << stall;
    // The step right after the stall shows the picture whose time has come, passing over the
    // ones in between; the last picture still comes in its own tenth of a second.
    const auto after = std::find_if(run.shown.begin(), run.shown.end(),
                                    [&](const Shown& s) { return s.ms > 300; });
    ASSERT_NE(after, run.shown.end());
    EXPECT_EQ(after->ms, 300 + stall) << stall;
    // Three before the stall, the due one, those after it, and the end.
    EXPECT_EQ(run.shown.size(), 3 + 1 + (19 - (289 + stall) / 100) + 1) << stall;
    EXPECT_EQ(run.shown[run.shown.size() - 2].ms / 100, 19u) << stall;
    StopMovie();
  }
}

TEST_F(MoviePlayer, WithoutSoundTheMillisecondClockLeads) {
  Start(false);
  const Run run = Play();
  EXPECT_GE(run.end_ms, 2011u);
  EXPECT_LT(run.end_ms, 2030u);
  EXPECT_EQ(run.shown.size(), 21u);
}

// Half a second of sound with no pictures (twenty 1152-sample frames, 522 ms): it plays on the
// audio clock, and with no sound device it ends at the first step instead of leaving the decoder
// waiting and the end event unsent.
TEST_F(MoviePlayer, SoundAloneEndsWithOrWithoutASoundDevice) {
  struct Case {
    bool sound;
    uint32_t end_from, end_before;
  };
  for (const Case c : {Case{true, 520, 540}, Case{false, 0, 11}}) {
    Start(c.sound);
    movie_ = kTone;
    const Run run = Play();
    EXPECT_TRUE(run.ended) << c.sound;
    EXPECT_GE(run.end_ms, c.end_from) << c.sound;
    EXPECT_LT(run.end_ms, c.end_before) << c.sound;
    EXPECT_TRUE(MovieEnded()) << c.sound;
    EXPECT_FALSE(HasFrameOverlay(window_)) << c.sound;
    StopMovie();
    ShutdownPlatform();
  }
}

TEST_F(MoviePlayer, ThePictureSitsInItsRectangle) {
  Start(true);
  MovieStartRequest request;
  request.path = kMovie;
  request.window = window_;
  request.rect = {-40, 200, 160, 120};  // partly outside the frame: clipped
  ASSERT_EQ(StartMovie(request), MovieStartStatus::kStarted);
  while (!PumpMovie()) AdvanceClockForTest(10);
  std::vector<uint8_t> frame(320 * 240 * 4, 0x11);
  int32_t pitch = 320 * 4;
  const uint8_t* out = ApplyFrameOverlays(window_, frame.data(), 320, 240, &pitch);
  ASSERT_NE(out, frame.data());
  int inside = 0, outside_changed = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const uint8_t* px = out + (y * 320 + x) * 4;
      const bool in = x < 120 && y >= 200;
      const bool plain = px[0] == 0x11 && px[1] == 0x11 && px[2] == 0x11 && px[3] == 0x11;
      if (in && px[3] == 255) ++inside;
      if (!in && !plain) ++outside_changed;
    }
  }
  EXPECT_EQ(inside, 120 * 40);
  EXPECT_EQ(outside_changed, 0);
  // Another window's frames are left alone.
  EXPECT_EQ(ApplyFrameOverlays(window_ + 1, frame.data(), 320, 240, &pitch), frame.data());
}

TEST_F(MoviePlayer, TheToneReachesTheMixAndVolumeScalesIt) {
  Start(true);
  MovieStartRequest request;
  request.path = kMovie;
  request.window = window_;
  request.rect = {0, 0, 160, 120};
  request.volume_mb = -1204;  // a quarter of the amplitude until 1 s
  ASSERT_EQ(StartMovie(request), MovieStartStatus::kStarted);
  EXPECT_EQ(MovieVolume(), -1204);
  for (int i = 0; i < 150; ++i) {
    if (i == 100) SetMovieVolume(0);  // full from 1 s on
    PumpMovie();
    AdvanceClockForTest(10);
  }
  StopMovie();
  CloseSoundDevice();
  const std::string bytes = korvel::test::ReadFile((dir_ / "mix.wav").string());
  ASSERT_GE(bytes.size(), 44u + 44100u * 4 * 3 / 2);
  std::vector<int16_t> s((bytes.size() - 44) / 2);
  std::memcpy(s.data(), bytes.data() + 44, s.size() * 2);
  // Left channel: zero crossings of the 440 Hz tone and its level, from 0.4 s to 0.9 s and from
  // 1.05 s to 1.45 s (the volume applies from the next mix on, within the lead).
  const auto measure = [&](double from, double to, int* crossings, double* rms) {
    *crossings = 0;
    double sum = 0;
    const size_t a = static_cast<size_t>(from * 44100), b = static_cast<size_t>(to * 44100);
    for (size_t i = a; i < b; ++i) {
      if ((s[2 * i] >= 0) != (s[2 * (i + 1)] >= 0)) ++*crossings;
      sum += double(s[2 * i]) * s[2 * i];
    }
    *rms = std::sqrt(sum / double(b - a));
  };
  int c1 = 0, c2 = 0;
  double r1 = 0, r2 = 0;
  measure(0.4, 0.9, &c1, &r1);
  measure(1.3, 1.45, &c2, &r2);
  EXPECT_NEAR(c1, 440, 6);
  EXPECT_GT(r1, 250.0);
  EXPECT_NEAR(r1 / r2, MillibelGain(-1204), 0.01);
}

TEST_F(MoviePlayer, AFileThatIsNoMovieDoesNotStart) {
  Start(true);
  const std::string text = (dir_ / "notes.txt").string();
  std::ofstream(text) << "plain text\n";
  MovieStartRequest request;
  request.path = text;
  request.window = window_;
  EXPECT_EQ(StartMovie(request), MovieStartStatus::kOpenFailed);
  EXPECT_FALSE(MovieActive());
  EXPECT_FALSE(HasFrameOverlay(window_));
  EXPECT_FALSE(PumpMovie());
}

}  // namespace
}  // namespace korvel::platform
