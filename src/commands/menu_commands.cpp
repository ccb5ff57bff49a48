// Commands 48 to 51: script-made menu items in the menu tree, the popup request and queries.
#include "commands/menu_commands.h"

#include "commands/menu_item.h"
#include "commands/menu_sets.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/shift_jis.h"
#include "platform/platform.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/value_ops.h"
#include "script/variables.h"

namespace korvel {

namespace {

constexpr int32_t kErrorNoOrderKey = 100240;
constexpr int32_t kErrorNoText = 100260;
constexpr int32_t kErrorWrongVariableType = 101140;

std::string_view GivenText(uint8_t param) {
  const DecodedArgument* a = FindArg(param);
  if (a == nullptr || a->text == nullptr) return {};
  return {a->text, a->text_length};
}

// Parameter `param` normalised against the menu tree's base: 0 or 1 (a trailing '/': a group), -1
// after the normaliser's report.
int32_t NormalizedMenuPath(uint8_t param, char* path) {
  return NormalizeObjectPath(path, kObjectPathCapacity, GivenText(param), g_menu_tree.base_path,
                             true);
}

// Where the last segment of a path starts (after its last real '/').
size_t LastSegmentStart(std::string_view path) { return ParentPathLength(path); }

NamedTreeNode* FindChildAnyKind(const NamedTreeNode* parent, std::string_view name) {
  if (parent == nullptr) return nullptr;
  const uint32_t hash = NodeNameHash(name.data(), name.size());
  for (NamedTreeNode* child = parent->first_child; child != nullptr; child = child->next_sibling) {
    if ((child->hash & ~kGroupHashBit) == hash && child->name_length == name.size() &&
        std::string_view(child->name, child->name_length) == name) {
      return child;
    }
  }
  return nullptr;
}

// The node reached through the '/'-terminated segments of `path`, or null.
NamedTreeNode* FindMenuParent(std::string_view path) {
  NamedTreeNode* node = g_menu_tree.root;
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t n = SjisCharLength(path.data(), i, path.size());
    if (n == 1 && path[i] == '/') {
      node = FindChildAnyKind(node, path.substr(start, i - start));
      if (node == nullptr) return nullptr;
      start = i + 1;
    }
    i += n;
  }
  return node;
}

// A number into an integer or double element; another type is 101140.
int32_t StoreNumber(uint32_t number, int64_t index, int64_t value) {
  const VariableRecord* v = FindVariable(number);
  if (v == nullptr) return 0;
  if (v->type == kVarInt) {
    SetVarNumberElement(number, index, value);
  } else if (v->type == kVarReal) {
    SetVarRealElement(number, index, static_cast<double>(value));
  } else {
    ReportScriptErrorPlain(kErrorWrongVariableType, true);
    return -1;
  }
  return 0;
}

void DeleteMenuNode(NamedTreeNode* node) {
  // The node and whatever hangs below it: a node left with children would lose them for good.
  DestroyTreeNode(node, FreeMenuPayload);
}

}  // namespace

NamedTreeNode* FindMenuNode(std::string_view path) {
  const size_t cut = LastSegmentStart(path);
  NamedTreeNode* parent = FindMenuParent(path.substr(0, cut));
  return FindChildAnyKind(parent, path.substr(cut));
}

int32_t RunMenuItemCommand() {
  if (g_argument_decoder(kCommandMenuItem) != 0) return -1;
  char path[kObjectPathCapacity];
  if (NormalizedMenuPath(0, path) < 0) return -1;
  const std::string_view full(path);
  NamedTreeNode* node = FindMenuNode(full);
  const DecodedArgument* order = FindArg(2);
  if (node != nullptr) {
    if (order != nullptr && node->parent != nullptr) {
      const int64_t key =
          ApplyValueOpMin(static_cast<uint8_t>(order->op), node->order_key, order->value, 1);
      NamedTreeNode* parent = node->parent;
      UnlinkTreeNode(node);
      InsertChildNode(parent, node, key);
    }
    if (ArgGiven(1)) SetMenuItemText(static_cast<MenuItem*>(node->payload), ArgText(1));
  } else {
    if (!ArgGiven(1)) {
      ReportScriptError(kErrorNoText, true, CommandName(kCommandMenuItem), path);
      return -1;
    }
    if (order == nullptr) {
      ReportScriptError(kErrorNoOrderKey, true, CommandName(kCommandMenuItem));
      return -1;
    }
    const size_t cut = LastSegmentStart(full);
    NamedTreeNode* parent = FindMenuParent(full.substr(0, cut));
    if (parent == nullptr || cut == full.size()) return -1;
    const int64_t key = ApplyValueOpMin(static_cast<uint8_t>(order->op), 1, order->value, 1);
    node = AllocTreeNode(full.substr(cut), true);
    if (node == nullptr) return -1;
    InsertChildNode(parent, node, key);
    if (CreateMenuItemObject(node, ArgText(1)) == nullptr) {
      DestroyTreeNode(node, FreeMenuPayload);
      return -1;
    }
  }
  auto* item = static_cast<MenuItem*>(node->payload);
  if (item == nullptr) return 0;
  if (ArgGiven(3)) item->present = static_cast<uint8_t>(ArgValue(3));
  if (ArgGiven(4)) item->enabled = static_cast<uint16_t>(ArgValue(4));
  if (ArgGiven(5)) item->checked = static_cast<uint8_t>(ArgValue(5));
  if (ArgGiven(6)) item->value = ArgValue(6);
  return 0;
}

