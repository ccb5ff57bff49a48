// What SDL does not offer for a window and X11 does: the window shape (the shape extension) and
// stacking below or behind another window. Other video drivers keep the failure paths.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include "platform/sdl/sdl_shape_boxes.h"
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

struct X11Window {
  Display* display = nullptr;
  ::Window window = 0;
};

bool X11Of(SDL_Window* handle, X11Window* out) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(handle, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
    return false;
  }
  out->display = info.info.x11.display;
  out->window = info.info.x11.window;
  return out->display != nullptr && out->window != 0;
}

// X errors of the calls below (a window manager that refuses a restack) are swallowed instead of
// ending the program through Xlib's default handler.
int g_x_errors = 0;
int CountXError(Display* /*display*/, XErrorEvent* /*event*/) {
  g_x_errors += 1;
  return 0;
}

class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    g_x_errors = 0;
    previous_ = XSetErrorHandler(CountXError);
  }
  ~XErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

}  // namespace

void SdlBackend::SetWindowOrder(WindowId window, WindowOrder order, WindowId other) {
  OnMainThread([&] {
    Window* record = FindWindow(window);
    if (record == nullptr) return;
    if (order == WindowOrder::kTopmost || order == WindowOrder::kNotTopmost) {
      SDL_SetWindowAlwaysOnTop(record->handle,
                               order == WindowOrder::kTopmost ? SDL_TRUE : SDL_FALSE);
      return;
    }
    X11Window x;
    if (!X11Of(record->handle, &x)) {
      if (order == WindowOrder::kTop) SDL_RaiseWindow(record->handle);
      return;
    }
    XWindowChanges changes{};
    unsigned int mask = CWStackMode;
    changes.stack_mode = order == WindowOrder::kTop ? Above : Below;
    if (order == WindowOrder::kBehind) {
      Window* sibling = FindWindow(other);
      X11Window o;
      if (sibling == nullptr || !X11Of(sibling->handle, &o)) return;
      changes.sibling = o.window;
      mask |= CWSibling;
    }
    XErrorTrap trap(x.display);
    // Through the window manager when there is one (it owns the frames that are stacked).
    XReconfigureWMWindow(x.display, x.window, DefaultScreen(x.display), mask, &changes);
  });
}

bool SdlBackend::SetWindowShape(WindowId window, const std::vector<Rect>& rects) {
  bool done = false;
  OnMainThread([&] {
    Window* record = FindWindow(window);
    X11Window x;
    if (record == nullptr || !X11Of(record->handle, &x)) return;
    int event_base = 0, error_base = 0;
    if (!XShapeQueryExtension(x.display, &event_base, &error_base)) return;
    // The rectangles are the client area's; the menu bar strip above it stays whole.
    int window_width = 0, window_height = 0;
    SDL_GetWindowSize(record->handle, &window_width, &window_height);
    std::vector<XRectangle> boxes;
    for (const ShapeBox& b : ShapeBoxes(rects, record->bar_height, window_width)) {
      boxes.push_back(XRectangle{b.x, b.y, b.width, b.height});
    }
    XErrorTrap trap(x.display);
    XShapeCombineRectangles(x.display, x.window, ShapeBounding, 0, 0, boxes.data(),
                            static_cast<int>(boxes.size()), ShapeSet, Unsorted);
    XSync(x.display, False);
    done = g_x_errors == 0;
  });
  return done;
}

}  // namespace korvel::platform::sdl
