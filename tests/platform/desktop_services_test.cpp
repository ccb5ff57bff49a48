// Desktop services: the edit field's typing within its limit, prefixes on character boundaries,
// the headless clipboard, input dialog and cursor record, and on a real X server every standard
// cursor (our own bitmaps included), an image cursor and the clipboard round trip in UTF-8.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/cursor_shapes.h"
#include "platform/headless/headless_api.h"
#include "platform/input_dialog.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "platform/typed_text.h"
#include "platform_test_util.h"
#include "required_tool.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::ScopedEnv;

TEST(DesktopTyping, LimitInCodePage932Bytes) {
  const struct {
    const char* name;
    std::string start, typed;
    size_t limit;
    std::string result;
  } cases[] = {
      {"ASCII up to the limit", "", "abcdefghij", 8, "abcdefgh"},
      {"Japanese counts two bytes", "", "あいうえお", 8, "あいうえ"},
      {"a character that would pass the limit ends the addition", "abcdefg", "あb", 8, "abcdefg"},
      {"half-width kana counts one byte", "", "ｱｲｳ", 2, "ｱｲ"},
      {"control characters are skipped", "", "a\tb\nc", 8, "abc"},
      {"a cut-off UTF-8 sequence is dropped", "", std::string("a\xe3\x81"), 8, "a"},
      {"a character with no code page 932 form counts as '?'", "", "€x", 8, "€x"},
  };
  for (const auto& c : cases) {
    std::string text = c.start;
    AppendTypedText(&text, c.typed, c.limit);
    EXPECT_EQ(text, c.result) << c.name;
  }
  std::string text = "aあ";
  RemoveLastTypedChar(&text);
  EXPECT_EQ(text, "a");
  RemoveLastTypedChar(&text);
  RemoveLastTypedChar(&text);
  EXPECT_EQ(text, "");
}

TEST(DesktopTyping, PrefixOnCharacterBoundaries) {
  EXPECT_EQ(Cp932PrefixWithin("ab\x82\xa0", 3), 2u);
  EXPECT_EQ(Cp932PrefixWithin("ab\x82\xa0", 4), 4u);
  EXPECT_EQ(Cp932PrefixWithin("a\x82", 5), 2u);  // a lead byte at the end is one byte
  EXPECT_EQ(Cp932PrefixWithin("", 5), 0u);
}

TEST(DesktopHeadless, ClipboardInputDialogAndCursor) {
  CleanHeadlessEnv clean;
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  std::string text;
  EXPECT_FALSE(GetClipboardText(&text));
  EXPECT_TRUE(SetClipboardText(std::string("ab\0cd", 5)));
  ASSERT_TRUE(GetClipboardText(&text));
  EXPECT_EQ(text, "ab");  // the text ends at its NUL

  std::string error;
  ASSERT_TRUE(QueueHeadlessAnswer("text:あいうえお", &error)) << error;
  InputDialogRequest request;
  request.limit = 5;
  std::string answer;
  EXPECT_EQ(InputDialog(kNoWindow, request, &answer), kIdOk);
  EXPECT_EQ(answer, "\x82\xa0\x82\xa2");
  EXPECT_EQ(InputDialog(kNoWindow, request, &answer), -1);  // no answer left
  EXPECT_EQ(HeadlessAbortStatus(), 2);

  EXPECT_EQ(GetHeadlessCursorShape().system, -1);
  EXPECT_TRUE(SetSystemCursor(SystemCursor::kHelp));
  EXPECT_EQ(GetHeadlessCursorShape().system, static_cast<int32_t>(SystemCursor::kHelp));
  const std::vector<uint8_t> pixels(4 * 4 * 4, 0xFF);
  EXPECT_FALSE(SetImageCursor(pixels.data(), 0, 4, 0, 0));
  EXPECT_TRUE(SetImageCursor(pixels.data(), 4, 4, 1, 2));
  EXPECT_EQ(GetHeadlessCursorShape().hot_y, 2);
  ShutdownPlatform();
}

TEST(DesktopSdl, CursorsAndClipboardOnXvfb) {
  KORVEL_REQUIRE_TOOL(access("/usr/bin/Xvfb", X_OK) == 0, "Xvfb");
  CleanHeadlessEnv clean;
  ScopedEnv wayland{"WAYLAND_DISPLAY", std::nullopt};
  ScopedEnv driver{"SDL_VIDEODRIVER", std::nullopt};
  korvel::test::TempDir runtime;
  ScopedEnv runtime_dir{"XDG_RUNTIME_DIR", runtime.path()};
  ScopedEnv bus{"DBUS_SESSION_BUS_ADDRESS", "disabled:"};
  korvel::test::XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  ScopedEnv display("DISPLAY", server.display());
  ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
  ASSERT_EQ(ActiveBackend(), BackendKind::kSdl);
  WindowDesc desc;
  desc.title = "desktop";
  desc.client_width = 64;
  desc.client_height = 48;
  const WindowId window = CreateWindow(desc);
  ASSERT_NE(window, kNoWindow);
  ShowWindow(window, ShowCommand::kShow);
  for (int c = 0; c < kSystemCursorCount; ++c) {
    EXPECT_TRUE(SetSystemCursor(static_cast<SystemCursor>(c))) << c;
  }
  std::vector<uint8_t> pixels(16 * 8 * 4, 0);
  for (size_t i = 3; i < pixels.size(); i += 8) pixels[i] = 0xFF;
  EXPECT_TRUE(SetImageCursor(pixels.data(), 16, 8, 3, 3));
  EXPECT_TRUE(SetImageCursor(pixels.data(), 8, 16, 0, 0));  // the earlier one is freed
  EXPECT_FALSE(SetImageCursor(pixels.data(), 4096, 1, 0, 0));

  // Code page 932 in, code page 932 out, UTF-8 on the desktop's clipboard.
  const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea text";
  ASSERT_TRUE(SetClipboardText(sjis));
  std::string back;
  ASSERT_TRUE(GetClipboardText(&back));
  EXPECT_EQ(back, sjis);
  DestroyWindow(window);
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
