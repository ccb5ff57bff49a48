// Helpers for the platform tests: environment variables set for one test, a clean headless
// environment, and draining the event queue.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace korvel::platform::test {

// Sets (or unsets, with nullopt) an environment variable and restores it when the test ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

inline std::vector<Event> DrainEvents() {
  std::vector<Event> events;
  Event event;
  while (PollEvent(&event)) events.push_back(event);
  return events;
}

// Unsets every headless control variable for the duration of a test.
struct CleanHeadlessEnv {
  ScopedEnv platform{"KORVEL_PLATFORM", std::nullopt};
  ScopedEnv frames{"KORVEL_FRAMES", std::nullopt};
  ScopedEnv dump{"KORVEL_DUMP", std::nullopt};
  ScopedEnv input{"KORVEL_INPUT", std::nullopt};
  ScopedEnv answers{"KORVEL_ANSWERS", std::nullopt};
  ScopedEnv clock{"KORVEL_CLOCK_START", std::nullopt};
  ScopedEnv monitors{"KORVEL_MONITORS", std::nullopt};
};

}  // namespace korvel::platform::test
