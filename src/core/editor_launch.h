// Opening the reported script at its line in an editor: the command from KORVEL_EDITOR, else the
// program the desktop associates with the file, with the parameters its known editors expect.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// The parameters for the editor whose program file name is `program_file_name` (compared without
// regard to case): the line switch of the known editors, else " <path>".
std::string BuildEditorParameters(std::string_view program_file_name, std::string_view path,
                                  int line);

// Splits a parameter string into arguments as Windows' command-line parser does: blanks separate,
// double quotes group, "" inside quotes is a quote, backslashes count only before a quote.
std::vector<std::string> SplitWindowsCommandLine(std::string_view text);

// Splits a command template into words as a POSIX shell does, without any expansion: blanks
// separate, '...' is literal, "..." honours \" \\ \$ \`, and a backslash outside quotes takes the next
// character literally.
std::vector<std::string> SplitShellWords(std::string_view text);

// The command line that opens `path` (UTF-8) at `line`. With a non-empty `editor_template`
// ("{path}" and "{line}" substituted in its words; the path is added as the last word when it has
// no "{path}"), that; else the `associated` program (argv) followed by the parameters of the
// editors' table. Empty when there is no program.
std::vector<std::string> BuildEditorCommand(std::string_view editor_template,
                                            const std::vector<std::string>& associated,
                                            const std::string& path, int line);

// The error dialog's Edit button: opens the reported script file at the reported line. Returns
// false (and nothing happens) when there is no script position or no program to start.
bool OpenEditorAtLine();

}  // namespace korvel
