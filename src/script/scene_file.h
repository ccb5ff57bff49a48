// A loaded script file (krt%05d.kbn): its commands bound to their handlers, argument records,
// expression bytecode and source lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/command_table.h"

namespace korvel {

// One argument of a command, decoded from its 12-byte record.
struct CommandArgRecord {
  uint8_t param;   // parameter index in the command definition
  uint8_t unused;
  uint8_t type;    // expression type code 1..4
  uint8_t op;      // assignment operator
  uint32_t length;  // bytecode length; flow commands: a command index
  uint32_t offset;  // bytecode offset in the expression section
};

// CALL keeps its resolved label index in the 16 bits over the type and operator bytes (0: none).
inline uint16_t CallLabelField(const CommandArgRecord& r) {
  return static_cast<uint16_t>(r.type | (r.op << 8));
}
inline void SetCallLabelField(CommandArgRecord* r, uint16_t index) {
  r->type = static_cast<uint8_t>(index);
  r->op = static_cast<uint8_t>(index >> 8);
}

struct SceneScript {
  uint32_t command_count = 0;
  CommandHandler* tables[2] = {};  // 0: the wrapper per command, 1: the handler per command
  const uint8_t* arg_counts = nullptr;
  const CommandArgRecord* const* first_args = nullptr;
  const uint8_t* expressions = nullptr;
  uint32_t expression_size = 0;
  const uint32_t* lines = nullptr;

  // Storage behind the pointers above.
  std::vector<uint8_t> command_numbers;
  std::vector<uint8_t> arg_count_store;
  std::vector<CommandArgRecord> args;
  std::vector<const CommandArgRecord*> first_arg_store;
  std::vector<uint8_t> expression_store;
  std::vector<uint32_t> line_store;
  std::vector<CommandHandler> wrappers;
  std::vector<CommandHandler> handlers;
};

// Checks the structure of a script file and builds its record (sections unscrambled, handlers
// bound, labels not yet resolved). Parameter indices are checked against the loaded command
// definitions. Returns null with a short reason (UTF-8) in `why` when the file is malformed.
std::unique_ptr<SceneScript> ParseSceneFile(const uint8_t* data, size_t size, std::string* why);

// Loads script file `number` (low 16 bits) on first use: 1 when it is loaded (also when it already
// was), 0 after a fatal report when its file is missing (104060), unreadable or malformed.
int32_t LoadSceneFile(uint32_t number);

// The loaded script file of a number, or null.
const SceneScript* FindLoadedScene(uint32_t number);

// The file name of a script number, "krt%05u.kbn".
std::string SceneFileName(uint32_t number);

}  // namespace korvel
