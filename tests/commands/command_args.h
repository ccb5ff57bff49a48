// Arguments for a command handler as the decoder leaves them, set by hand: values, texts and
// variable references by parameter index. The decoder is replaced by one that keeps them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/format_constants.h"

namespace korvel::test {

// Text buffers of the arguments set here, one per position (other tests may leave their own
// buffers in g_args, so none found there is reused).
inline char* ArgTextBuffer(uint8_t position) {
  static std::vector<std::vector<char>> buffers(kMaxArgumentPositions + 1,
                                                std::vector<char>(kStringBufferSize));
  return buffers[position].data();
}

// Forgets the buffers and puts the real decoder back (a fixture's TearDown).
inline void ResetCommandArgs() {
  for (auto& a : g_args.at) a.text = nullptr;
  ClearDecodedArguments();
  g_argument_decoder = DecodeCommandArguments;
}

class CommandArgs {
 public:
  // The arguments outlive the object (tests set them in one expression and run the handler in
  // the next); the fixture's TearDown calls ResetCommandArgs.
  CommandArgs() {
    Clear();
    g_argument_decoder = [](int32_t) { return int32_t{0}; };
  }
  CommandArgs(const CommandArgs&) = delete;
  CommandArgs& operator=(const CommandArgs&) = delete;

  // Forgets every argument set so far.
  CommandArgs& Clear() {
    for (auto& a : g_args.at) a.text = nullptr;
    ClearDecodedArguments();
    return *this;
  }
  CommandArgs& Value(uint8_t param, int64_t value) {
    At(param).value = value;
    return *this;
  }
  CommandArgs& Text(uint8_t param, const std::string& text) {
    DecodedArgument& a = At(param);
    a.text = ArgTextBuffer(g_args.presence[param]);
    const size_t n = text.size() < kStringBufferSize - 1 ? text.size() : kStringBufferSize - 1;
    std::memcpy(a.text, text.data(), n);
    a.text[n] = '\0';
    a.text_length = n;
    return *this;
  }
  // A number with the assignment operator the script wrote (0 plain, else the operator's code).
  CommandArgs& Num(uint8_t param, int64_t value, uint32_t op = 0) {
    DecodedArgument& a = At(param);
    a.value = value;
    a.op = op;
    return *this;
  }
  // A variable element the handler stores into.
  CommandArgs& Dest(uint8_t param, uint32_t variable, int64_t element = 0) {
    return Ref(param, variable, element);
  }
  CommandArgs& Ref(uint8_t param, uint32_t variable, int64_t element = 0) {
    DecodedArgument& a = At(param);
    a.var_number = variable;
    a.element_index = element;
    return *this;
  }

 private:
  static DecodedArgument& At(uint8_t param) {
    if (g_args.presence[param] == 0) {
      g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
      g_args.at[g_args.presence[param]] = DecodedArgument{};
      g_args.at[g_args.presence[param]].param = param;
    }
    return g_args.at[g_args.presence[param]];
  }
};

}  // namespace korvel::test
