// Commands 56 (movie: rectangle, file, volume, start and stop), 57 (close the movie) and 58 (movie
// information), over the platform's movie player. Settings field 0 chooses the player: 1 the graph
// player (decibel volume law, set-up failures reported), any other value the MCI player (linear
// volume, failures silent, fitted to the screen at scaling mode 2).
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

inline constexpr uint8_t kCommandMovie = 56;
inline constexpr uint8_t kCommandMovieClose = 57;
inline constexpr uint8_t kCommandMovieInfo = 58;

inline constexpr size_t kMaxMovieName = 260;

struct MovieCommandState {
  std::string name;       // lower-cased, '\' separators (code page 932)
  std::string real_path;  // the loose file it names (UTF-8)
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool size_set = false;  // width and height hold a value (else window 0's logical size)
  int32_t volume = 256;
};

extern MovieCommandState g_movie;

// Resets the state (and stops a playing movie).
void InitMovieCommands();
// Stops the player (shutdown).
void ReleaseMovies();

int32_t RunMovieCommand();
int32_t RunMovieCloseCommand();
int32_t RunMovieInfoCommand();

// The frame step's hook, once per frame: runs the player and, while it plays, shows its picture
// over window 0's last presented frame; at its end the whole frame is drawn again.
void PresentMovieFrame();

// Stores the three handlers and the frame-step and shutdown hooks.
void RegisterMovieCommandHandlers();

}  // namespace korvel
