// Command 77: the number of script files, an entry's stored value or its source path.
#include "script/script_list_command.h"

#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {

int32_t RunScriptFileListCommand() {
  if (DecodeCommandArguments(kCommandScriptFileList) != 0) return -1;
  const DecodedArgument* out = FindArg(4);
  if (out == nullptr) return 0;
  const uint32_t number = out->var_number;
  const int64_t index = out->element_index;
  const uint32_t files = g_script.script_count;
  const int64_t n = ArgValue(3);
  const bool valid = ArgGiven(3) && n >= 1 && n <= int64_t{files};
  if (ArgGiven(1)) {
    SetVarNumberElement(number, index, files);
  } else if (ArgGiven(2)) {
    const auto entry = static_cast<size_t>(n - 1);
    const bool known = valid && entry < g_script.script_values.size();
    SetVarNumberElement(number, index, known ? g_script.script_values[entry] : 0);
  } else if (ArgGiven(0)) {
    SetVarStringElement(number, index, valid ? ScriptSourcePath(static_cast<uint32_t>(n - 1)) : "");
  } else {
    SetVarNumberElement(number, index, 0);
  }
  return 0;
}

}  // namespace korvel
