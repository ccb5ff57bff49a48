// Named node trees: hashing, path normalisation, lookup and ordered insertion.
#include "core/named_tree.h"

#include <cstring>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/murmur_hash.h"
#include "core/shift_jis.h"

namespace korvel {

NamedTree g_layer_tree;
NamedTree g_task_tree;
NamedTree g_sound_tree;
NamedTree g_menu_tree;

namespace {

std::string_view UpToNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool IsSeparatorAt(std::string_view text, size_t i) {
  return text[i] == '/' && SjisCharLength(text.data(), i, text.size()) == 1;
}

// Position of the next real '/' at or after `i`, or npos.
size_t NextSeparator(std::string_view text, size_t i) {
  while (i < text.size()) {
    const size_t n = SjisCharLength(text.data(), i, text.size());
    if (n == 1 && text[i] == '/') return i;
    i += n;
  }
  return std::string_view::npos;
}

// True when the text's last character is a single-byte '/'.
bool EndsWithSeparator(std::string_view text) {
  bool last_is_slash = false;
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text.data(), i, text.size());
    last_is_slash = (n == 1 && text[i] == '/');
    i += n;
  }
  return last_is_slash;
}

bool HasPathSpecial(std::string_view name) {
  for (size_t i = 0; i < name.size();) {
    const size_t n = SjisCharLength(name.data(), i, name.size());
    if (n == 1 && (name[i] == '.' || name[i] == ':' || name[i] == '/')) return true;
    i += n;
  }
  return false;
}

void ReportMissingSegment(std::string_view segment) {
  char text[kObjectPathCapacity];
  const size_t n = segment.size() < sizeof(text) ? segment.size() : sizeof(text) - 1;
  std::memcpy(text, segment.data(), n);
  text[n] = '\0';
  ReportScriptError(100230, true, text);
}

// Walks the '/'-terminated segments of `path`; `*rest` receives what follows the last '/'.
NamedTreeNode* WalkGroups(NamedTreeNode* start, std::string_view path, std::string_view* rest) {
  NamedTreeNode* node = start;
  size_t i = 0;
  for (;;) {
    const size_t slash = NextSeparator(path, i);
    if (slash == std::string_view::npos) break;
    const std::string_view segment = path.substr(i, slash - i);
    NamedTreeNode* child = FindChildByName(node, segment.data(), segment.size());
    if (child == nullptr) {
      ReportMissingSegment(segment);
      return nullptr;
    }
    node = child;
    i = slash + 1;
  }
  *rest = path.substr(i);
  return node;
}

}  // namespace

uint32_t NodeNameHash(const char* name, size_t length) {
  return MurmurHash2(name, length, 0) & ~kGroupHashBit;
}

