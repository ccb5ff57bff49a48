// The per-frame view of the drag layer: its place, size and which pixels are not transparent.
#include "render/drag_snapshot.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/window_record.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "pixel/opaque_bits.h"

namespace korvel {

namespace {

struct DragSnapshot {
  std::string path;
  DragLayerView view;
  std::shared_ptr<const std::vector<uint8_t>> opaque;
};

std::mutex g_snapshot_lock;
std::shared_ptr<const DragSnapshot> g_snapshot;
// The bits being built this frame (only the thread that runs the frame step touches it).
std::vector<uint8_t> g_scratch;

NamedTreeNode* FindLayer(const std::string& text) {
  LayerPath path{};
  if (NormalizeLayerPath(text, &path) != 0) return nullptr;
  return FindLayerOrGroup(path);
}

void Store(std::shared_ptr<const DragSnapshot> snapshot) {
  std::lock_guard lock(g_snapshot_lock);
  g_snapshot = std::move(snapshot);
}

std::shared_ptr<const DragSnapshot> Current() {
  std::lock_guard lock(g_snapshot_lock);
  return g_snapshot;
}

bool SameView(const DragLayerView& a, const DragLayerView& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height &&
         a.has_alpha == b.has_alpha;
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
  DragLayerView view;
  // Left and top in the window's pixels: the layer's own offsets and its ancestors' below the
  // window root.
  for (const NamedTreeNode* n = node; n != nullptr; n = n->parent) {
    const LayerData* d = LayerOf(n);
    if (d == nullptr || (n != node && d->is_window_root != 0)) break;
    // Placements are script values: the sum stops at the limits, far outside any window.
    view.x = SaturatingAdd(view.x, d->x);
    view.y = SaturatingAdd(view.y, d->y);
  }
  view.width = l->width;
  view.height = l->height;
  view.has_alpha = l->has_alpha;

  // No change signal covers every writer of a layer's pixels, so the bits are built every frame
  // and published only when they differ from the last ones.
  const std::shared_ptr<const DragSnapshot> current = Current();
  std::shared_ptr<const std::vector<uint8_t>> opaque;
  if (view.has_alpha != 0) {
    BuildOpaqueBits(l->pixels, static_cast<size_t>(l->width) * static_cast<size_t>(l->height),
                    &g_scratch);
    if (current != nullptr && current->opaque != nullptr && *current->opaque == g_scratch) {
      opaque = current->opaque;
    } else {
      opaque = std::make_shared<const std::vector<uint8_t>>(std::move(g_scratch));
      g_scratch.clear();
    }
    view.opaque = opaque->data();
  }
  if (current != nullptr && current->path == path && current->opaque == opaque &&
      SameView(current->view, view)) {
    return;
  }
  auto snapshot = std::make_shared<DragSnapshot>();
  snapshot->path = std::move(path);
  snapshot->view = view;
  snapshot->opaque = std::move(opaque);
  Store(std::move(snapshot));
}

void ClearDragSnapshot() {
  Store(nullptr);
  g_scratch.clear();
  g_scratch.shrink_to_fit();
}

bool FindDragLayerSnapshot(int32_t /*window_index*/, const char* layer_path, DragLayerView* view) {
  // Keeps the bits of the last answer alive for the caller on this thread.
  thread_local std::shared_ptr<const DragSnapshot> held;
  held = Current();
  if (held == nullptr || layer_path == nullptr || held->path != layer_path) return false;
  *view = held->view;
  return true;
}

}  // namespace korvel
