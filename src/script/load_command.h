// Command 40: reads one slot of a save file back into a variable or a layer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvel {

inline constexpr uint8_t kCommandLoad = 40;

// The layer side of the load command, installed by the code that owns layers.
struct LoadLayerHooks {
  // Finds the layer a script path names: 0 with the node, or -1 after a report (101250).
  int32_t (*find_layer)(const char* path, void** node) = nullptr;
  // Checks a layer entry's raw bytes and puts them into the node's layer: 0, or -1 after a report;
  // on failure the layer is as it was.
  int32_t (*restore_layer)(void* node, std::span<const uint8_t> raw) = nullptr;
};
void SetLoadLayerHooks(const LoadLayerHooks& hooks);

// The save file's path for a script's name: the save folder followed by the file name (UTF-8).
// 0, or the error code of the name rule (102140, 102150, 102160).
int32_t SaveFilePath(std::string_view script_name, std::string* folder, std::string* file_name);

// The text of a C library error number for 102140: the compiled definitions' text below 37, else a
// fixed one.
std::string SaveErrorText(int error);

// Reports a name-rule failure of `command` for the script's name.
void ReportSaveNameError(int32_t code, uint8_t command, std::string_view script_name);

// Reads slot `slot` of the save file `script_name` into variable `number` (element `element`, or
// the whole variable) or, when `layer` is not null, into that layer. 0, or -1 after a report.
int32_t LoadSaveSlot(uint8_t command, std::string_view script_name, int64_t slot, uint32_t number,
                     bool whole, int64_t element, void* layer);

// The handler: decode, then LoadSaveSlot. 0 goes on, -1 ends the turn.
int32_t RunLoadCommand();

}  // namespace korvel
