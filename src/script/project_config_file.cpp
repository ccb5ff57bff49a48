// krcfg.kbn: the project configuration (logical screen size, window options, type orders, title).
#include <cstring>

#include "core/display_state.h"
#include "core/error_report.h"
#include "core/project_config.h"
#include "core/byte_reader.h"
#include "script/project_config_file.h"
#include "script/script_data.h"

namespace korvel {

namespace {

// The smallest of 256, 512, 1024, 2048 that holds `size`, else 4096.
int32_t TextureLimitFor(int32_t size) {
  for (int32_t limit = 256; limit <= 2048; limit *= 2) {
    if (size <= limit) return limit;
  }
  return 4096;
}

}  // namespace

int32_t ParseProjectConfig(const uint8_t* data, size_t size, ProjectConfig* config) {
  ByteReader r(data, size);
  r.Skip(16);
  int32_t width = r.I32();
  int32_t height = r.I32();
  const uint8_t show_first = static_cast<uint8_t>(r.U32());
  const uint8_t* image_order = r.Bytes(8);
  const uint8_t* sound_order = r.Bytes(4);
  const uint32_t threaded = r.U32();
  const uint8_t debug = static_cast<uint8_t>(r.U32());
  const uint8_t sound_on = static_cast<uint8_t>(r.U32());
  const uint8_t resizable = static_cast<uint8_t>(r.U32());
  const uint8_t window_option = static_cast<uint8_t>(r.U32());
  uint8_t options[3];
  for (uint8_t& option : options) option = static_cast<uint8_t>(r.U32());
  r.Skip(4);
  const uint16_t title_length = r.U16();
  const uint8_t* title = r.Bytes(title_length);
  if (!r.ok) {
    ReportMalformedFile(kProjectConfigFileName, "ファイルが途中で切れています");
    return -1;
  }
  if (width == 0 && height == 0) {
    width = g_display.desktop_width > 0 ? g_display.desktop_width : 640;
    height = g_display.desktop_height > 0 ? g_display.desktop_height : 480;
  } else if (width < 128 || width > 8192 || height < 16 || height > 8192) {
    ReportError(901020, true, width, height);
    return -1;
  }
  if (threaded > 1) {
    ReportError(901020, true, width, height);
    return -1;
  }
  if (title_length > kMaxTitleLength) {
    ReportError(901000, true, static_cast<int32_t>(title_length));
    return -1;
  }
  config->screen_width = width;
  config->screen_height = height;
  config->show_main_on_first_frame = show_first;
  std::memcpy(config->image_type_order, image_order, 4);
  std::memcpy(config->sound_type_order, sound_order, 2);
  config->threaded = static_cast<uint8_t>(threaded);
  config->debug = debug;
  config->sound_on = sound_on;
  config->resizable_main_window = resizable;
  config->window_option = window_option;
  std::memcpy(config->option_bytes, options, sizeof options);
  std::memset(config->title, 0, sizeof config->title);
  if (title_length == 0) {
    config->title[0] = ' ';
  } else {
    std::memcpy(config->title, title, title_length);
  }
  if (config->texture_width_limit == 0) config->texture_width_limit = TextureLimitFor(width);
  if (config->texture_height_limit == 0) config->texture_height_limit = TextureLimitFor(height);
  return 0;
}

int LoadProjectConfig() {
  std::vector<uint8_t> file;
  if (!LoadCompiledFile(kProjectConfigFileName, &file)) return -1;
  return ParseProjectConfig(file.data(), file.size(), &g_project);
}

}  // namespace korvel
