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

class CommandArgs {
 public:
  CommandArgs() {
    for (auto& a : g_args.at) a.text = nullptr;
    ClearDecodedArguments();
    g_argument_decoder = [](int32_t) { return int32_t{0}; };
  }
  CommandArgs& Value(uint8_t param, int64_t value) {
    At(param).value = value;
    return *this;
  CommandArgs& Text(uint8_t param, const std::string& text) {
    DecodedArgument& a = At(param);
    a.text = ArgTextBuffer(g_args.presence[param]);
    const size_t n = text.size() < kStringBufferSize - 1 ? text.size() : kStringBufferSize - 1;
    std::memcpy(a.text, text.data(), n);
    a.text[n] = '\0';
    a.text_length = n;
  CommandArgs& Ref(uint8_t param, uint32_t variable, int64_t element = 0) {
    a.var_number = variable;
// Decoded arguments set by hand for command handlers run without a script: texts, numbers with an
// assignment operator, and variable elements as destinations.

#include <deque>



    saved_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };  // the arguments are set by the test
  ~CommandArgs() {
    g_argument_decoder = saved_;
  CommandArgs(const CommandArgs&) = delete;
  CommandArgs& operator=(const CommandArgs&) = delete;

  CommandArgs& Clear() {
    texts_.clear();
    texts_.push_back(text);
    DecodedArgument& a = Add(param);
    a.text = texts_.back().data();
    a.text_length = text.size();
  CommandArgs& Num(uint8_t param, int64_t value, uint32_t op = 0) {
    a.value = value;
    a.op = op;
  CommandArgs& Dest(uint8_t param, uint32_t var, int64_t element = 0) {
    a.var_number = var;
    a.element_index = element;
    return *this;
  }

 private:
  static DecodedArgument& At(uint8_t param) {
    if (g_args.presence[param] == 0) {
      g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
      g_args.at[g_args.presence[param]].param = param;
    }
    return g_args.at[g_args.presence[param]];
  }
  static DecodedArgument& Add(uint8_t param) {
    const int32_t position = ++g_args.count;
    g_args.presence[param] = static_cast<uint8_t>(position);
    g_args.at[position] = DecodedArgument{};
    g_args.at[position].param = param;
    return g_args.at[position];

  ArgumentDecoder saved_ = nullptr;
  std::deque<std::string> texts_;  // stable addresses
};

}  // namespace korvel::test
