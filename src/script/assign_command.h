// Command 39: assignment to one element of a script variable, or to a system variable that scripts
// may set.
#pragma once

#include <cstdint>

namespace korvel {

// Record 0 names the element and carries the operator (0..8: = += -= *= /= %= &= |= ^=), record 1
// is the value. Integer and double elements go through the ElementOperatorTable; strings take = and
// += (results cut to 4095 bytes on a character boundary). 0, or -1 after a report (101140: the
// operator or type cannot be assigned; 101150: the system variable cannot be set).
int32_t RunAssignCommand();

}  // namespace korvel
