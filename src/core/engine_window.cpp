// Creating the platform window of an engine window record.
#include "core/engine_window.h"

#include "core/engine_settings.h"
#include "core/project_config.h"
#include "core/window_record.h"

namespace korvel {

int CreateEngineWindow(WindowRecord* record, const char* title) {
  record->creation_byte = 1;
  platform::WindowDesc desc;
  desc.title = title != nullptr ? title : "";
  desc.client_width = record->logical_width;
  desc.client_height = record->logical_height;
  desc.engine_index = record->index;
  const bool main = record->index == 0;
  if (main) {
    desc.resizable = g_project.resizable_main_window != 0;
    desc.borderless = g_project.window_option == 0;
    desc.opengl = g_settings.gpu_drawing != 0;  // the GPU device draws into window 0
  }
  if (g_project.window_option != 1) desc.utility = main;

  if (!main && g_project.window_option != 0) {
    desc.x = 0;
    desc.y = 0;
  } else {
    platform::Rect area;
    if (platform::GetWorkArea(&area)) {
      desc.x = area.left + (area.right - area.left) / 2 - record->logical_width / 2;
      desc.y = area.top + (area.bottom - area.top) / 2 - record->logical_height / 2;
    }
  }
  const platform::WindowId id = platform::CreateWindow(desc);
  if (id == platform::kNoWindow) return 0;
  record->handle = id;
  return 1;
}

}  // namespace korvel
