// Label-based transfer of control: jump (28), subroutine call (29) and return (62) with up to ten
// arguments and results of each kind, and the label test (38).
#pragma once

#include <cstdint>

namespace korvel {

int32_t RunJumpCommand();         // 28
int32_t RunCallCommand();         // 29
int32_t RunReturnCommand();       // 62
int32_t RunLabelLookupCommand();  // 38

}  // namespace korvel
