// Splitting a program's parameters as a Windows program splits its command line: separators,
// quoted groups, literal quotes and the backslash runs before a quote.
#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel::platform {
namespace {

TEST(WindowsCommandLine, SplitsAsWindowsPrograms) {
  const struct {
    const char* text;
    std::vector<std::string> args;
  } cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"  a   b  ", {"a", "b"}},
      {"\"two words\" x", {"two words", "x"}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"\"", {""}},
      {"a \"\" b", {"a", "", "b"}},
      {"\"a\"\"b\"", {"a\"b"}},
      {"\"open", {"open"}},
      {"c:\\dir\\file", {"c:\\dir\\file"}},
      {"\\\"x", {"\"x"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"a\\\\ b", {"a\\\\", "b"}},
      {"\"x\\\\\"", {"x\\"}},
      {"$HOME;rm `id` |x", {"$HOME;rm", "`id`", "|x"}},
      {"日本 語", {"日本", "語"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(c.text), c.args) << c.text;
  }
}

}  // namespace
}  // namespace korvel::platform
