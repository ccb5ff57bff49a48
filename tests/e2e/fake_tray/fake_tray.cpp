// A stand-in system tray for the tests: it asks its icons for a 32-bit visual with alpha (as
// compositing trays do), docks the first icon into a 24 × 24 socket and writes what the icon shows.
// Usage: fake_tray OUT_FILE (DISPLAY from the environment). Once the icon's pixels have settled,
// OUT_FILE holds 24 lines of 24 ARGB words in hex; when the icon window goes away, OUT_FILE.gone
// appears. Runs until it is killed; exit status 3 when the server has no 32-bit visual.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kSocketSide = 24;

int IgnoreError(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

// The icon's pixels as text, or empty when they cannot be read or show nothing yet.
std::string ReadIcon(Display* d, Window icon) {
  XImage* image = XGetImage(d, icon, 0, 0, kSocketSide, kSocketSide, AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  std::string text;
  bool any = false;
  for (int y = 0; y < kSocketSide; ++y) {
    for (int x = 0; x < kSocketSide; ++x) {
      const unsigned long p = XGetPixel(image, x, y) & 0xFFFFFFFFul;
      any = any || p != 0;
      char word[10];
      std::snprintf(word, sizeof word, "%08lx%c", p, x + 1 < kSocketSide ? ' ' : '\n');
      text += word;
    }
  }
  XDestroyImage(image);
  return any ? text : std::string();
}

void WriteFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".part";
  if (FILE* f = std::fopen(temporary.c_str(), "w")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
    std::rename(temporary.c_str(), path.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string out = argv[1];
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return 2;
  XSetErrorHandler(IgnoreError);
  const int screen = DefaultScreen(d);
  const Window root = RootWindow(d, screen);
  XVisualInfo argb{};
  if (!XMatchVisualInfo(d, screen, 32, TrueColor, &argb)) return 3;

  const std::string selection_name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
  const Atom selection = XInternAtom(d, selection_name.c_str(), False);
  const Atom opcode = XInternAtom(d, "_NET_SYSTEM_TRAY_OPCODE", False);
  const Atom manager_atom = XInternAtom(d, "MANAGER", False);
  const Atom visual_atom = XInternAtom(d, "_NET_SYSTEM_TRAY_VISUAL", False);

  XSetWindowAttributes a{};
  a.override_redirect = True;
  const Window manager = XCreateWindow(d, root, -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                                       CopyFromParent, CWOverrideRedirect, &a);
  const unsigned long visual_id = argb.visualid;
  XChangeProperty(d, manager, visual_atom, XA_VISUALID, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&visual_id), 1);
  a.colormap = XCreateColormap(d, root, argb.visual, AllocNone);
  a.background_pixel = 0;
  a.border_pixel = 0;
  const Window socket = XCreateWindow(
      d, root, 0, 0, kSocketSide + 8, kSocketSide + 8, 0, 32, InputOutput, argb.visual,
      CWOverrideRedirect | CWColormap | CWBackPixel | CWBorderPixel, &a);
  XMapWindow(d, socket);

  XSetSelectionOwner(d, selection, manager, CurrentTime);
  if (XGetSelectionOwner(d, selection) != manager) return 2;
  XEvent announce{};
  announce.xclient.type = ClientMessage;
  announce.xclient.window = root;
  announce.xclient.message_type = manager_atom;
  announce.xclient.format = 32;
  announce.xclient.data.l[0] = CurrentTime;
  announce.xclient.data.l[1] = static_cast<long>(selection);
  announce.xclient.data.l[2] = static_cast<long>(manager);
  XSendEvent(d, root, False, StructureNotifyMask, &announce);
  // The name tells the test that the tray is ready.
  XStoreName(d, socket, "fake tray");
  XSync(d, False);

  Window icon = 0;
  std::string last;
  bool written = false;
  for (;;) {
    while (XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == ClientMessage && e.xclient.window == manager &&
          e.xclient.message_type == opcode && e.xclient.data.l[1] == 0 && icon == 0) {
        icon = static_cast<Window>(e.xclient.data.l[2]);
        XSelectInput(d, icon, StructureNotifyMask);
        XReparentWindow(d, icon, socket, 4, 4);
        XResizeWindow(d, icon, kSocketSide, kSocketSide);
        XMapWindow(d, icon);
        XSync(d, False);
      } else if (e.type == DestroyNotify && icon != 0 && e.xdestroywindow.window == icon) {
        WriteFile(out + ".gone", "gone\n");
        icon = 0;
      }
    }
    if (icon != 0 && !written) {
      // Written once two reads in a row agree: the icon has finished drawing.
      const std::string now = ReadIcon(d, icon);
      if (!now.empty() && now == last) {
        WriteFile(out, now);
        written = true;
      }
      last = now;
    }
    usleep(20000);
  }
}
