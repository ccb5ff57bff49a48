// The process environment and the user's home, read only here so the engine's own code never
// touches the environment itself.
#pragma once

#include <string>

namespace korvel::platform {

// The value of an environment variable; empty when it is unset.
std::string GetEnvironment(const char* name);
// True when the variable is set (also to the empty text).
bool HasEnvironment(const char* name);

// The user's home folder: $HOME, else the password database's entry, else "/tmp".
std::string HomeFolder();

}  // namespace korvel::platform
