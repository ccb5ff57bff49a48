// The source order of data-file lookups and the completion of media names.
#include "resource/data_file_lookup.h"

#include <cstring>
#include <mutex>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/named_tree.h"
#include "core/shift_jis.h"
#include "resource/compiler_output.h"
#include "resource/located_sources.h"
#include "resource/loose_files.h"
#include "resource/pack_source.h"
#include "resource/preload_banks.h"

namespace korvel {

ResourceLookupState g_resource;

namespace {

constexpr const char* kImageExtensions[] = {nullptr, ".png", ".bmp", ".jpg", ".gif"};
constexpr const char* kSoundExtensions[] = {nullptr, ".ogg", ".wav"};

// A name that ends in the extension of a type its class can load is looked up as it stands. Every
// image type the loader decodes counts, KCG and PSD included: a name such as "bg.kcg" would
// otherwise be tried as "bg.kcg.png" and so on, never found, and load as an empty image.
bool HasOwnExtension(std::string_view name, int32_t media_class) {
  if (media_class == kMediaAny) return true;
  const uint8_t type = TypeFromExtension(name);
  if (media_class == kMediaImage) {
    return type == kTypeBmp || type == kTypePng || type == kTypeJpg || type == kTypeGif ||
           type == kTypePsd || type == kTypeKcg;
  }
  return media_class == kMediaSound && (type == kTypeWav || type == kTypeOgg);
}

}  // namespace

int32_t FindDataFile(ResourceLocator* locator, const char* name, bool want_type) {
  locator->source = kSourceNone;
  locator->type = kTypeOther;
  for (const LocatedSource& entry : LocatedSourceOrder(g_resource.packs_inside_executable)) {
    const int32_t found = entry.find(locator, name, want_type);
    if (found < 0) return -2;  // a pack that holds a candidate cannot be opened
    if (found > 0) return entry.source;
  }
  return 0;
}

int32_t LoadLocatedFile(ResourceLocator* locator, const char* name) {
  const LocatedSource* source = LocatedSourceOf(locator->source);
  if (source == nullptr) {
    ReportError(104060, true, name);
    return -3;
  }
  return source->load(locator, name);
}

int32_t LoadDataFile(ResourceLocator* locator, const char* name, bool want_type) {
  std::unique_lock<EngineMutex> lock(EngineLock());
  const int32_t source = FindDataFile(locator, name, want_type);
  if (source <= 0) return source;
  // Memory sources are copied under the lock; disk and pack reads need not hold it.
  if (source == kSourceDisk || source == kSourcePack) lock.unlock();
  return LoadLocatedFile(locator, name) == 0 ? source : -3;
}

int32_t ReadDataFile(ResourceLocator* locator, const char* name, bool want_type) {
  const int32_t result = LoadDataFile(locator, name, want_type);
  if (result > 0) return 0;
  if (result == 0) ReportError(104060, true, name);
  if (result == -2) ReportError(901040, true, name);
  return -1;
}

int32_t LocateMediaFile(ResourceLocator* locator, std::string* output_name, const char* name,
                        int32_t media_class) {
  output_name->clear();
  locator->source = kSourceNone;
  locator->type = kTypeOther;

  const size_t length = strnlen(name, kMaxObjectNameLength + 1);
  if (length > kMaxObjectNameLength) {
    ReportErrorPlain(900020, true);
    return -1;
  }
  char work[kMaxObjectNameLength + 1];
  std::memcpy(work, name, length);
  work[length] = '\0';
  BackslashToSlash(work);
  char normalized[kObjectPathCapacity];
  if (NormalizeObjectPath(normalized, sizeof(normalized), work, "", true) < 0) return -1;
  LowercaseAsciiDbcs(normalized);
  SlashToBackslash(normalized);
  const std::string_view base = normalized;

  if (HasOwnExtension(base, media_class)) {
    *output_name = base;
    const int32_t result = FindDataFile(locator, output_name->c_str(), true);
    if (result < 0) return -1;
    return result > 0 ? 0 : 1;
  }

  const uint8_t* slots = nullptr;
  size_t slot_count = 0;
  const char* const* extensions = nullptr;
  size_t extension_count = 0;
  if (media_class == kMediaImage) {
    slots = g_resource.order.image;
    slot_count = 4;
    extensions = kImageExtensions;
    extension_count = 5;
  } else if (media_class == kMediaSound) {
    slots = g_resource.order.sound;
    slot_count = 2;
    extensions = kSoundExtensions;
    extension_count = 3;
  }
  std::string trial;
  for (size_t i = 0; i < slot_count; ++i) {
    const uint8_t code = slots[i];
    if (code == 0 || code >= extension_count) continue;
    trial.assign(base);
    trial += extensions[code];
    const int32_t result = FindDataFile(locator, trial.c_str(), true);
    if (result < 0) {
      *output_name = trial;
      return -1;
    }
    if (result > 0) {
      *output_name = trial;
      return 0;
    }
  }
  *output_name = base;
  return 1;
}

int32_t LoadMediaFile(ResourceLocator* locator, std::string* output_name, const char* name,
                      int32_t media_class) {
  std::unique_lock<EngineMutex> lock(EngineLock());
  const int32_t result = LocateMediaFile(locator, output_name, name, media_class);
  if (result != 0) return result;
  if (locator->source == kSourceDisk || locator->source == kSourcePack) lock.unlock();
  return LoadLocatedFile(locator, output_name->c_str()) == 0 ? 0 : -3;
}

void InitResourceLookup(const std::string& root) {
  g_resource = ResourceLookupState{};
  SetLooseFileRoot(root);
  InitPreloadBanks();
  InitCompilerOutput();
}

void ShutdownResourceLookup() {
  ShutdownPreloadBanks();
  ShutdownCompilerOutput();
  SetPackSource(nullptr);
  g_resource = ResourceLookupState{};
}

}  // namespace korvel
