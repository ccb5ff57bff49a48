// A test's check for a tool or driver that scripts/setup installs: skipped where it is missing,
// failed instead when KORVEL_REQUIRE_TOOLS=1 (scripts/test sets it), so a reference check that did
// not run never passes as green.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace korvel::test {

// True when KORVEL_REQUIRE_TOOLS is set to 1.
inline bool ToolsRequired() {
  const char* value = std::getenv("KORVEL_REQUIRE_TOOLS");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace korvel::test

// Ends the test when `available` is false, naming `what` (anything that can be streamed): a failure
// under KORVEL_REQUIRE_TOOLS=1, a skip otherwise. Like GTEST_SKIP it returns from the function it
// is written in, so write it in the test body or a fixture's SetUp; a helper that uses it is called
// through ASSERT_NO_FATAL_FAILURE and followed by `if (IsSkipped()) return;`.
#define KORVEL_REQUIRE_TOOL(available, what)                                                  \
  switch (0)                                                                                  \
  case 0:                                                                                     \
  default:                                                                                    \
    if (available) {                                                                          \
    } else if (::korvel::test::ToolsRequired())                                               \
      GTEST_FAIL() << what << " is not available, and scripts/setup installs it"              \
                   << " (KORVEL_REQUIRE_TOOLS=1 makes this a failure, not a skip)";           \
    else                                                                                      \
      GTEST_SKIP() << what << " is not available (scripts/setup installs it)"
