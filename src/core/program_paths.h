// Where the engine lives: the game folder, the running executable, the per-installation identity and
// the script-visible argument slots.
#pragma once

#include <string>
#include <vector>

namespace korvel {

struct ProgramPaths {
  std::string executable;   // real path of the running program (UTF-8)
  std::string game_folder;  // real path of the game folder, ending with '/' (UTF-8)
  std::string identity;     // game folder's real path with '/' turned into ':' (lock and class name)
  bool game_given = false;  // --game was on the command line
  std::string game_argument;  // the --game value as given (kept for restart)
};

// The nine argument slots scripts read: slot 0 the program path, 1..8 the first eight arguments
// (missing ones empty; further arguments are dropped).
struct CommandLine {
  std::string slots[9];
  int count = 0;  // arguments after the program path, at most 8
};

extern ProgramPaths g_paths;
extern CommandLine g_command_line;

// Splits off `--game DIR` (or `--game=DIR`) and fills the argument slots with the rest; "--" ends
// the engine's options and every argument after it is a script argument. Returns false with a
// message in `error` when --game has no value.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* command_line,
                      std::string* game_argument, bool* game_given, std::string* error);

// Resolves the game folder: --game DIR, else the executable's folder when it holds `krbin`, packs
// or appended data, else the current folder. Returns false when the folder does not exist.
bool ResolveProgramPaths(const std::string& game_argument, bool game_given, ProgramPaths* paths,
                         std::string* error);

// True when `folder` holds a `krbin` folder or a `.kpf` pack (any letter case), also one inside a
// `pac` folder.
bool FolderHoldsGameData(const std::string& folder);

void InitProgramPaths();

}  // namespace korvel
