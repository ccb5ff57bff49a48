// The project options that start-up and the frame step read. The compiled project configuration
// fills them when it loads; until then they hold the defaults of a plain 640 × 480 game.
#pragma once

#include <cstdint>

namespace korvel {

struct ProjectConfig {
  int32_t screen_width = 640;
  int32_t screen_height = 480;
  char title[261] = "korvel";            // code page 932
  uint8_t threaded = 0;                  // run the frame loop on the game thread
  uint8_t show_main_on_first_frame = 1;  // window 0's show-on-first-frame byte
  uint8_t resizable_main_window = 0;
  uint8_t window_option = 1;             // 0: borderless pop-up main window
  uint8_t debug = 0;                     // enables the error dialog's Edit button
  uint8_t allow_screen_saver = 0;
  // Read from krcfg.kbn as well.
  uint8_t image_type_order[4] = {1, 2, 3, 4};  // 1 ".png", 2 ".bmp", 3 ".jpg", 4 ".gif"
  uint8_t sound_type_order[2] = {1, 2};        // 1 ".ogg", 2 ".wav"
  uint8_t sound_on = 1;                        // the sound engine starts only when set
  uint8_t option_bytes[3] = {};                // stored; read nowhere
  int32_t texture_width_limit = 0;             // GPU texture size: 0 until the configuration sets it
  int32_t texture_height_limit = 0;
};

extern ProjectConfig g_project;

void InitProjectConfig();

}  // namespace korvel
