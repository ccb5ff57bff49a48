// The notification-area icon, forwarded to the active backend.
#include "platform/tray_icon.h"

#include "platform/backend.h"

namespace korvel::platform {

bool ShowTrayIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis) {
  const size_t nul = tip_sjis.find('\0');
  if (nul != std::string_view::npos) tip_sjis = tip_sjis.substr(0, nul);
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->ShowTrayIcon(owner, bgra, tip_sjis);
}

void RemoveTrayIcon() {
  if (Backend* b = ActiveBackendObject()) b->RemoveTrayIcon();
}

}  // namespace korvel::platform
