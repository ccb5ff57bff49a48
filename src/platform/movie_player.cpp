// The movie player: a decode thread filling two queues (scaled frames, 16-bit stereo audio) and the
// frame-step side that feeds the voice, keeps the clock and picks the frame to show.
#include "platform/movie_player.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/frame_overlay.h"
#include "platform/movie_decoder.h"
#include "platform/sound_device.h"

namespace korvel::platform {

namespace {

constexpr uint32_t kFrameBytes = 4;                        // 16-bit stereo
constexpr uint64_t kLeadFrames = kMixRate / 4;             // audio kept ahead of the play cursor
constexpr uint64_t kSilenceAfterFrames = kMixRate / 2;     // zeros past the data, for underruns
constexpr uint64_t kMaxLeadSilence = 5ull * kMixRate;      // silence before late-starting audio
constexpr size_t kSoftVideoFrames = 6;
constexpr uint64_t kSoftAudioFrames = kMixRate / 2;
constexpr size_t kHardVideoFrames = 64;
constexpr size_t kHardVideoBytes = size_t{256} << 20;
constexpr uint64_t kHardAudioFrames = 10ull * kMixRate;
constexpr int32_t kMaxPictureSide = 4096;  // larger rectangles are stretched from this size

struct Player {
  std::mutex lock;
  std::condition_variable wake;
  std::thread thread;
  MovieDecoder decoder;
  MovieStreamInfo info;

  // Shared with the decode thread (under `lock`).
  bool running = false;
  bool done = false;
  std::deque<MovieVideoFrame> video;
  size_t video_bytes = 0;
  std::vector<int16_t> audio;  // samples not yet written to the voice, from audio_read on
  size_t audio_read = 0;
  bool audio_seen = false;
  uint64_t audio_data_frames = 0;  // every frame the decoder delivered, lead silence included
  int64_t video_end_us = 0;

  // Frame-step side.
  bool active = false;
  bool ended = false;
  WindowId window = kNoWindow;
  MovieRect rect;
  VoiceId voice = 0;
  bool voice_started = false;
  int32_t volume_mb = 0;
  uint64_t written_frames = 0;  // frames written to the ring (data, then silence at the end)
  uint64_t played_frames = 0;
  uint64_t audio_debt = 0;  // frames the voice played as silence that the queue still holds
  uint32_t last_play = 0;
  uint32_t last_play_ms = 0;  // when the play cursor was last read
  uint32_t ring_bytes = 0;
  uint32_t start_ms = 0;

