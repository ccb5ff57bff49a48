// Set-up the compiled-file fuzz targets share: a fresh script state whose data loader serves the
// input under one file name, torn down again when the run ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/error_report.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "script/script_data.h"

namespace korvel::fuzz {

inline void InitHeadlessPlatform() { platform::InitPlatformWith(platform::BackendKind::kHeadless); }

// One fuzz input served as `name`: error reporting and script data start clean, and are reset when
// the run goes out of scope so no state carries into the next input.
class CompiledFileRun {
 public:
  CompiledFileRun(const char* name, const uint8_t* data, size_t size) {
    InitErrorReporting();
    InitScriptData();
    g_served = {name, data, size};
    SetScriptDataLoader(ServeInput);
  }
  ~CompiledFileRun() {
    ShutdownScriptData();
    InitErrorReporting();
  }
  CompiledFileRun(const CompiledFileRun&) = delete;
  CompiledFileRun& operator=(const CompiledFileRun&) = delete;
};

}  // namespace korvel::fuzz
