// The GLSL programs of the OpenGL device: one vertex program for every pre-transformed quad, the two
// frame effects, and one fragment program per layer blend mode (its texture stages).
#pragma once

#include <string>

#include "platform/gpu_device.h"

namespace korvel::platform::sdl {

// The vertex program; `es` selects OpenGL ES 3.0's language.
std::string QuadVertexShader(bool es);
// The fragment program of a frame effect or a layer mode.
std::string FragmentShader(GpuProgram program, bool es);

}  // namespace korvel::platform::sdl