  // The picture shown (the overlay reads it under `lock`).
  MovieVideoFrame current;
  bool has_current = false;
};

Player g_player;
std::atomic<MoviePumpWatcher> g_pump_watcher{nullptr};

uint64_t QueuedAudioFrames() { return (g_player.audio.size() - g_player.audio_read) / 2; }

// The decode thread must wait: both queues stocked, or one of them at its hard limit.
bool QueuesFull() {
  const Player& p = g_player;
  const bool video_full = !p.info.has_video || p.video.size() >= kSoftVideoFrames;
  const bool audio_full = !p.info.has_audio || QueuedAudioFrames() >= kSoftAudioFrames;
  return (video_full && audio_full) || p.video.size() >= kHardVideoFrames ||
         p.video_bytes >= kHardVideoBytes || QueuedAudioFrames() >= kHardAudioFrames;
}

void DecodeLoop() {
  Player& p = g_player;
  MovieVideoFrame frame;
  std::vector<int16_t> samples;
  for (;;) {
    {
      std::unique_lock lock(p.lock);
      p.wake.wait(lock, [] { return !g_player.running || !QueuesFull(); });
      if (!p.running) return;
    }
    samples.clear();
    int64_t audio_time_us = 0;
    const MovieDecoder::Item item = p.decoder.Next(&frame, &samples, &audio_time_us);
    std::lock_guard lock(p.lock);
    if (item == MovieDecoder::Item::kEnd) {
      p.done = true;
      p.wake.notify_all();
      return;
    }
    if (item == MovieDecoder::Item::kVideo) {
      p.video_end_us = std::max(p.video_end_us, frame.time_us + frame.duration_us);
      p.video_bytes += frame.bgra.size();
      p.video.push_back(std::move(frame));
      frame = MovieVideoFrame{};
    } else if (p.info.has_audio) {
      if (p.audio_read > 0 && p.audio_read * 2 >= p.audio.size()) {
        p.audio.erase(p.audio.begin(), p.audio.begin() + static_cast<std::ptrdiff_t>(p.audio_read));
        p.audio_read = 0;
      }
      if (!p.audio_seen) {
        // Audio that starts after the movie's start begins with silence, so both keep time.
        p.audio_seen = true;
        const uint64_t lead = static_cast<uint64_t>(std::clamp<int64_t>(audio_time_us, 0, 5000000)) *
                              kMixRate / 1000000;
        p.audio.insert(p.audio.end(), std::min(lead, kMaxLeadSilence) * 2, int16_t{0});
        p.audio_data_frames += std::min(lead, kMaxLeadSilence);
      }
      p.audio.insert(p.audio.end(), samples.begin(), samples.end());
      p.audio_data_frames += samples.size() / 2;
    }
    p.wake.notify_all();
  }
}

// Copies the picture into a frame at `rect`, clipped; stretched by nearest neighbour when its size
// differs. Called under the lock.
void DrawPictureLocked(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                       const MovieRect& rect) {
  const Player& p = g_player;
  if (!p.has_current || rect.width <= 0 || rect.height <= 0) return;
  const MovieVideoFrame& f = p.current;
  if (f.width < 1 || f.height < 1) return;
  const int64_t x0 = std::max<int64_t>(rect.left, 0);
  const int64_t y0 = std::max<int64_t>(rect.top, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{rect.left} + rect.width, width);
  const int64_t y1 = std::min<int64_t>(int64_t{rect.top} + rect.height, height);
  if (x0 >= x1 || y0 >= y1) return;
  const bool same = f.width == rect.width && f.height == rect.height;
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = same ? y - rect.top : (y - rect.top) * f.height / rect.height;
    const uint8_t* src = f.bgra.data() + static_cast<size_t>(sy) * static_cast<size_t>(f.width) * 4;
    uint8_t* dst = bgra + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    if (same) {
      std::memcpy(dst + x0 * 4, src + (x0 - rect.left) * 4, static_cast<size_t>(x1 - x0) * 4);
      continue;
    }
    for (int64_t x = x0; x < x1; ++x) {
      const int64_t sx = (x - rect.left) * f.width / rect.width;
      std::memcpy(dst + x * 4, src + sx * 4, 4);
    }
  }
}

// The overlay: the picture at the movie's rectangle of the client area.
void DrawMovieOverlay(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                      int32_t client_top) {
  if (client_top >= height) return;
  std::lock_guard lock(g_player.lock);
  DrawPictureLocked(bgra + static_cast<size_t>(client_top) * static_cast<size_t>(pitch), width,
                    height - client_top, pitch, g_player.rect);
}

void WriteRing(const int16_t* samples, uint64_t frames) {
  Player& p = g_player;
  std::vector<uint8_t> zeros;
  while (frames > 0) {
    const uint32_t offset = static_cast<uint32_t>((p.written_frames * kFrameBytes) % p.ring_bytes);
    const uint64_t room = (p.ring_bytes - offset) / kFrameBytes;
    const uint32_t n = static_cast<uint32_t>(std::min(frames, room));
    if (samples != nullptr) {
      WriteVoice(p.voice, offset, samples, n * kFrameBytes);
      samples += n * 2;
    } else {
      zeros.assign(n * kFrameBytes, 0);
      WriteVoice(p.voice, offset, zeros.data(), n * kFrameBytes);
    }
    p.written_frames += n;
    frames -= n;
  }
}

// Silence past the written data, so a late decoder makes a gap instead of old sound.
void ClearAhead() {
  Player& p = g_player;
  const uint64_t keep = p.written_frames;
  WriteRing(nullptr, kSilenceAfterFrames);
  p.written_frames = keep;
}

// Brings the played count up to the voice's play cursor; an underrun moves writing on to it.
void UpdatePlayed() {
  Player& p = g_player;
  if (!p.voice_started) return;
  uint32_t play = 0, write = 0;
  if (!GetVoicePosition(p.voice, &play, &write)) return;
  uint64_t delta = ((play + p.ring_bytes - p.last_play) % p.ring_bytes) / kFrameBytes;
  // The cursor wraps once a second: after a longer stall the time passed tells how many whole
  // rings went by.
  const uint32_t now = NowMs();
  const uint64_t ring_frames = p.ring_bytes / kFrameBytes;
  const uint64_t by_time = uint64_t{now - p.last_play_ms} * kMixRate / 1000;
  if (by_time > delta + ring_frames / 2) delta += (by_time - delta + ring_frames / 2) / ring_frames * ring_frames;
  p.played_frames += delta;
  p.last_play = play;
  p.last_play_ms = now;
  if (p.played_frames > p.written_frames) {
    // An underrun: the sound for that time is dropped, so sound and pictures keep time.
    p.audio_debt += p.played_frames - p.written_frames;
    p.written_frames = p.played_frames;
  }
}

// Writes queued audio up to the lead (silence once the decoder is done); starts the voice once
// something is there. Called under the lock.
void FeedVoice() {
  Player& p = g_player;
  if (p.voice == 0) return;
  UpdatePlayed();
  const uint64_t dropped = std::min(p.audio_debt, QueuedAudioFrames());
  p.audio_read += static_cast<size_t>(dropped) * 2;
  p.audio_debt -= dropped;
  const uint64_t target = p.played_frames + kLeadFrames;
  bool wrote = false;
  if (p.written_frames < target) {
    const uint64_t n = std::min(target - p.written_frames, QueuedAudioFrames());
    if (n > 0) {
      WriteRing(p.audio.data() + p.audio_read, n);
      p.audio_read += static_cast<size_t>(n) * 2;
      wrote = true;
    }
    if (p.done && QueuedAudioFrames() == 0 && p.written_frames < target) {
      WriteRing(nullptr, target - p.written_frames);
      wrote = true;
    }
  }
  if (wrote) ClearAhead();
  if (!p.voice_started && (wrote || p.done)) {
    SetVoicePosition(p.voice, 0);
    p.last_play = 0;
    p.last_play_ms = NowMs();
    p.voice_started = PlayVoice(p.voice, true);
  }
}

int64_t ClockLocked() {
  const Player& p = g_player;
  if (p.voice != 0) {
    return static_cast<int64_t>(p.played_frames * 1000000 / kMixRate);
  }
  return static_cast<int64_t>(static_cast<uint32_t>(NowMs() - p.start_ms)) * 1000;
}

// Headless: the decoder has delivered every frame up to `clock_us` and the audio lead (or can
// deliver nothing more now).
bool CaughtUp(int64_t clock_us) {
  const Player& p = g_player;
  if (p.done || QueuesFull()) return true;
  // A frame past the clock is there, so every frame up to it is too.
  const bool video_ok =
      !p.info.has_video || (!p.video.empty() && p.video.back().time_us > clock_us);
  const bool audio_ok = p.voice == 0 ||
                        p.written_frames + QueuedAudioFrames() >= p.played_frames + kLeadFrames;
  return video_ok && audio_ok;
}

// Takes every frame whose time has come; the last becomes the picture. True when it changed.
bool TakeDueFrames(int64_t clock_us, MoviePumpReport* report) {
  Player& p = g_player;
  bool changed = false;
  while (!p.video.empty() && p.video.front().time_us <= clock_us) {
    if (changed) report->frames_skipped += 1;
    p.video_bytes -= p.video.front().bgra.size();
    p.current = std::move(p.video.front());
    p.video.pop_front();
    p.has_current = true;
    changed = true;
  }
  if (changed) {
    report->frames_shown += 1;
    report->last_lag_us = clock_us - p.current.time_us;
    report->max_lag_us = std::max(report->max_lag_us, report->last_lag_us);
  }
  return changed;
}

void ReportPump(const MoviePumpReport& report) {
  const MoviePumpWatcher watcher = g_pump_watcher.load();
  if (watcher != nullptr) watcher(report);
}

void JoinThread() {
  {
    std::lock_guard lock(g_player.lock);
    g_player.running = false;
  }
  g_player.wake.notify_all();
  if (g_player.thread.joinable()) g_player.thread.join();
}

}  // namespace

