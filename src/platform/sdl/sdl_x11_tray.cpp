// The tray icon on X11: an icon window docked in the freedesktop system tray (the host that owns
// _NET_SYSTEM_TRAY_S<screen>) through the XEmbed protocol, its tip in an engine-drawn tooltip
// window, its clicks reported as the mouse messages Windows sends for a notification icon. Runs on
// the main thread over a connection of its own, so SDL's event loop never sees these windows.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/tray_icon.h"
#include "platform/sdl/sdl_drawn_dialog.h"
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

constexpr long kSystemTrayRequestDock = 0;
constexpr long kXEmbedMapped = 1;
constexpr uint32_t kTipDelayMs = 500;  // the pointer rests this long before the tip shows
constexpr Time kDoubleClickMs = 500;   // Windows' default double-click time
constexpr int kDoubleClickDistance = 4;
constexpr int kSide = kTrayIconPictureSide;
constexpr long kIconEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                             EnterWindowMask | LeaveWindowMask | PointerMotionMask |
                             StructureNotifyMask;

struct X11Tray {
  Display* display = nullptr;
  bool tried = false;  // the connection is opened once per run
  int screen = 0;
  ::Window root = 0;
  Atom selection = None, opcode = None, manager = None, xembed_info = None;
  Atom window_type = None, tooltip_type = None, tray_visual = None;
  bool wanted = false;  // the engine shows an icon
  WindowId owner = kNoWindow;
  uint32_t icon[kSide * kSide] = {};  // 0xAARRGGBB, straight alpha
  std::string tip;                    // code page 932
  ::Window icon_window = 0;
  // A tray that asks for a visual with alpha gets the icon in it: its window is then drawn whole,
  // transparent around the icon, with this GC and colour map.
  VisualID icon_visual = 0;  // 0: the screen's default visual
  Visual* argb_visual = nullptr;
  Colormap argb_colormap = 0;
  GC argb_gc = nullptr;
  ::Window host = 0;                  // the tray the icon was handed to
  int width = kSide, height = kSide;  // the icon window's size, as the tray made it
  ::Window tip_window = 0;
  TipPicture tip_picture;
  bool inside = false;       // the pointer is over the icon
  bool tip_blocked = false;  // a click hid the tip until the pointer leaves
  uint32_t rest_since = 0;   // the pointer's last move over the icon (RealNowMs)
  int pointer_x = 0, pointer_y = 0;  // screen coordinates
  bool left_pressed = false;         // the last press was the left button's, at this time and place
  Time left_time = 0;
  int left_x = 0, left_y = 0;
};

X11Tray g_x11_tray;

// Errors of the tray's requests (a host that went away, a window it destroyed) are counted, never
// fatal. Every request is made inside a trap, which waits for its answers before it ends. Traps
// nest: each compares the count with what it was when the trap began, so an inner trap never
// hides an error the outer one is to see. Errors of other connections go to the handler before.
int g_tray_errors = 0;
Display* g_trapped_display = nullptr;
XErrorHandler g_outer_handler = nullptr;
int CountTrayError(Display* display, XErrorEvent* event) {
  if (display != g_trapped_display && g_outer_handler != nullptr) {
    return g_outer_handler(display, event);
  }
  g_tray_errors += 1;
  return 0;
}

class TrayErrorTrap {
 public:
  explicit TrayErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler(CountTrayError);
    if (previous_ != CountTrayError) {
      g_outer_handler = previous_;
      g_trapped_display = display_;
    }
    start_ = g_tray_errors;
  }
  ~TrayErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
    if (previous_ != CountTrayError) {
      g_outer_handler = nullptr;
      g_trapped_display = nullptr;
    }
  }
  TrayErrorTrap(const TrayErrorTrap&) = delete;
  TrayErrorTrap& operator=(const TrayErrorTrap&) = delete;
  bool Failed() {
    XSync(display_, False);
    return g_tray_errors != start_;
  }

 private:
  Display* display_;
  XErrorHandler previous_ = nullptr;
  int start_ = 0;
};

