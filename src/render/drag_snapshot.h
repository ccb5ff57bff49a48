// The drag layer as the main thread's hit test sees it: a copy taken once per frame on the thread
// that runs the frame step, so the test never reads a layer while a script command changes it.
#pragma once

#include <cstdint>

#include "core/subsystem_hooks.h"

namespace korvel {

// Copies the drag layer (position with its ancestors' offsets, size, alpha switch, pixels) while
// window dragging is on; clears the copy otherwise or when the layer does not exist.
void UpdateDragSnapshot();
// Drops the copy.
void ClearDragSnapshot();
// The hook's function: the copy, when it was taken for `layer_path`. The pixels stay valid until
// the next call on the same thread.
bool FindDragLayerSnapshot(int32_t window_index, const char* layer_path, DragLayerView* view);

}  // namespace korvel
