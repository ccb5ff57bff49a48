// Playing one full message of 8,190 bytes (4,095 two-byte characters) with the skip key held: the
// player, the line wrapper and the glyph drawing of every character, into a layer large enough
// that nothing is dropped. Appending the text is not timed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/error_report.h"
#include "core/input_state.h"
#include "core/named_tree.h"
#include "layer/layer_data.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "script/script_task.h"
#include "text/font_registry.h"
#include "text/message_append.h"
#include "text/message_player.h"
#include "text/message_text_state.h"

namespace {

using namespace korvel;

constexpr int32_t kLayerW = 1600, kLayerH = 1280;

// 8,190 bytes of Japanese text with kana, kanji and punctuation.
std::string MessageText() {
  const std::string cycle = platform::Utf8ToCp932(
      "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。「何でも薄暗い」");
  std::string text;
  while (text.size() + 2 <= 8190) {
    text += cycle.substr(text.size() % cycle.size(), 2);
  }
  return text;
}

void BM_PlayMessageWithSkip(benchmark::State& state) {
  platform::InitPlatformWith(platform::BackendKind::kHeadless);
  InitErrorReporting();
  if (EnumerateFonts() != 0 || CreateMessageTextState() != 0) {
    state.SkipWithError("no fonts or no memory");
    return;
  }
  InitMessagePlayer();
  std::vector<uint8_t> pixels(static_cast<size_t>(kLayerW) * 4 * (kLayerH + 1) + 4, 0);
  LayerData layer{};
  layer.width = kLayerW;
  layer.height = kLayerH;
  layer.pixels = pixels.data();
  NamedTreeNode node{};
  node.payload = &layer;
  const std::string text = MessageText();
  g_keys = KeyStateTable{};
  g_keys.counter[17] = 5;  // Ctrl held: skip
  ScriptTask task{};
  for (auto _ : state) {
    state.PauseTiming();
    g_message->finished = 1;
    ClearFinishedMessage();
    g_message->target = &node;
    g_message->char_delay = 50;
    g_message->pen_x = g_message->pen_y = 0;
    AppendMessageCharacters(reinterpret_cast<const uint8_t*>(text.data()),
                            static_cast<int32_t>(text.size()));
    task.message_busy = 1;
    state.ResumeTiming();
    UpdateMessageText(&task);
    benchmark::DoNotOptimize(pixels.data());
  }
  if (task.message_busy != 0) state.SkipWithError("the message did not end in one tick");
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size() / 2));
  FreeMessageTextState();
  FreeFonts();
  ShutdownErrorReporting();
  platform::ShutdownPlatform();
}
BENCHMARK(BM_PlayMessageWithSkip)->Unit(benchmark::kMillisecond);

}  // namespace
