// The reporters: quit flag, script prefix, plain reports, stderr lines, the dialog guard and reports
// from two threads at once.
#include "core/error_report.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/engine_state.h"
#include "core/error_dialog.h"
#include "core/error_texts.h"
#include "core/show_message.h"
#include "platform/headless/headless_api.h"
#include "engine_fixture.h"
#include "platform/platform.h"

namespace korvel {
namespace {

// Code page 932 bytes (Python's cp932 codec).
constexpr char kMissingFileAPng[] =
    "[a.png]\x83t\x83@\x83" "C\x83\x8b\x82\xaa\n\x91\xb6\x8d\xdd\x82\xb5\x82\xdc\x82\xb9\x82\xf1"
    "\x81" "B";
constexpr char kPrefixFile[] = "[\x91\xce\x8f\xdb\x83t\x83@\x83" "C\x83\x8b]\n";
constexpr char kPrefixPlace[] = "\n\n[\x8f\xea\x8f\x8a]\n";
constexpr char kPrefixContent[] = " \x8ds\x96\xda\n\n[\x93\xe0\x97" "e]\n\n";

const char* g_script_file = nullptr;
int g_script_line = 1;
bool FakePosition(const char** file, int* line) {
  if (g_script_file == nullptr) return false;
  *file = g_script_file;
  *line = g_script_line;
  return true;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& start) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(start, 0) == 0) lines.push_back(line);
  }
  return lines;
}

class ErrorReportTest : public test::HeadlessEngine {
 protected:
  void TearDown() override {
    HeadlessEngine::TearDown();
    g_script_file = nullptr;
  }
};

TEST_F(ErrorReportTest, QuitFlagTakesTheFatalArgument) {
  ReportErrorPlain(104110, true);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(g_engine.fatal_quit.load(), 1);
  ReportErrorPlain(104111, false);  // a non-fatal report withdraws the pending quit
  EXPECT_FALSE(QuitRequested());
  EXPECT_EQ(g_engine.fatal_quit.load(), 0);
  SetQuitFlag();
  ReportError(104060, false, "x");
  EXPECT_FALSE(QuitRequested());
  ReportScriptError(104060, true, "x");
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(g_engine.fatal_quit.load(), 1);
}

TEST_F(ErrorReportTest, ScriptPrefixIsAddedAfterFormatting) {
  // A path holding directives and a double-byte character whose trail byte is '\'.
  const std::string file = "scene\\%s%n%d\x83\\.txt";
  g_script_file = file.c_str();
  g_script_line = 12;
  SetScriptPositionProvider(FakePosition);
  ReportScriptError(104060, true, "a.png");
  const ErrorReportSnapshot report = LastErrorReport();
  EXPECT_EQ(report.message, std::string(kPrefixFile) + file + kPrefixPlace + "12" +
                                kPrefixContent + kMissingFileAPng);
  EXPECT_EQ(report.code, 104060);
  EXPECT_EQ(report.file, file);
  EXPECT_EQ(report.line, 12);

  // A plain script report: the code's text is still formatted, the path still shown as it is.
  ReportScriptErrorPlain(104130, false);
  EXPECT_EQ(LastErrorReport().message, std::string(kPrefixFile) + file + kPrefixPlace + "12" +
                                           kPrefixContent + GetErrorText(104130));
}

TEST_F(ErrorReportTest, ScriptReportWithoutPositionHasNoPrefix) {
  // No provider, then a provider that has no running command.
  for (bool with_provider : {false, true}) {
    SetScriptPositionProvider(with_provider ? FakePosition : nullptr);
    g_script_file = nullptr;
    ReportScriptError(104060, false, "a.png");
    const ErrorReportSnapshot report = LastErrorReport();
    EXPECT_EQ(report.message, kMissingFileAPng);
    EXPECT_EQ(report.file, "");
    EXPECT_EQ(report.line, 1);
  }
  // A plain (non-script) report never asks for the position.
  g_script_file = "x.txt";
  SetScriptPositionProvider(FakePosition);
  ReportError(104060, false, "a.png");
  EXPECT_EQ(LastErrorReport().message, kMissingFileAPng);
}

std::vector<uint8_t> g_kbn;
int TableLoader(const char*, std::vector<uint8_t>* out) {
  *out = g_kbn;
  return 0;
}

