// The table of data-file sources shared by every lookup and loader.
#include "resource/located_sources.h"

#include "resource/compiler_output.h"
#include "resource/loose_files.h"
#include "resource/pack_source.h"
#include "resource/preload_banks.h"

namespace korvel {

namespace {

int32_t FindInBanks(ResourceLocator* locator, const char* name, bool /*want_type*/) {
  return FindInPreloadBanks(locator, name);
}

int32_t FindInCompiler(ResourceLocator* locator, const char* name, bool /*want_type*/) {
  return FindInCompilerOutput(locator, name);
}

int32_t FindOnDisk(ResourceLocator* locator, const char* name, bool want_type) {
  if (FileExistsOnDisk(name) == 0) return 0;
  locator->source = kSourceDisk;
  if (want_type) locator->type = TypeFromExtension(name);
  return kSourceDisk;
}

int32_t FindInPacks(ResourceLocator* locator, const char* name, bool /*want_type*/) {
  return FindInPackFiles(locator, name);
}

constexpr LocatedSource kBanks = {kSourcePreloadBank, FindInBanks, LoadFromPreloadBank};
constexpr LocatedSource kCompiler = {kSourceCompilerOutput, FindInCompiler, LoadFromCompilerOutput};
constexpr LocatedSource kDisk = {kSourceDisk, FindOnDisk, LoadFromDisk};
constexpr LocatedSource kPacks = {kSourcePack, FindInPacks, LoadFromPackFile};

constexpr LocatedSource kLooseFirst[kLocatedSourceCount] = {kBanks, kCompiler, kDisk, kPacks};
constexpr LocatedSource kPacksFirst[kLocatedSourceCount] = {kBanks, kCompiler, kPacks, kDisk};

}  // namespace

std::span<const LocatedSource, kLocatedSourceCount> LocatedSourceOrder(bool packs_inside_executable) {
  return packs_inside_executable ? std::span(kPacksFirst) : std::span(kLooseFirst);
}

const LocatedSource* LocatedSourceOf(uint8_t source) {
  for (const LocatedSource& entry : kLooseFirst) {
    if (entry.source == source) return &entry;
  }
  return nullptr;
}

}  // namespace korvel
