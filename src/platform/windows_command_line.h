// Splitting a program's parameters the way a Windows program splits its command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvel::platform {

// Splits `text` (UTF-8) into arguments: spaces and tabs separate them, double quotes group (and an
// empty pair gives an empty argument), "" inside quotes is a literal quote, 2n backslashes before
// a quote give n backslashes and the quote groups, 2n+1 give n backslashes and a literal quote;
// other backslashes stand as they are.
std::vector<std::string> SplitWindowsCommandLine(std::string_view text);

}  // namespace korvel::platform
