// A compiled game that uses the file commands and the registry in the real program, headless: it
// makes a folder chain, exports a layer in the three formats, copies, preloads, asks command 16
// and reads registry.reg, checking its own answers (a failed check runs the unknown command 24,
// which ends the run with a fatal error).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine_fixture.h"

namespace korvel {
namespace {

uint32_t PicColour(int32_t x, int32_t y) { return uint32_t(x * 30) << 16 | uint32_t(y * 40) << 8 | 0x55; }

constexpr char kGame[] =
    ".config width 128\n"
    ".config height 96\n"
    ".global int v\n"
    ".global string s\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"pic\" ) 29=( \"pic\" ) 5=( 1 )\n"
    "FILE 2=( \"OUT/deep\" ) 3=( 0 )\n"
    "FILE 0=( \"out/Shot\" ) 10=( \"pic\" )\n"
    "FILE 0=( \"out/shot\" ) 10=( \"pic\" ) 11=( 1 )\n"
    "FILE 0=( \"out/shot\" ) 10=( \"pic\" ) 11=( 1 ) 13=( 1 ) 9=( 150 )\n"
    "FILE 0=( \"out/shot.bmp\" ) 1=( \"out/deep/copy.bmp\" ) 4=( 0 )\n"
    "FILE 0=( \"pic\" ) 14=( 2 )\n"
    "FILEINFO 2=( \"OUT/SHOT\" ) 4=( 1 ) 7=( $v )\n"
    "if $v 1 !=\n  24\nend\n"
    "FILEINFO 0=( \"out/deep\" ) 4=( 1 ) 7=( $v )\n"
    "if $v 1 !=\n  24\nend\n"
    "FILEINFO 0=( \"../\" ) 4=( 1 ) 7=( $v )\n"
    "if $v 0 !=\n  24\nend\n"
    "FILEINFO 1=( \"five.bin\" ) 5=( 1 ) 7=( $v )\n"
    "if $v 5 !=\n  24\nend\n"
    "FILEINFO 1=( \"out/none.png\" ) 4=( 1 ) 7=( $v )\n"
    "if $v 0 !=\n  24\nend\n"
    "REGISTRY 0=( \"HKEY_CURRENT_USER/Software/Korvel\" ) 1=( \"Level\" ) 2=( $v )\n"
    "if $v 0 !=\n  24\nend\n"
    "REGISTRY 0=( \"HKEY_CURRENT_USER/Software/Korvel\" ) 1=( \"Name\" ) 2=( $s )\n"
    "FILE 0=( \"out/deep/copy.bmp\" ) 1=( $s ) 4=( 0 )\n"
    "FILE 0=( \"out/gone\" ) 5=( 0 )\n"
    "QUIT\n";

class FileGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kGame}});
    game_.Write("pic.bmp", test::Bmp24(5, 3, PicColour));
    game_.Write("five.bin", "12345");
    game_.Write("registry.reg",
                "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Korvel]\n\"Name\"=\"out/from-registry.bmp\"\n"
                "\"Level\"=dword:00000007\n");
    std::filesystem::create_directories(game_.File("out"));
    game_.Write("out/gone.sd", "old save");
  }
};

TEST_F(FileGameTest, CommandsWorkInTheRealProgram) {
  const test::ProcessResult r = test::RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=30"}), 60000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r;
  const std::string out = game_.File("out/");
  EXPECT_TRUE(std::filesystem::is_directory(out + "deep"));
  EXPECT_FALSE(std::filesystem::exists(game_.File("OUT")));
  EXPECT_NE(test::CaptureCommand("pngcheck " + out + "shot.png").find("OK"), std::string::npos);
  EXPECT_NE(test::CaptureCommand("file -b " + out + "shot.bmp").find("PC bitmap"), std::string::npos);
  EXPECT_NE(test::CaptureCommand("file -b " + out + "shot.jpg").find("JPEG"), std::string::npos);
  EXPECT_EQ(test::CaptureCommand("compare -metric AE " + out + "shot.bmp " + game_.File("pic.bmp") +
                                 " null: 2>&1"),
            "0");
  EXPECT_EQ(test::ReadFile(out + "deep/copy.bmp"), test::ReadFile(out + "shot.bmp"));
  EXPECT_EQ(test::ReadFile(out + "from-registry.bmp"), test::ReadFile(out + "shot.bmp"));
  EXPECT_FALSE(std::filesystem::exists(out + "gone.sd"));
}

}  // namespace
}  // namespace korvel