// The program's own icon: a blue tile with a lighter frame and a white diamond.
void DrawProgramIcon(uint32_t* icon) {
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      uint32_t colour = 0xFF1F4E9Cu;
      if (x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1) colour = 0xFF6C9BE0u;
      const int dx = x * 2 + 1 - kSide, dy = y * 2 + 1 - kSide;
      if (std::abs(dx) + std::abs(dy) <= 10) colour = 0xFFFFFFFFu;
      icon[y * kSide + x] = colour;
    }
  }
}

// A pixel of a TrueColor visual from 8-bit red, green and blue, and back.
unsigned long Channel(uint32_t value8, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long value = bits >= 8 ? static_cast<unsigned long>(value8) << (bits - 8)
                                        : static_cast<unsigned long>(value8) >> (8 - bits);
  return (value << shift) & mask;
}

uint32_t Channel8(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long value = (pixel & mask) >> shift;
  return static_cast<uint32_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits)) & 0xFFu;
}

unsigned long PixelOf(const Visual* visual, uint32_t rgb) {
  return Channel((rgb >> 16) & 0xFFu, visual->red_mask) |
         Channel((rgb >> 8) & 0xFFu, visual->green_mask) | Channel(rgb & 0xFFu, visual->blue_mask);
}

uint32_t RgbOf(const Visual* visual, unsigned long pixel) {
  return Channel8(pixel, visual->red_mask) << 16 | Channel8(pixel, visual->green_mask) << 8 |
         Channel8(pixel, visual->blue_mask);
}

// An image of a visual and depth whose pixels the caller fills (XDestroyImage frees them).
XImage* MakeImage(Display* d, Visual* visual, int depth, int width, int height) {
  XImage* image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (image == nullptr) return nullptr;
  image->data = static_cast<char*>(
      std::calloc(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height), 1));
  if (image->data == nullptr) {
    XDestroyImage(image);
    return nullptr;
  }
  return image;
}

// The icon's pixel at (x, y) of a `side` × `side` square (scaled down from 16 × 16 when smaller).
uint32_t IconPixel(int x, int y, int side) {
  return g_x11_tray.icon[(y * kSide / side) * kSide + x * kSide / side];
}

// In a tray's visual with alpha: the whole window, transparent but for the icon (alpha
// premultiplied, as compositors take it).
void DrawIconWithAlpha(int side, int ox, int oy) {
  X11Tray& t = g_x11_tray;
  Display* d = t.display;
  const Visual* visual = t.argb_visual;
  const unsigned long alpha_mask =
      0xFFFFFFFFul & ~(visual->red_mask | visual->green_mask | visual->blue_mask);
  TrayErrorTrap trap(d);
  XImage* image = MakeImage(d, t.argb_visual, 32, t.width, t.height);
  if (image == nullptr) return;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const uint32_t p = IconPixel(x, y, side);
      const uint32_t a = p >> 24;
      uint32_t rgb = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        rgb |= ((((p >> shift) & 0xFFu) * a + 127) / 255) << shift;
      }
      XPutPixel(image, ox + x, oy + y, PixelOf(visual, rgb) | Channel(a, alpha_mask));
    }
  }
  XPutImage(d, t.icon_window, t.argb_gc, image, 0, 0, 0, 0, static_cast<unsigned>(t.width),
            static_cast<unsigned>(t.height));
  XDestroyImage(image);
}

