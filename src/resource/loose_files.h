// Loose data files below the data folder, found without regard to case.
#pragma once

#include <cstdint>
#include <string>

#include "resource/resource_locator.h"

namespace korvel {

// The folder that loose data files are relative to (UTF-8). Empty means the current folder.
void SetLooseFileRoot(const std::string& folder);
const std::string& LooseFileRoot();

// 1 when the name (code page 932, '\' separators) is a file on disk, 0 when missing or a folder.
int32_t FileExistsOnDisk(const char* name);

// Reads the whole file. 0, or -3 after reporting (fatal, with the name): 104010 when it cannot be
// opened, is 4 GiB or more, or reads short; 104030 when memory runs out.
int32_t LoadFromDisk(ResourceLocator* locator, const char* name);

}  // namespace korvel
