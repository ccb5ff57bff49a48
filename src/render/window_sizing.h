// The resizable main window's sizing: the client size that keeps the logical aspect ratio, the
// sizing limits for its screen, and the fitting of a size the player dragged.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvel {

// The client size of a window that keeps the logical aspect ratio inside the screen, rounded.
void LargestAspectClient(int32_t logical_width, int32_t logical_height, int32_t bound_width,
                         int32_t bound_height, int32_t* width, int32_t* height);
// WM_GETMINMAXINFO: the smallest and largest client sizes of the resizable main window.
void SetWindowTrackLimits();
// Windows' sizing edges (WMSZ codes): 1 left, 2 right, 3 top, 6 bottom, 4/5/7/8 corners.
inline constexpr int32_t kSizingEdgeRight = 2;
inline constexpr int32_t kSizingEdgeBottom = 6;
// The client rectangle the player dragged by `edge`, corrected to the logical aspect ratio: a top
// or bottom edge moves the right edge, any other edge (corners too) moves the bottom edge.
void FitRectToAspect(int32_t edge, platform::Rect* client);
// WM_SIZE in windowed state: the client keeps the logical aspect ratio within the screen and the
// presentation follows the client size. The window system tells no sizing edge while the player
// drags, so the size the drag ended with is fitted here, the edge told by which sides changed.
// Does nothing while the border countdown runs.
void ResizeWindowToScreen(int32_t client_width, int32_t client_height);

}  // namespace korvel