// The icon, 16 × 16 in the middle of its window (smaller windows get it scaled down), laid over
// the tray's own background where it is not opaque.
void DrawIcon() {
  X11Tray& t = g_x11_tray;
  if (t.icon_window == 0) return;
  Display* d = t.display;
  const Visual* visual = DefaultVisual(d, t.screen);
  const int side = std::min({t.width, t.height, kSide});
  if (side <= 0) return;
  const int ox = (t.width - side) / 2, oy = (t.height - side) / 2;
  if (t.icon_visual != 0) {
    DrawIconWithAlpha(side, ox, oy);
    return;
  }
  TrayErrorTrap trap(d);
  XClearWindow(d, t.icon_window);
  // What the tray shows under the icon; an icon window that is not on the screen reads nothing.
  XImage* image = XGetImage(d, t.icon_window, ox, oy, static_cast<unsigned>(side),
                            static_cast<unsigned>(side), AllPlanes, ZPixmap);
  if (trap.Failed() && image != nullptr) {
    XDestroyImage(image);
    image = nullptr;
  }
  if (image == nullptr) {
    image = MakeImage(d, DefaultVisual(d, t.screen), DefaultDepth(d, t.screen), side, side);
  }
  if (image == nullptr) return;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const uint32_t p = IconPixel(x, y, side);
      const uint32_t a = p >> 24;
      uint32_t rgb = p & 0xFFFFFFu;
      if (a < 255) {
        const uint32_t under = RgbOf(visual, XGetPixel(image, x, y));
        uint32_t mixed = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
          const uint32_t f = (rgb >> shift) & 0xFFu, b = (under >> shift) & 0xFFu;
          mixed |= ((f * a + b * (255 - a) + 127) / 255) << shift;
        }
        rgb = mixed;
      }
      XPutPixel(image, x, y, PixelOf(visual, rgb));
    }
  }
  XPutImage(d, t.icon_window, DefaultGC(d, t.screen), image, 0, 0, ox, oy,
            static_cast<unsigned>(side), static_cast<unsigned>(side));
  XDestroyImage(image);
}

void DrawTip() {
  X11Tray& t = g_x11_tray;
  if (t.tip_window == 0 || t.tip_picture.width <= 0) return;
  Display* d = t.display;
  const Visual* visual = DefaultVisual(d, t.screen);
  TrayErrorTrap trap(d);
  XImage* image = MakeImage(d, DefaultVisual(d, t.screen), DefaultDepth(d, t.screen),
                            t.tip_picture.width, t.tip_picture.height);
  if (image == nullptr) return;
  for (int y = 0; y < t.tip_picture.height; ++y) {
    for (int x = 0; x < t.tip_picture.width; ++x) {
      const uint32_t p =
          t.tip_picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(t.tip_picture.width) +
                               static_cast<size_t>(x)];
      XPutPixel(image, x, y, PixelOf(visual, p & 0xFFFFFFu));
    }
  }
  XPutImage(d, t.tip_window, DefaultGC(d, t.screen), image, 0, 0, 0, 0,
            static_cast<unsigned>(t.tip_picture.width),
            static_cast<unsigned>(t.tip_picture.height));
  XDestroyImage(image);
}

void HideTip() {
  X11Tray& t = g_x11_tray;
  if (t.tip_window == 0) return;
  TrayErrorTrap trap(t.display);
  XDestroyWindow(t.display, t.tip_window);
  t.tip_window = 0;
  t.tip_picture = TipPicture{};
}

// The tip at the pointer, below the icon (above it when the screen ends first: trays sit at the
// edges), kept on the screen.
void ShowTip() {
  X11Tray& t = g_x11_tray;
  if (t.tip_window != 0 || t.tip.empty()) return;
  Display* d = t.display;
  t.tip_picture = DrawTipPicture(t.tip);
  const int w = t.tip_picture.width, h = t.tip_picture.height;
  if (w <= 0 || h <= 0) return;
  const int screen_w = DisplayWidth(d, t.screen), screen_h = DisplayHeight(d, t.screen);
  TrayErrorTrap trap(d);
  int icon_top = t.pointer_y, icon_left = 0;
  ::Window child = 0;
  if (!XTranslateCoordinates(d, t.icon_window, t.root, 0, 0, &icon_left, &icon_top, &child)) {
    icon_top = t.pointer_y;
  }
  const int gap = 2;
  int x = t.pointer_x, y = icon_top + t.height + gap;
  if (y + h > screen_h) y = icon_top - h - gap;
  x = std::max(0, std::min(x, screen_w - w));
  y = std::max(0, std::min(y, screen_h - h));
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.save_under = True;
  // The picture's background (inside its frame) until it is drawn.
  const uint32_t background = t.tip_picture.pixels[static_cast<size_t>(w) + 1];
  a.background_pixel = PixelOf(DefaultVisual(d, t.screen), background & 0xFFFFFFu);
  a.event_mask = ExposureMask;
  t.tip_window = XCreateWindow(d, t.root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                               0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWEventMask, &a);
  XStoreName(d, t.tip_window, "tip");
  XChangeProperty(d, t.tip_window, t.window_type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&t.tooltip_type), 1);
  XMapRaised(d, t.tip_window);
  // Drawn at once, so the tip is never seen empty; exposures draw it again.
  DrawTip();
}

