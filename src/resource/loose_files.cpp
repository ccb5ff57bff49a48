// Loose data files through the platform's file resolution.
#include "resource/loose_files.h"

#include "core/error_report.h"
#include "platform/file_system.h"

namespace korvel {

namespace {
std::string g_root = "./";
}  // namespace

void SetLooseFileRoot(const std::string& folder) { g_root = folder.empty() ? "./" : folder; }
const std::string& LooseFileRoot() { return g_root; }

int32_t FileExistsOnDisk(const char* name) {
  std::string path;
  bool is_folder = false;
  const auto status = platform::ResolveSjisPath(g_root, name, &path, &is_folder);
  return status == platform::FileStatus::kOk && !is_folder ? 1 : 0;
}

int32_t LoadFromDisk(ResourceLocator* locator, const char* name) {
  std::string path;
  bool is_folder = false;
  auto status = platform::ResolveSjisPath(g_root, name, &path, &is_folder);
  uint8_t* data = nullptr;
  size_t size = 0;
  if (status == platform::FileStatus::kOk) status = platform::ReadWholeFile(path, &data, &size);
  if (status == platform::FileStatus::kNoMemory) {
    ReportError(104030, true, name);
    return -3;
  }
  if (status != platform::FileStatus::kOk) {
    ReportError(104010, true, name);
    return -3;
  }
  locator->data = data;
  locator->size = static_cast<uint32_t>(size);
  return 0;
}

}  // namespace korvel
