// The CPU scaling buffer.
#include "render/scaled_frame_buffer.h"

#include <new>

#include "core/error_report.h"

namespace korvel {

ScaledFrameBuffer g_scaled_frame;

uint8_t* EnsureScaledFrameBuffer(int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > 8192 || height > 8192) return nullptr;
  if (width != g_scaled_frame.width || height != g_scaled_frame.height) {
    const size_t bytes = static_cast<size_t>(width) * 4 * (static_cast<size_t>(height) + 1) + 4;
    try {
      g_scaled_frame.pixels.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
      ReleaseScaledFrameBuffer();
      ReportErrorPlain(104030, true);
      return nullptr;
    }
    g_scaled_frame.width = width;
    g_scaled_frame.height = height;
    ++g_scaled_frame.generation;
  }
  return g_scaled_frame.pixels.data();
}

void ReleaseScaledFrameBuffer() {
  g_scaled_frame.pixels.clear();
  g_scaled_frame.pixels.shrink_to_fit();
  g_scaled_frame.width = 0;
  g_scaled_frame.height = 0;
  ++g_scaled_frame.generation;
}

}  // namespace korvel
