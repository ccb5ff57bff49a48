// The engine-drawn dialog: layout, drawing with the platform fonts, and its modal loop.
#include "platform/sdl/sdl_drawn_dialog.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/typed_text.h"
#include "platform/fonts.h"
#include "platform/process.h"
#include "platform/text_encoding.h"

namespace korvel::platform::sdl {
namespace {

constexpr int kCell = 16;          // font cell height in pixels
constexpr int kGlyphSide = 32;     // glyph canvas side (a multiple of 8)
constexpr int kLineHeight = kCell + 4;
constexpr int kMargin = 16;
constexpr int kIconSide = 32;
constexpr int kMaxTextWidth = 560;
constexpr int kButtonHeight = 28;
constexpr int kButtonMinWidth = 88;
constexpr int kButtonGap = 8;
constexpr int kEditWidth = 360;
constexpr int kEditHeight = 26;

constexpr uint32_t kBackground = 0xFFF0F0F0u, kInk = 0xFF000000u, kFace = 0xFFE1E1E1u;
constexpr uint32_t kBorder = 0xFFADADADu, kFocus = 0xFF0078D7u, kDisabled = 0xFFA0A0A0u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

// Character length at `i` of a code page 932 text.
size_t CharLength(const std::string& text, size_t i) {
  return IsCp932LeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The fonts are fixed-pitch: a single-byte character takes half a cell, a double-byte one a cell.
int CharWidth(size_t length) { return length == 2 ? kCell : kCell / 2; }

int TextWidth(const std::string& sjis) {
  int width = 0;
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = CharLength(sjis, i);
    width += CharWidth(n);
    i += n;
  }
  return width;
}

// Lines of a text: broken at line breaks and wherever a line would pass `max_width`.
std::vector<std::string> WrapLines(const std::string& sjis, int max_width) {
  std::vector<std::string> lines(1);
  int width = 0;
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = CharLength(sjis, i);
    const char c = sjis[i];
    if (n == 1 && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < sjis.size() && sjis[i + 1] == '\n') ++i;
      lines.emplace_back();
      width = 0;
      ++i;
      continue;
    }
    if (width + CharWidth(n) > max_width && !lines.back().empty()) {
      lines.emplace_back();
      width = 0;
    }
    if (static_cast<uint8_t>(c) >= 0x20 || n == 2) lines.back().append(sjis, i, n);
    width += CharWidth(n);
    i += n;
  }
  return lines;
}

struct Canvas {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB

  void Fill(int x, int y, int w, int h, uint32_t colour) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, width), y1 = std::min(y + h, height);
    for (int yy = y0; yy < y1; ++yy) {
      std::fill(pixels.begin() + yy * width + x0, pixels.begin() + yy * width + x1, colour);
    }
  }
  void Frame(int x, int y, int w, int h, int thickness, uint32_t colour) {
    Fill(x, y, w, thickness, colour);
    Fill(x, y + h - thickness, w, thickness, colour);
    Fill(x, y, thickness, h, colour);
    Fill(x + w - thickness, y, thickness, h, colour);
  }
  void Disc(int cx, int cy, int r, uint32_t colour) {
    for (int y = -r; y <= r; ++y) {
      for (int x = -r; x <= r; ++x) {
        if (x * x + y * y <= r * r) Fill(cx + x, cy + y, 1, 1, colour);
      }
    }
  }
};

// Draws a code page 932 text with its cells' top-left at (x, y), cut at `clip_right`.
void DrawText(Canvas* canvas, PlatformFont* font, const std::string& sjis, int x, int y,
              uint32_t colour, int clip_right) {
  uint8_t glyph[kGlyphSide * kGlyphSide / 8];
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = CharLength(sjis, i);
    const int advance = CharWidth(n);
    if (x + advance > clip_right) break;
    const uint32_t code = Cp932CharToCodePoint(reinterpret_cast<const uint8_t*>(sjis.data() + i),
                                               static_cast<int32_t>(n));
    std::memset(glyph, 0xFF, sizeof glyph);
    if (font != nullptr && code > 0x20 && DrawPlatformGlyph(font, code, glyph, kGlyphSide)) {
      for (int gy = 0; gy < kCell + 2 && gy < kGlyphSide; ++gy) {
        for (int gx = 0; gx < advance; ++gx) {
          const uint8_t bits = glyph[gy * (kGlyphSide / 8) + gx / 8];
          if ((bits & (0x80 >> (gx % 8))) == 0) canvas->Fill(x + gx, y + gy, 1, 1, colour);
        }
      }
    }
    x += advance;
    i += n;
  }
}

