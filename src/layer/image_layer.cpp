// Loading images into layers.
#include "layer/image_layer.h"

#include <cstdlib>
#include <span>
#include <string>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/frame_pacer.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "image/bmp_decode.h"
#include "image/gif_decode.h"
#include "image/gif_frames.h"
#include "image/image_decode.h"
#include "image/jpeg_decode.h"
#include "image/kcg_decode.h"
#include "image/kcg_worker_pool.h"
#include "image/png_decode.h"
#include "image/psd_reject.h"
#include "resource/located_sources.h"

namespace korvel {

namespace {

using ByteDecoder = DecodeStatus (*)(std::span<const uint8_t> file, const ImageLimits& limits,
                                     DecodedImage* out);

DecodeStatus DecodeKcgOnLayerInflater(std::span<const uint8_t> file, const ImageLimits& limits,
                                      DecodedImage* out) {
  return DecodeKcgBytes(file, limits, LayerKcgInflater(), out);
}

DecodeStatus RejectPsd(std::span<const uint8_t> file, const ImageLimits& /*limits*/,
                       DecodedImage* /*out*/) {
  return RejectPsdBytes(file);
}

const char* NameOrEmpty(const char* name) { return name != nullptr ? name : ""; }

void ReportNoMemory(const char* name) {
  if (name != nullptr) {
    ReportError(kErrorLoadNoMemory, true, name);
  } else {
    ReportErrorPlain(kErrorNoMemory, true);
  }
}

// The message boxes and the error of a decode, in the order the decoder met them.
void ReportDecodeStatus(const DecodeStatus& status, const char* name) {
  if (status.magic_mismatch) ShowMessageF("", "%s", kKcgCheckError);
  if (status.result == 0) return;
  if (status.message != nullptr) ShowMessageF("", "%s", status.message);
  if (status.error == kErrorNoMemory) {
    ReportNoMemory(name);
  } else if (status.error != 0) {
    ReportScriptError(status.error, true, NameOrEmpty(name));
  }
}

int32_t DecodeIntoLayer(ByteDecoder decode, ResourceLocator* locator, LayerData* layer,
                        const char* name, GifFrameTable** frames) {
  if (LoadLocatedImage(locator, name) != 0) return -1;
  DecodedImage image;
  const DecodeStatus status =
      decode(std::span<const uint8_t>(locator->data, locator->size), kDefaultImageLimits, &image);
  FreeLocatorData(locator);
  ReportDecodeStatus(status, name);
  if (status.result != 0) {
    FreeDecodedImage(&image);
    return -1;
  }
  FreeBlock(layer->pixels);
  layer->pixels = image.pixels;
  layer->width = image.width;
  layer->height = image.height;
  layer->has_alpha = image.has_alpha;
  if (frames != nullptr) {
    DestroyGifFrameTable(*frames);
    *frames = image.frames;
  } else {
    DestroyGifFrameTable(image.frames);
  }
  return 0;
}

struct ImageType {
  uint8_t type;
  ByteDecoder decode;
  int32_t failure_error;  // reported when the decoder fails
};

constexpr ImageType kImageTypes[] = {
    {kTypeBmp, DecodeBmpBytes, 0},
    {kTypePng, DecodePngBytes, 0},
    {kTypeJpg, DecodeJpegBytes, kErrorJpegFailed},
    {kTypeGif, DecodeGifBytes, kErrorGifFailed},
    {kTypePsd, RejectPsd, 0},
    {kTypeKcg, DecodeKcgOnLayerInflater, 0},
};

}  // namespace

int32_t LoadLocatedImage(ResourceLocator* locator, const char* name) {
  const LocatedSource* source = LocatedSourceOf(locator->source);
  if (source == nullptr) return -1;
  return source->load(locator, name) == 0 ? 0 : -1;
}

int32_t DecodeKcgImage(ResourceLocator* locator, LayerData* layer, const char* name) {
  return DecodeIntoLayer(DecodeKcgOnLayerInflater, locator, layer, name, nullptr);
}
int32_t DecodeBmpImage(ResourceLocator* locator, LayerData* layer, const char* name) {
  return DecodeIntoLayer(DecodeBmpBytes, locator, layer, name, nullptr);
}
int32_t DecodePngImage(ResourceLocator* locator, LayerData* layer, const char* name) {
  return DecodeIntoLayer(DecodePngBytes, locator, layer, name, nullptr);
}
int32_t DecodeJpegImage(ResourceLocator* locator, LayerData* layer, const char* name) {
  return DecodeIntoLayer(DecodeJpegBytes, locator, layer, name, nullptr);
}
int32_t RejectPsdImage(ResourceLocator* locator, LayerData* layer, const char* name) {
  return DecodeIntoLayer(RejectPsd, locator, layer, name, nullptr);
}
int32_t DecodeGifImage(ResourceLocator* locator, LayerData* layer, const char* name,
                       GifFrameTable** frames) {
  return DecodeIntoLayer(DecodeGifBytes, locator, layer, name, frames);
}

int32_t DecodeImageByType(ResourceLocator* locator, LayerData* layer, const char* name,
                          GifFrameTable** gif_frames) {
  layer->has_alpha = 0;
  for (const ImageType& entry : kImageTypes) {
    if (entry.type != locator->type) continue;
    const int32_t result = DecodeIntoLayer(entry.decode, locator, layer, name, gif_frames);
    if (result != 0 && entry.failure_error != 0) {
      ReportScriptError(entry.failure_error, true, NameOrEmpty(name));
    }
    return result;
  }
  ReportScriptError(kErrorUnknownImageType, true, NameOrEmpty(name));
  return -1;
}

void FinishImageLoad(LayerData* layer) {
  ApplyTransparentColour(layer);
  ResetFramePacerClock();
}

uint8_t* AllocCGPixels(uint8_t* old_pixels, int32_t width, int32_t height, const char* name) {
  if (width < 0 || height < 0 || width > kMaxImageSide || height > kMaxImageSide) {
    ReportImageSizeTooLarge(width, height);
    return nullptr;
  }
  const size_t bytes = PixelBufferBytes(width, height);
  auto* pixels = static_cast<uint8_t*>(std::realloc(old_pixels, bytes));
  if (pixels == nullptr) {
    ReportNoMemory(name);
    return nullptr;
  }
  return pixels;
}

void ApplyTransparentColour(LayerData* layer) {
  ApplyTransparentColourToPixels(layer->pixels, layer->width, layer->height);
}

}  // namespace korvel
