// BMP, PNG (libpng) and JPEG (libjpeg) writers over the engine's checked file writer.
#include "image/image_writers.h"

#include <csetjmp>
#include <cstdio>

#include <png.h>
#include <jpeglib.h>
#include <jerror.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/byte_writer.h"
#include "core/show_message.h"
#include "platform/file_writer.h"
#include "platform/script_paths.h"

namespace korvel {

namespace {

bool Usable(const WritableImage& image) {
  return image.pixels != nullptr && image.width >= 1 && image.height >= 1;
}

// Opens the temporary file for `name`; on failure shows the creation message.
bool OpenTarget(std::string_view root, std::string_view name, platform::FileWriter* writer) {
  platform::ScriptPath path;
  const bool ok = platform::ResolveScriptPath(root, name, true, &path) == platform::FileStatus::kOk &&
                  !path.is_folder && platform::BeginFileWrite(path.folder, path.leaf, writer);
  if (!ok) ShowMessageF("", "File Create Error.");
  return ok;
}

// ---- PNG ---------------------------------------------------------------------------------------

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* writer = static_cast<platform::FileWriter*>(png_get_io_ptr(png));
  if (!platform::WriteFileBytes(writer, data, length)) png_error(png, "write failed");
}
void PngFlush(png_structp /*png*/) {}
// Failures come back as a result; nothing is printed.
void PngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void PngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// The libpng part; its errors jump back here. `writer` outlives the jump.
int32_t EncodePng(const WritableImage& image, int32_t level, platform::FileWriter* writer) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (png == nullptr) return -1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return -1;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return -1;
  }
  png_set_write_fn(png, writer, PngWrite, PngFlush);
  png_set_filter(png, 0, PNG_ALL_FILTERS);
  png_set_compression_level(png, level);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_gAMA(png, info, 1.0 / (1.0 * 2.2));
  png_write_info(png, info);
  png_set_bgr(png);
  const size_t pitch = static_cast<size_t>(image.width) * 4;
  for (int32_t r = 0; r < image.height; ++r) {
    png_write_row(png, image.pixels + static_cast<size_t>(r) * pitch);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return 0;
}

// ---- JPEG --------------------------------------------------------------------------------------

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf recovery;
};

void JpegWriteErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->recovery, 1);
}
void JpegQuiet(j_common_ptr /*info*/, int /*level*/) {}

constexpr size_t kJpegChunk = 64 * 1024;

struct JpegDestination {
  jpeg_destination_mgr manager;
  platform::FileWriter* writer;
  JOCTET buffer[kJpegChunk];
};

void JpegInitDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  dest->manager.next_output_byte = dest->buffer;
  dest->manager.free_in_buffer = kJpegChunk;
}
boolean JpegEmptyBuffer(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  if (!platform::WriteFileBytes(dest->writer, dest->buffer, kJpegChunk)) {
    ERREXIT(info, JERR_FILE_WRITE);
  }
  JpegInitDestination(info);
  return TRUE;
}
void JpegTermDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  const size_t used = kJpegChunk - dest->manager.free_in_buffer;
  if (used > 0 && !platform::WriteFileBytes(dest->writer, dest->buffer, used)) {
    ERREXIT(info, JERR_FILE_WRITE);
  }
}

int32_t EncodeJpeg(const WritableImage& image, int32_t quality, JpegDestination* dest,
                   uint8_t* row) {
  jpeg_compress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegWriteErrorExit;
  error.manager.emit_message = JpegQuiet;
  if (setjmp(error.recovery)) {
    jpeg_destroy_compress(&info);
    return -2;
  }
  jpeg_create_compress(&info);
  dest->manager.init_destination = JpegInitDestination;
  dest->manager.empty_output_buffer = JpegEmptyBuffer;
  dest->manager.term_destination = JpegTermDestination;
  info.dest = &dest->manager;
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t pitch = static_cast<size_t>(image.width) * 4;
  while (info.next_scanline < info.image_height) {
    const uint8_t* src = image.pixels + static_cast<size_t>(info.next_scanline) * pitch;
    for (int32_t x = 0; x < image.width; ++x) {
      row[x * 3 + 0] = src[x * 4 + 2];
      row[x * 3 + 1] = src[x * 4 + 1];
      row[x * 3 + 2] = src[x * 4 + 0];
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return 0;
}

}  // namespace

int32_t WriteImageBmp(const WritableImage& image, std::string_view root, std::string_view name) {
  if (!Usable(image)) return -1;
  const uint64_t stride = (uint64_t{static_cast<uint32_t>(image.width)} * 3 + 3) & ~uint64_t{3};
  const uint64_t image_size = stride * static_cast<uint32_t>(image.height);
  if (54 + image_size > 0xFFFFFFFFull) return -1;
  platform::FileWriter writer;
  if (!OpenTarget(root, name, &writer)) return -1;
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(54 + image_size));
  out.push_back('B');
  out.push_back('M');
  AppendU32(&out, static_cast<uint32_t>(54 + image_size));
  AppendU32(&out, 0);
  AppendU32(&out, 54);
  AppendU32(&out, 40);
  AppendU32(&out, static_cast<uint32_t>(image.width));
  AppendU32(&out, static_cast<uint32_t>(image.height));
  AppendU16(&out, 1);
  AppendU16(&out, 24);
  for (int i = 0; i < 6; ++i) AppendU32(&out, 0);  // compression, image size, resolutions, colours
  out.resize(static_cast<size_t>(54 + image_size), 0);
  const size_t pitch = static_cast<size_t>(image.width) * 4;
  for (int32_t r = 0; r < image.height; ++r) {
    const uint8_t* src = image.pixels + static_cast<size_t>(image.height - 1 - r) * pitch;
    uint8_t* dst = out.data() + 54 + static_cast<size_t>(r) * stride;
    for (int32_t x = 0; x < image.width; ++x) {
      dst[x * 3 + 0] = src[x * 4 + 0];
      dst[x * 3 + 1] = src[x * 4 + 1];
      dst[x * 3 + 2] = src[x * 4 + 2];
    }
  }
  const bool ok = platform::WriteFileBytes(&writer, out.data(), out.size()) &&
                  platform::CommitFileWrite(&writer);
  return ok ? 0 : -1;
}

int32_t WriteImagePng(const WritableImage& image, std::string_view root, std::string_view name,
                      int32_t level) {
  if (!Usable(image)) return -1;
  platform::FileWriter writer;
  if (!OpenTarget(root, name, &writer)) return -1;
  if (image.has_alpha == 0) {
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    for (size_t i = 0; i < count; ++i) image.pixels[i * 4 + 3] = 255;
  }
  if (EncodePng(image, level < 0 ? 0 : level > 9 ? 9 : level, &writer) != 0) return -1;
  return platform::CommitFileWrite(&writer) ? 0 : -1;
}

int32_t WriteImageJpeg(const WritableImage& image, std::string_view root, std::string_view name,
                       int32_t quality) {
  if (!Usable(image)) return -1;
  platform::FileWriter writer;
  if (!OpenTarget(root, name, &writer)) return -1;
  auto dest = std::make_unique<JpegDestination>();
  dest->writer = &writer;
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  const int32_t result =
      EncodeJpeg(image, quality < 1 ? 1 : quality > 100 ? 100 : quality, dest.get(), row.data());
  if (result != 0) return result;
  return platform::CommitFileWrite(&writer) ? 0 : -1;
}

}  // namespace korvel
