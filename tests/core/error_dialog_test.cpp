// The error dialog's helpers: the Edit button's state, the file name of a script path and the
// multi-line text conversion.
#include "core/error_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel {
namespace {

TEST(ErrorDialog, EditButtonState) {
  EXPECT_EQ(ErrorDialogEditButton(0, false), 0);
  EXPECT_EQ(ErrorDialogEditButton(0, true), 0);
  EXPECT_EQ(ErrorDialogEditButton(2, true), 0);
  EXPECT_EQ(ErrorDialogEditButton(1, false), 2);
  EXPECT_EQ(ErrorDialogEditButton(1, true), 1);
}

TEST(ErrorDialog, FileNameOfPath) {
  struct Case {
    std::string path;
    bool ok;
    std::string name;
  };
  const Case cases[] = {
      {"", false, ""},
      {"abc.txt", true, "abc.txt"},
      {"dir\\abc.txt", true, "abc.txt"},
      {"dir/sub\\abc.txt", true, "abc.txt"},
      {"dir\\", false, ""},
      {"dir/", false, ""},
      {"\x83\\.txt", true, "\x83\\.txt"},              // "ソ.txt": the trail byte is not a separator
      {"dir\\\x83\\", true, "\x83\\"},                  // "dir\ソ"
      {"\x83\\\\", false, ""},                          // "ソ\"
      {"dir\\\x83", true, "\x83"},                       // a lone lead byte at the end
      {std::string("a\\b\0c\\d", 7), true, "b"},         // NUL ends the path
  };
  for (const Case& c : cases) {
    std::string name = "stale";
    EXPECT_EQ(FileNameOfPath(c.path, &name), c.ok) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
}

TEST(ErrorDialog, SetMultilineText) {
  struct Case {
    std::string text;
    size_t size;
    std::string expected;
  };
  const Case cases[] = {
      {"a\nb", 16, "a\r\nb"},
      {"a\r\nb", 16, "a\r\nb"},
      {"\n\n", 16, "\r\n\r\n"},
      {"a\nb", 3, "a"},              // the line break does not fit whole
      {"a\nb", 4, "a\r\n"},
      {"\x82\xa0\x82\xa0", 4, "\x82\xa0"},  // nor does a double-byte character
      {"abc", 1, ""},
  };
  for (const Case& c : cases) {
    std::vector<char> out(c.size);
    const size_t length = SetMultilineText(out.data(), out.size(), c.text);
    EXPECT_EQ(std::string(out.data(), length), c.expected);
    EXPECT_EQ(out[length], '\0');
  }
  // The 2048-byte work buffer with a text of line breaks only.
  std::vector<char> out(2048);
  EXPECT_EQ(SetMultilineText(out.data(), out.size(), std::string(1500, '\n')), 2046u);
}

}  // namespace
}  // namespace korvel
