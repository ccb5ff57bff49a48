// Command 8: the scanner's table (every case of the comma-separated rules, line-break forms, a lead
// byte at the end, a piece longer than the piece buffer) and the command's split and count modes on
// files found through the data-file lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_args.h"
#include "commands/text_file_command.h"
#include "commands/text_pieces.h"
#include "core/error_report.h"
#include "engine_fixture.h"
#include "resource/data_file_lookup.h"
#include "script/variables.h"
#include "test_support.h"

namespace korvel {
namespace {

std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> out;
  ScanTextPieces(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                 [](void* context, const uint8_t* piece, size_t length) {
                   static_cast<std::vector<std::string>*>(context)->emplace_back(
                       reinterpret_cast<const char*>(piece), length);
                 },
                 &out);
  return out;
}

struct ScanCase {
  const char* name;
  std::string file;
  std::vector<std::string> split;  // what the split mode stores (file + CR LF)
  int64_t count;                   // what the count mode stores
};

std::vector<ScanCase> ScanCases() {
  return {
      {"two lines CRLF", "a,b\r\nc,d\r\n", {"a", "b", "c", "d", ""}, 5},
      {"last line without break", "a,b\r\nc", {"a", "b"}, 3},
      {"lines without commas", "a\r\nb\r\n", {""}, 1},
      {"empty file", "", {""}, 1},
      {"blanks before pieces", "  a , b", {"a ", "b"}, 2},
      {"double quotes keep the comma", "\"x,y\",z", {"\"x,y\"", "z"}, 2},
      {"leading comma", ",a", {"", "a"}, 2},
      {"empty middle piece", "a,,b", {"a", "", "b"}, 3},
      {"single quote runs over the line break", "a,'b\r\nc,d\r\n", {"a", "'b", ""}, 3},
      {"lone CR", "a,b\rc,d", {"a", "b", "c", "d"}, 4},
      {"LF only", "a,b\nc,d\n", {"a", "b", "c", "d", ""}, 5},
      {"CR as the last byte", "a,b\r", {"a", "b", ""}, 3},
      {"trailing comma", "a,\r\n", {"a", "", ""}, 3},
      {"lead byte last", "a,\x82", {"a", "\x82\r"}, 2},
      {"double-byte trail looks like a comma", "\x82,b,c", {"\x82,b", "c"}, 2},
      {"quote before a blank is dropped", "\" a\",b", {"a\"", "b"}, 2},
      {"blank line between lines", "a,b\r\n\r\nc,d", {"a", "b", "", "c", "d"}, 5},
  };
}

TEST(TextPiecesTest, SplitAndCountTable) {
  for (const ScanCase& c : ScanCases()) {
    EXPECT_EQ(Pieces(c.file + "\r\n"), c.split) << c.name;
    const size_t pieces = ScanTextPieces(reinterpret_cast<const uint8_t*>(c.file.data()),
                                         c.file.size(), nullptr, nullptr);
    EXPECT_EQ(static_cast<int64_t>(pieces) + 1, c.count) << c.name;
  }
}

TEST(TextPiecesTest, LongPieceIsCutOnACharacterBoundary) {
  std::string piece(4094, 'a');
  while (piece.size() < 5000) piece += "\x82\xa0";
  const auto* bytes = reinterpret_cast<const uint8_t*>(piece.data());
  // 4094 + 2 would be 4096: the double-byte character is left out whole.
  EXPECT_EQ(PieceLengthWithin(bytes, piece.size(), kMaxTextPiece), 4094u);
  const std::string odd = "b" + piece;  // now the character ends exactly at 4095
  EXPECT_EQ(PieceLengthWithin(reinterpret_cast<const uint8_t*>(odd.data()), odd.size(),
                              kMaxTextPiece),
            4095u);
  EXPECT_EQ(PieceLengthWithin(bytes, 10, kMaxTextPiece), 10u);
}

class TextFileCommandTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    InitResourceLookup(dir_.path());
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t one[] = {1};
    const uint32_t eight[] = {8};
    ASSERT_EQ(FillVarStringInit(kStrings, 1, eight, "old"), 0);
    ASSERT_EQ(FillVarIntInit(kInt, 1, one, -5), 0);
    ASSERT_EQ(FillVarRealInit(kReal, 1, one, -5.0), 0);
  }
  void TearDown() override {
    test::ResetCommandArgs();
    FreeVariableRecords();
    ShutdownResourceLookup();
    HeadlessEngine::TearDown();
  }
  std::vector<std::string> Strings() {
    std::vector<std::string> out;
    for (int64_t i = 0; i < 8; ++i) out.emplace_back(GetVarStringElement(kStrings, i));
    return out;
  }

  static constexpr uint32_t kStrings = 1000, kInt = 1001, kReal = 1002;
  test::TempDir dir_;
};

