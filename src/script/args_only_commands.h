// Commands whose handler only decodes and checks its arguments: 7, 14, 52, 53, 54, 59, 71 and 84.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandArgsOnly7 = 7;
inline constexpr uint8_t kCommandArgsOnly14 = 14;
inline constexpr uint8_t kCommandArgsOnly52 = 52;
inline constexpr uint8_t kCommandArgsOnly53 = 53;
inline constexpr uint8_t kCommandArgsOnly54 = 54;
inline constexpr uint8_t kCommandArgsOnly59 = 59;
inline constexpr uint8_t kCommandArgsOnly71 = 71;
inline constexpr uint8_t kCommandArgsOnly84 = 84;

// 0, or -1 when the arguments fail their checks (the decoder has reported).
int32_t RunArgsOnlyCommand7();
int32_t RunArgsOnlyCommand14();
int32_t RunArgsOnlyCommand52();
int32_t RunArgsOnlyCommand53();
int32_t RunArgsOnlyCommand54();
int32_t RunArgsOnlyCommand59();
int32_t RunArgsOnlyCommand71();
int32_t RunArgsOnlyCommand84();

}  // namespace korvel
