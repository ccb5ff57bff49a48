// Commands 5 and 6: the clipboard through the platform, its text kept as code page 932.
#include "commands/clipboard_commands.h"

#include "core/shift_jis.h"
#include "platform/clipboard.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel {

std::string FilterClipboardText(std::string_view text) {
  const size_t taken = text.size() < kClipboardReadLimit ? text.size() : kClipboardReadLimit;
  std::string out;
  out.reserve(taken);
  for (size_t i = 0; i < taken;) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (IsCp932LeadByte(b)) {
      // A character whose trail byte lies past the limit (or is missing) is left out.
      if (i + 1 < taken && static_cast<uint8_t>(text[i + 1]) >= 32) {
        out.append(text.substr(i, 2));
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (b >= 32) out.push_back(static_cast<char>(b));
    ++i;
  }
  return out;
}

int32_t RunClipboardSetCommand() {
  if (g_argument_decoder(kCommandClipboardSet) != 0) return -1;
  if (!ArgGiven(0) || !ArgGiven(1)) return 0;
  platform::SetClipboardText(ArgText(1));
  return 0;
}

int32_t RunClipboardGetCommand() {
  if (g_argument_decoder(kCommandClipboardGet) != 0) return -1;
  const DecodedArgument* target = FindArg(1);
  if (!ArgGiven(0) || target == nullptr) return 0;
  std::string text;
  if (!platform::GetClipboardText(&text)) return -1;
  SetVarStringElement(target->var_number, target->element_index,
                      FilterClipboardText(text).c_str());
  return 0;
}

}  // namespace korvel
