// A hook on the engine's file writes that knows which write it is: the index of each write since
// the hook was set, or kFolderFlushStep before the folder is flushed.
#pragma once

#include <cstdint>

namespace korvel::test {

inline constexpr uint64_t kFolderFlushStep = UINT64_MAX;
// Called before every write with its 0-based index, and with kFolderFlushStep before the folder is
// flushed. It may end the process there, or answer an errno that the step then fails with (0: the
// step goes ahead).
using FileWriteHook = int (*)(uint64_t step);
// Sets the hook and starts counting writes from 0; null removes it.
void SetFileWriteHook(FileWriteHook hook);

}  // namespace korvel::test
