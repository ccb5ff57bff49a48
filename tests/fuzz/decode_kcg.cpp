// Fuzz target: the KCG decoder on arbitrary bytes, its streams inflated in turn and in reverse
// order (the order two workers may finish in).
#include <cstddef>
#include <cstdint>

#include "image/image_decode.h"
#include "image/kcg_decode.h"

namespace {

int32_t InflateBackwards(const korvel::KcgStreams& streams) {
  const bool second_ok = korvel::InflateKcgStream(streams, 1);
  const bool first_ok = korvel::InflateKcgStream(streams, 0);
  return !first_ok ? 1 : !second_ok ? 2 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr korvel::ImageLimits kLimits{korvel::kMaxImageSide, 1u << 22};
  for (korvel::KcgInflater inflater : {korvel::KcgInflater{nullptr}, &InflateBackwards}) {
    korvel::DecodedImage image;
    korvel::DecodeKcgBytes({data, size}, kLimits, inflater, &image);
    korvel::FreeDecodedImage(&image);
  }
  return 0;
}
