// Shared set-up of the script engine tests: a headless platform, fresh engine state, and compiled
// files served from memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "engine_fixture.h"
#include "lib/compiled_game.h"
#include "platform/platform.h"
#include "script/script_data.h"
#include "script/task_payload.h"
#include "script/variables.h"

namespace korvel::test {

// The compiled files the engine sees, by name.
inline std::map<std::string, std::vector<uint8_t>>& MemoryFiles() {
  static std::map<std::string, std::vector<uint8_t>> files;
  return files;
}

inline int LoadFromMemory(const char* name, std::vector<uint8_t>* out) {
  const auto it = MemoryFiles().find(name);
  if (it == MemoryFiles().end()) return -1;
  *out = it->second;
  return 0;
}

class ScriptEnv : public HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    InitScriptData();
    RegisterTaskTree();
    MemoryFiles().clear();
    SetScriptDataLoader(LoadFromMemory);
  }
  void TearDown() override {
    ShutdownScriptData();
    DestroySystemObjects();
    MemoryFiles().clear();
    HeadlessEngine::TearDown();
  }

  static void Install(const tools::CompiledGame& game) {
    MemoryFiles().clear();
    for (auto& [name, bytes] : tools::BuildKrbinFiles(game)) MemoryFiles()[name] = bytes;
  }
  // The task tree with SYSTEM, as start-up builds it.
  static void CreateTrees() { ASSERT_EQ(CreateSystemObjects(640, 480, nullptr), 0); }

  // A fresh report count (the error reporting reset also resets the compiled-file source).
  static void ResetReports() {
    InitErrorReporting();
    SetScriptDataLoader(LoadFromMemory);
  }
  static int32_t LastCode() { return LastErrorReport().code; }
  static uint32_t ReportCount() { return LastErrorReport().count; }
  // Variables numbered 0..highest, none declared.
  static void MakeVariables(uint32_t highest = 1100) {
    ASSERT_EQ(CreateVariableRecords(highest + 1), 0);
  }
};

}  // namespace korvel::test
