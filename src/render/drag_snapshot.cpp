// The per-frame copy of the drag layer.
#include "render/drag_snapshot.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/window_record.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"

namespace korvel {

namespace {

struct DragSnapshot {
  std::string path;
  DragLayerView view;
  std::shared_ptr<const std::vector<uint8_t>> pixels;
};

std::mutex g_snapshot_lock;
std::shared_ptr<const DragSnapshot> g_snapshot;

NamedTreeNode* FindLayer(const std::string& text) {
  LayerPath path{};
  if (NormalizeLayerPath(text, &path) != 0) return nullptr;
  NamedTreeNode* node = FindLayerQuiet(path.text, path.group);
  if (node == nullptr && !path.group) node = FindLayerQuiet(path.text, true);
  return node != nullptr && LayerOf(node) != nullptr ? node : nullptr;
}

void Store(std::shared_ptr<const DragSnapshot> snapshot) {
  std::lock_guard lock(g_snapshot_lock);
  g_snapshot = std::move(snapshot);
}

}  // namespace

void UpdateDragSnapshot() {
  if (g_window_drag.enabled.load() == 0) {
    ClearDragSnapshot();
    return;
  }
  std::string path;
  {
    std::lock_guard lock(g_window_drag.lock);
    path = g_window_drag.layer_path;
  }
  NamedTreeNode* node = path.empty() ? nullptr : FindLayer(path);
  const LayerData* l = node != nullptr ? LayerOf(node) : nullptr;
  if (l == nullptr || l->pixels == nullptr || l->width < 1 || l->height < 1) {
    ClearDragSnapshot();
    return;
  }
  auto snapshot = std::make_shared<DragSnapshot>();
  snapshot->path = path;
  // Left and top in the window's pixels: the layer's own offsets and its ancestors' below the
  // window root.
  int64_t x = 0, y = 0;
  for (const NamedTreeNode* n = node; n != nullptr; n = n->parent) {
    const LayerData* d = LayerOf(n);
    if (d == nullptr || (n != node && d->is_window_root != 0)) break;
    x += d->x;
    y += d->y;
  }
  const size_t bytes = static_cast<size_t>(l->width) * 4 * static_cast<size_t>(l->height);
  auto pixels = std::make_shared<std::vector<uint8_t>>(l->pixels, l->pixels + bytes);
  snapshot->view.x = x;
  snapshot->view.y = y;
  snapshot->view.width = l->width;
  snapshot->view.height = l->height;
  snapshot->view.has_alpha = l->has_alpha;
  snapshot->view.pixels = pixels->data();
  snapshot->pixels = std::move(pixels);
  Store(std::move(snapshot));
}

void ClearDragSnapshot() { Store(nullptr); }

bool FindDragLayerSnapshot(int32_t /*window_index*/, const char* layer_path, DragLayerView* view) {
  // Keeps the pixels of the last answer alive for the caller on this thread.
  thread_local std::shared_ptr<const DragSnapshot> held;
  {
    std::lock_guard lock(g_snapshot_lock);
    held = g_snapshot;
  }
  if (held == nullptr || layer_path == nullptr || held->path != layer_path) return false;
  *view = held->view;
  return true;
}

}  // namespace korvel
