// The installed menu bar's pixels, drawn on request.
#include "support/commands/menu_bar_pixels.h"

#include <mutex>

#include "commands/menu_bar.h"

namespace korvel::test {

int32_t DrawInstalledMenuBar() {
  std::lock_guard guard(g_menu_bar.lock);
  DrawMenuBarLocked();
  return g_menu_bar.layout.width;
}

}  // namespace korvel::test
