// A whole compiled game in memory, and the writer that turns it into a game folder with krbin/.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "krbin_writer.h"

namespace korvel::tools {

struct CompiledScript {
  uint32_t number = 0;
  std::string path;  // code page 932, written to krt_list.kbn
  uint32_t value = 0;
  std::vector<SceneCommand> commands;
};

struct CompiledGame {
  std::vector<ErrorTextEntry> error_texts;  // DefaultErrorTexts() unless replaced
  std::vector<CommandSpec> commands;        // CommandSchema() unless replaced
  std::vector<uint8_t> key_map;             // empty: the default
  uint32_t highest_variable = 999;
  uint32_t system_value = 0;
  std::vector<CompiledScript> scripts;
  std::vector<DeclarationSpec> declarations;
  std::vector<LabelSpec> labels;
  ProjectConfigSpec config;

  CompiledGame();
};

// The bytes of every krbin file by file name ("krc.kbn", "krt00000.kbn", ...).
std::map<std::string, std::vector<uint8_t>> BuildKrbinFiles(const CompiledGame& game);

// Writes <folder>/krbin/<file> for every file (creating the folders). False with a message.
bool WriteGameFolder(const CompiledGame& game, const std::string& folder, std::string* error);

// The smallest valid game: script 0 holds the label "SYSTEM_START" and an endless loop that waits
// one frame per turn.
CompiledGame SmallestGame();

}  // namespace korvel::tools
