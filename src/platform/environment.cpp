// Environment variables and the home folder.
#include "platform/environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace korvel::platform {

std::string GetEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool HasEnvironment(const char* name) { return std::getenv(name) != nullptr; }

std::string HomeFolder() {
  std::string home = GetEnvironment("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return "/tmp";
}

}  // namespace korvel::platform
