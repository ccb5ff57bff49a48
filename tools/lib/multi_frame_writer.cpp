// The multi-frame file writer and a small libjpeg encoder for its parts.
#include "lib/multi_frame_writer.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "image/multi_frame_format.h"
#include "core/byte_writer.h"

namespace korvel::tools {

namespace {

struct EncodeError {
  jpeg_error_mgr standard;
  jmp_buf recovery;
};

[[noreturn]] void EncodeErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<EncodeError*>(cinfo->err)->recovery, 1);
}

// Runs the compression; libjpeg's own memory destination hands back a malloc'd block.
bool Compress(jpeg_compress_struct* cinfo, EncodeError* error, const uint8_t* bgra,
              int32_t width, int32_t height, bool grey, int quality, unsigned char** buffer,
              unsigned long* size, uint8_t* row) {
  if (setjmp(error->recovery)) return false;
  jpeg_create_compress(cinfo);
  jpeg_mem_dest(cinfo, buffer, size);
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = grey ? 1 : 3;
  cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    const uint8_t* src = bgra + size_t(cinfo->next_scanline) * size_t(width) * 4;
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = src + size_t(x) * 4;
      if (grey) {
        row[x] = p[3];
      } else {
        row[x * 3] = p[2];
        row[x * 3 + 1] = p[1];
        row[x * 3 + 2] = p[0];
      }
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const uint8_t* bgra, int32_t width, int32_t height, bool grey,
                                int quality) {
  if (bgra == nullptr || width < 1 || height < 1) return {};
  std::vector<uint8_t> row(size_t(width) * 3);
  jpeg_compress_struct cinfo{};
  EncodeError error{};
  cinfo.err = jpeg_std_error(&error.standard);
  error.standard.error_exit = EncodeErrorExit;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok =
      Compress(&cinfo, &error, bgra, width, height, grey, quality, &buffer, &size, row.data());
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out;
  if (ok && buffer != nullptr) out.assign(buffer, buffer + size);
  std::free(buffer);
  return out;
}

std::vector<uint8_t> WriteMultiFrameFile(const std::vector<MultiFrameSource>& frames,
                                         const MultiFrameHeader& header) {
  // Offsets and sizes are 32-bit fields: a file that would pass 4 GiB cannot be written.
  uint64_t total = kMultiFrameTablesOffset + 12 * uint64_t{frames.size()};
  for (const MultiFrameSource& frame : frames) {
    total += frame.colour.size() + (header.alpha_flag == 1 ? frame.alpha.size() : 0);
  }
  if (total > UINT32_MAX) return {};
  ByteWriter w;
  w.Bytes(kMultiFrameMagic, sizeof kMultiFrameMagic);
  w.U32(static_cast<uint32_t>(frames.size()));
  w.U32(header.alpha_flag);
  w.U32(header.value_a);
  w.U32(header.value_b);
  w.U32(header.value_c);
  w.U32(0);
  uint64_t offset = kMultiFrameTablesOffset + 12 * uint64_t{frames.size()};
  for (const MultiFrameSource& frame : frames) {
    w.U32(static_cast<uint32_t>(offset));
    offset += frame.colour.size() + (header.alpha_flag == 1 ? frame.alpha.size() : 0);
  }
  for (const MultiFrameSource& frame : frames) w.U32(static_cast<uint32_t>(frame.colour.size()));
  for (const MultiFrameSource& frame : frames) {
    w.U32(header.alpha_flag == 1 ? static_cast<uint32_t>(frame.alpha.size()) : 0);
  }
  auto put_part = [&w](const std::vector<uint8_t>& part) {
    const size_t start = w.size();
    w.Bytes(part);
    TransformMultiFramePart(w.bytes.data() + start, part.size());
  };
  for (const MultiFrameSource& frame : frames) {
    put_part(frame.colour);
    if (header.alpha_flag == 1) put_part(frame.alpha);
  }
  return w.bytes;
}


}  // namespace korvel::tools
