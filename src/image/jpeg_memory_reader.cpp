// The in-memory libjpeg source: init leaves the buffer empty, fill hands over the whole file once
// (asking for more is an end-of-data error), skip never moves past the end.
#include "image/jpeg_memory_reader.h"

#include <cstring>

#include <jerror.h>

namespace korvel {

namespace {

// A progressive file with more scans than this is refused (a damaged file can hold thousands
// of them, each a pass over the whole image).
constexpr int kMaxScans = 1000;

JpegMemoryInput* InputOf(j_decompress_ptr cinfo) {
  return static_cast<JpegMemoryInput*>(cinfo->client_data);
}

void SourceInit(j_decompress_ptr cinfo) {
  JpegMemoryInput* input = InputOf(cinfo);
  input->handed_over = false;
  cinfo->src->bytes_in_buffer = 0;
  cinfo->src->next_input_byte = input->data;
}

boolean SourceFill(j_decompress_ptr cinfo) {
  JpegMemoryInput* input = InputOf(cinfo);
  if (input->handed_over || input->size == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
  input->handed_over = true;
  cinfo->src->next_input_byte = input->data;
  cinfo->src->bytes_in_buffer = input->size;
  return TRUE;
}

void SourceSkip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  // Skipping needs the file handed over first, as any read does.
  while (source->bytes_in_buffer == 0) SourceFill(cinfo);
  if (static_cast<unsigned long>(count) > source->bytes_in_buffer) {
    source->next_input_byte += source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
    return;
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void SourceTerm(j_decompress_ptr /*cinfo*/) {}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(manager->recovery, 1);
}

void IgnoreMessage(j_common_ptr /*cinfo*/) {}

void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

}  // namespace

void CreateJpegMemoryReader(JpegMemoryReader* reader) {
  std::memset(&reader->cinfo, 0, sizeof reader->cinfo);
  reader->cinfo.err = jpeg_std_error(&reader->error.standard);
  reader->error.standard.error_exit = ErrorExit;
  reader->error.standard.output_message = IgnoreMessage;
  reader->cinfo.client_data = &reader->input;
  // Creating clears everything but the error manager and client data.
  jpeg_create_decompress(&reader->cinfo);
  reader->source.init_source = SourceInit;
  reader->source.fill_input_buffer = SourceFill;
  reader->source.skip_input_data = SourceSkip;
  reader->source.resync_to_restart = jpeg_resync_to_restart;
  reader->source.term_source = SourceTerm;
  reader->cinfo.src = &reader->source;
  reader->progress.progress_monitor = LimitScans;
  reader->cinfo.progress = &reader->progress;
  StartJpegMemoryInput(reader, nullptr, 0);
}

void StartJpegMemoryInput(JpegMemoryReader* reader, const uint8_t* data, size_t size) {
  reader->input = JpegMemoryInput{data, size, false};
  reader->source.bytes_in_buffer = 0;
  reader->source.next_input_byte = nullptr;
}

}  // namespace korvel
