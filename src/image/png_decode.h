// The PNG decoder on libpng: every colour type and depth to 8-bit blue, green, red, alpha, with
// the file's gamma corrected for a 2.2 screen.
#pragma once

#include <cstdint>
#include <span>

#include "image/image_decode.h"

struct png_struct_def;

namespace korvel {

// Palette images, grey below 8 bits and transparency chunks are expanded, 16-bit samples
// stripped to their high byte, grey turned into RGB. Images with an alpha channel or a
// transparency chunk carry alpha; the others get alpha 255. Errors: 100200 when libpng's
// structures cannot be made, 100091 for sides over 8192; a damaged or short file fails through
// libpng's error path without a code of its own.
DecodeStatus DecodePngBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            DecodedImage* out);

// libpng's read callback: copies the next bytes of the file in memory; reading past its end is
// an error.
void PngReadFromMemory(png_struct_def* png, uint8_t* out, size_t count);

}  // namespace korvel
