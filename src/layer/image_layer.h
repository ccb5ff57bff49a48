// Loading images into layers: the located file read whole through its source, the decoders by
// type code, the layer pixel allocator and what follows every load (transparent colour, pacer).
#pragma once

#include <cstdint>

#include "layer/layer_data.h"
#include "resource/resource_locator.h"

namespace korvel {

struct GifFrameTable;

// Reads the located file whole into the locator's size and data through its source's loader
// (disk, pack, compiler output, preload bank). 0, or -1 when the loader fails (it has reported)
// or the source is none of these (nothing is reported).
int32_t LoadLocatedImage(ResourceLocator* locator, const char* name);

// The decoders' contract: load the located file, decode it into the layer (width, height,
// pixels, has-alpha), free the file image. 0, or -1 after the decoder's own reports; a failed
// decode leaves the layer as it was. Layer pixel buffers are heap blocks (FreeBlock).
int32_t DecodeKcgImage(ResourceLocator* locator, LayerData* layer, const char* name);
int32_t DecodeBmpImage(ResourceLocator* locator, LayerData* layer, const char* name);
int32_t DecodePngImage(ResourceLocator* locator, LayerData* layer, const char* name);
int32_t DecodeJpegImage(ResourceLocator* locator, LayerData* layer, const char* name);
int32_t RejectPsdImage(ResourceLocator* locator, LayerData* layer, const char* name);
// GIF frames go to *frames (a previous table there is freed); a null slot drops them.
// DecodeImageByType hands the slot to every decoder: a successful load of another type empties
// it, since the layer no longer shows those frames.
int32_t DecodeGifImage(ResourceLocator* locator, LayerData* layer, const char* name,
                       GifFrameTable** frames = nullptr);

// Clears the layer's has-alpha and decodes by the locator's type code: 1 BMP, 2 PNG, 3 JPEG
// (a failure reports 100210), 4 GIF (a failure reports 100215), 7 PSD (always refused), 8 KCG;
// any other type reports 100030 with the name. 0 or -1.
int32_t DecodeImageByType(ResourceLocator* locator, LayerData* layer, const char* name,
                          GifFrameTable** gif_frames);

// What follows every image load: the transparent colour, and the frame pacer's period restarts
// so the load does not count as lag.
void FinishImageLoad(LayerData* layer);

// Sizes a layer pixel buffer for width x height: width * 4 * (height + 1) + 4 bytes, resizing
// `old_pixels` (which is then gone) or allocating. A side outside 0..8192 shows the size message
// box and reports 100010; when memory runs out it reports 104030 with the name (100010 without
// one). Returns the buffer, or null (the old buffer is then still valid).
uint8_t* AllocCGPixels(uint8_t* old_pixels, int32_t width, int32_t height, const char* name);

// Every pixel of the layer whose alpha byte is 0 becomes 0x00808080.
void ApplyTransparentColour(LayerData* layer);

}  // namespace korvel
