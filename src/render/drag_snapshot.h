// The drag layer as the main thread's hit test sees it: taken once per frame on the thread that
// runs the frame step, so the test never reads a layer while a script command changes it. Only
// what the test reads is kept: the place, the size and one bit per pixel (alpha not 0).
#pragma once

#include <cstdint>

#include "core/subsystem_hooks.h"

namespace korvel {

// Takes the drag layer's view (position with its ancestors' offsets, size, alpha switch, opaque
// bits) while window dragging is on; clears it otherwise or when the layer does not exist. A view
// equal to the last one is kept as it is.
void UpdateDragSnapshot();
// Drops the view.
void ClearDragSnapshot();
// The hook's function: the view, when it was taken for `layer_path`. The bits stay valid until
// the next call on the same thread.
bool FindDragLayerSnapshot(int32_t window_index, const char* layer_path, DragLayerView* view);

}  // namespace korvel