void BuildTrayMenuSet(const char* node_path) {
  if (node_path == nullptr) return;
  char path[kObjectPathCapacity];
  if (NormalizeObjectPath(path, sizeof path, node_path, g_menu_tree.base_path, true) < 0) return;
  if (const NamedTreeNode* node = FindMenuNode(path)) BuildPopupMenuSet(kMenuSetTray, node);
}

int32_t RunPopupMenuCommand() {
  if (g_argument_decoder(kCommandPopupMenu) != 0) return -1;
  if (ArgValue(1) != 1) return 0;
  char path[kObjectPathCapacity];
  if (NormalizedMenuPath(0, path) < 0) return -1;
  const NamedTreeNode* node = FindMenuNode(path);
  if (node == nullptr) return 0;
  // A failed build (more menus than a set holds) shows what was built.
  BuildPopupMenuSet(kMenuSetPopup, node);
  // The frame step shows the popup where the cursor is on the screen.
  int32_t x = 0, y = 0;
  platform::GetCursorPos(&x, &y);
  g_frame.popup_x = x;
  g_frame.popup_y = y;
  g_frame.popup_menu_request = kMenuSetPopup;
  return 0;
}

int32_t RunMenuDeleteCommand() {
  if (g_argument_decoder(kCommandMenuDelete) != 0) return -1;
  char path[kObjectPathCapacity];
  if (NormalizedMenuPath(0, path) < 0) return -1;
  NamedTreeNode* node = FindMenuNode(path);
  if (node == nullptr || node == g_menu_tree.root) return 0;
  DeleteMenuNode(node);
  return 0;
}

int32_t RunMenuInfoCommand() {
  if (g_argument_decoder(kCommandMenuInfo) != 0) return -1;
  const DecodedArgument* out = FindArg(0);
  if (out == nullptr) return 0;
  const uint32_t number = out->var_number;
  const int64_t index = out->element_index;
  char path[kObjectPathCapacity];
  if (NormalizedMenuPath(1, path) < 0) return -1;
  const NamedTreeNode* node = FindMenuNode(path);
  const auto* item = node != nullptr ? static_cast<const MenuItem*>(node->payload) : nullptr;
  if (item == nullptr) {
    SetVarElementEmpty(number, index);
    return 0;
  }
  // The first keyword in this order answers.
  if (ArgGiven(3)) return StoreNumber(number, index, 1);
  if (ArgGiven(5)) return StoreNumber(number, index, item->present);
  if (ArgGiven(6)) return StoreNumber(number, index, item->enabled);
  if (ArgGiven(4)) return StoreNumber(number, index, node->order_key);
  if (ArgGiven(7)) return StoreNumber(number, index, item->checked);
  if (ArgGiven(8)) return StoreNumber(number, index, item->value);
  if (ArgGiven(2)) {
    const VariableRecord* v = FindVariable(number);
    if (v == nullptr) return 0;
    if (v->type != kVarString) {
      ReportScriptErrorPlain(kErrorWrongVariableType, true);
      return -1;
    }
    SetVarStringElement(number, index, item->text != nullptr ? item->text : "");
  }
  return 0;
}

void RegisterMenuCommandHandlers() {
  RegisterCommandHandler(kCommandMenuItem, RunMenuItemCommand);
  RegisterCommandHandler(kCommandPopupMenu, RunPopupMenuCommand);
  RegisterCommandHandler(kCommandMenuDelete, RunMenuDeleteCommand);
  RegisterCommandHandler(kCommandMenuInfo, RunMenuInfoCommand);
}

}  // namespace korvel
