// Canvas operations of the draw command: crop to the opaque area and canvas expansion.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Crops to the box of pixels with non-zero alpha (sides: 8 top, 4 bottom, 2 left, 1 right); an
// image without such pixels stays as it is. Output is `output` when has_output, else the layer.
int32_t CropLayerCGToOpaque(NamedTreeNode* layer, NamedTreeNode* output, bool has_output,
                            int64_t sides);
// Grows (or shrinks, negative margins) the canvas; new pixels are 0x00808080.
int32_t ExpandLayerCanvas(NamedTreeNode* layer, NamedTreeNode* output, bool has_output,
                          int64_t left, int64_t right, int64_t top, int64_t bottom);

}  // namespace korvel