PlatformFont* OpenDialogFont() {
  for (const char* family : {"IPAGothic", "IPAexGothic", "Noto Sans CJK JP", "Noto Sans Mono CJK JP",
                             "VL Gothic", "DejaVu Sans Mono"}) {
    if (PlatformFont* font = OpenPlatformFont(family, kCell, false)) return font;
  }
  return nullptr;
}

}  // namespace

TipPicture DrawTipPicture(const std::string& tip_sjis) {
  constexpr int kTipPadding = 4;
  constexpr uint32_t kTipBackground = 0xFFFFFFE1u, kTipFrame = 0xFF767676u;
  const std::vector<std::string> lines = WrapLines(tip_sjis, kMaxTextWidth);
  int text_width = 0;
  for (const std::string& line : lines) text_width = std::max(text_width, TextWidth(line));
  Canvas canvas;
  canvas.width = text_width + 2 * kTipPadding + 2;
  canvas.height = static_cast<int>(lines.size()) * kLineHeight + 2 * kTipPadding;
  canvas.pixels.assign(static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height),
                       kTipBackground);
  canvas.Frame(0, 0, canvas.width, canvas.height, 1, kTipFrame);
  PlatformFont* font = OpenDialogFont();
  int y = kTipPadding + (kLineHeight - kCell) / 2;
  for (const std::string& line : lines) {
    DrawText(&canvas, font, line, kTipPadding + 1, y, kInk, canvas.width - 1);
    y += kLineHeight;
  }
  if (font != nullptr) ClosePlatformFont(font);
  TipPicture picture;
  picture.width = canvas.width;
  picture.height = canvas.height;
  picture.pixels = std::move(canvas.pixels);
  return picture;
}

