// The decoded arguments of the command being run: presence by parameter index, values, string
// buffers, raw bytecode and the variable element each argument referenced. One set for the engine,
// overwritten by every decode.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Parameter indices are bytes, so every index has a slot and a command can carry 255 arguments.
inline constexpr int32_t kMaxArgumentPositions = 255;

struct DecodedArgument {
  uint32_t param;   // parameter index
  uint32_t type;    // expression type code
  uint32_t op;      // assignment operator byte
  uint32_t length;  // bytecode length (or a resolved target)
  uint32_t offset;  // bytecode offset in the expression section
  int64_t value;
  char* text;              // 4096-byte buffer, allocated the first time a string uses the position
  size_t text_length;      // bytes of the decoded text (it may hold bytes of any value)
  const uint8_t* raw;      // raw arguments: the bytecode
  uint32_t var_number;     // the variable reference the expression left
  int64_t element_index;
  uint8_t whole;
};

struct DecodedArguments {
  uint8_t presence[256];  // by parameter index: 0 absent, else the 1-based position
  int32_t count;
  DecodedArgument at[kMaxArgumentPositions + 1];  // positions 1..255
};

extern DecodedArguments g_args;

// Decodes the current command's arguments for command number `command`: 0, or -1 after a report.
// The runner installs the real decoder; the default leaves g_args as it stands.
using ArgumentDecoder = int32_t (*)(int32_t command);
extern ArgumentDecoder g_argument_decoder;

inline const DecodedArgument* FindArg(uint8_t param) {
  const uint8_t p = g_args.presence[param];
  return p != 0 ? &g_args.at[p] : nullptr;
}
inline bool ArgGiven(uint8_t param) { return g_args.presence[param] != 0; }
// The 64-bit value of a parameter; 0 when it is absent.
inline int64_t ArgValue(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  return a != nullptr ? a->value : 0;
}
// The text of a string parameter; "" when it is absent or has no text.
inline const char* ArgText(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  return a != nullptr && a->text != nullptr ? a->text : "";
}

// Clears presence and values; frees nothing. `FreeDecodedArguments` frees the string buffers.
void ClearDecodedArguments();
void FreeDecodedArguments();

}  // namespace korvel