MovieStartStatus StartMovie(const MovieStartRequest& request) {
  StopMovie();
  Player& p = g_player;
  const MovieOpenStatus opened = p.decoder.Open(request.path);
  if (opened == MovieOpenStatus::kOpenFailed) return MovieStartStatus::kOpenFailed;
  if (opened == MovieOpenStatus::kDecodeFailed) return MovieStartStatus::kDecodeFailed;
  p.info = p.decoder.Info();
  p.decoder.SetVideoOutputSize(std::clamp(request.rect.width, 1, kMaxPictureSide),
                               std::clamp(request.rect.height, 1, kMaxPictureSide));
  p.window = request.window;
  p.rect = request.rect;
  p.volume_mb = std::clamp(request.volume_mb, kVolumeSilent, 0);
  p.active = true;
  p.start_ms = NowMs();
  if (p.info.has_audio && SoundDeviceOpen()) {
    PcmFormat format;
    format.channels = 2;
    format.rate = kMixRate;
    format.bits = 16;
    format.block_align = kFrameBytes;
    format.bytes_per_second = kMixRate * kFrameBytes;
    if (CreateVoice(format, &p.voice) == 0) {
      p.ring_bytes = VoiceBufferBytes(p.voice);
      SetVoiceVolume(p.voice, p.volume_mb);
    } else {
      p.voice = 0;
    }
  }
  // Without a voice the audio is not decoded for anything: the millisecond clock leads.
  if (p.voice == 0) p.info.has_audio = false;
  if (!p.info.has_video && !p.info.has_audio) {
    // Sound alone with nowhere to play it: nothing to decode, so the next step ends the movie.
    p.decoder.Close();
    p.done = true;
  } else {
    p.running = true;
    p.thread = std::thread(DecodeLoop);
  }
  SetFrameOverlay(OverlaySlot::kMovie, p.window, DrawMovieOverlay);
  return MovieStartStatus::kStarted;
}

