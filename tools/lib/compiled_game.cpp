// Writing a compiled game into a folder.
#include "compiled_game.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "command_schema.h"
#include "error_text_list.h"
#include "expression_builder.h"
#include "script/format_constants.h"

namespace korvel::tools {

CompiledGame::CompiledGame() : error_texts(DefaultErrorTexts()), commands(CommandSchema()) {}

std::map<std::string, std::vector<uint8_t>> BuildKrbinFiles(const CompiledGame& game) {
  std::map<std::string, std::vector<uint8_t>> files;
  files[kErrorTextFileName] = WriteErrorTextFile(game.error_texts);
  files[kCommandFileName] = WriteCommandFile(game.commands, {}, game.key_map);
  files[kVariableTableFileName] = WriteVariableTableFile(game.highest_variable, game.system_value);
  std::vector<ScriptListEntry> list;
  for (const CompiledScript& s : game.scripts) list.push_back({s.number, s.path, s.value});
  files[kScriptListFileName] = WriteScriptListFile(list);
  files[kDeclarationFileName] = WriteDeclarationFile(game.declarations);
  files[kLabelFileName] = WriteLabelFile(game.labels);
  files[kProjectConfigFileName] = WriteProjectConfigFile(game.config);
  for (const CompiledScript& s : game.scripts) {
    char name[32];
    std::snprintf(name, sizeof name, kSceneFileNameFormat, s.number);
    files[name] = WriteSceneFile(s.commands);
  }
  return files;
}

bool WriteGameFolder(const CompiledGame& game, const std::string& folder, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path krbin = fs::path(folder) / kCompiledFolderName;
  fs::create_directories(krbin, ec);
  if (ec) {
    *error = "cannot create " + krbin.string() + ": " + ec.message();
    return false;
  }
  for (const auto& [name, bytes] : BuildKrbinFiles(game)) {
    std::ofstream out(krbin / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      *error = "cannot write " + (krbin / name).string();
      return false;
    }
  }
  return true;
}

CompiledGame SmallestGame() {
  CompiledGame game;
  CompiledScript script;
  script.number = 0;
  script.path = "main.kas";
  ExprBuilder endless, one;
  endless.Int(-1);
  one.Int(1);
  script.commands = {
      {kCommandLabel, {}, 1},
      {kCommandLoop,
       {SceneArg{0, 1, 0, {}, false, 0}, SceneArg{1, 1, 0, endless.code, false, 0},
        SceneArg{2, 1, 0, {}, true, 3}},
       2},
      {87, {SceneArg{0, 1, 0, one.code, false, 0}}, 3},
      {kCommandLoopEnd, {}, 4},
  };
  game.scripts.push_back(script);
  game.labels.push_back({kSystemStartLabel, 0, 0, 0, 0});
  return game;
}

}  // namespace korvel::tools
