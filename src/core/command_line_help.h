// The engine's own command-line options that answer without running a game: --help and --version.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

enum class CommandLineRequest : uint8_t { kRunGame, kHelp, kVersion };

// The first of --help (or -h) and --version among the engine's options (before any "--");
// kRunGame when neither is there. The value after --game is never taken for an option.
CommandLineRequest FindCommandLineRequest(int argc, const char* const* argv);

// The usage text --help prints, and the line --version prints (both end with a newline).
std::string UsageText();
std::string VersionText();

}  // namespace korvel