namespace {

struct Rect4 {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

struct Layout {
  int width = 0, height = 0;
  Rect4 icon, text, edit;
  std::vector<std::string> lines;
  std::vector<Rect4> buttons;
};

Layout MakeLayout(const DrawnDialog& d) {
  Layout l;
  l.lines = WrapLines(d.text_sjis, kMaxTextWidth);
  int text_width = 0;
  for (const std::string& line : l.lines) text_width = std::max(text_width, TextWidth(line));
  const int text_x = kMargin + (d.icon != DialogIcon::kNone ? kIconSide + kMargin : 0);
  const int text_height = static_cast<int>(l.lines.size()) * kLineHeight;
  l.icon = {kMargin, kMargin, kIconSide, kIconSide};
  l.text = {text_x, kMargin + (d.icon != DialogIcon::kNone && text_height < kIconSide
                                   ? (kIconSide - text_height) / 2
                                   : 0),
            text_width, text_height};
  int y = kMargin + std::max(text_height, d.icon != DialogIcon::kNone ? kIconSide : 0) + kMargin;
  int content_width = text_x + text_width;
  if (d.edit) {
    l.edit = {kMargin, y, kEditWidth, kEditHeight};
    y += kEditHeight + kMargin;
    content_width = std::max(content_width, kMargin + kEditWidth);
  }
  int row = 0;
  std::vector<int> widths;
  for (const DialogButton& b : d.buttons) {
    const int w = std::max(kButtonMinWidth, TextWidth(Utf8ToCp932(b.label_utf8)) + 24);
    widths.push_back(w);
    row += w + (row > 0 ? kButtonGap : 0);
  }
  l.width = std::max(content_width, row) + kMargin;
  l.width = std::max(l.width, 240);
  int x = (l.width - row) / 2;
  for (int w : widths) {
    l.buttons.push_back({x, y, w, kButtonHeight});
    x += w + kButtonGap;
  }
  l.height = y + kButtonHeight + kMargin;
  return l;
}

struct Session {
  DrawnDialog* dialog = nullptr;
  Layout layout;
  PlatformFont* font = nullptr;
  Canvas canvas;
  size_t focus = 0;
  int pressed = -1;         // button under a held mouse press
  std::string preedit;      // text being composed by the input method (UTF-8)
};

void DrawIcon(Session* s) {
  const DialogIcon icon = s->dialog->icon;
  if (icon == DialogIcon::kNone) return;
  const Rect4& r = s->layout.icon;
  uint32_t colour = 0xFF1E6FD9u;
  const char* mark = "i";
  if (icon == DialogIcon::kQuestion) mark = "?";
  if (icon == DialogIcon::kWarning) {
    colour = 0xFFE8B400u;
    mark = "!";
  }
  if (icon == DialogIcon::kError) {
    colour = 0xFFD9302Bu;
    mark = "x";
  }
  s->canvas.Disc(r.x + r.w / 2, r.y + r.h / 2, r.w / 2, colour);
  DrawText(&s->canvas, s->font, mark, r.x + r.w / 2 - kCell / 4, r.y + (r.h - kCell) / 2, kWhite,
           s->canvas.width);
}

void Draw(Session* s) {
  Canvas& c = s->canvas;
  const Layout& l = s->layout;
  c.Fill(0, 0, c.width, c.height, kBackground);
  DrawIcon(s);
  int y = l.text.y;
  for (const std::string& line : l.lines) {
    DrawText(&c, s->font, line, l.text.x, y, kInk, c.width - kMargin / 2);
    y += kLineHeight;
  }
  if (s->dialog->edit) {
    const Rect4& e = l.edit;
    c.Fill(e.x, e.y, e.w, e.h, kWhite);
    c.Frame(e.x, e.y, e.w, e.h, 1, kFocus);
    const std::string text = Utf8ToCp932(s->dialog->edit_text_utf8);
    const std::string pre = Utf8ToCp932(s->preedit);
    // The end of the text stays in view.
    const int room = e.w - 8;
    const int full = TextWidth(text) + TextWidth(pre);
    const int shift = full > room - 2 ? full - (room - 2) : 0;
    const int tx = e.x + 4 - shift;
    const int ty = e.y + (e.h - kCell) / 2;
    // Characters scrolled out on the left are skipped whole.
    int x = tx;
    std::string visible;
    for (size_t i = 0; i < text.size();) {
      const size_t n = CharLength(text, i);
      if (x >= e.x + 4) visible.append(text, i, n);
      x += CharWidth(n);
      i += n;
    }
    const int vx = tx + (TextWidth(text) - TextWidth(visible));
    DrawText(&c, s->font, visible, vx, ty, kInk, e.x + e.w - 4);
    const int px = tx + TextWidth(text);
    if (!pre.empty()) {
      DrawText(&c, s->font, pre, std::max(px, e.x + 4), ty, kFocus, e.x + e.w - 4);
      c.Fill(std::max(px, e.x + 4), ty + kCell + 1, std::min(TextWidth(pre), room), 1, kFocus);
    }
    c.Fill(std::min(px + TextWidth(pre), e.x + e.w - 4), ty, 1, kCell, kInk);  // caret
  }
  for (size_t i = 0; i < l.buttons.size(); ++i) {
    const Rect4& b = l.buttons[i];
    const DialogButton& button = s->dialog->buttons[i];
    c.Fill(b.x, b.y, b.w, b.h, s->pressed == static_cast<int>(i) ? 0xFFCCE4F7u : kFace);
    const bool focused = i == s->focus && button.enabled;
    c.Frame(b.x, b.y, b.w, b.h, focused ? 2 : 1, focused ? kFocus : kBorder);
    const std::string label = Utf8ToCp932(button.label_utf8);
    DrawText(&c, s->font, label, b.x + (b.w - TextWidth(label)) / 2, b.y + (b.h - kCell) / 2,
             button.enabled ? kInk : kDisabled, b.x + b.w);
  }
}

void Present(SDL_Window* window, Session* s) {
  Draw(s);
  SDL_Surface* target = SDL_GetWindowSurface(window);
  if (target == nullptr) return;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
      s->canvas.pixels.data(), s->canvas.width, s->canvas.height, 32, s->canvas.width * 4,
      SDL_PIXELFORMAT_ARGB8888);
  if (source == nullptr) return;
  SDL_BlitSurface(source, nullptr, target, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(window);
}

// Moves the focus to the next (step 1) or previous (step -1) enabled button.
void MoveFocus(Session* s, int step) {
  const int count = static_cast<int>(s->dialog->buttons.size());
  for (int k = 1; k <= count; ++k) {
    const int i = ((static_cast<int>(s->focus) + step * k) % count + count) % count;
    if (s->dialog->buttons[static_cast<size_t>(i)].enabled) {
      s->focus = static_cast<size_t>(i);
      return;
    }
  }
}

// Handles one event of the dialog's window; returns a result when the dialog ends, else 0.
int32_t HandleEvent(Session* s, const SDL_Event& e, bool* redraw) {
  DrawnDialog& d = *s->dialog;
  const auto press = [&](size_t i) -> int32_t {
    return i < d.buttons.size() && d.buttons[i].enabled ? d.buttons[i].id : 0;
  };
  switch (e.type) {
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) return d.escape_result;
      *redraw = true;
      return 0;
    case SDL_TEXTINPUT:
      if (d.edit) {
        AppendTypedText(&d.edit_text_utf8, e.text.text, d.edit_limit);
        s->preedit.clear();
        *redraw = true;
      }
      return 0;
    case SDL_TEXTEDITING:
      if (d.edit) {
        s->preedit = e.edit.text;
        *redraw = true;
      }
      return 0;
    case SDL_KEYDOWN: {
      const SDL_Keycode key = e.key.keysym.sym;
      const bool shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
      const bool ctrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
      *redraw = true;
      if (d.edit && !s->preedit.empty()) return 0;  // the input method has these keys
      if (key == SDLK_ESCAPE) return d.escape_result;
      if (key == SDLK_RETURN || key == SDLK_KP_ENTER) return press(d.edit ? 0 : s->focus);
      if (key == SDLK_TAB) MoveFocus(s, shift ? -1 : 1);
      if (d.edit) {
        if (key == SDLK_BACKSPACE) RemoveLastTypedChar(&d.edit_text_utf8);
        if (ctrl && key == SDLK_v) {
          if (char* clip = SDL_GetClipboardText()) {
            AppendTypedText(&d.edit_text_utf8, clip, d.edit_limit);
            SDL_free(clip);
          }
        }
        return 0;
      }
      if (key == SDLK_RIGHT || key == SDLK_DOWN) MoveFocus(s, 1);
      if (key == SDLK_LEFT || key == SDLK_UP) MoveFocus(s, -1);
      if (key == SDLK_SPACE) return press(s->focus);
      for (size_t i = 0; i < d.buttons.size(); ++i) {
        if (d.buttons[i].mnemonic != SDLK_UNKNOWN && d.buttons[i].mnemonic == key) return press(i);
      }
      return 0;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (e.button.button != SDL_BUTTON_LEFT) return 0;
      int hit = -1;
      for (size_t i = 0; i < s->layout.buttons.size(); ++i) {
        if (s->layout.buttons[i].Contains(e.button.x, e.button.y) && d.buttons[i].enabled) {
          hit = static_cast<int>(i);
        }
      }
      *redraw = true;
      if (e.type == SDL_MOUSEBUTTONDOWN) {
        s->pressed = hit;
        if (hit >= 0) s->focus = static_cast<size_t>(hit);
        return 0;
      }
      const int was = s->pressed;
      s->pressed = -1;
      return hit >= 0 && hit == was ? press(static_cast<size_t>(hit)) : 0;
    }
    default:
      return 0;
  }
}

// The SDL window id an event belongs to, 0 for events of no window.
Uint32 EventWindowId(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
  }
}

