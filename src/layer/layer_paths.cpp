// Layer path normalisation and quiet lookup.
#include "layer/layer_paths.h"

#include "core/shift_jis.h"
#include "layer/layer_record.h"

namespace korvel {

int32_t NormalizeLayerPath(std::string_view name, LayerPath* out, bool allow_spaces) {
  const int32_t r = NormalizeObjectPath(out->text, sizeof out->text, name, g_layer_tree.base_path,
                                        allow_spaces);
  if (r < 0) return -1;
  out->group = r == 1;
  return 0;
}

NamedTreeNode* FindLayerParentQuiet(std::string_view path) {
  const size_t nul = path.find('\0');
  if (nul != std::string_view::npos) path = path.substr(0, nul);
  NamedTreeNode* node = g_layer_tree.root;
  size_t start = 0;
  for (size_t i = 0; node != nullptr && i < path.size();) {
    const size_t n = SjisCharLength(path.data(), i, path.size());
    if (n == 1 && path[i] == '/') {
      node = FindChildByName(node, path.data() + start, i - start);
      start = i + 1;
    }
    i += n;
  }
  return node;
}

NamedTreeNode* FindLayerOrGroup(const LayerPath& path) {
  NamedTreeNode* node = FindLayerQuiet(path.text, path.group);
  if (node == nullptr && !path.group) node = FindLayerQuiet(path.text, true);
  return node != nullptr && LayerOf(node) != nullptr ? node : nullptr;
}

NamedTreeNode* FindLayerQuiet(std::string_view path, bool group) {
  const size_t nul = path.find('\0');
  if (nul != std::string_view::npos) path = path.substr(0, nul);
  NamedTreeNode* parent = FindLayerParentQuiet(path);
  if (parent == nullptr) return nullptr;
  // The last segment alone has no '/', so this lookup walks no groups and reports nothing.
  return FindObjectByPath(parent, path.substr(ParentPathLength(path)),
                          group ? kFindGroup : kFindLeaf);
}

}  // namespace korvel