TEST_F(TextFileCommandTest, SplitAndCountModes) {
  dir_.Write("data/list.txt", "a,b\r\nc,d\r\n");
  // The name is lower-cased and '/' becomes '\'; the variable fills from element 0.
  test::CommandArgs().Text(0, "DATA/List.TXT").Value(2, 0).Ref(3, kStrings, 5);
  ASSERT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(Strings(), (std::vector<std::string>{"a", "b", "c", "d", "", "old", "old", "old"}));
  test::CommandArgs().Text(0, "data/list.txt").Value(1, 0).Ref(3, kInt);
  ASSERT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(GetVarIntElement(kInt, 0), 5);
  test::CommandArgs().Text(0, "data/list.txt").Value(1, 0).Ref(3, kReal);
  ASSERT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(GetVarRealElement(kReal, 0), 5.0);
}

TEST_F(TextFileCommandTest, PiecesPastTheVariableAreSkippedAndLongOnesCut) {
  std::string file;
  for (int i = 0; i < 12; ++i) file += std::to_string(i) + ",";
  file += std::string(4094, 'x') + "\x82\xa0" + std::string(900, 'y') + "\r\n";
  dir_.Write("many.txt", file);
  test::CommandArgs().Text(0, "many.txt").Value(2, 0).Ref(3, kStrings);
  ASSERT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(GetVarStringElement(kStrings, 7), std::string("7"));
  EXPECT_EQ(LastErrorReport().count, 0u);

  dir_.Write("long.txt", "a," + std::string(4094, 'x') + "\x82\xa0" + std::string(900, 'y'));
  test::CommandArgs().Text(0, "long.txt").Value(2, 0).Ref(3, kStrings);
  ASSERT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(GetVarStringElement(kStrings, 0), std::string("a"));
  EXPECT_EQ(GetVarStringElement(kStrings, 1), std::string(4094, 'x'));
}

TEST_F(TextFileCommandTest, MissingFileAndWrongVariableReport) {
  test::CommandArgs().Text(0, "none.txt").Value(2, 0).Ref(3, kStrings);
  EXPECT_EQ(RunTextFileCommand(), -1);
  EXPECT_EQ(LastErrorReport().code, 104060);
  test::CommandArgs().Text(0, std::string(300, 'n')).Value(1, 0).Ref(3, kInt);
  EXPECT_EQ(RunTextFileCommand(), -1);
  EXPECT_EQ(GetVarIntElement(kInt, 0), -5);

  dir_.Write("one.txt", "a,b\r\n");
  InitErrorReporting();
  test::CommandArgs().Text(0, "one.txt").Value(2, 0).Ref(3, kInt);
  EXPECT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(LastErrorReport().code, 101140);
  // Neither mode: nothing is read, not even a missing file.
  InitErrorReporting();
  test::CommandArgs().Text(0, "none.txt").Ref(3, kStrings);
  EXPECT_EQ(RunTextFileCommand(), 0);
  EXPECT_EQ(LastErrorReport().count, 0u);
}

}  // namespace
}  // namespace korvel