void StopMovie() {
  Player& p = g_player;
  if (!p.active && !p.thread.joinable()) return;
  SetFrameOverlay(OverlaySlot::kMovie, p.window, nullptr);
  JoinThread();
  if (p.voice != 0) DestroyVoice(p.voice);
  p.decoder.Close();
  const int32_t volume = p.volume_mb;
  p.info = MovieStreamInfo{};
  p.done = false;
  p.video.clear();
  p.video_bytes = 0;
  p.audio.clear();
  p.audio_read = 0;
  p.audio_seen = false;
  p.audio_data_frames = 0;
  p.video_end_us = 0;
  p.active = p.ended = false;
  p.window = kNoWindow;
  p.rect = MovieRect{};
  p.voice = 0;
  p.voice_started = false;
  p.written_frames = p.played_frames = p.audio_debt = 0;
  p.last_play = p.last_play_ms = p.ring_bytes = p.start_ms = 0;
  p.current = MovieVideoFrame{};
  p.has_current = false;
  p.volume_mb = volume;
}

bool MovieActive() { return g_player.active; }
bool MovieEnded() { return g_player.ended; }

void SetMovieVolume(int32_t millibels) {
  g_player.volume_mb = std::clamp(millibels, kVolumeSilent, 0);
  if (g_player.voice != 0) SetVoiceVolume(g_player.voice, g_player.volume_mb);
}

int32_t MovieVolume() { return g_player.volume_mb; }

bool PumpMovie() {
  Player& p = g_player;
  if (!p.active || p.ended) return false;
  bool changed = false;
  bool end = false;
  MoviePumpReport report;
  {
    std::unique_lock lock(p.lock);
    FeedVoice();
    int64_t clock = ClockLocked();
    report.clock_us = clock;
    if (IsHeadless()) {
      // Wait for the decoder, writing audio as it comes, so the run does not depend on its pace.
      // Taking and writing first leaves only what lies ahead in the queues, so stocked queues
      // also mean caught up.
      for (;;) {
        changed = TakeDueFrames(clock, &report) || changed;
        FeedVoice();
        if (CaughtUp(clock)) break;
        p.wake.notify_all();  // what was taken may have made room for the decoder
        p.wake.wait(lock);
      }
    }
    changed = TakeDueFrames(clock, &report) || changed;
    p.wake.notify_all();
    const int64_t audio_end_us = static_cast<int64_t>(p.audio_data_frames * 1000000 / kMixRate);
    end = p.done && p.video.empty() && QueuedAudioFrames() == 0 &&
          clock >= std::max(p.video_end_us, p.voice != 0 ? audio_end_us : 0);
  }
  ReportPump(report);
  if (end) {
    p.ended = true;
    SetFrameOverlay(OverlaySlot::kMovie, p.window, nullptr);
    JoinThread();
    if (p.voice != 0) StopVoice(p.voice);
    Event e;
    e.kind = EventKind::kMovieEnd;
    e.window = p.window;
    e.engine_index = 0;
    e.value = 1;
    PostEvent(std::move(e));
    return true;
  }
  return changed;
}

void SetMoviePumpWatcher(MoviePumpWatcher watcher) { g_pump_watcher.store(watcher); }

}  // namespace korvel::platform
