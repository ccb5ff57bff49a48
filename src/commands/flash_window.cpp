// Commands 17, 18 and 19: the Flash window and what a script can ask of it.
#include "commands/flash_window.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "commands/flash_host.h"
#include "core/display_state.h"
#include "core/error_report.h"
#include "core/shift_jis.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/text_format.h"
#include "core/window_record.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "platform/frame_overlay.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "resource/loose_files.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/value_ops.h"
#include "script/variables.h"

namespace korvel {

FlashWindowState g_flash;

namespace {

constexpr int32_t kErrorNotFound = 104060;

int32_t LogicalWidth() { return g_windows[0] != nullptr ? g_windows[0]->logical_width : 0; }
int32_t LogicalHeight() { return g_windows[0] != nullptr ? g_windows[0]->logical_height : 0; }

// The next frame presents window 0 again, so the rectangle appears or goes.
void RepaintWindowZero() {
  if (g_windows[0] == nullptr) return;
  LayerData* root = LayerOf(g_windows[0]->root_layer);
  if (root == nullptr) return;
  MarkLayerWhollyChanged(root);
  root->needs_redraw = 1;
}

// The window this run's overlay was put on.
platform::WindowId g_overlay_window = platform::kNoWindow;

void RemoveOverlay() {
  if (g_overlay_window == platform::kNoWindow) return;
  platform::SetFrameOverlay(platform::OverlaySlot::kFlash, g_overlay_window, nullptr);
  g_overlay_window = platform::kNoWindow;
}

// The child window stands for a window over window 0, which must be open; its rectangle is drawn
// over window 0's frames.
bool CreateFlashWindow() {
  if (g_windows[0] == nullptr || g_windows[0]->handle == platform::kNoWindow) return false;
  g_flash.window = 1;
  RemoveOverlay();
  g_overlay_window = g_windows[0]->handle;
  platform::SetFrameOverlay(platform::OverlaySlot::kFlash, g_overlay_window, DrawFlashOverlay);
  RepaintWindowZero();
  return true;
}

void DestroyFlashWindow() {
  if (g_flash.window == 0) return;
  g_flash.window = 0;
  RemoveOverlay();
  RepaintWindowZero();
}

// The movie file must exist as a loose file; a name too long for the field is not found.
bool MovieFileExists(const std::string& name) {
  if (name.size() >= static_cast<size_t>(kFlashNameCapacity)) return false;
  return FileExistsOnDisk(name.c_str()) == 1;
}

// The movie's full path for the host: the data folder and the file name (UTF-8, '/').
std::string MoviePath() {
  std::string name = g_flash.file_name;
  BackslashToSlash(name.data());
  std::string path = LooseFileRoot();
  if (!path.empty() && path.back() != '/') path += '/';
  return path + platform::Cp932ToUtf8(name);
}

// A root variable's text as a 64-bit integer: optional sign and decimal digits, nothing else.
bool ParseInteger(const std::string& text, int64_t* value) {
  const bool negative = !text.empty() && text[0] == '-';
  size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i >= text.size()) return false;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > (UINT64_MAX - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  if (magnitude > (negative ? uint64_t{1} << 63 : uint64_t{INT64_MAX})) return false;
  *value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

int64_t GetFlashRootVariable(const char* name) {
  if (g_flash.control_count < 1) return 0;
  std::string text;
  int64_t value = 0;
  if (g_flash_host.get_variable(platform::Cp932ToUtf8(name), &text) && ParseInteger(text, &value)) {
    return value;
  }
  // Missing, or not an integer: the message asks the author to check both.
  static const std::string format = Sjis(
      "変数 %s が見つかりませんでした。\r\nルートの変数になっているか、また整数が格納されているか、"
      "\r\n確認してください。");
  const std::string message = FormatText(format, MakeFormatArgs(std::string(name)));
  platform::MessageBox(platform::kNoWindow, "", message, platform::kMbOk);
  return 0;
}

int32_t IsFlashPlaying() {
  if (g_flash.control_count < 1) return 0;
  return g_flash_host.playing() == -1 ? 1 : 0;
}

int32_t GetFlashCurrentFrame() {
  return g_flash.control_count >= 1 ? g_flash_host.current_frame() : 0;
}

// Releases the control and destroys the window; the file name and rectangle stay.
void CloseFlashWindow() {
  ReleaseSharedComObject();
  DestroyFlashWindow();
  g_flash.frame_count = 0;
}

}  // namespace

int32_t ReleaseSharedComObject() {
  if (g_flash.control_count >= 1) {
    --g_flash.control_count;
    g_flash_host.release();
  }
  return 0;
}

int32_t HostFlashControl(const char* movie_path) {
  if (g_flash.library_tried == 0) {
    g_flash.library_tried = 1;
    g_flash.library_loaded = g_flash_host.load_library() ? 1 : 0;
    if (g_flash.library_loaded == 0) {
      ShowMessageF("", Sjis("ATL.DLLが見つかりませんでした。"));
      return 0;
    }
  }
  if (g_flash.library_loaded == 0) return 0;
  if (g_flash_host.create_control() != 0) return 0;
  g_flash_host.put_movie(movie_path);
  int32_t frames = 0;
  if (!g_flash_host.total_frames(&frames)) frames = 0;
  g_flash_host.play();
  ++g_flash.control_count;
  return frames;
}

int32_t RunFlashOpenCommand() {
  if (g_argument_decoder(kCommandFlashOpen) != 0) return -1;
  int32_t* const fields[4] = {&g_flash.x, &g_flash.y, &g_flash.width, &g_flash.height};
  for (uint8_t param = 2; param <= 5; ++param) {
    const DecodedArgument* a = FindArg(param);
    if (a == nullptr) continue;
    int32_t* field = fields[param - 2];
    const int64_t value = ApplyAssignOperator(static_cast<uint8_t>(a->op), *field, a->value);
    *field = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
  }
  const int32_t user_value =
      ArgGiven(6) ? static_cast<int32_t>(static_cast<uint32_t>(ArgValue(6))) : 0;

  if (const DecodedArgument* a = FindArg(0)) {
    const std::string name = LookupName(
        std::string_view(a->text != nullptr ? a->text : "", a->text != nullptr ? a->text_length : 0));
    if (!ArgGiven(2)) g_flash.x = 0;
    if (!ArgGiven(3)) g_flash.y = 0;
    if (!ArgGiven(4)) g_flash.width = LogicalWidth();
    if (!ArgGiven(5)) g_flash.height = LogicalHeight();
    if (!MovieFileExists(name)) {
      ReportScriptError(kErrorNotFound, true, name);
      return -1;
    }
    std::memset(g_flash.file_name, 0, sizeof g_flash.file_name);
    std::memcpy(g_flash.file_name, name.data(), name.size());
    g_flash.open = 0;
  }

  if (!ArgGiven(1) || ArgValue(1) != 1) return 0;
  // One window and one control at a time: an open window is closed first.
  CloseFlashWindow();
  g_flash.open = 0;
  if (!CreateFlashWindow()) {
    ShowMessageF("", Sjis("ウィンドウを生成できませんでした。"));
    return 0;
  }
  g_flash.frame_count = HostFlashControl(MoviePath().c_str());
  g_flash.user_value = user_value;
  g_flash.open = 1;
  return 0;
}

int32_t RunFlashCloseCommand() {
  if (g_argument_decoder(kCommandFlashClose) != 0) return -1;
  CloseFlashWindow();
  std::memset(g_flash.file_name, 0, sizeof g_flash.file_name);
  g_flash.open = 0;
  g_flash.user_value = 0;
  return 0;
}

int32_t RunFlashQueryCommand() {
  if (g_argument_decoder(kCommandFlashQuery) != 0) return -1;
  const DecodedArgument* target = FindArg(9);
  int param = 0;
  while (param <= 8 && !ArgGiven(static_cast<uint8_t>(param))) ++param;
  if (param > 8 || target == nullptr) return 0;
  const bool open = g_flash.open != 0;
  int64_t answer = 0;
  switch (param) {
    case 0: answer = IsFlashPlaying(); break;
    case 1: answer = GetFlashRootVariable("korvel"); break;
    case 2: answer = g_flash.x; break;
    case 3: answer = g_flash.y; break;
    case 4: answer = g_flash.width; break;
    case 5: answer = g_flash.height; break;
    case 6: answer = open ? GetFlashCurrentFrame() : 0; break;
    case 7: answer = open ? g_flash.user_value : 0; break;
    default: answer = open ? g_flash.frame_count : 0; break;
  }
  SetVarNumberElement(target->var_number, target->element_index, answer);
  return 0;
}

bool FlashWindowRect(int32_t left, int32_t top, int64_t* rx, int64_t* ry, int64_t* rw,
                     int64_t* rh) {
  if (g_flash.window == 0) return false;
  const int64_t logical_w = LogicalWidth(), logical_h = LogicalHeight();
  const int64_t display_w = g_display.display_width, display_h = g_display.display_height;
  const int64_t present_w = display_w > 0 ? display_w : logical_w;
  const int64_t present_h = display_h > 0 ? display_h : logical_h;
  *rx = int64_t{left} + g_flash.x;
  *ry = int64_t{top} + g_flash.y;
  *rw = logical_w != 0 ? int64_t{g_flash.width} * present_w / logical_w : g_flash.width;
  *rh = logical_h != 0 ? int64_t{g_flash.height} * present_h / logical_h : g_flash.height;
  return true;
}

void DrawFlashOverlay(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                      int32_t client_top) {
  int64_t x = 0, y = 0, w = 0, h = 0;
  // The frame sits at the display offset of the client area.
  if (!FlashWindowRect(g_display.offset_x, g_display.offset_y, &x, &y, &w, &h) || w <= 0 ||
      h <= 0) {
    return;
  }
  y += client_top;
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, client_top);
  const int64_t x1 = std::min<int64_t>(x + w, width), y1 = std::min<int64_t>(y + h, height);
  for (int64_t row = y0; row < y1 && x0 < x1; ++row) {
    uint8_t* p = bgra + static_cast<size_t>(row) * static_cast<size_t>(pitch) +
                 static_cast<size_t>(x0) * 4;
    for (int64_t col = x0; col < x1; ++col, p += 4) {
      p[0] = p[1] = p[2] = 0;
      p[3] = 0xFF;
    }
  }
}

void ReleaseFlashWindow() {
  ReleaseSharedComObject();
  g_flash.window = 0;
  RemoveOverlay();
}

void InitFlashWindow() {
  RemoveOverlay();
  g_flash = FlashWindowState{};
  g_flash_host = NativeFlashHost();
}

void RegisterFlashCommandHandlers() {
  RegisterCommandHandler(kCommandFlashOpen, RunFlashOpenCommand);
  RegisterCommandHandler(kCommandFlashClose, RunFlashCloseCommand);
  RegisterCommandHandler(kCommandFlashQuery, RunFlashQueryCommand);
}

}  // namespace korvel
