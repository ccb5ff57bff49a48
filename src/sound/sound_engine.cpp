// The sound engine: the sound thread's start and stop, one pass (focus pause, requests, fades,
// positions, refills), the release of every channel at its end and the numbered error box.
#include "sound/sound_engine.h"

#include <future>
#include <mutex>
#include <thread>

#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/window_record.h"
#include "platform/platform.h"
#include "sound/live_channel_walks.h"
#include "sound/sound_channel_ops.h"
#include "sound/sound_command_ring.h"
#include "sound/sound_fades.h"
#include "sound/sound_opcodes.h"
#include "sound/sound_tree_pause.h"
#include "sound/sound_tree_walk.h"

namespace korvel {

SoundEngineState g_sound_engine;

namespace {

// Joined, never detached: the thread still leaves the virtual clock (a platform call) after raising
// its ended flag, so shutdown must not take the platform down before the thread is gone.
std::thread g_sound_thread;

struct ErrorText {
  int32_t codes[6];
  const char* text;
};

constexpr const char* kInternalError =
    "エラー番号：%d\n\nサウンド関係で内部エラーが発生しました。処理を停止します。\n\n"
    "このエラーが発生した場合、宜しければエラー番号と一緒に\nシステム制作者までご報告いただけますと"
    "非常に助かります。";

constexpr ErrorText kErrorTexts[] = {
    {{-1, -310, -330, -410, -430, -1010}, "エラー番号：%d\n\nサウンドバッファがありませんでした。"},
    {{-110, -120, -440}, "エラー番号：%d\n\nサウンド再生エラーです。"},
    {{-320, -340, -420}, "エラー番号：%d\n\nサウンド再生位置取得エラーです。"},
    {{-1020}, "エラー番号：%d\n\nファイルが開けませんでした。"},
    {{-1030}, "エラー番号：%d\n\noggファイルとして正しく認識できませんでした。"},
    {{-1040}, "エラー番号：%d\n\nシークできないoggファイルでした。"},
    {{-1045}, "複数曲連結OGGには対応していません。"},
    {{-1050}, "エラー番号：%d\n\noggファイルの詳細を取得できませんでした。"},
    {{-1060, -1080}, "エラー番号：%d\n\nDirectSoundバッファエラーです。"},
    {{-1070, -1090}, "エラー番号：%d\n\nDirectSoundバッファが確保できませんでした。"},
    {{-1120}, "エラー番号：%d\n\nDirectSoundバッファ作成エラーです。"},
    {{-2020, -3020}, "エラー番号：%d\n\noggファイルをシークできませんでした。"},
    {{-2010, -3010}, "エラー番号：%d\n\noggファイルを正しく開けませんでした。"},
    {{-3030}, "エラー番号：%d\n\nサウンドバッファに書き込みできませんでした。"},
    {{-3040}, "エラー番号：%d\n\nサウンドバッファをロックできませんでした。"},
    {{-3050}, "エラー番号：%d\n\nサウンドバッファをアンロックできませんでした。"},
    {{-90002, -90001}, "エラー番号：%d\n\noggデコードエラーです。"},
};

uint8_t MainWindowFocused() {
  for (WindowRecord* window : g_windows) {
    if (window != nullptr && window->main_flag != 0) return window->focus.load();
  }
  return 1;  // no main window (yet): nothing to lose the focus
}

// Pauses the tree while the engine is paused or, unless the engine keeps running while inactive,
// while the main window lacks the focus; resumes it when both are over.
void UpdateFocusPause() {
  NamedTreeNode* root = g_sound_tree.root;
  if (root == nullptr) return;
  const bool keep = g_keep_running_inactive.load() != 0;
  const bool focused = MainWindowFocused() != 0;
  SoundEngineState& engine = g_sound_engine;
  // The engine's pause byte: the engine timers' pause, which the frame step keeps.
  const bool engine_paused = g_engine_timers.paused.load() != 0;
  if (engine_paused) {
    if (engine.focus_paused == 0 || !keep) {
      engine.focus_paused = 1;
      SetTreePaused(root, 1);
    }
  } else if (!keep && !focused && engine.focus_paused == 0) {
    engine.focus_paused = 1;
    SetTreePaused(root, 1);
  }
  if (engine.focus_paused != 0 && !engine_paused && (keep || focused)) {
    engine.focus_paused = 0;
    SetTreePaused(root, 0);
  }
}

void SoundThreadMain(std::promise<void>* joined) {
  // The starter holds the clock's turn while it waits: it must be let go as soon as this thread is
  // on the clock, not once this thread has the turn, or both stall until the clock gives up waiting
  // and the two then run at once.
  platform::JoinClockThread(
      [](void* promise) { static_cast<std::promise<void>*>(promise)->set_value(); }, joined);
  {
    std::lock_guard lock(EngineLock());
    g_engine.sound_thread_ended = 0;
  }
  int32_t result = 0;
  while (result == 0) {
    platform::SleepMs(SoundPassPeriod());
    result = RunSoundPass();
  }
  if (result < 0) ShowSoundError(result);
  StopAllSounds();
  // The ended flag goes up while this thread still holds the clock's turn: a thread waiting for it
  // then sees it on its next turn. Raised after leaving, the waiter would be alone on the clock and
  // each of its 1 ms polls would move the clock on until this thread got the engine lock.
  {
    std::lock_guard lock(EngineLock());
    g_engine.sound_thread_ended = 1;
  }
  platform::SetClockThread(false);
}

bool SoundThreadRunning() { return g_engine.sound_thread_ended.load() == 0; }

}  // namespace

bool SoundEnabled() { return g_sound_engine.sound_on != 0; }

const char* SoundErrorText(int32_t code) {
  for (const ErrorText& entry : kErrorTexts) {
    for (int32_t listed : entry.codes) {
      if (listed != 0 && listed == code) return entry.text;
    }
  }
  return kInternalError;
}

void ShowSoundError(int32_t code) {
  ShowMessageF("DEBUG Message", Sjis(SoundErrorText(code)), -code);
  SetQuitFlag();
}

uint32_t SoundPassPeriod() {
  std::lock_guard lock(EngineLock());
  return g_sound_ring.read != g_sound_ring.write ? kSoundBusyPeriodMs : kSoundIdlePeriodMs;
}

int32_t RunSoundCommands() {
  SoundCommandRing& ring = g_sound_ring;
  while (ring.read != ring.write) {
    SoundCommandSlot& slot = ring.slots[ring.read];
    if (slot.node != nullptr) {
      const int32_t result = RunSoundRequest(slot);
      if (result < 0) return result;
      if (result == 0) return 0;
    }
    slot.done.store(1);
    ring.read = (ring.read + 1) % kSoundRingSlots;
  }
  return 0;
}

int32_t RunSoundPass() {
  std::lock_guard lock(EngineLock());
  UpdateFocusPause();
  int32_t result = RunSoundCommands();
  if (result < 0) return result;
  UpdateFades(g_sound_tree.root);
  result = TrackPlayPositions(g_sound_tree.root);
  if (result < 0) return result;
  result = RefillStreams(g_sound_tree.root);
  if (result < 0) return result;
  result = TakeSoundError();
  if (result < 0) return result;
  return QuitRequested() ? 1 : 0;
}

int32_t CreateRootSoundNode() {
  NamedTreeNode* node = nullptr;
  {
    std::lock_guard lock(EngineLock());
    if (g_sound_tree.root == nullptr) return -1;
    node = CreateTreeNode(g_sound_tree.root, "ROOT", false, kRootSoundOrderKey);
    if (node == nullptr) return -1;
    SoundChannel* channel = CreateSoundChannel(node);
    if (channel == nullptr) return -1;
    channel->kind = 2;
  }
  PostSoundRequest(node, kSoundOpSetVolume, 2);
  PostSoundRequest(node, kSoundOpLoad, 0, "");
  PostSoundRequest(node, kSoundOpPlay, 0);
  return 0;
}

int32_t StartSoundEngine() {
  InitSoundRing();
  if (!SoundThreadRunning()) {
    JoinSoundThread();  // one that ended by itself (an error) is collected first
    {
      std::lock_guard lock(EngineLock());
      g_engine.sound_thread_ended = 0;
    }
    // The start waits until the thread is on the virtual clock, so headless runs repeat exactly.
    std::promise<void> joined;
    g_sound_thread = std::thread(SoundThreadMain, &joined);
    joined.get_future().wait();
  }
  g_sound_engine.started = 1;
  if (SoundEnabled()) return CreateRootSoundNode();
  return 0;
}

void JoinSoundThread() {
  if (g_sound_thread.joinable()) g_sound_thread.join();
}

void StopSoundEngine() {
  if (SoundThreadRunning()) {
    SetQuitFlag();
    while (SoundThreadRunning()) platform::SleepMs(1);
  }
  JoinSoundThread();
  g_sound_engine.started = 0;
}

void InitSoundEngine() {
  StopSoundEngine();
  const uint8_t sound_on = g_sound_engine.sound_on;
  g_sound_engine = SoundEngineState{};
  g_sound_engine.sound_on = sound_on;
  TakeSoundError();
  InitSoundRing();
}

void StopAllSounds() {
  platform::SleepMs(20);
  std::lock_guard lock(EngineLock());
  auto visit = [](NamedTreeNode* n) {
    SoundChannel* channel = ChannelOf(n);
    if (channel != nullptr) ReleaseChannel(channel);
    return 0;
  };
  WalkSoundTree(g_sound_tree.root, visit);
}

}  // namespace korvel
