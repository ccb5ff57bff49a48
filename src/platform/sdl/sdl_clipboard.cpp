// The clipboard through SDL: texts converted between code page 932 and UTF-8.
#include "platform/sdl/sdl_state.h"
#include "platform/text_encoding.h"

namespace korvel::platform::sdl {

bool SdlBackend::SetClipboardText(std::string_view text_sjis) {
  bool done = false;
  const std::string utf8 = Cp932ToUtf8(text_sjis);
  OnMainThread([&] { done = SDL_SetClipboardText(utf8.c_str()) == 0; });
  return done;
}

bool SdlBackend::GetClipboardText(std::string* text_sjis) {
  bool found = false;
  OnMainThread([&] {
    if (SDL_HasClipboardText() != SDL_TRUE) return;
    char* text = SDL_GetClipboardText();
    if (text == nullptr) return;
    found = text[0] != '\0';
    *text_sjis = Utf8ToCp932(text);
    SDL_free(text);  // SDL's copy is always given back
  });
  return found;
}

}  // namespace korvel::platform::sdl
