// The libjpeg error manager both JPEG decoders install: JpegErrorExit jumps back to `recovery`.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace korvel {

struct JpegErrorManager {
  jpeg_error_mgr standard;  // first, so libjpeg's err pointer is the manager's address
  jmp_buf recovery;
};

}  // namespace korvel
