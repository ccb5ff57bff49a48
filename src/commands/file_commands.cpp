// Commands 15 and 16.
#include "commands/file_commands.h"

#include <cstring>
#include <string>
#include <string_view>

#include "commands/layer_writers.h"
#include "core/engine_settings.h"
#include "core/error_report.h"
#include "core/program_paths.h"
#include "core/shift_jis.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "platform/open_target.h"
#include "platform/script_paths.h"
#include "platform/text_encoding.h"
#include "resource/data_file_lookup.h"
#include "resource/preload_banks.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {

namespace {

constexpr int32_t kErrorNoSuchLayer = 101250;

std::string g_root_override;

std::string Root() { return g_root_override.empty() ? g_paths.game_folder : g_root_override; }

// A path parameter as the commands use it: a copy, ASCII letters lower-cased and '/' turned
// into '\' (double-byte characters stepped over).
std::string PreparedPath(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  if (a == nullptr || a->text == nullptr) return {};
  return LookupName(a->text);
}

// True when the text's last character is a single-byte '\'.
bool EndsWithSingleByteBackslash(std::string_view text) {
  bool last_is_backslash = false;
  for (size_t i = 0; i < text.size();) {
    const size_t step = SjisCharLength(text.data(), i, text.size());
    last_is_backslash = step == 1 && text[i] == '\\';
    i += step;
  }
  return last_is_backslash;
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
  return value < low ? low : value > high ? high : value;
}

// The bank number of parameter 14 or 15 as a bank index, or -1 when it names none.
int32_t BankIndex(uint8_t param) {
  if (!ArgGiven(param)) return -1;
  const int64_t number = ArgValue(param);
  return number >= 1 && number <= kPreloadBankCount ? static_cast<int32_t>(number - 1) : -1;
}

enum class ImageFormat { kBmp, kPng, kJpeg };

ImageFormat ChosenFormat() {
  ImageFormat format = ImageFormat::kPng;
  if (ArgValue(11) == 1) format = ImageFormat::kBmp;
  if (ArgValue(12) == 1) format = ImageFormat::kPng;
  if (ArgValue(13) == 1) format = ImageFormat::kJpeg;
  return format;
}

// Exports the layer of parameter 10 into file 0 (its extension added by the format). 0, or -1.
int32_t ExportLayer(std::string* file0) {
  LayerPath path{};
  if (NormalizeLayerPath(ArgText(10), &path, false) != 0) return -1;
  NamedTreeNode* node = FindLayerOrGroup(path);
  LayerData* layer = node != nullptr ? LayerOf(node) : nullptr;
  if (layer == nullptr) {
    ReportScriptError(kErrorNoSuchLayer, true, CommandName(kCommandFile), std::string(path.text));
    return -1;
  }
  if (!ArgGiven(0)) return 0;
  const ImageFormat format = ChosenFormat();
  const char* extension = format == ImageFormat::kBmp ? ".bmp" : format == ImageFormat::kPng ? ".png" : ".jpg";
  if (!StringEndsWith(*file0, extension)) *file0 += extension;
  int32_t result = 0;
  switch (format) {
    case ImageFormat::kBmp:
      result = WriteLayerBmp(layer, Root(), *file0);
      break;
    case ImageFormat::kPng:
      result = WriteLayerPng(layer, Root(), *file0,
                             static_cast<int32_t>(ArgGiven(9) ? Clamp(ArgValue(9), 0, 9) : 5));
      break;
    case ImageFormat::kJpeg:
      result = WriteLayerJpeg(layer, Root(), *file0,
                              static_cast<int32_t>(ArgGiven(9) ? Clamp(ArgValue(9), 1, 100) : 90));
      break;
  }
  return result == 0 ? 0 : -1;
}

// Opens file 0 with its program, giving it parameter 8 (the program's parameters, as the script
// wrote them) after the file.
void OpenFile0(const std::string& file0, bool wait) {
  std::vector<std::string> roots{Root()};
  if (g_root_override.empty() && !g_save_settings.save_folder.empty()) {
    roots.push_back(g_save_settings.save_folder);
  }
  const DecodedArgument* parameters = FindArg(8);
  const std::string_view text =
      parameters != nullptr && parameters->text != nullptr
          ? std::string_view(parameters->text, strnlen(parameters->text, parameters->text_length))
          : std::string_view();
  platform::OpenScriptTarget(roots, file0, text, wait);
}

// The element that parameter 7 of command 16 names receives a number.
void StoreNumber(const DecodedArgument* target, int64_t value) {
  SetVarNumberElement(target->var_number, target->element_index, value);
}

// An associated program's answer: 0, 0.0 or the text by the variable's type.
void StoreProgram(const DecodedArgument* target, const std::string& text) {
  const VariableRecord* var = FindVariable(target->var_number);
  if (var == nullptr) return;
  if (var->type == kVarInt) SetVarNumberElement(target->var_number, target->element_index, 0);
  if (var->type == kVarReal) SetVarRealElement(target->var_number, target->element_index, 0.0);
  if (var->type == kVarString) {
    SetVarStringElement(target->var_number, target->element_index, text.c_str());
  }
}

}  // namespace

