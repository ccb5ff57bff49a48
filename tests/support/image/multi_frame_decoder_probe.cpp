// Whether the multi-frame decoder's decompressor exists, read from its record.
#include "support/image/multi_frame_decoder_probe.h"

#include "image/multi_frame_decoder_state.h"

namespace korvel::test {

bool MultiFrameDecoderCreated() { return g_multi_frame_decoder.created; }

}  // namespace korvel::test
