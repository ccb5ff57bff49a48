// The compiler link in the real program: a game folder with a stand-in compiler at
// system/RIDed/RIDed. The compiled files it delivers are what runs (they shadow the game's own
// krbin files); a compiler that ends without its output ends start-up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "png_pixels.h"

namespace korvel {
namespace {

constexpr char kOnDisk[] =
    ".config width 128\n.config height 96\n.config show 1\n"
    "label SYSTEM_START\n"
    "loop -1\n  WAIT 0=( 1 )\nend\n";
// The compiler's version draws a picture.
constexpr char kCompiled[] =
    ".config width 128\n.config height 96\n.config show 1\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "loop -1\n  WAIT 0=( 1 )\nend\n";

uint32_t Teal(int32_t, int32_t) { return 0x208080; }

void PutU32(std::string* hex, uint32_t v) {
  char b[9];
  for (int i = 0; i < 4; ++i) {
    std::snprintf(b, sizeof b, "%02X", (v >> (8 * i)) & 0xFF);
    *hex += b;
  }
}
void PutBytes(std::string* hex, const std::string& bytes) {
  char b[3];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02X", c);
    *hex += b;
  }
}

class CompilerLinkGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    // The compiled version, built apart, becomes the compiler's delivery.
    std::vector<tools::AssemblerSource> files = {{"main.kas", kCompiled}};
    tools::CompiledGame game;
    std::string error;
    ASSERT_TRUE(tools::Assemble(files, &game, &error)) << error;
    ASSERT_TRUE(tools::WriteGameFolder(game, compiled_.path(), &error)) << error;
    std::string hex;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(compiled_.path() + "/krbin")) {
      const std::string name = "krbin\\" + entry.path().filename().string();
      const std::string data = test::ReadFile(entry.path().string());
      PutU32(&hex, static_cast<uint32_t>(name.size()));
      PutBytes(&hex, name);
      PutU32(&hex, static_cast<uint32_t>(data.size()));
      PutBytes(&hex, data);
      ++count;
    }
    delivery_ = "count " + std::to_string(count) + "\nraw " + hex + "\n";

    BuildGame({{"main.kas", kOnDisk}});
    game_.Write("bg.bmp", test::Bmp24(128, 96, Teal));
    const std::filesystem::path compiler = game_.path() + "/system/RIDed/RIDed";
    std::filesystem::create_directories(compiler.parent_path());
    std::filesystem::copy_file(FAKE_COMPILER, compiler);
    block_ = "korvel-e2e-link-" + std::to_string(getpid());
  }
  test::ProcessResult Run(const std::string& control) {
    game_.Write("fake_compiler.txt", control);
    return test::RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=3", "KORVEL_DUMP=" + dumps_.path(),
                                                 "KORVEL_COMPILER_BLOCK=" + block_}),
                            60000);
  }

  test::TempDir compiled_;
  test::TempDir dumps_;
  std::string delivery_;
  std::string block_;
};

TEST_F(CompilerLinkGameTest, DeliveredScriptsRunInsteadOfTheOnesOnDisk) {
  const test::ProcessResult r = Run(delivery_);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("script compiler"), std::string::npos) << r.stderr_text;
  test::PngPixels png;
  ASSERT_TRUE(test::ReadPngPixels(dumps_.path() + "/w0-000001.png", &png)) << r.stderr_text;
  EXPECT_EQ(png.at(5, 5) & 0xFFFFFF, 0x208080u);
  EXPECT_FALSE(std::filesystem::exists("/dev/shm/" + block_));
  EXPECT_FALSE(std::filesystem::exists("/dev/shm/" + block_ + "2"));
}

TEST_F(CompilerLinkGameTest, ACompilerEndingWithoutOutputEndsStartUp) {
  // Start-up ends before any frame; no error report is made, so the run ends as a quit does.
  const test::ProcessResult r = Run("exit-before-ready\n");
  ASSERT_FALSE(r.timed_out);
  EXPECT_NE(r.stderr_text.find("did not hand over its output"), std::string::npos)
      << r.stderr_text;
  EXPECT_FALSE(std::filesystem::exists(dumps_.path() + "/w0-000001.png")) << "no frame ran";
  EXPECT_FALSE(std::filesystem::exists("/dev/shm/" + block_));
}

}  // namespace
}  // namespace korvel
