// Commands 36, 20 and 75: (re)declare a script variable at run time as an array of 64-bit integers,
// doubles or texts with a shape and one initial value for every element.
#pragma once

#include <cstdint>

namespace korvel {

// Record 1 is the variable reference whose subscripts are the dimension sizes (none: a single
// element), record 2 the initial value. 0, or -1 after a report: the decoder's errors, 101100 (more
// than 4,000,000 elements), 101110 (a dimension below 1), 101150 (a system variable), 100010.
int32_t RunCommand36();               // 64-bit integers
int32_t RunDeclareRealVarCommand();   // doubles (command 20)
int32_t RunVariableDeclareCommand();  // texts (command 75)

}  // namespace korvel
