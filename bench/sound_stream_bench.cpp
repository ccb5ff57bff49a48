// Streaming: one half refill (half a second) of a 44.1 kHz stereo Ogg Vorbis channel, the engine
// lock held by a sound-thread pass while 32 staggered Ogg channels stream (p50, p99 and the worst
// pass), and the lock held by the pass that runs a load-and-play request.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/named_tree.h"
#include "platform/platform.h"
#include "platform/sound_device.h"
#include "resource/data_file_lookup.h"
#include "sound/sound_channel.h"
#include "sound/sound_command_ring.h"
#include "sound/sound_engine.h"
#include "sound/sound_stream.h"
#include "sound/sound_stream_ops.h"

namespace korvel {
namespace {

// The sample game's music: two seconds of 44.1 kHz stereo Ogg Vorbis.
const char* const kMediaFolder = KORVEL_SOURCE_DIR "/samples/sample-game/media";

// A headless engine with a sound tree and the device's voices; the sound thread is not started:
// the benchmark runs its passes itself.
class SoundBench {
 public:
  SoundBench() {
    platform::InitPlatformWith(platform::BackendKind::kHeadless);
    InitEngineState();
    InitErrorReporting();
    InitSoundEngine();
    RegisterSoundTree();
    g_sound_tree.root = AllocTreeNode("", true);
    g_sound_tree.owner.build(&g_sound_tree, 0, 0);
    InitResourceLookup(kMediaFolder);
    platform::OpenSoundDevice();
    InstallSoundStreams(true);
  }
  ~SoundBench() {
    StopAllSounds();
    DestroyTreeNode(g_sound_tree.root, FreeSoundPayload);
    g_sound_tree.root = nullptr;
    InstallSoundStreams(false);
    platform::CloseSoundDevice();
    ShutdownResourceLookup();
    ShutdownErrorReporting();
    platform::ShutdownPlatform();
  }
  SoundBench(const SoundBench&) = delete;
  SoundBench& operator=(const SoundBench&) = delete;

  NamedTreeNode* AddChannel(const std::string& name) {
    NamedTreeNode* node = AllocTreeNode(name, false);
    InsertChildNode(g_sound_tree.root, node, 1);
    CreateSoundChannel(node)->kind = 1;
    return node;
  }
  // The clock moves on; the device mixes up to it before the pass, as SDL's audio thread would
  // (outside the engine lock).
  static void Advance(uint32_t ms, NamedTreeNode* any_voice) {
    platform::AdvanceClockForTest(ms);
    uint32_t play = 0, write = 0;
    platform::GetVoicePosition(ChannelVoice(static_cast<SoundChannel*>(any_voice->payload)), &play,
                               &write);
  }
  // One pass of the sound thread: it holds the engine lock from start to end. Milliseconds of
  // wall time (what another thread waiting for the lock sees, preemption included) and of this
  // thread's processor time (the work alone).
  struct PassTime {
    double wall_ms, cpu_ms;
  };
  static double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
  }
  static PassTime TimedPass() {
    const double cpu = ThreadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    RunSoundPass();
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::milli>(end - start).count(), ThreadCpuMs() - cpu};
  }
};

void HalfRefillOgg44100Stereo(benchmark::State& state) {
  SoundBench bench;
  NamedTreeNode* node = bench.AddChannel("music");
  PostSoundRequest(node, kSoundOpLoad, 0, "music.ogg");
  PostSoundRequest(node, kSoundOpPlay, 0);
  RunSoundPass();
  auto* channel = static_cast<SoundChannel*>(node->payload);
  if (channel->state != kSoundFadingIn && channel->state != kSoundPlaying) {
    state.SkipWithError("the music did not start");
    return;
  }
  for (auto _ : state) {
    if (FillNextHalf(channel) != 0) {
      state.SkipWithError("refill failed");
      break;
    }
  }
  // Half a second of audio per refill: seconds of audio decoded per second.
  state.counters["audio_s_per_s"] = benchmark::Counter(
      0.5 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(HalfRefillOgg44100Stereo)->Unit(benchmark::kMicrosecond);

void Percentiles(benchmark::State& state, const std::vector<SoundBench::PassTime>& passes) {
  if (passes.empty()) return;
  std::vector<double> wall, cpu;
  for (const auto& p : passes) {
    wall.push_back(p.wall_ms);
    cpu.push_back(p.cpu_ms);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  auto at = [](const std::vector<double>& v, double q) {
    return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
  };
  state.counters["p50_ms"] = at(wall, 0.50);
  state.counters["p99_ms"] = at(wall, 0.99);
  state.counters["worst_ms"] = wall.back();
  state.counters["cpu_p99_ms"] = at(cpu, 0.99);
}

// 32 channels of the two-second loop, started a pass apart in turn so their half refills spread
// over the passes as a game's would; then 20 ms passes (the idle period) for 40 seconds of play.
void SoundPassLockHold32Ogg(benchmark::State& state) {
  SoundBench bench;
  std::vector<NamedTreeNode*> nodes;
  for (int i = 0; i < 32; ++i) {
    nodes.push_back(bench.AddChannel("c" + std::to_string(i)));
    PostSoundRequest(nodes.back(), kSoundOpLoad, 0, "music.ogg");
    PostSoundRequest(nodes.back(), kSoundOpPlay, 0);
    RunSoundPass();
    SoundBench::Advance(kSoundIdlePeriodMs, nodes.front());
  }
  for (int i = 0; i < 50; ++i) {  // one second to settle
    RunSoundPass();
    SoundBench::Advance(kSoundIdlePeriodMs, nodes.front());
  }
  std::vector<SoundBench::PassTime> passes;
  for (auto _ : state) {
    const SoundBench::PassTime t = SoundBench::TimedPass();
    state.SetIterationTime(t.wall_ms / 1000.0);
    passes.push_back(t);
    SoundBench::Advance(kSoundIdlePeriodMs, nodes.front());
  }
  Percentiles(state, passes);
}
BENCHMARK(SoundPassLockHold32Ogg)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMillisecond);

// The pass that serves one script request: load the Ogg file, open it, seek and decode the first
// half (command 72 with a file and parameter 3 = 1); and a volume request beside it.
void SoundRequestLockHold(benchmark::State& state) {
  const bool play = state.range(0) == 1;
  SoundBench bench;
  NamedTreeNode* node = bench.AddChannel("se");
  std::vector<SoundBench::PassTime> passes;
  for (auto _ : state) {
    if (play) {
      PostSoundRequest(node, kSoundOpStop, 0);
      RunSoundPass();
      PostSoundRequest(node, kSoundOpLoad, 0, "music.ogg");
      PostSoundRequest(node, kSoundOpPlay, 0);
    } else {
      PostSoundRequest(node, kSoundOpSetVolume, 200);
    }
    const SoundBench::PassTime t = SoundBench::TimedPass();
    state.SetIterationTime(t.wall_ms / 1000.0);
    passes.push_back(t);
  }
  Percentiles(state, passes);
}
BENCHMARK(SoundRequestLockHold)->Arg(1)->Arg(0)->ArgName("load_and_play")->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvel
