// Writes 16-bit stereo 44,100 Hz frames to a WAV file through a temporary file that is renamed into
// place when the recording finishes (header sizes fixed then).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace korvel::platform {

class WavRecorder {
 public:
  WavRecorder() = default;
  ~WavRecorder();
  WavRecorder(const WavRecorder&) = delete;
  WavRecorder& operator=(const WavRecorder&) = delete;

  // Starts a recording that will land at `path`; false (with a line on stderr) when the temporary
  // file cannot be made.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  void Append(const int16_t* stereo, uint32_t frames);
  // Fixes the header sizes and renames the file into place; nothing when not open.
  bool Finish();

 private:
  std::FILE* file_ = nullptr;
  std::string path_, temp_path_;
  uint64_t data_bytes_ = 0;
};

}  // namespace korvel::platform
