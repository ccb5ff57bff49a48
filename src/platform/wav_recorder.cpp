// The headless recorder's WAV file: 16-bit stereo 44,100 Hz, written through a temporary file.
#include "platform/wav_recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace korvel::platform {
namespace {

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void MakeHeader(uint8_t* h, uint32_t data_bytes) {
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, 36 + data_bytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);
  Put16(h + 22, 2);
  Put32(h + 24, 44100);
  Put32(h + 28, 44100 * 4);
  Put16(h + 32, 4);
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, data_bytes);
}

}  // namespace

WavRecorder::~WavRecorder() { Finish(); }

bool WavRecorder::Open(const std::string& path) {
  Finish();
  path_ = path;
  temp_path_ = path + ".part" + std::to_string(static_cast<long>(getpid()));
  file_ = std::fopen(temp_path_.c_str(), "wb");
  if (file_ == nullptr) {
    std::fprintf(stderr, "korvel: cannot write the audio dump %s\n", path.c_str());
    return false;
  }
  data_bytes_ = 0;
  uint8_t header[44];
  MakeHeader(header, 0);
  std::fwrite(header, 1, sizeof header, file_);
  return true;
}

void WavRecorder::Append(const int16_t* stereo, uint32_t frames) {
  if (file_ == nullptr || frames == 0) return;
  uint8_t buffer[4096];
  uint32_t done = 0;
  while (done < frames) {
    const uint32_t n = std::min<uint32_t>(frames - done, sizeof buffer / 4);
    for (uint32_t i = 0; i < 2 * n; ++i) {
      Put16(buffer + 2 * i, static_cast<uint16_t>(stereo[2 * done + i]));
    }
    std::fwrite(buffer, 1, 4 * n, file_);
    done += n;
  }
  data_bytes_ += 4ull * frames;
}

bool WavRecorder::Finish() {
  if (file_ == nullptr) return true;
  // A RIFF size is 32-bit: longer recordings keep the largest size it can state.
  const uint64_t limit = 0xFFFFFFFFull - 36;
  uint8_t header[44];
  MakeHeader(header, static_cast<uint32_t>(std::min(data_bytes_, limit - limit % 4)));
  bool ok = std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header, 1, 44, file_) == 44;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (ok) ok = std::rename(temp_path_.c_str(), path_.c_str()) == 0;
  if (!ok) {
    std::fprintf(stderr, "korvel: cannot write the audio dump %s\n", path_.c_str());
    std::remove(temp_path_.c_str());
  }
  return ok;
}

}  // namespace korvel::platform
