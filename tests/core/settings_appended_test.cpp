// The data block appended to the executable, built with printf and cat, and the screen-saver
// switches as a decision table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/appended_data.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/screen_saver.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// printf escapes (octal, which every shell's printf knows) for a little-endian value.
std::string Octal(uint64_t value, int bytes) {
  std::string out;
  char buffer[8];
  for (int i = 0; i < bytes; ++i) {
    std::snprintf(buffer, sizeof(buffer), "\\%03o", static_cast<unsigned>((value >> (8 * i)) & 0xFF));
    out += buffer;
  }
  return out;
}

class AppendedDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvel-appended-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // The bare executable: 100 bytes.
    Shell("head -c 100 /dev/zero | tr '\\000' 'E' > " + dir_ + "/bare");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

  // bare + block header (magic, A, B, zero word) + B preview bytes + pack bytes + footer (R).
  std::string Build(const char* magic, uint64_t a, uint64_t b, uint32_t zero, size_t preview,
                    size_t pack, uint64_t r, bool footer = true) {
    const std::string exe = dir_ + "/exe";
    Shell("printf '" + std::string(magic) + Octal(a, 4) + Octal(b, 4) + Octal(zero, 4) + "' > " +
          dir_ + "/header");
    Shell("head -c " + std::to_string(preview) + " /dev/zero | tr '\\000' 'P' > " + dir_ +
          "/preview");
    Shell("head -c " + std::to_string(pack) + " /dev/zero | tr '\\000' 'K' > " + dir_ + "/pack");
    Shell("printf 'KR_RES\\000\\000" + Octal(r, 8) + "' > " + dir_ + "/footer");
    Shell("cat " + dir_ + "/bare " + dir_ + "/header " + dir_ + "/preview " + dir_ + "/pack " +
          (footer ? dir_ + "/footer" : std::string()) + " > " + exe);
    return exe;
  }

  std::string dir_;
};

TEST_F(AppendedDataTest, ValidBlockAndItsSizes) {
  // 100 + 16 + 8 + 40 + 16 bytes; A = 24 (header and preview), B = 8.
  const std::string exe = Build("KRER", 24, 8, 0, 8, 40, 100);
  AppendedData data;
  EXPECT_EQ(ProbeAppendedData(exe, &data), 180u);
  EXPECT_EQ(data.bare_size, 100u);
  EXPECT_TRUE(data.block_present);
  EXPECT_EQ(data.pack_offset, 24u);
  EXPECT_EQ(data.preview_size, 8u);
  EXPECT_TRUE(data.screen_saver_build);
  EXPECT_TRUE(data.packs_inside_executable);
  EXPECT_EQ(data.pack_base, 124u);
  EXPECT_TRUE(HasAppendedData(exe));
  EXPECT_EQ(ReadAppendedDataOffset(exe), 100u);
  EXPECT_EQ(ReadAppendedPreviewBitmap(exe), std::vector<uint8_t>(8, 'P'));

  // Without a preview the program is no screen saver.
  const std::string plain = Build("KRER", 16, 0, 0, 0, 40, 100);
  ProbeAppendedData(plain, &data);
  EXPECT_TRUE(data.block_present);
  EXPECT_FALSE(data.screen_saver_build);
  EXPECT_EQ(data.pack_base, 116u);
  EXPECT_TRUE(ReadAppendedPreviewBitmap(plain).empty());
}

