// Fuzz target: kre.kbn, the compiled error texts, loaded and then used: every entry's text is
// looked up and formatted as an error report with arguments of each kind.
#include <cstddef>
#include <cstdint>

#include "core/error_report.h"
#include "core/error_texts.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "script/format_constants.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::platform::InitPlatformWith(korvel::platform::BackendKind::kHeadless);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  InitErrorReporting();
  fuzz::g_served = {kErrorTextFileName, data, size};
  SetErrorTextLoader(fuzz::ServeInput);
  if (LoadErrorMessages() == 0) {
    // The file's texts carry printf-style placeholders; a report formats them with arguments.
    for (int32_t i = 0; i < g_error_messages.count && i < 16; ++i) {
      const auto code = static_cast<int32_t>(g_error_messages.codes[i]);
      (void)GetErrorText(code);
      ReportError(code, false, int32_t{-7}, "\x82\xa0text", uint32_t{0xFFFFFFFFu}, int64_t{1} << 40,
                  'c');
    }
  }
  InitErrorReporting();
  return 0;
}