TEST_F(ErrorReportTest, PlainReportsNeverReadMissingArguments) {
  g_kbn = {'K', 'R', 'E', 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
  const std::string a = "100%% done";
  const std::string b = "%s and %I64d and %n%c";
  g_kbn.insert(g_kbn.end(), {0x64, 0x87, 0x01, 0x00});  // 100196
  g_kbn.insert(g_kbn.end(), a.begin(), a.end());
  g_kbn.push_back(0);
  g_kbn.insert(g_kbn.end(), {0x65, 0x87, 0x01, 0x00});  // 100197
  g_kbn.insert(g_kbn.end(), b.begin(), b.end());
  g_kbn.push_back(0);
  SetErrorTextLoader(TableLoader);
  ASSERT_EQ(LoadErrorMessages(), 0);

  ReportErrorPlain(100196, false);
  EXPECT_EQ(LastErrorReport().message, "100% done");
  ReportErrorPlain(100197, false);
  EXPECT_EQ(LastErrorReport().message, "%s and %I64d and %c");
  // Fewer arguments than placeholders: the rest stand as they are.
  ReportError(104100, false, "p.kpf");
  EXPECT_NE(LastErrorReport().message.find("PacFile = p.kpf\nFile = %s"), std::string::npos);
  EXPECT_EQ(LastErrorReport().count, 3u);
}

TEST_F(ErrorReportTest, EveryReportGoesToStderrAndOnlyTheFirstShowsTheDialog) {
  const std::string file = "dir\\x.txt";
  g_script_file = file.c_str();
  g_script_line = 7;
  SetScriptPositionProvider(FakePosition);
  ::testing::internal::CaptureStderr();
  ReportError(104060, false, "a.png");
  ReportScriptError(104060, true, "a.png");
  const std::string err = ::testing::internal::GetCapturedStderr();

  const std::vector<std::string> errors = LinesStartingWith(err, "korvel: error ");
  ASSERT_EQ(errors.size(), 2u) << err;
  EXPECT_EQ(errors[0], "korvel: error 104060: [a.png]ファイルが 存在しません。");
  EXPECT_EQ(errors[1], "korvel: error 104060: [a.png]ファイルが 存在しません。 (dir\\x.txt:7)");

  const std::vector<std::string> dialogs = LinesStartingWith(err, "korvel: dialog: ");
  ASSERT_EQ(dialogs.size(), 1u) << err;
  EXPECT_EQ(dialogs[0].rfind("korvel: dialog: KORVEL Debug Info. | ", 0), 0u) << dialogs[0];
  EXPECT_TRUE(ErrorDialogShown());

  // A new start clears the guard.
  InitErrorReporting();
  EXPECT_FALSE(ErrorDialogShown());
}

TEST_F(ErrorReportTest, LicenceNoticeUsesItsTitle) {
  SetErrorDialogTitle("License Information");
  ::testing::internal::CaptureStderr();
  ReportError(100000, true);
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::vector<std::string> dialogs = LinesStartingWith(err, "korvel: dialog: ");
  ASSERT_EQ(dialogs.size(), 1u) << err;
  EXPECT_EQ(dialogs[0].rfind("korvel: dialog: License Information | ", 0), 0u) << dialogs[0];
  EXPECT_NE(err.find("korvel: error 100000: ■ライセンスについて"), std::string::npos) << err;
}

TEST_F(ErrorReportTest, ReportsFromTwoThreadsStayWhole) {
  constexpr int kReports = 200;
  ::testing::internal::CaptureStderr();
  std::atomic<int> finished{0};
  std::thread first([&] {
    for (int i = 0; i < kReports; ++i) ReportError(104060, false, "a.png");
    finished.fetch_add(1);
  });
  std::thread second([&] {
    for (int i = 0; i < kReports; ++i) ReportError(104130, false, 77);
    finished.fetch_add(1);
  });
  // The first report's dialog is answered on the main thread, as a main loop would serve it.
  while (finished.load() != 2) {
    platform::ServeMainThreadRequests();
    std::this_thread::yield();
  }
  first.join();
  second.join();
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::string line_a = "korvel: error 104060: [a.png]ファイルが 存在しません。";
  const std::string line_b = "korvel: error 104130: パックファイルを同時に扱えるのは 77 個までです。";
  const std::vector<std::string> errors = LinesStartingWith(err, "korvel: error ");
  ASSERT_EQ(errors.size(), 2u * kReports);
  for (const std::string& line : errors) {
    EXPECT_TRUE(line == line_a || line == line_b) << line;
  }
  const ErrorReportSnapshot last = LastErrorReport();
  EXPECT_EQ(last.count, 2u * kReports);
  const std::string expected = last.code == 104060 ? kMissingFileAPng
                                                   : FormatText(GetErrorText(104130),
                                                                MakeFormatArgs(77));
  EXPECT_EQ(last.message, expected);
}

TEST_F(ErrorReportTest, ShowMessageFormatsIntoASystemModalBox) {
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  ::testing::internal::CaptureStderr();
  const int32_t result = ShowMessageF("T", "X=%d, Y=%d %s", 9000, -3, "z");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, platform::kIdOk);
  const std::vector<std::string> dialogs = LinesStartingWith(err, "korvel: dialog: ");
  ASSERT_EQ(dialogs.size(), 1u) << err;
  EXPECT_EQ(dialogs[0], "korvel: dialog: T | X=9000, Y=-3 z | 1");
}

}  // namespace
}  // namespace korvel