TEST_F(AppendedDataTest, BadBlocksCountAsNoBlock) {
  const struct {
    const char* what;
    const char* magic;
    uint64_t a, b;
    uint32_t zero;
    size_t preview, pack;
    uint64_t r;
    bool footer;
    uint64_t expected_r;
  } cases[] = {
      {"no footer", "KRER", 24, 8, 0, 8, 40, 100, false, 4},
      {"R of 0", "KRER", 24, 8, 0, 8, 40, 0, true, 0},
      {"R of 4", "KRER", 24, 8, 0, 8, 40, 4, true, 4},
      {"R at the footer (size equals R)", "KRER", 24, 8, 0, 8, 40, 164, true, 164},
      {"R past the file", "KRER", 24, 8, 0, 8, 40, 1u << 30, true, 1u << 30},
      {"R near 2^64", "KRER", 24, 8, 0, 8, 40, ~0ull - 3, true, ~0ull - 3},
      {"R too close to the end", "KRER", 24, 8, 0, 8, 40, 160, true, 160},
      {"bad magic", "KRES", 24, 8, 0, 8, 40, 100, true, 100},
      {"non-zero word", "KRER", 24, 8, 1, 8, 40, 100, true, 100},
      {"preview past the file", "KRER", 24, 0xFFFFFFF0, 0, 8, 40, 100, true, 100},
      {"packs past the file", "KRER", 0xFFFFFFFF, 8, 0, 8, 40, 100, true, 100},
      {"packs inside the preview", "KRER", 20, 8, 0, 8, 40, 100, true, 100},
      {"packs inside the header", "KRER", 8, 0, 0, 0, 40, 100, true, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string exe = Build(c.magic, c.a, c.b, c.zero, c.preview, c.pack, c.r, c.footer);
    AppendedData data;
    ProbeAppendedData(exe, &data);
    EXPECT_EQ(data.bare_size, c.expected_r);
    EXPECT_FALSE(data.block_present);
    EXPECT_FALSE(data.packs_inside_executable);
    EXPECT_FALSE(data.screen_saver_build);
    EXPECT_FALSE(HasAppendedData(exe));
    EXPECT_TRUE(ReadAppendedPreviewBitmap(exe).empty());
  }
}

TEST_F(AppendedDataTest, MissingAndTinyFiles) {
  AppendedData data;
  EXPECT_EQ(ProbeAppendedData(dir_ + "/none", &data), 0u);
  EXPECT_EQ(data.bare_size, 4u);
  Shell("printf 'KR_RES' > " + dir_ + "/tiny");
  EXPECT_EQ(ProbeAppendedData(dir_ + "/tiny", &data), 6u);
  EXPECT_FALSE(data.block_present);
  EXPECT_EQ(ProbeAppendedData(dir_, &data), 0u);  // a folder
}

struct SaverCase {
  std::vector<std::string> args;
  ScreenSaverAction action;
};

TEST(ScreenSaverTest, DecisionTable) {
  const SaverCase cases[] = {
      {{}, ScreenSaverAction::kVersionBox},
      {{"/c"}, ScreenSaverAction::kVersionBox},
      {{"-C"}, ScreenSaverAction::kVersionBox},
      {{"/c:1234"}, ScreenSaverAction::kVersionBox},
      {{"/p", "1234"}, ScreenSaverAction::kPreview},
      {{"-P", "1234"}, ScreenSaverAction::kPreview},
      {{"/a", "1234"}, ScreenSaverAction::kEndRun},
      {{"/A", "1234"}, ScreenSaverAction::kEndRun},
      {{"/s"}, ScreenSaverAction::kContinue},
      {{"/p"}, ScreenSaverAction::kContinue},
      {{"/a"}, ScreenSaverAction::kContinue},
      {{"/c", "x"}, ScreenSaverAction::kContinue},
      {{"/p", "1", "2"}, ScreenSaverAction::kContinue},
      {{"p", "1234"}, ScreenSaverAction::kContinue},
      {{"/"}, ScreenSaverAction::kContinue},
      {{""}, ScreenSaverAction::kContinue},
  };
  for (const auto& c : cases) {
    CommandLine line;
    line.slots[0] = "korvel";
    for (const auto& arg : c.args) line.slots[++line.count] = arg;
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
    EXPECT_EQ(DecideScreenSaverAction(line), c.action);
  }
}

TEST(ScreenSaverTest, ActionsEndTheRunOrGoOn) {
  ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
  CommandLine line;
  line.count = 2;
  line.slots[1] = "/p";
  line.slots[2] = "1234";
  EXPECT_EQ(HandleScreenSaverCommandLine(false, line), 0);  // not a screen saver
  EXPECT_EQ(HandleScreenSaverCommandLine(true, line), 1);   // no window to embed in
  line.slots[1] = "/a";
  EXPECT_EQ(HandleScreenSaverCommandLine(true, line), 1);
  line.count = 1;
  line.slots[1] = "/s";
  EXPECT_EQ(HandleScreenSaverCommandLine(true, line), 0);

  // The version box is a dialog: it takes one answer.
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  line.slots[1] = "/c";
  testing::internal::CaptureStderr();
  EXPECT_EQ(HandleScreenSaverCommandLine(true, line), 1);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_NE(log.find("Version 1.00"), std::string::npos) << log;
  platform::ShutdownPlatform();
}

}  // namespace
}  // namespace korvel
