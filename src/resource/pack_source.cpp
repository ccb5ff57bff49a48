// The pack-file source table.
#include "resource/pack_source.h"

#include "core/error_report.h"

namespace korvel {

namespace {

int32_t NoPackFind(ResourceLocator*, const char*) { return 0; }

int32_t NoPackLoad(ResourceLocator*, const char* name) {
  ReportError(104010, true, name);
  return -3;
}

constexpr PackSource kNoPacks = {NoPackFind, NoPackLoad};
PackSource g_pack_source = kNoPacks;

}  // namespace

void SetPackSource(const PackSource* source) {
  g_pack_source = source != nullptr ? *source : kNoPacks;
  if (g_pack_source.find == nullptr) g_pack_source.find = NoPackFind;
  if (g_pack_source.load == nullptr) g_pack_source.load = NoPackLoad;
}

int32_t FindInPackFiles(ResourceLocator* locator, const char* name) {
  return g_pack_source.find(locator, name);
}

int32_t LoadFromPackFile(ResourceLocator* locator, const char* name) {
  return g_pack_source.load(locator, name);
}

}  // namespace korvel
