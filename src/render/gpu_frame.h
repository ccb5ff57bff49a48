// The GPU path runs on OpenGL through the platform's device, under Direct3D-era names.
// Window 0's frame drawn as one textured quad and presented.
#pragma once

#include <cstdint>

namespace korvel {

int32_t DrawFrameWithDirect3D(const uint8_t* pixels);
int32_t PresentDevice();

}  // namespace korvel
