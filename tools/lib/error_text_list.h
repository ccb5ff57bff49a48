// The error texts that the tools write into kre.kbn: a Japanese text for every error code the engine
// reports, with placeholders matching the arguments its reporters pass.
#pragma once

#include <string>
#include <vector>

#include "krbin_writer.h"

namespace korvel::tools {

// The default texts, converted to code page 932.
std::vector<ErrorTextEntry> DefaultErrorTexts();

// Reads a text list: one entry per line, "<code> <text>" (UTF-8; "\n" in the text is a line break;
// '#' starts a comment line). Entries replace the defaults of the same code or are added. False
// with a message in `error` for a malformed line.
bool MergeErrorTextList(const std::string& utf8, std::vector<ErrorTextEntry>* entries,
                        std::string* error);

}  // namespace korvel::tools
