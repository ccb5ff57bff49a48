// Lookup by path among 10,000 siblings (first, last, missing), with and without normalising the
// name first, and ordered insertion at the end of a long child list.
#include <benchmark/benchmark.h>

#include <string>

#include "core/named_tree.h"

namespace korvel {
namespace {

constexpr int kSiblings = 10000;

// One group "W0" with leaves "L0".."L9999" in key order, built once.
NamedTreeNode* Tree() {
  static NamedTreeNode* root = [] {
    NamedTreeNode* r = AllocTreeNode("", true);
    CreateTreeNode(r, "W0", true, 0);
    for (int i = 0; i < kSiblings; ++i) {
      CreateTreeNode(r, "W0/L" + std::to_string(i), false, i);
    }
    return r;
  }();
  return root;
}

void BM_FindObjectByPath_First(benchmark::State& state) {
  NamedTreeNode* root = Tree();
  for (auto _ : state) benchmark::DoNotOptimize(FindObjectByPath(root, "W0/L0", kFindLeaf));
}
BENCHMARK(BM_FindObjectByPath_First);

void BM_FindObjectByPath_Last(benchmark::State& state) {
  NamedTreeNode* root = Tree();
  for (auto _ : state) benchmark::DoNotOptimize(FindObjectByPath(root, "W0/L9999", kFindLeaf));
}
BENCHMARK(BM_FindObjectByPath_Last);

void BM_FindObjectByPath_Miss(benchmark::State& state) {
  NamedTreeNode* root = Tree();
  for (auto _ : state) benchmark::DoNotOptimize(FindObjectByPath(root, "W0/none", kFindLeaf));
}
BENCHMARK(BM_FindObjectByPath_Miss);

void BM_NormalizeAndFind_Middle(benchmark::State& state) {
  NamedTreeNode* root = Tree();
  char path[kObjectPathCapacity];
  for (auto _ : state) {
    NormalizeObjectPath(path, sizeof(path), "./L5000", "W0", false);
    benchmark::DoNotOptimize(FindObjectByPath(root, path, kFindLeaf));
  }
}
BENCHMARK(BM_NormalizeAndFind_Middle);

void BM_InsertAtEnd(benchmark::State& state) {
  NamedTreeNode* root = Tree();
  NamedTreeNode* group = FindObjectByPath(root, "W0", kFindGroup);
  NamedTreeNode* node = AllocTreeNode("extra", false);
  for (auto _ : state) {
    InsertChildNode(group, node, kSiblings);
    UnlinkTreeNode(node);
  }
  DestroyTreeNode(node, nullptr);
}
BENCHMARK(BM_InsertAtEnd);

}  // namespace
}  // namespace korvel
