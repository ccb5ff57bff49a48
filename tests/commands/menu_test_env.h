// Shared set-up of the menu tests: a headless engine with window 0, the menu tree, script
// variables, and helpers that run the menu commands with their arguments set as the decoder would.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "commands/menu_commands.h"
#include "commands/menu_item.h"
#include "commands/menu_sets.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/system_objects.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel::test {

// One argument: parameter index, integer value with its operator, or a text.
struct MenuArg {
  uint8_t param;
  int64_t value = 0;
  const char* text = nullptr;
  uint8_t op = 0;
};

class MenuEnv : public HeadlessEngine {
 protected:
  void SetUp() override {
    StartWith(start_with_);
    OpenWindowZero(640, 480);
    RegisterTreeOwner(&g_layer_tree, {});
    RegisterTreeOwner(&g_task_tree, {});
    RegisterTreeOwner(&g_sound_tree, {});
    RegisterMenuTree();
    ASSERT_EQ(CreateSystemObjects(640, 480, nullptr), 0);
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    InitMenuState();
    InitFrameState();
    saved_decoder_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };
  }
  void TearDown() override {
    g_argument_decoder = saved_decoder_;
    ClearDecodedArguments();
    ShutdownMenuState();
    FreeVariableRecords();
    DestroySystemObjects();
    HeadlessEngine::TearDown();
  }

  Variables start_with_;  // headless controls for the platform's start

  static void SetArgs(const std::vector<MenuArg>& args) {
    ClearDecodedArguments();
    int32_t position = 0;
    for (const MenuArg& a : args) {
      ++position;
      g_args.presence[a.param] = static_cast<uint8_t>(position);
      DecodedArgument& d = g_args.at[position];
      d.param = a.param;
      d.value = a.value;
      d.op = a.op;
      d.text = const_cast<char*>(a.text);
      d.text_length = a.text != nullptr ? std::char_traits<char>::length(a.text) : 0;
    }
    g_args.count = position;
  }
  // Command 48 with text, an order key set with `=` and optional fields.
  static int32_t Item(const char* path, const char* text, int64_t key,
                      std::vector<MenuArg> more = {}) {
    std::vector<MenuArg> args = {{0, 0, path}};
    if (text != nullptr) args.push_back({1, 0, text});
    if (key != 0) args.push_back({2, key});
    args.insert(args.end(), more.begin(), more.end());
    SetArgs(args);
    return RunMenuItemCommand();
  }
  // Command 51 into element 0 of variable `number`: `keyword` given with an empty value.
  static int32_t Info(uint32_t number, const char* path, std::vector<uint8_t> keywords) {
    std::vector<MenuArg> args = {{0}, {1, 0, path}};
    for (uint8_t k : keywords) args.push_back({k});
    SetArgs(args);
    g_args.at[1].var_number = number;
    g_args.at[1].element_index = 0;
    return RunMenuInfoCommand();
  }
  static NamedTreeNode* Node(const char* path) {
    return FindMenuNode(std::string("M0/") + path);
  }
  static MenuItem* ItemAt(const char* path) {
    NamedTreeNode* n = Node(path);
    return n != nullptr ? static_cast<MenuItem*>(n->payload) : nullptr;
  }
  static std::string BuildDump(const char* path) {
    NamedTreeNode* n = Node(path);
    if (n == nullptr) return "(missing)";
    DestroyMenuSet(kMenuSetBar);
    const int32_t top = CreateMenuHandle(kMenuSetBar);
    if (BuildMenuRecursive(kMenuSetBar, top, n) != 0) return "(failed)";
    return DumpMenuSet(kMenuSetBar);
  }
  static int32_t LastCode() { return LastErrorReport().code; }

  ArgumentDecoder saved_decoder_ = nullptr;
};

}  // namespace korvel::test
