// Drawing the menu bar (640 wide, five menus) and a ten-item popup, as the engine draws them each
// frame a menu is open; a memcpy of the same pixels is the reference figure.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands/menu_draw.h"
#include "commands/menu_sets.h"
#include "platform/fonts.h"

namespace korvel {
namespace {

Menu MakeMenu(int32_t items, bool japanese) {
  Menu m;
  m.used = 1;
  for (int32_t i = 0; i < items; ++i) {
    MenuEntry e;
    if (i == 3) {
      e.kind = MenuEntryKind::kSeparator;
    } else {
      // "ファイル" in code page 932, or a plain text.
      e.text = japanese ? "\x83\x74\x83\x40\x83\x43\x83\x8b(&F)" : "Item " + std::to_string(i);
      e.id = static_cast<uint32_t>(100 + i);
      e.checked = i == 1 ? 1 : 0;
      e.greyed = i == 2 ? 1 : 0;
      if (i == 5) e.kind = MenuEntryKind::kSubmenu;
    }
    m.entries.push_back(e);
  }
  return m;
}

void BM_DrawMenuBar(benchmark::State& state) {
  OpenMenuFont();
  const Menu bar = MakeMenu(5, true);
  const MenuLayout layout = LayoutMenuBar(bar, 640);
  std::vector<uint8_t> pixels(static_cast<size_t>(layout.width) * layout.height * 4);
  const MenuCanvas canvas{pixels.data(), layout.width, layout.height, layout.width * 4};
  int32_t hot = 0;
  for (auto _ : state) {
    DrawMenuBar(bar, layout, hot, canvas);
    hot = (hot + 1) % 5;
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
}
BENCHMARK(BM_DrawMenuBar);

void BM_DrawPopupMenu(benchmark::State& state) {
  OpenMenuFont();
  const Menu popup = MakeMenu(10, state.range(0) != 0);
  const MenuLayout layout = LayoutPopupMenu(popup);
  std::vector<uint8_t> pixels(static_cast<size_t>(layout.width) * layout.height * 4);
  const MenuCanvas canvas{pixels.data(), layout.width, layout.height, layout.width * 4};
  int32_t hot = 0;
  for (auto _ : state) {
    DrawPopupMenu(popup, layout, hot, canvas);
    hot = (hot + 1) % 10;
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
}
BENCHMARK(BM_DrawPopupMenu)->Arg(0)->Arg(1);

// The reference: copying as many bytes as the bar holds.
void BM_MemcpyBarBytes(benchmark::State& state) {
  std::vector<uint8_t> a(640 * kMenuBarHeight * 4, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_MemcpyBarBytes);

}  // namespace
}  // namespace korvel