int32_t NormalizeObjectPath(char* output, size_t capacity, std::string_view name,
                            std::string_view base, bool allow_spaces) {
  if (output == nullptr) {
    ReportErrorPlain(900020, true);
    return -1;
  }
  name = UpToNul(name);
  base = UpToNul(base);
  if (name.size() > kMaxObjectNameLength || base.size() >= kBasePathCapacity ||
      capacity < base.size() + name.size() + 2) {
    if (capacity > 0) output[0] = '\0';
    ReportErrorPlain(900020, true);
    return -1;
  }

  // Fast path: a plain name below the base.
  // A plain name is taken as it stands, spaces included: games name layers that way.
  if (!HasPathSpecial(name)) {
    size_t n = 0;
    if (!base.empty()) {
      std::memcpy(output, base.data(), base.size());
      n = base.size();
      output[n++] = '/';
    }
    std::memcpy(output + n, name.data(), name.size());
    output[n + name.size()] = '\0';
    return 0;
  }

  // The work path: absolute after ':' (one '/' behind it dropped), else base + "/" + name.
  char work[kObjectPathCapacity];
  size_t work_length = 0;
  if (name[0] == ':') {
    std::string_view rest = name.substr(1);
    if (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
    std::memcpy(work, rest.data(), rest.size());
    work_length = rest.size();
  } else {
    if (!base.empty()) {
      std::memcpy(work, base.data(), base.size());
      work_length = base.size();
      work[work_length++] = '/';
    }
    std::string_view rest = name;
    if (rest[0] == '/') rest.remove_prefix(1);
    std::memcpy(work + work_length, rest.data(), rest.size());
    work_length += rest.size();
  }
  work[work_length] = '\0';
  const std::string_view path(work, work_length);

  // Start offsets of the segments in the output, so ".." can drop the last one without scanning
  // backwards through double-byte characters.
  uint16_t segment_starts[kObjectPathCapacity / 2 + 2];
  size_t segment_count = 0;
  size_t out = 0;
  size_t i = 0;
  while (i < path.size()) {
    if (IsSeparatorAt(path, i)) {
      while (i < path.size() && path[i] == '/') output[out++] = path[i++];
      continue;
    }
    const size_t start = i;
    bool has_space = false;
    bool ends_with_slash = false;
    while (i < path.size()) {
      const size_t n = SjisCharLength(path.data(), i, path.size());
      if (n == 1 && path[i] == '/') {
        ++i;
        ends_with_slash = true;
        break;
      }
      if (n == 1 && path[i] == ' ') has_space = true;
      i += n;
    }
    if (has_space && !allow_spaces) {
      output[0] = '\0';
      ReportScriptError(100242, true, work);
      return -1;
    }
    const std::string_view segment = path.substr(start, i - start);
    if (ends_with_slash && segment == "../") {
      // Drop the last segment with the slashes behind it; the '/' in front of it stays.
      out = segment_count > 0 ? segment_starts[--segment_count] : 0;
      continue;
    }
    if (ends_with_slash && segment == "./") continue;
    segment_starts[segment_count++] = static_cast<uint16_t>(out);
    std::memcpy(output + out, segment.data(), segment.size());
    out += segment.size();
  }
  output[out] = '\0';
  if (out > 0 && EndsWithSeparator(std::string_view(output, out))) {
    output[out - 1] = '\0';
    return 1;
  }
  return 0;
}

NamedTreeNode* FindChildByName(const NamedTreeNode* parent, const char* name, size_t length) {
  if (parent == nullptr) return nullptr;
  const uint32_t want = NodeNameHash(name, length) | kGroupHashBit;
  for (NamedTreeNode* child = parent->first_child; child != nullptr; child = child->next_sibling) {
    if (child->hash == want && child->name_length == length &&
        std::memcmp(child->name, name, length) == 0) {
      return child;
    }
  }
  return nullptr;
}

NamedTreeNode* FindObjectByPath(NamedTreeNode* start, std::string_view path, int32_t mode) {
  if (start == nullptr) return nullptr;
  path = UpToNul(path);
  std::string_view last;
  NamedTreeNode* parent = WalkGroups(start, path, &last);
  if (parent == nullptr) return nullptr;
  const uint32_t hash = NodeNameHash(last.data(), last.size());
  for (NamedTreeNode* child = parent->first_child; child != nullptr; child = child->next_sibling) {
    bool hit;
    if (mode == kFindLeaf) {
      hit = child->hash == hash;
    } else if (mode == kFindGroup) {
      hit = child->hash == (hash | kGroupHashBit);
    } else {
      hit = (child->hash & ~kGroupHashBit) == hash;
    }
    if (hit && child->name_length == last.size() &&
        std::memcmp(child->name, last.data(), last.size()) == 0) {
      return child;
    }
  }
  return nullptr;
}

NamedTreeNode* FindNodeByPath(std::string_view path, NamedTreeNode* start) {
  if (start == nullptr) return nullptr;
  std::string_view last;
  return WalkGroups(start, UpToNul(path), &last);
}

void InsertChildNode(NamedTreeNode* parent, NamedTreeNode* node, int64_t order_key) {
  node->parent = parent;
  node->order_key = order_key;
  // Behind the last child whose key is not greater: stable among equal keys, and appending in
  // key order costs nothing.
  NamedTreeNode* before = parent->last_child;
  while (before != nullptr && before->order_key > order_key) before = before->prev_sibling;
  node->prev_sibling = before;
  if (before == nullptr) {
    node->next_sibling = parent->first_child;
    parent->first_child = node;
  } else {
    node->next_sibling = before->next_sibling;
    before->next_sibling = node;
  }
  if (node->next_sibling != nullptr) {
    node->next_sibling->prev_sibling = node;
  } else {
    parent->last_child = node;
  }
  ++parent->child_count;
}

void UnlinkTreeNode(NamedTreeNode* node) {
  NamedTreeNode* parent = node->parent;
  if (parent == nullptr) return;
  if (node->prev_sibling != nullptr) {
    node->prev_sibling->next_sibling = node->next_sibling;
  } else {
    parent->first_child = node->next_sibling;
  }
  if (node->next_sibling != nullptr) {
    node->next_sibling->prev_sibling = node->prev_sibling;
  } else {
    parent->last_child = node->prev_sibling;
  }
  if (parent->child_count > 0) --parent->child_count;
  node->prev_sibling = nullptr;
  node->next_sibling = nullptr;
  node->parent = nullptr;
}

NamedTreeNode* AllocTreeNode(std::string_view name, bool group) {
  name = UpToNul(name);
  auto* node = static_cast<NamedTreeNode*>(AllocZeroed(sizeof(NamedTreeNode)));
  if (node == nullptr) {
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  auto* copy = static_cast<char*>(AllocZeroed(name.size() + 1));
  if (copy == nullptr) {
    FreeBlock(node);
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  std::memcpy(copy, name.data(), name.size());
  node->name = copy;
  node->name_length = static_cast<uint32_t>(name.size());
  node->hash = NodeNameHash(name.data(), name.size()) | (group ? kGroupHashBit : 0u);
  node->kind = group ? kNodeGroup : kNodeLeaf;
  return node;
}

size_t ParentPathLength(std::string_view path) {
  path = UpToNul(path);
  size_t length = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t n = SjisCharLength(path.data(), i, path.size());
    if (n == 1 && path[i] == '/') length = i + 1;
    i += n;
  }
  return length;
}

NamedTreeNode* CreateTreeNode(NamedTreeNode* root, std::string_view path, bool group,
                              int64_t order_key) {
  path = UpToNul(path);
  NamedTreeNode* parent = FindNodeByPath(path, root);
  if (parent == nullptr) return nullptr;
  NamedTreeNode* node = AllocTreeNode(path.substr(ParentPathLength(path)), group);
  if (node == nullptr) return nullptr;
  InsertChildNode(parent, node, order_key);
  return node;
}

void RegisterTreeOwner(NamedTree* tree, TreeOwner owner) {
  if (tree != nullptr) tree->owner = owner;
}

void DestroyTreeNode(NamedTreeNode* node, PayloadRelease free_payload) {
  if (node == nullptr) return;
  UnlinkTreeNode(node);
  while (node->first_child != nullptr) DestroyTreeNode(node->first_child, free_payload);
  if (node->payload != nullptr && free_payload != nullptr) free_payload(node->payload);
  FreeBlock(node->name);
  FreeBlock(node);
}

}  // namespace korvel
