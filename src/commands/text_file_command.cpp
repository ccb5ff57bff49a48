// Command 8: reads a text file into a string array (split mode) or counts its pieces (count mode).
#include "commands/text_file_command.h"

#include <cstring>
#include <string>
#include <vector>

#include "commands/text_pieces.h"
#include "core/error_report.h"
#include "core/shift_jis.h"
#include "resource/data_file_lookup.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel {
namespace {

struct SplitTarget {
  uint32_t variable;
  int64_t next_element;
};

void StorePiece(void* context, const uint8_t* piece, size_t length) {
  auto* target = static_cast<SplitTarget*>(context);
  char buffer[kMaxTextPiece + 1];
  const size_t kept = PieceLengthWithin(piece, length, kMaxTextPiece);
  std::memcpy(buffer, piece, kept);
  buffer[kept] = '\0';
  // An element past the variable is skipped quietly; the counter still advances.
  SetVarStringElement(target->variable, target->next_element, buffer);
  ++target->next_element;
}

// Finds and loads the file (reporting 104060 / 901040); false after a failure.
bool LoadTextFile(const std::string& name, ResourceLocator* locator) {
  *locator = ResourceLocator{};
  if (name.size() > kMaxTextFileName) {
    ReportError(104060, true, name.c_str());
    return false;
  }
  return ReadDataFile(locator, name.c_str(), false) == 0;
}

}  // namespace

int32_t RunTextFileCommand() {
  if (g_argument_decoder(kCommandTextFile) != 0) return -1;
  const DecodedArgument* target = FindArg(3);
  if (!ArgGiven(0) || target == nullptr) return 0;
  const std::string name = LookupName(ArgText(0));

  if (ArgGiven(2)) {
    ResourceLocator locator;
    if (!LoadTextFile(name, &locator)) return -1;
    // The last line always ends with a line break.
    std::vector<uint8_t> text(locator.data, locator.data + locator.size);
    FreeLocatorData(&locator);
    text.push_back('\r');
    text.push_back('\n');
    SplitTarget split{target->var_number, 0};
    ScanTextPieces(text.data(), text.size(), StorePiece, &split);
  }
  if (ArgGiven(1)) {
    ResourceLocator locator;
    if (!LoadTextFile(name, &locator)) return -1;
    const size_t pieces = ScanTextPieces(locator.data, locator.size, nullptr, nullptr);
    FreeLocatorData(&locator);
    SetVarNumberElement(target->var_number, target->element_index,
                        static_cast<int64_t>(pieces) + 1);
  }
  return 0;
}

}  // namespace korvel
