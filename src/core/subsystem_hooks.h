// The calls that start-up, the frame step and shutdown make into the other subsystems, as one table
// of function pointers. Entries served by the shell itself default to the real functions; the others
// default to harmless stand-ins, and the program fills them once at start-up (src/engine_wiring.cpp).
// Tests replace entries with recording fakes.
#pragma once

#include <cstdint>

namespace korvel {

struct WindowRecord;
namespace platform {
struct Event;
}

// The drag layer as the window drag test sees it.
struct DragLayerView {
  int64_t x = 0, y = 0;  // left and top in the window's logical pixels (ancestors' offsets added)
  int32_t width = 0, height = 0;
  // Bit (y × width + x), lowest bit first: that pixel's alpha is not 0. Read when has_alpha is set.
  const uint8_t* opaque = nullptr;
  uint8_t has_alpha = 1;  // 0: every pixel counts as opaque
};

struct SubsystemHooks {
  // ---- Initialisation, in the order the init sequence calls them ----
  int (*load_settings)();            // settings file and save-folder settings; 0 always
  void (*select_pixel_kernels)();    // pixel-row kernels by processor features
  uint8_t (*os_version_code)();      // 255 on every system this engine runs on
  int32_t (*worker_maximum)();       // 2, or 1 when the settings turn multi-core use off
  void (*enumerate_monitors)();
  int (*build_pack_tables)();        // scene-file key and pack-name table; 0 or -1
  int (*init_resources)();           // data-file lookup rooted at the game folder; 0 or -1
  int (*mount_packs)();              // 0 or -1
  uint8_t (*data_is_packed)();
  int (*run_compiler_link)();        // development mode; 0 or -1
  int (*init_statics)(uint32_t now);   // one-time tables, random seeds, font registry; 0 or -1
  void (*probe_write_permission)();
  int (*load_project_config)();      // krcfg.kbn into g_project; 0 or -1
  void (*setup_input)();
  int (*switch_display_mode)();      // first display-mode switch; non-zero: full screen off
  void (*apply_window_settings)();
  int (*create_system_objects)();    // the four named trees; 0 or -1
  int (*create_sound_device)();      // 0 on success (sound stays enabled)
  void (*open_joysticks)();
  void (*write_system_report)();     // only with GPU drawing
  int (*load_script_data)();         // 0 or -1
  int (*start_worker_threads)(int32_t count);  // 0 or -1
  int (*start_sound_engine)();       // 0 or -1
  int (*enter_full_screen)();        // 1 when the switch happened
  int (*init_gpu)();                 // 0, or 1 to fall back to CPU drawing
  uint8_t (*gpu_drawing)();          // GPU drawing is selected

  // ---- Frame step ----
  // The display work that window messages left for the frame step's thread (size, monitor).
  void (*apply_display_changes)();
  void (*poll_input)();
  int (*run_script_tasks)();         // non-zero asks for quitting
  void (*sweep_layer_changes)();
  int (*render_window)(int window);  // compose a dirty window; non-zero asks for quitting
  int (*present_frame)(int window);  // non-zero asks for quitting
  void (*reset_dirty_rects)();
  // The frame's drawing is done for now: idle image workers may sleep instead of spinning.
  void (*park_worker_threads)();
  // Shows menu set `set` at screen position (x, y); returns the chosen command, 0 for none.
  uint64_t (*show_popup_menu)(int set, int32_t x, int32_t y);
  // Runs the movie player and shows its picture over window 0's last presented frame.
  void (*present_movie)();

  // ---- Shutdown ----
  void (*stop_worker_threads)();
  void (*release_gpu)();
  void (*release_movies)();
  void (*release_sound_device)();
  void (*join_sound_thread)();       // after its ended flag is up; before the platform goes
  void (*destroy_menus)();
  int (*leave_full_screen)();        // 0 on success
  void (*release_display_objects)();
  void (*free_text_surfaces)();
  void (*free_save_cache)();
  void (*release_flash)();
  void (*remove_tray_icon)();
  void (*shutdown_resources)();

  // ---- Window procedure ----
  // Finds the layer at `layer_path` (code page 932) for window `window_index`; false when there is
  // none. Called on the main thread, for each left-button press while window dragging is on.
  bool (*find_drag_layer)(int32_t window_index, const char* layer_path, DragLayerView* view);
  // The display code's share of a window event (size, move, paint, activation): `kind` is the
  // platform's EventKind, x and y the event's.
  void (*display_message)(int32_t window_index, int32_t kind, int32_t x, int32_t y);
  // The menu bar's share of the events (presses on the bar, its own window, headless choices);
  // true when the event was the bar's. Main thread.
  bool (*menu_bar_event)(const platform::Event& event);

  // ---- Menu bar ----
  // Shows or hides the full-screen menu-bar window; hiding marks the root layer wholly changed.
  void (*show_full_screen_menu_bar)(bool show);
  // Marks window `window`'s root layer wholly changed (frame-step thread): the frame is shown whole
  // next time.
  void (*mark_root_layer_changed)(int32_t window);
};

extern SubsystemHooks g_hooks;

// Puts every entry back to its default.
void ResetSubsystemHooks();

}  // namespace korvel
