// The GPU path runs on OpenGL through the platform's device, under Direct3D-era names.
// Screen capture into a layer: layer tiles drawn offscreen and read back.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Reads the capture target into dst (width × 4 bytes a row); a failure is traced and leaves dst.
void CaptureBackBuffer(uint8_t* dst, int32_t width, int32_t height);
// Draws the layer's tiles over black at window 0's logical size and reads the result into its
// pixels. -1 when no buffer could be had for the image (the layer is left as it was), else 0.
int32_t CaptureScreenToLayer(NamedTreeNode* node);

}  // namespace korvel
