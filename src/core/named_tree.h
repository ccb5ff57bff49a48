// Named node trees: the node record shared by the layer, task, sound and menu trees, the name hash,
// path normalisation against a tree's base path, lookup by path and ordered insertion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvel {

struct NamedTreeNode {
  NamedTreeNode* first_child;
  NamedTreeNode* last_child;
  NamedTreeNode* prev_sibling;
  NamedTreeNode* next_sibling;
  NamedTreeNode* parent;
  char* name;            // heap copy, NUL-terminated
  uint32_t name_length;  // bytes, without the NUL
  uint32_t hash;         // low 31 bits: name hash; top bit: group node
  uint32_t child_count;
  int64_t order_key;     // children are kept in ascending key order
  uint8_t kind;          // 1 group, 0 leaf; agrees with the hash's top bit
  void* payload;         // opaque here; the tree's owner knows its type and frees it
};

inline constexpr uint32_t kGroupHashBit = 0x80000000u;
inline constexpr uint8_t kNodeLeaf = 0;
inline constexpr uint8_t kNodeGroup = 1;

// Longest name a script can pass (its string buffers hold 4096 bytes) and the base path's buffer.
inline constexpr size_t kMaxObjectNameLength = 4095;
inline constexpr size_t kBasePathCapacity = 256;
// Room for base + "/" + the longest name + NUL: no normalised path can be longer.
inline constexpr size_t kObjectPathCapacity = kBasePathCapacity + kMaxObjectNameLength + 1;

struct NamedTree;

// Frees one node's payload.
using PayloadRelease = void (*)(void* payload);

// What the subsystem that owns a tree's payloads registers for it (layer records, script tasks,
// sound channels, menu items): the tree's contents at start-up and the release of a payload.
struct TreeOwner {
  // Gives the tree's bare root its payload and builds the system nodes below it. Returns 0, or -1
  // after a reported failure.
  int32_t (*build)(NamedTree* tree, int32_t window0_width, int32_t window0_height);
  PayloadRelease release;  // called for every payload when nodes of the tree are destroyed
};

// One tree: its root node, the base path that relative paths are resolved against, and its owner.
struct NamedTree {
  NamedTreeNode* root;
  char base_path[kBasePathCapacity];
  TreeOwner owner;  // registered once; outlives the tree's nodes
};

extern NamedTree g_layer_tree;
extern NamedTree g_task_tree;
extern NamedTree g_sound_tree;
extern NamedTree g_menu_tree;

// MurmurHash2 of the name with the top bit cleared (what nodes store for leaves).
uint32_t NodeNameHash(const char* name, size_t length);

// Builds the normalised full path of `name` against `base` into `output` (capacity bytes, at least
// kObjectPathCapacity for every name). Returns 1 when the result ended with '/' (removed: the path
// names a group), 0 otherwise, -1 on error: a space in a segment when spaces are not allowed (script
// error 100242, fatal), a missing buffer or a name or base longer than the limits (900020, fatal).
// `name` and `base` end at their first NUL.
int32_t NormalizeObjectPath(char* output, size_t capacity, std::string_view name,
                            std::string_view base, bool allow_spaces);

// The child group named `name` (exactly `length` bytes), or null.
NamedTreeNode* FindChildByName(const NamedTreeNode* parent, const char* name, size_t length);

// Lookup modes for the last path segment.
inline constexpr int32_t kFindLeaf = 0;
inline constexpr int32_t kFindGroup = 1;
inline constexpr int32_t kFindAny = 2;

// Resolves `path` below `start`: its '/'-terminated segments are groups (a missing one reports
// script error 100230, fatal, with the segment, and gives null); the last segment names a leaf
// (mode 0), a group (1) or either (any other mode). Null when the last segment is missing.
NamedTreeNode* FindObjectByPath(NamedTreeNode* start, std::string_view path, int32_t mode);

// Resolves only the '/'-terminated segments of `path` and returns the node reached (the parent of
// the last segment); an empty path gives `start`. A missing group reports 100230 as above.
NamedTreeNode* FindNodeByPath(std::string_view path, NamedTreeNode* start);

// Links `node` under `parent` in ascending key order, behind every child with an equal key.
void InsertChildNode(NamedTreeNode* parent, NamedTreeNode* node, int64_t order_key);

// Removes `node` from its parent's child list (the node keeps its own children).
void UnlinkTreeNode(NamedTreeNode* node);

// Creates a node for `path` below `root`: the parent is found with FindNodeByPath, the name is the
// last segment. No payload yet. Failed allocations report 100010 (fatal); null then, or when the
// parent is missing.
NamedTreeNode* CreateTreeNode(NamedTreeNode* root, std::string_view path, bool group,
                              int64_t order_key);

// A bare node with the given name, not linked anywhere (tree roots). Null after reporting 100010.
NamedTreeNode* AllocTreeNode(std::string_view name, bool group);

// Installs the owner of a tree's payloads (replacing any earlier one); the next build of the trees
// uses it.
void RegisterTreeOwner(NamedTree* tree, TreeOwner owner);

// Frees a node, its name and its whole subtree; `free_payload` (may be null) is called for every
// non-null payload. The node is unlinked from its parent first.
void DestroyTreeNode(NamedTreeNode* node, PayloadRelease free_payload);

// The byte length of the path's prefix that holds its '/'-terminated segments (0 when the path has
// no real '/'), stepping over double-byte characters.
size_t ParentPathLength(std::string_view path);

}  // namespace korvel
