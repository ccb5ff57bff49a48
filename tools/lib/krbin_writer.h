// Writers of every compiled file in krbin: the error texts, command definitions, variable table,
// script-file list, variable declarations, labels, project configuration and script files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::tools {

struct ErrorTextEntry {
  uint32_t code;
  std::string text;  // code page 932
};
std::vector<uint8_t> WriteErrorTextFile(const std::vector<ErrorTextEntry>& entries);

struct ParamSpec {
  std::string name;
  uint8_t kind;  // 0 number, 1 string, 2 raw
  uint8_t range_class;
};
struct CommandSpec {
  std::string name;
  std::vector<ParamSpec> params;  // by parameter index
};
// The command definitions by command number, the 37 C runtime error texts and the 256-byte key
// map (an empty text list or key map writes the defaults).
std::vector<uint8_t> WriteCommandFile(const std::vector<CommandSpec>& commands,
                                      const std::vector<std::string>& runtime_errors = {},
                                      const std::vector<uint8_t>& key_map = {});
// The default key map: entry i holds virtual-key code i.
std::vector<uint8_t> DefaultKeyMap();
// The texts of C runtime error numbers 0..36.
const std::vector<std::string>& DefaultRuntimeErrorTexts();

std::vector<uint8_t> WriteVariableTableFile(uint32_t highest, uint32_t system_value = 0,
                                            uint32_t format = 478);

struct ScriptListEntry {
  uint32_t number;
  std::string path;  // code page 932
  uint32_t value;
};
std::vector<uint8_t> WriteScriptListFile(const std::vector<ScriptListEntry>& entries);

struct DeclarationSpec {
  uint8_t scope;  // 1 global, 2 one script file
  uint16_t script;
  uint16_t number;
  uint8_t type;  // 1 integer, 2 double, 3 string
  std::vector<uint32_t> dims;
  int64_t int_value = 0;
  double real_value = 0.0;
  std::vector<uint8_t> code;  // type 3: bytecode of the initial text
};
std::vector<uint8_t> WriteDeclarationFile(const std::vector<DeclarationSpec>& declarations);

struct LabelSpec {
  std::string name;  // code page 932
  uint32_t command_index;
  uint16_t script;
  uint8_t block_depth;
  uint8_t loop_depth;
};
// Sorts the labels by hash and builds the first-index table.
std::vector<uint8_t> WriteLabelFile(const std::vector<LabelSpec>& labels);
// The labels in the order WriteLabelFile stores them (their indices at run time).
std::vector<LabelSpec> SortLabelsByHash(std::vector<LabelSpec> labels);

struct ProjectConfigSpec {
  int32_t width = 640;
  int32_t height = 480;
  uint32_t show_first_frame = 1;
  uint8_t image_order[8] = {1, 2, 3, 4, 0, 0, 0, 0};
  uint8_t sound_order[4] = {1, 2, 0, 0};
  uint32_t threaded = 0;
  uint32_t debug = 0;
  uint32_t sound_on = 1;
  uint32_t resizable = 0;
  uint32_t window_option = 1;
  uint32_t options[3] = {};
  std::string title = "korvel";  // code page 932
};
std::vector<uint8_t> WriteProjectConfigFile(const ProjectConfigSpec& config);

// One argument of a command in a script file: bytecode, or (for flow commands) a command index.
struct SceneArg {
  uint8_t param = 0;
  uint8_t type = 1;
  uint8_t op = 0;
  std::vector<uint8_t> code;
  bool is_target = false;  // length holds `target`, offset 0
  uint32_t target = 0;
};
struct SceneCommand {
  uint8_t number = 0;
  std::vector<SceneArg> args;
  uint32_t line = 0;
};
// A script file; its four sections scrambled unless `scramble` is false.
std::vector<uint8_t> WriteSceneFile(const std::vector<SceneCommand>& commands,
                                    bool scramble = true);

}  // namespace korvel::tools
