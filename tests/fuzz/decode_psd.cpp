// Fuzz target: the PSD refusal (its header read) on arbitrary bytes; every file is refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/psd_reject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const korvel::PsdHeader header = korvel::ReadPsdHeader({data, size});
  const korvel::DecodeStatus status = korvel::RejectPsdBytes({data, size});
  if (status.result != -1 || status.error != korvel::kErrorPsdRefused) std::abort();
  if (size < 22 && (header.width != 0 || header.height != 0)) std::abort();
  return 0;
}
