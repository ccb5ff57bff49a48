// The Flash control host: the operations the Flash window needs from an outside player. The
// engine's own host never finds a player library, so no control is ever hosted; tests install a
// host that serves a control.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

struct FlashHost {
  // Loads the player library (asked once per run). False: not found.
  bool (*load_library)() = nullptr;
  // Creates the control in the Flash window and reaches its interface. 0, or non-zero when any
  // step fails (no control then).
  int32_t (*create_control)() = nullptr;
  void (*put_movie)(const std::string& path_utf8) = nullptr;
  // The movie's total frames; false when the control cannot tell.
  bool (*total_frames)(int32_t* frames) = nullptr;
  void (*play)() = nullptr;
  // -1 (VARIANT_TRUE) while playing, else 0.
  int16_t (*playing)() = nullptr;
  int32_t (*current_frame)() = nullptr;
  // The text of a root variable of the movie; false when there is none.
  bool (*get_variable)(const std::string& name_utf8, std::string* value) = nullptr;
  // Releases the control's interface.
  void (*release)() = nullptr;
};

// The engine's host: the library is never found.
FlashHost NativeFlashHost();

// The host in use (NativeFlashHost until a test sets another).
extern FlashHost g_flash_host;

}  // namespace korvel
