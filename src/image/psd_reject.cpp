// PSD files are recognised and refused.
#include "image/psd_reject.h"

namespace korvel {

namespace {
constexpr size_t kPsdHeaderEnd = 22;
}  // namespace

PsdHeader ReadPsdHeader(std::span<const uint8_t> file) {
  PsdHeader header;
  if (file.size() < kPsdHeaderEnd) return header;
  header.height = LoadU32BE(file.data() + 14);
  header.width = LoadU32BE(file.data() + 18);
  return header;
}

DecodeStatus RejectPsdBytes(std::span<const uint8_t> file) {
  ReadPsdHeader(file);
  return DecodeFail(kErrorPsdRefused);
}

}  // namespace korvel
