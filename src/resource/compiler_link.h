// The compiler link of development mode: the script compiler (a native program at
// system/RIDed/RIDed in the game folder) compiles the game's scripts and hands every compiled file
// over through two named shared memory blocks; they become the compiler-output source.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

inline constexpr uint32_t kCompilerBlockSize = 512;
inline constexpr uint32_t kCompilerReadyOffset = 0;
inline constexpr uint32_t kCompilerGoOffset = 4;
inline constexpr uint32_t kCompilerResultOffset = 12;
inline constexpr uint32_t kCompilerCountOffset = 16;
inline constexpr uint32_t kCompilerSizeOffset = 20;
inline constexpr uint32_t kCompilerFormatOffset = 128;
inline constexpr uint32_t kCompilerFolderOffset = 132;
inline constexpr uint32_t kCompilerFormat = 478;
inline constexpr uint32_t kCompilerMaxNameLength = 260;
// The largest second block the engine creates (the compiler asks for it).
inline constexpr uint64_t kCompilerMaxFilesBlock = uint64_t{1} << 30;

// How long the link waits for the compiler in all: it may be showing its own dialogs to the
// developer, so the limit is generous; it only keeps a compiler that hangs from holding start-up
// for good.
inline constexpr uint32_t kCompilerWaitLimitMs = 10 * 60 * 1000;

// The first block's name; the second adds "2". KORVEL_COMPILER_BLOCK replaces the default (tests
// run links side by side).
std::string CompilerBlockName();

// The compiler program in the game folder (UTF-8, ending in '/'): system/RIDed/RIDed in any letter
// case, a file the user may run; empty when there is none.
std::string FindCompilerProgram(const std::string& game_folder);

// Runs the link with `program` for the game folder: the compiler's files are registered as
// compiler output, and on success *working_folder receives the folder the compiler returned (a real
// folder inside the game folder, ending in '/'). 0 on success; 1 when the compiler reported a
// failure; -1 when the link failed (a message box has said so where the failure is the engine's:
// also a compiler still running after `wait_limit_ms`, which is then ended, and a returned folder
// outside the game folder). Both blocks are gone afterwards, whatever happened.
int32_t RunCompilerLink(const std::string& program, const std::string& game_folder,
                        std::string* working_folder,
                        uint32_t wait_limit_ms = kCompilerWaitLimitMs);

// Start-up's step: without a compiler program nothing happens (0); else the link runs and the
// loose files are read from the folder it returned. 0 or -1.
int32_t RunCompilerLinkAtStartup(const std::string& game_folder);

}  // namespace korvel
