// The user's application-data and documents folders, after the XDG conventions.
#include "core/user_folders.h"

#include <fstream>
#include <sstream>

#include "platform/environment.h"

namespace korvel {

namespace {

void TrimTrailingSlashes(std::string* path) {
  while (path->size() > 1 && path->back() == '/') path->pop_back();
}

}  // namespace

std::string ParseDocumentsDir(std::string_view text, std::string_view home) {
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  std::string result;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, kKey.size()) != kKey) continue;
    line.remove_prefix(kKey.size());
    if (line.size() < 2 || line.front() != '"') continue;
    const size_t close = line.find('"', 1);
    if (close == std::string_view::npos) continue;
    std::string_view value = line.substr(1, close - 1);
    std::string path;
    if (value.substr(0, 5) == "$HOME") {
      path = std::string(home) + std::string(value.substr(5));
    } else if (!value.empty() && value.front() == '/') {
      path = std::string(value);
    } else {
      continue;
    }
    TrimTrailingSlashes(&path);
    // "$HOME/" alone means the documents folder is switched off.
    result = path == std::string(home) ? std::string() : path;
  }
  return result;
}

UserFolders ResolveUserFolders() {
  UserFolders folders;
  const std::string home = platform::HomeFolder();
  folders.app_data = platform::GetEnvironment("XDG_DATA_HOME");
  if (folders.app_data.empty() || folders.app_data.front() != '/') {
    folders.app_data = home + "/.local/share";
  }
  TrimTrailingSlashes(&folders.app_data);

  std::string config = platform::GetEnvironment("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/') config = home + "/.config";
  std::ifstream file(config + "/user-dirs.dirs");
  if (file) {
    std::stringstream text;
    text << file.rdbuf();
    folders.documents = ParseDocumentsDir(text.str(), home);
  }
  if (folders.documents.empty()) folders.documents = home + "/Documents";
  return folders;
}

}  // namespace korvel