bool OpenTrayDisplay() {
  X11Tray& t = g_x11_tray;
  if (t.tried) return t.display != nullptr;
  t.tried = true;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || SDL_strcmp(driver, "x11") != 0) return false;
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return false;
  if (DefaultVisual(d, DefaultScreen(d))->c_class != TrueColor) {
    XCloseDisplay(d);
    return false;
  }
  t.display = d;
  t.screen = DefaultScreen(d);
  t.root = RootWindow(d, t.screen);
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(t.screen);
  t.selection = XInternAtom(d, selection.c_str(), False);
  t.opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
  t.manager = XInternAtom(d, "MANAGER", False);
  t.xembed_info = XInternAtom(d, "_XEMBED_INFO", False);
  t.window_type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
  t.tooltip_type = XInternAtom(d, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
  t.tray_visual = XInternAtom(d, "_NET_SYSTEM_TRAY_VISUAL", False);
  // A tray host that starts later announces itself to the root window.
  TrayErrorTrap trap(d);
  XSelectInput(d, t.root, StructureNotifyMask);
  return true;
}

// The visual the tray asks its icons to use, when it is a 32-bit one with alpha.
bool TrayAlphaVisual(::Window host, XVisualInfo* out) {
  X11Tray& t = g_x11_tray;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(t.display, host, t.tray_visual, 0, 1, False, XA_VISUALID, &type, &format,
                         &count, &after, &data) != Success) {
    return false;
  }
  VisualID id = 0;
  if (data != nullptr && type == XA_VISUALID && format == 32 && count == 1) {
    id = static_cast<VisualID>(*reinterpret_cast<const unsigned long*>(data));
  }
  if (data != nullptr) XFree(data);
  if (id == 0) return false;
  XVisualInfo wanted{};
  wanted.visualid = id;
  int found = 0;
  XVisualInfo* infos = XGetVisualInfo(t.display, VisualIDMask, &wanted, &found);
  const bool usable = infos != nullptr && found > 0 && infos[0].depth == 32 &&
                      infos[0].c_class == TrueColor;
  if (usable) *out = infos[0];
  if (infos != nullptr) XFree(infos);
  return usable;
}

void FreeAlphaVisual() {
  X11Tray& t = g_x11_tray;
  if (t.argb_gc != nullptr) XFreeGC(t.display, t.argb_gc);
  if (t.argb_colormap != 0) XFreeColormap(t.display, t.argb_colormap);
  t.argb_gc = nullptr;
  t.argb_colormap = 0;
  t.argb_visual = nullptr;
}

void DestroyIconWindow() {
  X11Tray& t = g_x11_tray;
  HideTip();
  TrayErrorTrap trap(t.display);
  if (t.icon_window != 0) XDestroyWindow(t.display, t.icon_window);
  if (t.host != 0) XSelectInput(t.display, t.host, NoEventMask);
  FreeAlphaVisual();
  t.icon_window = 0;
  t.icon_visual = 0;
  t.host = 0;
  t.inside = false;
  t.tip_blocked = false;
  t.left_pressed = false;
}

