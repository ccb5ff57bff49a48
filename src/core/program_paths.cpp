// Game folder, executable and the script-visible argument slots.
#include "core/program_paths.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/process.h"

namespace korvel {

ProgramPaths g_paths;
CommandLine g_command_line;

namespace fs = std::filesystem;

namespace {

// The executable's folder holds a game when it has compiled scripts, packs or appended data.
bool FolderHoldsGame(const fs::path& folder, const fs::path& executable) {
  std::error_code ec;
  if (fs::is_directory(folder / "krbin", ec)) return true;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    std::string ext = entry.path().extension().string();
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".kpf") return true;
  }
  // Appended data ends the file with the 16-byte footer "KR_RES\0\0" + u64 size.
  FILE* f = std::fopen(executable.c_str(), "rbe");
  if (f == nullptr) return false;
  char footer[16] = {};
  bool has = std::fseek(f, -16, SEEK_END) == 0 && std::fread(footer, 1, 16, f) == 16 &&
             std::memcmp(footer, "KR_RES\0\0", 8) == 0;
  std::fclose(f);
  return has;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* command_line,
                      std::string* game_argument, bool* game_given, std::string* error) {
  *command_line = CommandLine{};
  game_argument->clear();
  *game_given = false;
  command_line->slots[0] = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
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
    folder = (!exe_folder.empty() && FolderHoldsGame(exe_folder, paths->executable))
                 ? exe_folder
                 : fs::current_path(ec);
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
