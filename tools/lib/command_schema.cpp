// The command-definition schema. Each row lists a command's parameters as tokens
// "<index><kind>[:<class>]" with kind n (number), s (string) or r (raw bytecode that the handler
// reads itself by record position: jump and branch targets, loop ends, array shapes, operands the
// command evaluates on its own). "a-b" gives a run of indices of one kind and class. Indices that no
// token names are unused numeric parameters without a range check. Parameter names are "p<index>".
#include "command_schema.h"

#include <cctype>
#include <charconv>
#include <string>

namespace korvel::tools {

namespace {

struct Row {
  int number;
  const char* name;
  const char* params;
};

// Range classes: 1 at least 0, 2 at least 1, 3 0..1, 5 0..3, 7 0..4, 8 0..8, 11 0..18,
// 12 0..256, 14 0..512, 16 1..1024, 25 at most 0xFFFFFF.
constexpr Row kRows[] = {
    {0, "ARGS", ""},
    {1, "LAYER", "0s 1-7n 12-25n 26s 27n 28n 29s 30s 31s 33n 34s 35n 36n:11 38n"},
    {2, "DRAW", "0-3s 5r 6r 7s 8-62n"},
    {3, "RELEASE", "0s"},
    {4, "LAYERINFO", "0s 1-6n 8-22n"},
    {5, "CLIPSET", "0n 1s"},
    {6, "CLIPGET", "0n 1n"},
    {7, "ARGS7", ""},
    {8, "TEXTFILE", "0s 1-3n"},
    {9, "NOP9", ""},
    {10, "MSGBOX", "0s 1s 9s 10n 11n 13-19n"},
    {11, "ELSEIF", "0n 1r"},
    {12, "QUIT", "0n"},
    {13, "SWITCH", "2-105n"},
    {14, "ARGS14", ""},
    {15, "FILE", "0-2s 3-7n 8s 9n 10s 11-13n 14n:7 15n:7"},
    {16, "FILEINFO", "0-3s 4-7n"},
    {17, "FLASHOPEN", "0s 1-6n"},
    {18, "FLASHCLOSE", ""},
    {19, "FLASHINFO", "0-9n"},
    {20, "DIMREAL", "0r 1r 2r"},
    {21, "FONT", "0n 1n 2s 3-11n"},
    {22, "FONTINFO", "0-15n 17s 18n"},
    {23, "FRAMERATE", "0n 1n"},
    {24, "", ""},
    {25, "", ""},
    {26, "", ""},
    {27, "", ""},
    {28, "JUMP", "0r"},
    {29, "CALL", "0s 1-20n 21-30s"},
    {30, "IF", "0n 1r 2r"},
    {31, "ELSE", ""},
    {32, "BREAKBLOCK", "0n"},
    {33, "RETEST", "0n"},
    {34, "ENDIF", ""},
    {35, "INPUT", "0n 1n 2n:3"},
    {36, "DIMINT", "0r 1r 2r"},
    {37, "LABEL", ""},
    {38, "LABELEXISTS", "0s 1n 2n"},
    {39, "LET", "0r 1r"},
    {40, "LOAD", "0s 1n:16 2n 3s"},
    {41, "LOOP", "0r 1n 2r"},
    {42, "BREAK", "0n"},
    {43, "CONTINUE", "0n"},
    {44, "ENDLOOP", ""},
    {45, "", ""},
    {46, "MATH", "0n 1r 2r 3s 4-21n"},
    {47, "PROJECT", "0n 1n"},
    {48, "MENUITEM", "0s 1s 2-6n"},
    {49, "POPUP", "0s 1n"},
    {50, "MENUDELETE", "0s"},
    {51, "MENUINFO", "0n 1s 2-8n"},
    {52, "ARGS52", ""},
    {53, "ARGS53", ""},
    {54, "ARGS54", ""},
    {55, "CURSOR", "0-9n 10s"},
    {56, "MOVIE", "0s 1-5n 6n:12"},
    {57, "MOVIECLOSE", ""},
    {58, "MOVIEINFO", "0-5n 6s 7n"},
    {59, "ARGS59", ""},
    {60, "NOP60", ""},
    {61, "REGISTRY", "0s 1s 2n"},
    {62, "RETURN", "0-19n 20-29s"},
    {63, "NOP63", ""},
    {64, "MSGEND", ""},
    {65, "NOP65", ""},
    {66, "NOP66", ""},
    {67, "NOP67", ""},
    {68, "", ""},
    {69, "SAVE", "0s 1n:16 2n 3s"},
    {70, "SAVECLEAR", ""},
    {71, "ARGS71", ""},
    {72, "SOUND", "0s 1n 2s 3-9n 10n:12 11n:14 12n:14"},
    {73, "SOUNDDELETE", "0s"},
    {74, "SOUNDINFO", "0s 1-23n"},
    {75, "DIMSTR", "0r 1r 2r"},
    {76, "SCREEN", "0-7n"},
    {77, "SCRIPTLIST", "0-4n"},
    {78, "TASK", "0s 1-23n 34s 35s 37n"},
    {79, "TASKSTOP", "0s"},
    {80, "TASKINFO", "0s 1-19n"},
    {81, "MSGSET", "0s 1-19n"},
    {82, "MSGGET", "1-8n"},
    {83, "TRAY", "0n 1-3s"},
    {84, "ARGS84", ""},
    {85, "VARCONV", "0-15n"},
    {86, "VARINFO", "0-16n 17s 18n"},
    {87, "WAIT", "0n 1n"},
    {88, "WINDOW", "0n:5 1s 2-20n 21-24s 25n"},
    {89, "HIDEWINDOW", "0n:5"},
    {90, "WINDOWINFO", "0n:5 1-17n"},
    {91, "TEXT", "0s"},
    {92, "MFLOAD", "0s 1s 2n"},
    {93, "MFRELEASE", ""},
    {94, "MFINFO", "0-4n"},
    {95, "VALUE", "0r"},
};
static_assert(sizeof kRows / sizeof kRows[0] == 96);

void AddTokens(const char* spec, std::vector<ParamSpec>* params) {
  std::string_view s(spec);
  while (!s.empty()) {
    const size_t space = s.find(' ');
    std::string_view token = s.substr(0, space);
    s = space == std::string_view::npos ? std::string_view() : s.substr(space + 1);
    int first = 0, last = 0, range_class = 0;
    const char* p = token.data();
    const char* end = token.data() + token.size();
    p = std::from_chars(p, end, first).ptr;
    last = first;
    if (p < end && *p == '-') p = std::from_chars(p + 1, end, last).ptr;
    const char kind_letter = *p++;
    if (p < end && *p == ':') std::from_chars(p + 1, end, range_class);
    const uint8_t kind = kind_letter == 's' ? 1 : kind_letter == 'r' ? 2 : 0;
    if (params->size() < static_cast<size_t>(last + 1)) {
      const size_t old = params->size();
      params->resize(static_cast<size_t>(last + 1));
      for (size_t i = old; i < params->size(); ++i) (*params)[i] = {"p" + std::to_string(i), 0, 0};
    }
    for (int i = first; i <= last; ++i) {
      (*params)[static_cast<size_t>(i)].kind = kind;
      (*params)[static_cast<size_t>(i)].range_class = static_cast<uint8_t>(range_class);
    }
  }
}

std::vector<CommandSpec> BuildSchema() {
  std::vector<CommandSpec> schema(104);
  for (size_t n = 0; n < schema.size(); ++n) schema[n].name = "";
  for (const Row& row : kRows) {
    schema[static_cast<size_t>(row.number)].name = row.name;
    AddTokens(row.params, &schema[static_cast<size_t>(row.number)].params);
  }
  return schema;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<CommandSpec>& CommandSchema() {
  static const std::vector<CommandSpec> schema = BuildSchema();
  return schema;
}

int FindCommandByName(std::string_view name) {
  const auto& schema = CommandSchema();
  for (size_t n = 0; n < schema.size(); ++n) {
    if (!schema[n].name.empty() && SameName(schema[n].name, name)) return static_cast<int>(n);
  }
  return -1;
}

int FindParameterByName(int command, std::string_view name) {
  const auto& schema = CommandSchema();
  if (command < 0 || static_cast<size_t>(command) >= schema.size()) return -1;
  const auto& params = schema[static_cast<size_t>(command)].params;
  for (size_t i = 0; i < params.size(); ++i) {
    if (SameName(params[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace korvel::tools