// Hands the icon window (made on first use) to the tray host; false when there is none.
bool Dock() {
  X11Tray& t = g_x11_tray;
  Display* d = t.display;
  const ::Window host = XGetSelectionOwner(d, t.selection);
  if (host == None) return false;
  TrayErrorTrap trap(d);
  XVisualInfo argb{};
  const bool with_alpha = TrayAlphaVisual(host, &argb);
  const VisualID visual = with_alpha ? argb.visualid : 0;
  // A window made for another tray's visual is made again.
  if (t.icon_window != 0 && t.icon_visual != visual) DestroyIconWindow();
  if (t.icon_window == 0) {
    XSetWindowAttributes a{};
    a.event_mask = kIconEvents;
    if (with_alpha) {
      FreeAlphaVisual();
      t.argb_visual = argb.visual;
      t.argb_colormap = XCreateColormap(d, t.root, argb.visual, AllocNone);
      a.colormap = t.argb_colormap;
      a.background_pixel = 0;
      a.border_pixel = 0;
      t.icon_window = XCreateWindow(d, t.root, 0, 0, kSide, kSide, 0, 32, InputOutput, argb.visual,
                                    CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &a);
      t.argb_gc = XCreateGC(d, t.icon_window, 0, nullptr);
    } else {
      // The tray's own background shows where the icon is not opaque.
      a.background_pixmap = ParentRelative;
      t.icon_window = XCreateWindow(d, t.root, 0, 0, kSide, kSide, 0, CopyFromParent, InputOutput,
                                    CopyFromParent, CWBackPixmap | CWEventMask, &a);
    }
    t.icon_visual = visual;
    t.width = t.height = kSide;
    const long info[2] = {0, kXEmbedMapped};  // protocol version 0, map when embedded
    XChangeProperty(d, t.icon_window, t.xembed_info, t.xembed_info, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    // Trays size their sockets from these.
    XSizeHints hints{};
    hints.flags = PMinSize | PBaseSize;
    hints.min_width = hints.base_width = kSide;
    hints.min_height = hints.base_height = kSide;
    XSetWMNormalHints(d, t.icon_window, &hints);
    XStoreName(d, t.icon_window, "tray icon");
    char name[] = "korvel";
    XClassHint class_hint{name, name};
    XSetClassHint(d, t.icon_window, &class_hint);
  }
  // The host's end is seen through its window's destruction.
  XSelectInput(d, host, StructureNotifyMask);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = host;
  e.xclient.message_type = t.opcode;
  e.xclient.format = 32;
  e.xclient.data.l[0] = CurrentTime;
  e.xclient.data.l[1] = kSystemTrayRequestDock;
  e.xclient.data.l[2] = static_cast<long>(t.icon_window);
  XSendEvent(d, host, False, NoEventMask, &e);
  if (trap.Failed()) return false;
  t.host = host;
  return true;
}

void PostClick(int32_t message, int x, int y) {
  Event event;
  event.kind = EventKind::kTrayIcon;
  event.value = message;
  event.x = x;
  event.y = y;
  AddressEvent(&event, g_x11_tray.owner);
  PostEvent(std::move(event));
}

void OnButton(const XButtonEvent& e) {
  X11Tray& t = g_x11_tray;
  HideTip();
  t.tip_blocked = true;
  if (e.button == Button1) {
    // A second press soon after the first, close to it, is a double click (and not a press).
    const bool double_click = t.left_pressed && e.time - t.left_time <= kDoubleClickMs &&
                              std::abs(e.x_root - t.left_x) <= kDoubleClickDistance &&
                              std::abs(e.y_root - t.left_y) <= kDoubleClickDistance;
    t.left_pressed = !double_click;
    t.left_time = e.time;
    t.left_x = e.x_root;
    t.left_y = e.y_root;
    PostClick(double_click ? kTrayLeftDoubleClick : kTrayLeftDown, e.x_root, e.y_root);
  } else if (e.button == Button3) {
    t.left_pressed = false;
    PostClick(kTrayRightDown, e.x_root, e.y_root);
  }
}

void HandleTrayEvent(const XEvent& e) {
  X11Tray& t = g_x11_tray;
  const ::Window window = e.xany.window;
  switch (e.type) {
    case Expose:
      if (e.xexpose.count != 0) break;
      if (window == t.icon_window) DrawIcon();
      if (window == t.tip_window && window != 0) DrawTip();
      break;
    case ConfigureNotify:
      if (window == t.icon_window && window != 0) {
        t.width = e.xconfigure.width;
        t.height = e.xconfigure.height;
      }
      break;
    case ReparentNotify:
      // Back on the root window: the tray that held the icon is gone. It waits, unmapped, for
      // the next one.
      if (window == t.icon_window && window != 0 && e.xreparent.parent == t.root) {
        TrayErrorTrap trap(t.display);
        XUnmapWindow(t.display, t.icon_window);
        t.host = 0;
        HideTip();
      }
      break;
    case DestroyNotify:
      if (e.xdestroywindow.window == t.icon_window && t.icon_window != 0) {
        // The tray took the icon window with it.
        t.icon_window = 0;
        t.icon_visual = 0;
        t.host = 0;
        FreeAlphaVisual();
        HideTip();
      } else if (e.xdestroywindow.window == t.host && t.host != 0) {
        t.host = 0;
      }
      break;
    case ClientMessage:
      if (window == t.root && e.xclient.message_type == t.manager &&
          static_cast<Atom>(e.xclient.data.l[1]) == t.selection && t.wanted && t.host == 0) {
        if (Dock()) DrawIcon();
      }
      break;
    case EnterNotify:
    case MotionNotify:
      if (window == t.icon_window && window != 0) {
        const int x = e.type == EnterNotify ? e.xcrossing.x_root : e.xmotion.x_root;
        const int y = e.type == EnterNotify ? e.xcrossing.y_root : e.xmotion.y_root;
        if (!t.inside || x != t.pointer_x || y != t.pointer_y) t.rest_since = RealNowMs();
        t.inside = true;
        t.pointer_x = x;
        t.pointer_y = y;
      }
      break;
    case LeaveNotify:
      if (window == t.icon_window && window != 0) {
        t.inside = false;
        t.tip_blocked = false;
        HideTip();
      }
      break;
    case ButtonPress:
      if (window == t.icon_window && window != 0) OnButton(e.xbutton);
      break;
    default: break;
  }
}

bool ShowIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis) {
  X11Tray& t = g_x11_tray;
  if (!OpenTrayDisplay()) return false;
  t.owner = owner;
  if (bgra == nullptr) {
    DrawProgramIcon(t.icon);
  } else {
    // An icon whose alpha is zero throughout has none: its colours show whole.
    bool any_alpha = false;
    for (int i = 0; i < kSide * kSide; ++i) any_alpha = any_alpha || bgra[i * 4 + 3] != 0;
    for (int i = 0; i < kSide * kSide; ++i) {
      const uint8_t* p = bgra + i * 4;
      const uint32_t a = any_alpha ? p[3] : 0xFFu;
      t.icon[i] = a << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }
  }
  if (t.tip != tip_sjis) {
    HideTip();
    t.tip.assign(tip_sjis);
    t.rest_since = RealNowMs();
  }
  t.wanted = true;
  if (t.host != 0 && t.icon_window != 0) {
    DrawIcon();
    return true;
  }
  return Dock();
}

}  // namespace

bool SdlBackend::ShowTrayIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis) {
  bool shown = false;
  OnMainThread([&] { shown = ShowIcon(owner, bgra, tip_sjis); });
  return shown;
}

void SdlBackend::RemoveTrayIcon() {
  OnMainThread([] {
    X11Tray& t = g_x11_tray;
    t.wanted = false;
    if (t.display != nullptr) DestroyIconWindow();
  });
}

void PumpTrayEvents() {
  X11Tray& t = g_x11_tray;
  if (t.display == nullptr) return;
  while (XPending(t.display) > 0) {
    XEvent e;
    XNextEvent(t.display, &e);
    HandleTrayEvent(e);
  }
  if (t.inside && !t.tip_blocked && t.tip_window == 0 && t.host != 0 &&
      RealNowMs() - t.rest_since >= kTipDelayMs) {
    ShowTip();
  }
}

void CloseTray() {
  X11Tray& t = g_x11_tray;
  if (t.display != nullptr) {
    DestroyIconWindow();
    XCloseDisplay(t.display);
  }
  t = X11Tray{};
}

}  // namespace korvel::platform::sdl
