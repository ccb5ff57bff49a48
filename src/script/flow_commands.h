// Structured control flow inside one task: conditional blocks (30, 11, 31, 32, 33, 34) and counted
// loops (41, 42, 43, 44). Each returns 0, or -1 after an error report.
#pragma once

#include <cstdint>

namespace korvel {

int32_t RunIfCommand();             // 30: open a block and test its condition
int32_t RunElseIfCommand();         // 11: test an else-if condition, or enter a plain else
int32_t RunElseCommand();           // 31: end of a taken branch: to the block end
int32_t RunBlockBreakCommand();     // 32: to the end of the n-th enclosing block
int32_t RunBlockRetestCommand();    // 33: back to the opening of the n-th enclosing block
int32_t RunBlockEndCommand();       // 34: close the innermost block
int32_t RunLoopCommand();           // 41: open a loop
int32_t RunLoopBreakCommand();      // 42: leave n loops
int32_t RunLoopContinueCommand();   // 43: continue the n-th enclosing loop
int32_t RunLoopEndCommand();        // 44: end of a loop body

}  // namespace korvel
