// Shared set-up of the save-data tests: the layer environment, script variables and a save folder
// in a temporary directory, with helpers that save and load through the commands' own steps.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "commands/save_commands.h"
#include "commands/save_data_file.h"
#include "core/engine_settings.h"
#include "core/save_blocks.h"
#include "layer/layer_test_env.h"
#include "script/load_command.h"
#include "script/save_format.h"
#include "script/variables.h"
#include "test_support.h"

namespace korvel::test {

class SaveEnv : public LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    g_save_settings.save_folder = dir_.path() + "/save/";
    FreeIdBuffers(-1);
    RegisterSaveCommandHandlers();
  }
  void TearDown() override {
    FreeIdBuffers(-1);
    FreeVariableRecords();
    LayerEnv::TearDown();
  }

  std::string Folder() const { return dir_.path() + "/save"; }
  std::string FilePath(const std::string& name = "game.sd") const { return Folder() + "/" + name; }

  static uint32_t U32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
  static uint32_t TableEntry(const std::string& file, uint32_t slot) {
    return U32At(file, 16 + 4 * (slot - 1));
  }

  // Pending block of `slot` from the whole variable or one element.
  static void SaveVar(uint32_t slot, uint32_t number, bool whole = true, int64_t element = 0) {
    ASSERT_EQ(BuildVariableSaveBlock(slot, *FindVariable(number), whole, element), 0);
  }
  static void SaveLayer(uint32_t slot, const LayerData* layer) {
    ASSERT_EQ(BuildLayerSaveBlock(slot, *layer), 0);
  }
  int32_t WriteFile(const std::string& name = "game.sd") {
    return WriteSaveFile(Folder(), name).code;
  }
  static int32_t Load(uint32_t slot, uint32_t number, bool whole = true, int64_t element = 0,
                      const std::string& name = "game") {
    return LoadSaveSlot(kCommandLoad, name, slot, number, whole, element, nullptr);
  }
  static int32_t LoadLayer(uint32_t slot, NamedTreeNode* node, const std::string& name = "game") {
    return LoadSaveSlot(kCommandLoad, name, slot, 0, true, 0, node);
  }

  TempDir dir_;
};

}  // namespace korvel::test
