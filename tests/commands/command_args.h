// Decoded arguments set by hand for command handlers run without a script: texts, numbers with an
// assignment operator, and variable elements as destinations.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "script/decoded_arguments.h"

namespace korvel::test {

class CommandArgs {
 public:
  CommandArgs() {
    saved_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };  // the arguments are set by the test
  }
  ~CommandArgs() {
    g_argument_decoder = saved_;
    ClearDecodedArguments();
  }
  CommandArgs(const CommandArgs&) = delete;
  CommandArgs& operator=(const CommandArgs&) = delete;

  CommandArgs& Clear() {
    ClearDecodedArguments();
    texts_.clear();
    return *this;
  }
  CommandArgs& Text(uint8_t param, const std::string& text) {
    texts_.push_back(text);
    DecodedArgument& a = Add(param);
    a.text = texts_.back().data();
    a.text_length = text.size();
    return *this;
  }
  CommandArgs& Num(uint8_t param, int64_t value, uint32_t op = 0) {
    DecodedArgument& a = Add(param);
    a.value = value;
    a.op = op;
    return *this;
  }
  CommandArgs& Dest(uint8_t param, uint32_t var, int64_t element = 0) {
    DecodedArgument& a = Add(param);
    a.var_number = var;
    a.element_index = element;
    return *this;
  }

 private:
  static DecodedArgument& Add(uint8_t param) {
    const int32_t position = ++g_args.count;
    g_args.presence[param] = static_cast<uint8_t>(position);
    g_args.at[position] = DecodedArgument{};
    g_args.at[position].param = param;
    return g_args.at[position];
  }

  ArgumentDecoder saved_ = nullptr;
  std::deque<std::string> texts_;  // stable addresses
};

}  // namespace korvel::test
