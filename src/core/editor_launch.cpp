// Opening the reported script line in an editor.
#include "core/editor_launch.h"

#include <cstdlib>

#include "core/error_dialog.h"
#include "core/program_paths.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace korvel {

namespace {

// In the formats, %c is a double quote, %s the path and %d the line.
struct EditorRow {
  const char* program;
  const char* format;
};

// Tested in this order; the first match wins.
constexpr EditorRow kEditorRows[] = {
    {"apsaly.exe", " /j%d %s"},
    {"EmEditor.exe", " %c%s%c /l %d"},
    {"Ginnie.exe", " %c%s%c /r%d"},
    {"GinnieFE.exe", " %c%s%c /r%d"},
    {"Jcref.exe", " %c%s%c /r%d"},
    {"JmEdit2.exe", " %c%s%c/%d"},
    {"K2Editor.exe", " %s /j%d"},
    {"WZEDITOR.exe", " %s /j%d"},
    {"MIW.exe", " %c%s+%d%c"},
    {"oseditor2.exe", " /j%d %s"},
    {"otbedit.exe", " %s /r%d"},
    {"QXW32.exe", " -J%d %c%s%c"},
    {"tepa.exe", " /j%d %c%s%c"},
    {"hidemaru.exe", " /j%d %c%s%c"},
    {"TeraPad.exe", " /jl=%d %s"},
    {"whinny.exe", " %c%s/%d%c"},
    {"sakura.exe", " %c%s%c -Y=%d"},
};
constexpr char kOtherFormat[] = " %s";

// Stands for the path while the parameters are split, so a path with blanks or quotes stays one
// argument whatever the editor's format does with it.
constexpr char kPathMark[] = "\x01";

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

void ReplaceAll(std::string* text, std::string_view from, std::string_view to) {
  for (size_t pos = text->find(from); pos != std::string::npos;
       pos = text->find(from, pos + to.size())) {
    text->replace(pos, from.size(), to);
  }
}

// "{path}" and "{line}" in one pass, so a path that holds "{line}" is left as it is.
std::string SubstitutePlaceholders(std::string_view word, std::string_view path, int line) {
  std::string out;
  for (size_t i = 0; i < word.size();) {
    if (word.substr(i).starts_with("{path}")) {
      out += path;
      i += 6;
    } else if (word.substr(i).starts_with("{line}")) {
      out += std::to_string(line);
      i += 6;
    } else {
      out += word[i++];
    }
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The program's file name from a UTF-8 path ('/' never occurs inside a UTF-8 character).
std::string_view ProgramFileName(std::string_view program) {
  const size_t slash = program.find_last_of('/');
  return slash == std::string_view::npos ? program : program.substr(slash + 1);
}

}  // namespace

std::string BuildEditorParameters(std::string_view program_file_name, std::string_view path,
                                  int line) {
  const char* format = kOtherFormat;
  for (const EditorRow& row : kEditorRows) {
    if (EqualIgnoringCase(program_file_name, row.program)) {
      format = row.format;
      break;
    }
  }
  std::string out;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] != '\0') {
      ++p;
      if (*p == 'c') out += '"';
      else if (*p == 's') out += path;
      else if (*p == 'd') out += std::to_string(line);
      continue;
    }
    out += *p;
  }
  return out;
}

std::vector<std::string> SplitWindowsCommandLine(std::string_view text) {
  std::vector<std::string> args;
  std::string current;
  bool in_arg = false;
  bool in_quotes = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (!in_quotes && (c == ' ' || c == '\t')) {
      if (in_arg) args.push_back(std::move(current));
      current.clear();
      in_arg = false;
      ++i;
      continue;
    }
    in_arg = true;
    if (c == '\\') {
      size_t count = 0;
      while (i + count < text.size() && text[i + count] == '\\') ++count;
      if (i + count < text.size() && text[i + count] == '"') {
        // 2n backslashes and a quote: n backslashes, the quote delimits; 2n+1: n and a quote.
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          i += count + 1;
        } else {
          i += count;
        }
      } else {
        current.append(count, '\\');
        i += count;
      }
    } else if (c == '"') {
      if (in_quotes && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        i += 2;
      } else {
        in_quotes = !in_quotes;
        ++i;
      }
    } else {
      current += c;
      ++i;
    }
  }
  if (in_arg) args.push_back(std::move(current));
  return args;
}

std::vector<std::string> SplitShellWords(std::string_view text) {
  std::vector<std::string> words;
  std::string current;
  bool in_word = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsBlank(c)) {
      if (in_word) words.push_back(std::move(current));
      current.clear();
      in_word = false;
      ++i;
      continue;
    }
    in_word = true;
    if (c == '\'') {
      const size_t end = text.find('\'', i + 1);
      const size_t stop = end == std::string_view::npos ? text.size() : end;
      current.append(text.substr(i + 1, stop - i - 1));
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else if (c == '"') {
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\\' && i + 1 < text.size() &&
            (text[i + 1] == '"' || text[i + 1] == '\\' || text[i + 1] == '$' ||
             text[i + 1] == '`')) {
          current += text[i + 1];
          i += 2;
        } else {
          current += text[i++];
        }
      }
      ++i;  // the closing quote (or the end)
    } else if (c == '\\' && i + 1 < text.size()) {
      current += text[i + 1];
      i += 2;
    } else {
      current += c;
      ++i;
    }
  }
  if (in_word) words.push_back(std::move(current));
  return words;
}

std::vector<std::string> BuildEditorCommand(std::string_view editor_template,
                                            const std::vector<std::string>& associated,
                                            const std::string& path, int line) {
  std::vector<std::string> command = SplitShellWords(editor_template);
  if (!command.empty()) {
    bool has_path = false;
    for (std::string& word : command) {
      has_path = has_path || word.find("{path}") != std::string::npos;
      word = SubstitutePlaceholders(word, path, line);
    }
    if (!has_path) command.push_back(path);
    return command;
  }
  if (associated.empty() || associated[0].empty()) return {};
  command = associated;
  const std::string parameters =
      BuildEditorParameters(ProgramFileName(associated[0]), kPathMark, line);
  for (std::string& arg : SplitWindowsCommandLine(parameters)) {
    ReplaceAll(&arg, kPathMark, path);
    command.push_back(std::move(arg));
  }
  return command;
}

bool OpenEditorAtLine() {
  std::string file;
  int line = 1;
  if (!ErrorDialogScriptPosition(&file, &line)) return false;
  // Script paths are code page 932 with '\'; the file system wants UTF-8 with '/'.
  const std::string path = g_paths.game_folder + platform::SjisPathToUtf8(file);

  const std::string editor_template = platform::GetEnvironment("KORVEL_EDITOR");
  std::vector<std::string> associated;
  if (SplitShellWords(editor_template).empty()) {
    associated = platform::FindAssociatedProgram(path);
  }
  const std::vector<std::string> command =
      BuildEditorCommand(editor_template, associated, path, line);
  if (command.empty()) return false;
  const std::vector<std::string> args(command.begin() + 1, command.end());
  return platform::StartProcess(command[0], args) >= 0;
}

}  // namespace korvel
