// The mixer: 32 voices of mixed formats and rates into 1024 stereo frames (one SDL callback).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "platform/sound_mixer.h"

namespace {

using korvel::platform::MixVoice;

void MixerThirtyTwoVoices(benchmark::State& state) {
  std::vector<MixVoice> voices(32);
  std::vector<MixVoice*> list;
  std::mt19937 random(3);
  for (size_t i = 0; i < voices.size(); ++i) {
    korvel::platform::PcmFormat f;
    f.channels = i % 2 ? 2 : 1;
    f.rate = i % 3 ? 44100 : 22050;
    f.bits = i % 4 == 3 ? 8 : 16;
    f.block_align = static_cast<uint16_t>(f.channels * f.bits / 8);
    f.bytes_per_second = f.rate * f.block_align;
    korvel::platform::InitMixVoice(&voices[i], f);
    for (auto& b : voices[i].ring) b = static_cast<uint8_t>(random());
    voices[i].playing = voices[i].looping = true;
    voices[i].volume_mb = -static_cast<int32_t>(i * 50);
    voices[i].pan_mb = static_cast<int32_t>(i * 100) - 1600;
    korvel::platform::UpdateVoiceGains(&voices[i]);
    // Speeds other than normal on a third of them.
    if (i % 3 == 1) korvel::platform::SetMixVoiceFrequency(&voices[i], f.rate * 3 / 4);
    list.push_back(&voices[i]);
  }
  std::vector<int16_t> out(2 * 1024);
  for (auto _ : state) {
    korvel::platform::MixVoices(list.data(), list.size(), out.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * 32 * 1024);
}
BENCHMARK(MixerThirtyTwoVoices)->Unit(benchmark::kMicrosecond);

}  // namespace