bool IsInputEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN: case SDL_KEYUP: case SDL_TEXTINPUT: case SDL_TEXTEDITING:
    case SDL_MOUSEMOTION: case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: case SDL_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool VideoDriverHasScreen() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "offscreen") != 0;
}

int32_t RunDrawnDialog(WindowId owner, DrawnDialog* dialog) {
  // A video driver without a screen shows nothing a player could answer: the caller's fall-back
  // decides at once instead of waiting for input that never comes.
  if (!VideoDriverHasScreen()) return -1;
  int32_t result = -1;
  OnMainThread([&] {
    Session s;
    s.dialog = dialog;
    s.layout = MakeLayout(*dialog);
    s.canvas.width = s.layout.width;
    s.canvas.height = s.layout.height;
    s.canvas.pixels.assign(static_cast<size_t>(s.layout.width) * s.layout.height, kBackground);
    s.focus = dialog->default_button < dialog->buttons.size() ? dialog->default_button : 0;
    if (!dialog->buttons.empty() && !dialog->buttons[s.focus].enabled) MoveFocus(&s, 1);

    const Window* record = FindWindow(owner);
    SDL_Window* parent = record != nullptr ? record->handle : nullptr;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (parent != nullptr) {
      int px = 0, py = 0, pw = 0, ph = 0;
      SDL_GetWindowPosition(parent, &px, &py);
      SDL_GetWindowSize(parent, &pw, &ph);
      x = px + (pw - s.layout.width) / 2;
      y = py + (ph - s.layout.height) / 2;
    }
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR;
    if (dialog->always_on_top) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    SDL_Window* window = SDL_CreateWindow(Cp932ToUtf8(dialog->title_sjis).c_str(), x, y,
                                          s.layout.width, s.layout.height, flags);
    if (window == nullptr) return;
    if (parent != nullptr) SDL_SetWindowModalFor(window, parent);
    s.font = OpenDialogFont();
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    const Uint32 id = SDL_GetWindowID(window);
    if (dialog->edit) {
      SDL_Rect area{s.layout.edit.x, s.layout.edit.y, s.layout.edit.w, s.layout.edit.h};
      SDL_SetTextInputRect(&area);
      SDL_StartTextInput();
    }
    bool redraw = true;
    int32_t ended = 0;
    while (ended == 0) {
      if (redraw) {
        Present(window, &s);
        redraw = false;
      }
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, 20) != 0) {
        const Uint32 target = EventWindowId(e);
        if (target == id) ended = HandleEvent(&s, e, &redraw);
        // The other windows are disabled while the dialog is up, but they still hear the rest. A
        // key let go reaches the engine's key table wherever it went: the Alt of an Alt+F4 that
        // asked the close question would otherwise stay down, and every key after it would be
        // taken for a system key.
        if (e.type == SDL_KEYUP || (target != id && !IsInputEvent(e))) TranslateEvent(e);
      }
      ServeMainThreadRequests();
      if (ended == 0 && TerminationRequested()) {
        // SIGTERM ends the dialog as closing it would, and every dialog after it; the engine then
        // quits as usual.
        if (TakeTerminationRequest()) {
          Event terminate;
          terminate.kind = EventKind::kTerminate;
          PostEvent(std::move(terminate));
        }
        ended = dialog->escape_result;
        if (ended == 0 && !dialog->buttons.empty()) ended = dialog->buttons[s.focus].id;
        if (ended == 0) ended = kIdCancel;
      }
    }
    if (dialog->edit) SDL_StopTextInput();
    ClosePlatformFont(s.font);
    SDL_DestroyWindow(window);
    if (parent != nullptr) SDL_RaiseWindow(parent);
    result = ended;
  });
  return result;
}

}  // namespace korvel::platform::sdl
