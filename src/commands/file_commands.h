// Commands 15 (preload into a bank, export a layer as an image file, make a folder chain, copy,
// delete a save file and a folder, open a file or URL) and 16 (questions about a name).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

inline constexpr uint8_t kCommandFile = 15;
inline constexpr uint8_t kCommandFileExists = 16;

int32_t RunFileCommand();
int32_t RunFileExistsCommand();

// Folder mode 1: a folder below the game folder; data-file mode 0: a data file in any source.
// 1 or 0.
int32_t DataFileExists(const char* name, int32_t mode);

// The names command 16 asks about in order for the exists question: image mode (2) tries the name,
// then with ".bmp", ".png", ".jpg", ".gif" and ".psd"; sound mode (3) the name, ".ogg", ".wav";
// the other modes the name alone.
std::vector<std::string> ExistsTrialNames(const std::string& name, int32_t mode);

// Where the commands' paths are relative to: the game folder (tests may point it elsewhere), and
// the roots that files to open are looked up in (the game folder, then the save folder).
void SetFileCommandRoot(const std::string& root);

// Stores the handlers of commands 15 and 16.
void RegisterFileCommandHandlers();

}  // namespace korvel
