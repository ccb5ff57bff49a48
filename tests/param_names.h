// Readable names of parameterised cases, for test names, ctest and failure output.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace korvel::test {

// Letters and digits kept, a minus sign before a digit spelt out; every other run of characters
// becomes one '_', the only other character a test name may hold.
inline std::string NameSafe(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '-' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
      out += "Minus";
    } else if (plain) {
      out += c;
    } else if (!out.empty() && out.back() != '_') {
      out += '_';
    }
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out.empty() ? std::string("_") : out;
}

// Name generator for INSTANTIATE_TEST_SUITE_P: the case's own `name`, else its printed value.
struct CaseName {
  template <typename P>
  std::string operator()(const ::testing::TestParamInfo<P>& info) const {
    if constexpr (requires { info.param.name; }) {
      return NameSafe(info.param.name);
    } else {
      return NameSafe(::testing::PrintToString(info.param));
    }
  }
};

// Prints a case as its `name` where gtest would print the record's bytes (in ctest's list of tests
// and in failure output). A test file brings it to its cases with `using test::PrintTo;` in the
// cases' namespace.
template <typename P>
  requires requires(const P& c, std::ostream& os) { os << c.name; }
void PrintTo(const P& c, std::ostream* os) {
  *os << c.name;
}

}  // namespace korvel::test
