// Movie playback at 1280 x 720: the decoder's CPU time as a share of the movie's own duration
// (MPEG-1 as games ship it, and H.264 when the ffmpeg program can make it), and the headless
// player's lag between the audio clock and the frame it shows, pumped at 60 frames a second.
// The clips (ten seconds, 30 fps, with a tone) are made by the ffmpeg program at start.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/movie_decoder.h"
#include "platform/movie_player.h"
#include "platform/platform.h"
#include "platform/sound_device.h"
#include "support/platform/movie_stats.h"

namespace {

namespace fs = std::filesystem;
using namespace korvel::platform;
using korvel::test::GetMovieStats;
using korvel::test::MovieClockUs;
using korvel::test::MovieStats;
using korvel::test::WatchMoviePumps;

constexpr double kClipSeconds = 10.0;

// The clip of a codec, made once; empty when the ffmpeg program cannot make it.
std::string Clip(const std::string& codec) {
  const fs::path dir = fs::temp_directory_path() / "korvel-movie-bench";
  fs::create_directories(dir);
  const fs::path path = dir / ("clip-" + codec + (codec == "mpeg1video" ? ".mpg" : ".mp4"));
  if (fs::exists(path)) return path.string();
  const std::string audio = codec == "mpeg1video" ? "-c:a mp2 -b:a 192k" : "-c:a aac -b:a 128k";
  const std::string video = codec == "mpeg1video" ? "-c:v mpeg1video -b:v 6M -g 15"
                                                  : "-c:v libx264 -preset veryfast -crf 23";
  const std::string command =
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30:duration=10 "
      "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 " +
      video + " " + audio + " -ac 2 '" + path.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  return path.string();
}

void DecodeClip(benchmark::State& state, const std::string& codec) {
  const std::string path = Clip(codec);
  if (path.empty()) {
    state.SkipWithError("the ffmpeg program could not make the clip");
    return;
  }
  double cpu_seconds = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    MovieDecoder decoder;
    if (decoder.Open(path) != MovieOpenStatus::kOk) {
      state.SkipWithError("the clip does not open");
      return;
    }
    decoder.SetVideoOutputSize(1280, 720);
    MovieVideoFrame frame;
    std::vector<int16_t> audio;
    int64_t t = 0;
    const std::clock_t start = std::clock();
    for (;;) {
      audio.clear();
      const MovieDecoder::Item item = decoder.Next(&frame, &audio, &t);
      if (item == MovieDecoder::Item::kEnd) break;
      if (item == MovieDecoder::Item::kVideo) ++frames;
      benchmark::DoNotOptimize(frame.bgra.data());
    }
    cpu_seconds += double(std::clock() - start) / CLOCKS_PER_SEC;
  }
  const double runs = double(state.iterations());
  // CPU time of every thread of the process (the decoder's own threads included) per second of
  // movie: 1.0 is one core kept busy.
  state.counters["cpu_share"] = cpu_seconds / runs / kClipSeconds;
  state.counters["frames"] = double(frames) / runs;
}

void Decode720pMpeg1(benchmark::State& state) { DecodeClip(state, "mpeg1video"); }
void Decode720pH264(benchmark::State& state) { DecodeClip(state, "libx264"); }
BENCHMARK(Decode720pMpeg1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(Decode720pH264)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The whole clip through the headless player on the virtual clock with the sound device's voice:
// the largest and the last lag of a shown frame behind the audio clock.
void PlayerLag720p(benchmark::State& state) {
  const std::string path = Clip("mpeg1video");
  if (path.empty()) {
    state.SkipWithError("the ffmpeg program could not make the clip");
    return;
  }
  MovieStats stats;
  for (auto _ : state) {
    if (!InitPlatformWith(BackendKind::kHeadless) || !OpenSoundDevice()) {
      state.SkipWithError("no headless platform");
      return;
    }
    WindowDesc desc;
    desc.client_width = 1280;
    desc.client_height = 720;
    MovieStartRequest request;
    request.path = path;
    request.window = CreateWindow(desc);
    request.rect = {0, 0, 1280, 720};
    WatchMoviePumps();
    if (StartMovie(request) != MovieStartStatus::kStarted) {
      state.SkipWithError("the clip does not start");
      return;
    }
    while (!MovieEnded()) {
      PumpMovie();
      if (!MovieEnded()) stats = GetMovieStats();
      AdvanceClockForTest(16);
    }
    StopMovie();
    ShutdownPlatform();
  }
  state.counters["max_lag_ms"] = double(stats.max_lag_us) / 1000.0;
  state.counters["last_lag_ms"] = double(stats.last_lag_us) / 1000.0;
  state.counters["shown"] = double(stats.frames_shown);
  state.counters["skipped"] = double(stats.frames_skipped);
}
BENCHMARK(PlayerLag720p)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same in real time on the SDL backend (dummy video and audio drivers, whose audio callback
// runs at the device's own pace), pumped every 16 ms: the shown frames' lag behind the audio clock,
// and how far the audio clock drifted from the millisecond clock over the clip.
void PlayerRealTime720p(benchmark::State& state) {
  const std::string path = Clip("mpeg1video");
  if (path.empty()) {
    state.SkipWithError("the ffmpeg program could not make the clip");
    return;
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MovieStats stats;
  double drift_ms = 0;
  for (auto _ : state) {
    if (!InitPlatformWith(BackendKind::kSdl) || ActiveBackend() != BackendKind::kSdl ||
        !OpenSoundDevice()) {
      state.SkipWithError("no SDL audio device");
      ShutdownPlatform();
      return;
    }
    MovieStartRequest request;
    request.path = path;
    request.rect = {0, 0, 1280, 720};
    WatchMoviePumps();
    if (StartMovie(request) != MovieStartStatus::kStarted) {
      state.SkipWithError("the clip does not start");
      return;
    }
    uint32_t first_ms = 0;
    int64_t first_clock = -1;
    while (!MovieEnded()) {
      PumpMovie();
      const int64_t clock = MovieClockUs();
      if (first_clock < 0 && clock > 0) {
        first_clock = clock;
        first_ms = NowMs();
      }
      if (!MovieEnded()) {
        stats = GetMovieStats();
        if (first_clock >= 0) {
          drift_ms = double(clock - first_clock) / 1000.0 - double(NowMs() - first_ms);
        }
      }
      SleepMs(16);
    }
    StopMovie();
    ShutdownPlatform();
  }
  state.counters["max_lag_ms"] = double(stats.max_lag_us) / 1000.0;
  state.counters["shown"] = double(stats.frames_shown);
  state.counters["skipped"] = double(stats.frames_skipped);
  state.counters["audio_minus_wall_ms"] = drift_ms;
}
BENCHMARK(PlayerRealTime720p)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
