// Whether the multi-frame decoder's decompressor exists.
#pragma once

namespace korvel::test {

// True while the decompressor exists (from the first decode until the decoder is shut down).
bool MultiFrameDecoderCreated();

}  // namespace korvel::test
