// Commands 56, 57 and 58, and showing the movie over window 0's last presented frame.
#include "commands/movie_commands.h"

#include <algorithm>
#include <vector>

#include "commands/movie_arithmetic.h"
#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/program_paths.h"
#include "core/shift_jis.h"
#include "core/subsystem_hooks.h"
#include "core/volume_millibels.h"
#include "core/window_record.h"
#include "layer/dirty_rects.h"
#include "layer/layer_data.h"
#include "layer/layer_record.h"
#include "platform/file_system.h"
#include "platform/movie_player.h"
#include "platform/platform.h"
#include "render/frame_presentation.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel {

MovieCommandState g_movie;

namespace {

constexpr int32_t kErrorFileNotFound = 104060;
constexpr int32_t kErrorGraphOpen = 101510;
constexpr int32_t kErrorGraphDecode = 101520;


bool GraphPlayer() { return g_settings.draw_condition == 1; }

WindowRecord* MainWindow() {
  WindowRecord* w = g_windows[0];
  return w != nullptr && w->handle != platform::kNoWindow ? w : nullptr;
}

void LogicalSize(int32_t* width, int32_t* height) {
  const WindowRecord* w = g_windows[0];
  *width = w != nullptr ? w->logical_width : 0;
  *height = w != nullptr ? w->logical_height : 0;
}

void EnsureDefaultSize() {
  if (g_movie.size_set) return;
  LogicalSize(&g_movie.width, &g_movie.height);
  g_movie.size_set = g_windows[0] != nullptr;
}

// A script's file name as the commands keep it: ASCII lower-cased, '/' turned into '\'. False
// when it is longer than a Windows path may be (the name is converted all the same, for the report).
bool NormalizeMovieName(const DecodedArgument* arg, std::string* name) {
  const char* text = arg != nullptr && arg->text != nullptr ? arg->text : "";
  const size_t length = arg != nullptr && arg->text != nullptr ? arg->text_length : 0;
  const size_t end = std::find(text, text + length, '\0') - text;
  *name = LookupName(std::string_view(text, end));
  return end <= kMaxMovieName;
}

// The loose file a name gives in the game folder, when it opens for reading (packs never count).
bool FindLooseFile(const std::string& name, std::string* real_path) {
  bool is_folder = false;
  if (name.empty() ||
      platform::ResolveSjisPath(g_paths.game_folder, name, real_path, &is_folder) !=
          platform::FileStatus::kOk ||
      is_folder) {
    return false;
  }
  char byte = 0;
  size_t got = 0;
  return platform::ReadFileHead(*real_path, &byte, 1, &got) == platform::FileStatus::kOk;
}

// The movie's volume on the player that settings field 0 names.
int32_t PlayerVolumeMillibels() {
  return GraphPlayer() ? VolumeToMillibels(g_movie.volume)
                       : LinearLevelMillibels(MciVolumeLevel(g_movie.volume));
}

platform::MovieRect TargetRect() {
  MovieGeometry g;
  g.x = g_movie.x;
  g.y = g_movie.y;
  g.width = g_movie.width;
  g.height = g_movie.height;
  g.offset_x = g_display.offset_x;
  g.offset_y = g_display.offset_y;
  LogicalSize(&g.logical_width, &g.logical_height);
  g.display_width = g_display.display_width;
  g.display_height = g_display.display_height;
  if (!GraphPlayer() && g_settings.scaling_mode == 2) {
    platform::Rect client;
    const WindowRecord* w = MainWindow();
    if (w != nullptr && platform::GetClientRect(w->handle, &client)) {
      g.fit_to_screen = true;
      g.screen_width = client.right - client.left;
      g.screen_height = client.bottom - client.top;
    }
  }
  return MovieTargetRect(g);
}

// The whole frame is composed again (the picture left it).
void RepaintWholeFrame() {
  const WindowRecord* w = g_windows[0];
  if (w != nullptr && w->root_layer != nullptr) MarkSubtreeWhollyChanged(w->root_layer);
}

// Presents window 0's last composed frame again; the overlay draws the picture over it.
void ShowLastFrame() {
  const WindowRecord* w = MainWindow();
  if (w == nullptr || w->root_layer == nullptr) return;
  auto* frame = static_cast<LayerData*>(w->root_layer->payload);
  if (frame == nullptr || frame->pixels == nullptr || frame->visible == 0 || frame->width < 1 ||
      frame->height < 1) {
    return;
  }
  SetWholeFrameRect(frame);
  PresentFrameToWindow(0, w->root_layer);
}

void StopPlayer() {
  const bool was = platform::MovieActive();
  platform::StopMovie();
  g_frame.movie_open.store(0);
  g_frame.movie_playing.store(0);
  if (was) RepaintWholeFrame();
}

int32_t StartPlayer() {
  const WindowRecord* w = MainWindow();
  platform::MovieStartRequest request;
  request.path = g_movie.real_path;
  request.window = w != nullptr ? w->handle.load() : platform::kNoWindow;
  request.rect = TargetRect();
  request.volume_mb = PlayerVolumeMillibels();
  StopPlayer();
  const platform::MovieStartStatus status =
      g_movie.real_path.empty() ? platform::MovieStartStatus::kOpenFailed
                                : platform::StartMovie(request);
  if (status != platform::MovieStartStatus::kStarted) {
    if (GraphPlayer()) {
      ReportScriptErrorPlain(
          status == platform::MovieStartStatus::kOpenFailed ? kErrorGraphOpen : kErrorGraphDecode,
          false);
      return -1;
    }
    return 0;  // the MCI player fails silently: nothing plays
  }
  if (!GraphPlayer()) g_frame.movie_open.store(1);
  g_frame.movie_playing.store(1);
  return 0;
}

void StoreAnswer(int64_t value) {
  const DecodedArgument* target = FindArg(7);
  if (target != nullptr) SetVarNumberElement(target->var_number, target->element_index, value);
}

}  // namespace