std::vector<std::string> ExistsTrialNames(const std::string& name, int32_t mode) {
  std::vector<std::string> names{name};
  if (mode == 2) {
    for (const char* e : {".bmp", ".png", ".jpg", ".gif", ".psd"}) names.push_back(name + e);
  } else if (mode == 3) {
    for (const char* e : {".ogg", ".wav"}) names.push_back(name + e);
  }
  return names;
}

void SetFileCommandRoot(const std::string& root) { g_root_override = root; }

int32_t DataFileExists(const char* name, int32_t mode) {
  if (std::string_view(name).size() > platform::kMaxScriptPathBytes) return 0;
  if (mode == 1) {
    platform::ScriptPath path;
    return platform::ResolveScriptPath(Root(), name, false, &path) == platform::FileStatus::kOk &&
                   path.is_folder
               ? 1
               : 0;
  }
  ResourceLocator locator{};
  return FindDataFile(&locator, name, false) > 0 ? 1 : 0;
}

int32_t RunFileCommand() {
  if (g_argument_decoder(kCommandFile) != 0) return -1;
  std::string file0 = PreparedPath(0);
  const std::string file1 = PreparedPath(1);
  std::string folder = PreparedPath(2);
  if (!EndsWithSingleByteBackslash(folder)) folder += '\\';

  if (ArgGiven(0)) {
    const int32_t image_bank = BankIndex(14);
    if (image_bank >= 0) AddFileToPreloadBank(image_bank, file0.c_str(), kMediaImage);
    const int32_t sound_bank = BankIndex(15);
    if (sound_bank >= 0) AddFileToPreloadBank(sound_bank, file0.c_str(), kMediaSound);
  }
  if (ArgGiven(10) && ExportLayer(&file0) != 0) return -1;
  if (ArgGiven(3) && ArgGiven(2)) platform::CreateScriptFolderChain(Root(), folder);
  if (ArgGiven(4)) platform::CopyScriptFile(Root(), file0, file1);
  if (ArgGiven(5)) {
    if (ArgGiven(0) && !file0.empty()) {
      if (!StringEndsWith(file0, ".sd")) file0 += ".sd";
      platform::DeleteScriptFile(Root(), file0);
    }
    if (ArgGiven(2)) platform::RemoveScriptFolder(Root(), folder);
  }
  if (ArgGiven(6)) {
    if (!file0.empty()) OpenFile0(file0, false);
    return 0;
  }
  if (ArgGiven(7) && !file0.empty()) OpenFile0(file0, true);
  return 0;
}

int32_t RunFileExistsCommand() {
  if (g_argument_decoder(kCommandFileExists) != 0) return -1;
  const DecodedArgument* target = FindArg(7);
  if (target == nullptr) return 0;
  int mode = -1;  // 0 folder, 1 data file, 2 image, 3 sound
  for (uint8_t p = 0; p <= 3; ++p) {
    if (ArgGiven(p)) mode = p;
  }
  if (mode < 0) return 0;
  const std::string name = PreparedPath(static_cast<uint8_t>(mode));
  const bool fits = name.size() <= platform::kMaxScriptPathBytes;

  if (ArgGiven(4)) {
    bool exists = false;
    if (fits) {
      for (const std::string& trial : ExistsTrialNames(name, mode)) {
        if (DataFileExists(trial.c_str(), mode == 0 ? 1 : 0) != 0) {
          exists = true;
          break;
        }
      }
    }
    StoreNumber(target, exists ? 1 : 0);
  } else if (ArgGiven(5)) {
    uint64_t size = 0;
    if (mode == 1 && fits) platform::ScriptFileSize(Root(), name, &size);
    StoreNumber(target, static_cast<int64_t>(size));
  } else if (ArgGiven(6)) {
    std::string program;
    platform::ScriptPath path;
    if (mode != 0 && fits &&
        platform::ResolveScriptPath(Root(), name, false, &path) == platform::FileStatus::kOk &&
        !path.is_folder) {
      program = platform::Utf8ToCp932(platform::AssociatedProgramPath(path.real));
    }
    StoreProgram(target, program);
  }
  return 0;
}

void RegisterFileCommandHandlers() {
  RegisterCommandHandler(kCommandFile, RunFileCommand);
  RegisterCommandHandler(kCommandFileExists, RunFileExistsCommand);
}

}  // namespace korvel
