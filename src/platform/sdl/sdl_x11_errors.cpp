// An Xlib error filter for the X11 video driver. Xlib's default handler ends the program on any
// error, and one error cannot be avoided: when another client asks for the clipboard and its
// window is gone before the answer is sent, sending the answer fails with BadWindow. That one is
// dropped; every other error goes to the handler that was installed before. It is installed before
// SDL opens the display, so the handler SDL puts back when it closes the display is this one too.
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

XErrorHandler g_previous_handler = nullptr;

int FilterError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return g_previous_handler != nullptr ? g_previous_handler(display, error) : 0;
}

}  // namespace

void FilterX11Errors() {
  const XErrorHandler previous = XSetErrorHandler(FilterError);
  if (previous != FilterError) g_previous_handler = previous;
}

}  // namespace korvel::platform::sdl