void InitMovieCommands() {
  ReleaseMovies();
  g_movie = MovieCommandState{};
}

void ReleaseMovies() {
  platform::StopMovie();
}

int32_t RunMovieCommand() {
  if (g_argument_decoder(kCommandMovie) != 0) return -1;
  EnsureDefaultSize();
  int32_t* const fields[4] = {&g_movie.x, &g_movie.y, &g_movie.width, &g_movie.height};
  for (uint8_t param = 2; param <= 5; ++param) {
    if (const DecodedArgument* a = FindArg(param)) {
      *fields[param - 2] = CombineMovieValue(static_cast<uint8_t>(a->op), *fields[param - 2], a->value);
    }
  }
  if (const DecodedArgument* file = FindArg(0)) {
    std::string name, real_path;
    if (!NormalizeMovieName(file, &name) || !FindLooseFile(name, &real_path)) {
      ReportScriptError(kErrorFileNotFound, true, name);
      return -1;
    }
    if (!ArgGiven(2)) g_movie.x = 0;
    if (!ArgGiven(3)) g_movie.y = 0;
    int32_t lw = 0, lh = 0;
    LogicalSize(&lw, &lh);
    if (!ArgGiven(4)) g_movie.width = lw;
    if (!ArgGiven(5)) g_movie.height = lh;
    // A new file ends the movie that was playing.
    StopPlayer();
    g_movie.name = name;
    g_movie.real_path = real_path;
  }
  if (const DecodedArgument* volume = FindArg(6)) {
    g_movie.volume = static_cast<int32_t>(std::clamp<int64_t>(volume->value, 0, kMovieVolumeMax));
    platform::SetMovieVolume(PlayerVolumeMillibels());
  }
  const DecodedArgument* play = FindArg(1);
  if (play == nullptr) return 0;
  if (play->value == 1) return StartPlayer();
  if (play->value == 0) StopPlayer();
  return 0;
}

int32_t RunMovieCloseCommand() {
  if (g_argument_decoder(kCommandMovieClose) != 0) return -1;
  StopPlayer();
  g_movie.name.clear();
  g_movie.real_path.clear();
  g_movie.volume = kMovieVolumeMax;
  platform::SetMovieVolume(PlayerVolumeMillibels());
  return 0;
}

int32_t RunMovieInfoCommand() {
  if (g_argument_decoder(kCommandMovieInfo) != 0) return -1;
  EnsureDefaultSize();
  if (ArgGiven(0)) {
    StoreAnswer(g_frame.movie_playing.load());
  } else if (ArgGiven(1)) {
    StoreAnswer(g_movie.x);
  } else if (ArgGiven(2)) {
    StoreAnswer(g_movie.y);
  } else if (ArgGiven(3)) {
    StoreAnswer(g_movie.width);
  } else if (ArgGiven(4)) {
    StoreAnswer(g_movie.height);
  } else if (ArgGiven(5)) {
    StoreAnswer(g_movie.volume);
  } else if (const DecodedArgument* file = FindArg(6)) {
    std::string name, real_path;
    StoreAnswer(NormalizeMovieName(file, &name) && FindLooseFile(name, &real_path) ? 1 : 0);
  }
  return 0;
}

void PresentMovieFrame() {
  if (!platform::MovieActive() || platform::MovieEnded()) return;
  if (!platform::PumpMovie()) return;
  if (platform::MovieEnded()) RepaintWholeFrame();
  if (!DrawConditionHolds()) ShowLastFrame();
}

void RegisterMovieCommandHandlers() {
  RegisterCommandHandler(kCommandMovie, RunMovieCommand);
  RegisterCommandHandler(kCommandMovieClose, RunMovieCloseCommand);
  RegisterCommandHandler(kCommandMovieInfo, RunMovieInfoCommand);
  g_hooks.present_movie = PresentMovieFrame;
  g_hooks.release_movies = ReleaseMovies;
}

}  // namespace korvel
