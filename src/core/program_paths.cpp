// Game folder, executable and the script-visible argument slots.
#include "core/program_paths.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/appended_data.h"
#include "platform/process.h"

namespace korvel {

ProgramPaths g_paths;
CommandLine g_command_line;

namespace fs = std::filesystem;

namespace {

std::string AsciiLower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A .kpf pack in `folder` or in the `pac` folders below it, where packs are looked for too.
bool FolderHoldsPack(const fs::path& folder, int depth) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = AsciiLower(entry.path().filename().string());
    if (entry.is_directory(ec)) {
      if (name == "pac" && depth < 8 && FolderHoldsPack(entry.path(), depth + 1)) return true;
    } else if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".kpf") == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool FolderHoldsGameData(const std::string& folder) {
  std::error_code ec;
  if (fs::is_directory(fs::path(folder) / "krbin", ec)) return true;
  return FolderHoldsPack(folder, 0);
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* command_line,
                      std::string* game_argument, bool* game_given, std::string* error) {
  *command_line = CommandLine{};
  game_argument->clear();
  *game_given = false;
  command_line->slots[0] = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // After "--" every argument is a script argument, "--game" too.
    if (!options_ended) {
      if (arg == "--") {
        options_ended = true;
        continue;
      }
      if (arg == "--game") {
        if (i + 1 >= argc) {
          *error = "--game needs a folder";
          return false;
        }
        *game_argument = argv[++i];
        *game_given = true;
        continue;
      }
      if (arg.rfind("--game=", 0) == 0) {
        *game_argument = std::string(arg.substr(7));
        *game_given = true;
        continue;
      }
    }
    if (command_line->count < 8) {
      command_line->slots[++command_line->count] = std::string(arg);
    }
  }
  return true;
}

bool ResolveProgramPaths(const std::string& game_argument, bool game_given, ProgramPaths* paths,
                         std::string* error) {
  *paths = ProgramPaths{};
  paths->executable = platform::ExecutablePath();
  paths->game_given = game_given;
  paths->game_argument = game_argument;

  std::error_code ec;
  fs::path folder;
  if (game_given) {
    folder = game_argument;
  } else {
    const fs::path exe_folder = fs::path(paths->executable).parent_path();
    // The executable's folder holds a game when it has compiled scripts, packs or appended data.
    const bool exe_holds_game =
        !exe_folder.empty() &&
        (FolderHoldsGameData(exe_folder.string()) || HasAppendedData(paths->executable));
    folder = exe_holds_game ? exe_folder : fs::current_path(ec);
  }
  fs::path real = fs::canonical(folder, ec);
  if (ec || !fs::is_directory(real, ec)) {
    *error = "game folder not found: " + folder.string();
    return false;
  }
  std::string text = real.string();
  if (text.empty() || text.back() != '/') text += '/';
  paths->game_folder = text;
  std::string identity = real.string();
  for (auto& c : identity) {
    if (c == '/') c = ':';
  }
  paths->identity = identity;
  return true;
}

void InitProgramPaths() {
  g_paths = ProgramPaths{};
  g_command_line = CommandLine{};
}

}  // namespace korvel
