// The user's application-data and documents folders (where save data may live).
#pragma once

#include <string>
#include <string_view>

namespace korvel {

struct UserFolders {
  std::string app_data;   // $XDG_DATA_HOME, else ~/.local/share (no trailing '/')
  std::string documents;  // the XDG documents folder, else ~/Documents (no trailing '/')
};

// Reads the environment and the user-dirs file.
UserFolders ResolveUserFolders();

// The documents folder named by a user-dirs.dirs text (XDG_DOCUMENTS_DIR="$HOME/..." or an absolute
// path), or empty when the text names none.
std::string ParseDocumentsDir(std::string_view user_dirs_text, std::string_view home);

}  // namespace korvel
