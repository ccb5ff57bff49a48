// Opening the script at the error line: the editors' table, argument splitting, the command built
// from KORVEL_EDITOR or the associated program, and the Edit button end to end.
#include "core/editor_launch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/error_dialog.h"
#include "core/error_report.h"
#include "core/program_paths.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "test_support.h"

namespace korvel {
namespace {

using Args = std::vector<std::string>;

TEST(EditorLaunch, ParametersOfEveryKnownEditor) {
  struct Case {
    const char* program;
    const char* expected;
  };
  const Case cases[] = {
      {"apsaly.exe", " /j12 P"},
      {"EmEditor.exe", " \"P\" /l 12"},
      {"Ginnie.exe", " \"P\" /r12"},
      {"GinnieFE.exe", " \"P\" /r12"},
      {"Jcref.exe", " \"P\" /r12"},
      {"JmEdit2.exe", " \"P\"/12"},
      {"K2Editor.exe", " P /j12"},
      {"WZEDITOR.exe", " P /j12"},
      {"MIW.exe", " \"P+12\""},
      {"oseditor2.exe", " /j12 P"},
      {"otbedit.exe", " P /r12"},
      {"QXW32.exe", " -J12 \"P\""},
      {"tepa.exe", " /j12 \"P\""},
      {"hidemaru.exe", " /j12 \"P\""},
      {"TeraPad.exe", " /jl=12 P"},
      {"whinny.exe", " \"P/12\""},
      {"sakura.exe", " \"P\" -Y=12"},
      // Names are compared without regard to case.
      {"SAKURA.EXE", " \"P\" -Y=12"},
      {"emeditor.EXE", " \"P\" /l 12"},
      {"terapad.exe", " /jl=12 P"},
      // Any other program gets the path alone.
      {"gedit", " P"},
      {"sakura", " P"},
      {"xsakura.exe", " P"},
      {"", " P"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildEditorParameters(c.program, "P", 12), c.expected) << c.program;
  }
  // The path and line are inserted as they are.
  EXPECT_EQ(BuildEditorParameters("sakura.exe", "C:\\a b\\%d.txt", -1),
            " \"C:\\a b\\%d.txt\" -Y=-1");
}

TEST(EditorLaunch, SplitsLikeWindows) {
  struct Case {
    const char* text;
    Args expected;
  };
  const Case cases[] = {
      {" a b", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a\\\\b", {"a\\\\b"}},               // backslashes alone are literal
      {"a\\\"b", {"a\"b"}},                 // \" is a quote
      {"a\\\\\"b c\"", {"a\\b c"}},         // \\" is a backslash, then the quote groups
      {"\"a\"\"b\"", {"a\"b"}},             // "" inside quotes is a quote
      {"\"\"", {""}},
      {"  \t ", {}},
      {"\"open to the end", {"open to the end"}},
      {" /j12 \"C:\\x y\\f.txt\"", {"/j12", "C:\\x y\\f.txt"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(c.text), c.expected) << c.text;
  }
}

TEST(EditorLaunch, SplitsLikeAShellWithoutExpansion) {
  struct Case {
    const char* text;
    Args expected;
  };
  const Case cases[] = {
      {"a  b", {"a", "b"}},
      {"'a b' c", {"a b", "c"}},
      {"\"a \\\"q\\\" $x \\n\"", {"a \"q\" $x \\n"}},
      {"a\\ b", {"a b"}},
      {"'it'\\''s'", {"it's"}},
      {"$HOME ~ *", {"$HOME", "~", "*"}},
      {"\"\"", {""}},
      {"'open", {"open"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitShellWords(c.text), c.expected) << c.text;
  }
}

TEST(EditorLaunch, BuildsTheCommand) {
  const std::string path = "/g/a b/\"q\".txt";
  struct Case {
    const char* name;
    const char* editor_template;
    Args associated;
    Args expected;
  };
  const Case cases[] = {
      {"other program: the file alone, kept whole", "", {"/usr/bin/gedit", "--new-window"},
       {"/usr/bin/gedit", "--new-window", path}},
      {"known editor", "", {"/opt/e/sakura.exe"}, {"/opt/e/sakura.exe", path, "-Y=3"}},
      {"path and line in one argument", "", {"MIW.exe"}, {"MIW.exe", path + "+3"}},
      {"line switch first", "", {"/x/QXW32.exe"}, {"/x/QXW32.exe", "-J3", path}},
      {"no program", "", {}, {}},
      {"template", "code --goto '{path}:{line}'", {"ignored"}, {"code", "--goto", path + ":3"}},
      {"template without {path}", "vim", {}, {"vim", path}},
      {"template line only", "ed +{line}", {}, {"ed", "+3", path}},
      {"blank template", "   ", {"kate"}, {"kate", path}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildEditorCommand(c.editor_template, c.associated, path, 3), c.expected)
        << c.name;
  }
  // A path holding "{line}" is not substituted again.
  EXPECT_EQ(BuildEditorCommand("e {path}", {}, "/{line}", 3), (Args{"e", "/{line}"}));
}

TEST(EditorLaunch, NothingHappensWithoutAScriptPosition) {
  InitErrorReporting();
  EXPECT_FALSE(OpenEditorAtLine());
}

// The Edit button end to end: the dialog answers Edit then Exit; KORVEL_EDITOR is a shell command
// that writes its arguments into a file.
TEST(EditorLaunch, EditButtonStartsTheEditorAtTheLine) {
  test::TempDir dir;
  const std::string out = dir.File("editor-args.txt");
  setenv("KORVEL_EDITOR",
         ("/bin/sh -c 'printf \"%s|%s\" \"$0\" \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\"' "
          "{path} {line} '" + out + "'").c_str(),
         1);
  ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1033", &error)) << error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1034", &error)) << error;
  InitEngineState();
  InitErrorReporting();
  const std::string saved = g_paths.game_folder;
  g_paths.game_folder = dir.path() + "/";

  static const char kScript[] = "scene\\\x83\\.txt";  // "scene\ソ.txt"
  SetScriptPositionProvider([](const char** file, int* line) {
    *file = kScript;
    *line = 42;
    return true;
  });
  SetErrorDialogDebug(1);
  ReportScriptError(104060, true, "a.png");

  // The editor runs as a separate process; wait (real time) for what it wrote.
  for (int i = 0; i < 500 && !std::filesystem::exists(out); ++i) test::SleepRealMs(10);
  EXPECT_EQ(test::ReadFile(out), dir.path() + "/scene/ソ.txt|42");

  g_paths.game_folder = saved;
  ShutdownErrorReporting();
  platform::ShutdownPlatform();
  unsetenv("KORVEL_EDITOR");
}

}  // namespace
}  // namespace korvel
