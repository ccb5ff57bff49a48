// The commands that only decode and check their arguments.
#include "script/args_only_commands.h"

#include "script/argument_decoder.h"

namespace korvel {

namespace {

int32_t ArgsOnly(uint8_t command) { return DecodeCommandArguments(command) != 0 ? -1 : 0; }

}  // namespace

int32_t RunArgsOnlyCommand7() { return ArgsOnly(kCommandArgsOnly7); }
int32_t RunArgsOnlyCommand14() { return ArgsOnly(kCommandArgsOnly14); }
int32_t RunArgsOnlyCommand52() { return ArgsOnly(kCommandArgsOnly52); }
int32_t RunArgsOnlyCommand53() { return ArgsOnly(kCommandArgsOnly53); }
int32_t RunArgsOnlyCommand54() { return ArgsOnly(kCommandArgsOnly54); }
int32_t RunArgsOnlyCommand59() { return ArgsOnly(kCommandArgsOnly59); }
int32_t RunArgsOnlyCommand71() { return ArgsOnly(kCommandArgsOnly71); }
int32_t RunArgsOnlyCommand84() { return ArgsOnly(kCommandArgsOnly84); }

}  // namespace korvel
