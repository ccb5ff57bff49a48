// The text-input dialog of the SDL backend.
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {

int32_t SdlBackend::InputDialog(WindowId /*owner*/, const InputDialogRequest& /*request*/,
                                std::string* /*answer_sjis*/) {
  return -1;
}

}  // namespace korvel::platform::sdl
