// Files handed over by the script compiler in development mode, kept in memory for the run.
#pragma once

#include <cstdint>
#include <vector>

#include "resource/resource_locator.h"

namespace korvel {

struct CompilerOutputFile {
  char* name;  // owned, NUL-terminated
  uint32_t size;
  uint8_t* data;  // owned
};

struct CompilerOutput {
  std::vector<CompilerOutputFile> files;
};

extern CompilerOutput g_compiler_output;

// Entries in order, names compared without regard to case: sets source 3 and the index. 3 or 0.
int32_t FindInCompilerOutput(ResourceLocator* locator, const char* name);

// Copies the located entry's bytes into a new block. 0, or -3 after reporting 104030 (no memory) or
// 104010 (no such entry), fatal, with `name`.
int32_t LoadFromCompilerOutput(ResourceLocator* locator, const char* name);

// Adds a copy of a compiled file. 0, or -1 when memory runs out.
int32_t RegisterCompilerOutputFile(const char* name, const uint8_t* data, uint32_t size);

// Frees every entry.
void InitCompilerOutput();
void ShutdownCompilerOutput();

}  // namespace korvel
