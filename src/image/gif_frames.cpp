// The frame table of GIF layers.
#include "image/gif_frames.h"

#include <new>

namespace korvel {

GifFrameTable* NewGifFrameTable() { return new (std::nothrow) GifFrameTable(); }

void DestroyGifFrameTable(GifFrameTable* table) { delete table; }

}  // namespace korvel
