// Command 21 (font slot face and text style) and command 22 (font and message style queries).
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandFont = 21;
inline constexpr uint8_t kCommandFontInfo = 22;

int32_t RunFontCommand();
int32_t RunGlyphMetricsCommand();

// Installs both handlers in the command table (and as overrides for later table rebuilds).
void RegisterFontCommandHandlers();

}  // namespace korvel
