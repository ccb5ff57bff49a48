// Error texts: the kre.kbn table (bounded walk), the built-in texts and the lookup order.
#include "core/error_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/program_paths.h"
#include "core/text_format.h"
#include "engine_fixture.h"
#include "platform/platform.h"
#include "test_support.h"

namespace korvel {
namespace {

// Code page 932 bytes of the texts, as Python's cp932 codec gives them.
constexpr char kMissingFile[] =
    "[%s]\x83t\x83@\x83" "C\x83\x8b\x82\xaa\n\x91\xb6\x8d\xdd\x82\xb5\x82\xdc\x82\xb9\x82\xf1\x81"
    "B";
constexpr char kBrokenPack[] =
    "\x83p\x83" "b\x83N\x83t\x83@\x83" "C\x83\x8b\x92\x86\x82\xc9\x94j\x91\xb9\x83t\x83@\x83"
    "C\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb5\x82\xbd\x81"
    "B\n\nPacFile = %s\nFile = %s";
constexpr char kInternalError[] =
    "[\x93\xe0\x95\x94\x83G\x83\x89\x81[]\n\n\x83G\x83\x89\x81[\x95\xb6\x8e\x9a\x97\xf1\x82\xcc"
    "\x8ew\x92\xe8\x83~\x83X\x82\xc5\x82\xb7\x81" "B\n\x83V\x83X\x83" "e\x83\x80\x8aJ\x94\xad\x8e"
    "\xd2\x82\xdc\x82\xc5\x82\xa8\x96\xe2\x82\xa2\x8d\x87\x82\xed\x82\xb9\x82\xad\x82\xbe\x82\xb3"
    "\x82\xa2\x81" "B";
constexpr char kLicenceHeading[] =
    "\x81\xa1\x83\x89\x83" "C\x83Z\x83\x93\x83X\x82\xc9\x82\xc2\x82\xa2\x82\xc4";

struct Entry {
  uint32_t code;
  std::string text;
  bool terminated = true;
};

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A kre.kbn image: 8 header bytes, the count, 4 unused bytes, then the entries.
std::vector<uint8_t> MakeKbn(uint32_t count, const std::vector<Entry>& entries) {
  std::vector<uint8_t> out = {'K', 'R', 'E', 0, 1, 0, 0, 0};
  PutU32(&out, count);
  PutU32(&out, 0);
  for (const Entry& e : entries) {
    PutU32(&out, e.code);
    out.insert(out.end(), e.text.begin(), e.text.end());
    if (e.terminated) out.push_back(0);
  }
  return out;
}

using ErrorTextsTest = test::HeadlessEngine;

TEST_F(ErrorTextsTest, BuiltinTextsAreCodePage932) {
  EXPECT_STREQ(GetErrorText(104060), kMissingFile);
  EXPECT_STREQ(GetErrorText(104100), kBrokenPack);
  EXPECT_STREQ(GetErrorText(123456), kInternalError);
  EXPECT_STREQ(InternalErrorText(), kInternalError);
  // Every built-in code has a text, and none of them holds a character iconv could not convert.
  const int32_t codes[] = {100000, 100010, 102040, 104010, 104030, 104060, 104100, 104110, 104111,
                           104120, 104130, 104140, 104150, 106010, 900040, 901040};
  for (int32_t code : codes) {
    const char* text = BuiltinErrorText(code);
    ASSERT_NE(text, nullptr) << code;
    EXPECT_EQ(std::strchr(text, '?'), nullptr) << code;
  }
  EXPECT_EQ(BuiltinErrorText(100020), nullptr);
}

// The movie player's failures have texts of their own when the game's error file has none for
// them; a text from the file comes first.
TEST_F(ErrorTextsTest, MovieFailuresHaveTextsOfTheirOwn) {
  for (int32_t code : {101510, 101520}) {
    const char* text = GetErrorText(code);
    EXPECT_STRNE(text, kInternalError) << code;
    EXPECT_EQ(std::strchr(text, '?'), nullptr) << code;
  }
  EXPECT_STRNE(GetErrorText(101510), GetErrorText(101520));
}

TEST_F(ErrorTextsTest, LicenceNoticeFitsTheMessageBuffer) {
  const std::string notice = GetErrorText(100000);
  EXPECT_EQ(notice.rfind(kLicenceHeading, 0), 0u);
  // Each library the program links, with its licence; FreeType's and the IJG's licences ask for
  // their own sentences.
  const char* const lines[] = {
      "[Ogg Vorbis] Copyright (c) 2002-2020 Xiph.Org Foundation: BSD",
      "[libpng] Copyright (c) 1995-2022 The PNG Reference Library Authors: PNG Reference Library "
      "License version 2\n",
      "[zlib] Copyright (c) 1995-2022 Jean-loup Gailly, Mark Adler: zlib License\n",
      "[FFmpeg] Copyright (c) 2000-2022 the FFmpeg developers: LGPL 2.1 ",
      "[SDL2] Copyright (c) 1997-2023 Sam Lantinga: zlib License\n",
      "[FreeType] Portions of this software are copyright (c) 2022 The FreeType Project "
      "(www.freetype.org). All rights reserved. FreeType License\n",
      "[fontconfig] Copyright (c) 2000-2022 Keith Packard ",
      "[libjpeg-turbo] This software is based in part on the work of the Independent JPEG Group. ",
      ": IJG License, BSD",
      "[iconv (glibc)] Copyright (c) 1991-2022 Free Software Foundation: LGPL 2.1 ",
      "[X11] Copyright (c) 1985-1998 The Open Group ",
  };
  for (const char* line : lines) EXPECT_NE(notice.find(line), std::string::npos) << line;
  // It goes through the formatter whole: no directive, and shorter than the 1023-byte message.
  EXPECT_EQ(notice.find('%'), std::string::npos);
  EXPECT_EQ(FormatText(notice, {}), notice);
  EXPECT_LT(notice.size(), 1023u);
}

struct ParseCase {
  const char* name;
  std::vector<uint8_t> data;
  bool ok;
  std::vector<std::pair<uint32_t, std::string>> expected;
};

std::vector<ParseCase> ParseCases() {
  std::vector<ParseCase> cases;
  cases.push_back({"two entries", MakeKbn(2, {{100100, "first"}, {100200, "second"}}), true,
                   {{100100, "first"}, {100200, "second"}}});
  cases.push_back({"empty text", MakeKbn(1, {{100100, ""}}), true, {{100100, ""}}});
  cases.push_back({"count larger than the data", MakeKbn(5, {{1, "a"}, {2, "b"}}), true,
                   {{1, "a"}, {2, "b"}}});
  cases.push_back({"count smaller than the data", MakeKbn(1, {{1, "a"}, {2, "b"}}), true,
                   {{1, "a"}}});
  cases.push_back({"missing NUL drops that entry and the rest",
                   MakeKbn(3, {{1, "a"}, {2, "bb", false}}), true, {{1, "a"}}});
  {
    std::vector<uint8_t> data = MakeKbn(3, {{1, "a"}});
    data.push_back(0x02);
    data.push_back(0x00);  // half a code
    cases.push_back({"partial code at the end", data, true, {{1, "a"}}});
  }
  cases.push_back({"header only", MakeKbn(3, {}), true, {}});
  cases.push_back({"huge count", MakeKbn(0xFFFFFFFFu, {{7, "x"}}), true, {{7, "x"}}});
  cases.push_back({"empty file", {}, false, {}});
  {
    std::vector<uint8_t> data = MakeKbn(1, {});
    data.resize(15);
    cases.push_back({"shorter than the header", data, false, {}});
  }
  return cases;
}

TEST_F(ErrorTextsTest, ParsesWithinTheData) {
  for (ParseCase& c : ParseCases()) {
    // Exact-size copy: a read past the end is caught by the address sanitizer.
    std::vector<uint8_t> data(c.data.begin(), c.data.end());
    data.shrink_to_fit();
    ErrorMessageTable table;
    EXPECT_EQ(ParseErrorMessages(std::move(data), &table), c.ok) << c.name;
    ASSERT_EQ(table.count, static_cast<int32_t>(c.expected.size())) << c.name;
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(table.codes[i], c.expected[i].first) << c.name;
      EXPECT_EQ(table.texts[i], c.expected[i].second) << c.name;
    }
    // Unused slots point at the empty string.
    EXPECT_STREQ(table.texts[kMaxErrorMessages - 1], "") << c.name;
  }
}

TEST_F(ErrorTextsTest, KeepsAtMost256Entries) {
  std::vector<Entry> entries;
  for (uint32_t i = 0; i < 300; ++i) {
    std::string text = std::to_string(i);
    text.insert(text.begin(), 't');
    entries.push_back({200000 + i, text});
  }
  ErrorMessageTable table;
  ASSERT_TRUE(ParseErrorMessages(MakeKbn(300, entries), &table));
  EXPECT_EQ(table.count, 256);
  EXPECT_EQ(table.codes[255], 200255u);
  EXPECT_STREQ(table.texts[255], "t255");
}

// The loader the tests install: hands out `g_file` or fails with `g_result`.
std::vector<uint8_t> g_file;
int g_result = 0;
std::string g_asked_name;
int FakeLoader(const char* name, std::vector<uint8_t>* out) {
  g_asked_name = name;
  if (g_result == 0) *out = g_file;
  return g_result;
}

TEST_F(ErrorTextsTest, LookupOrder) {
  g_file = MakeKbn(5, {{100100, "file text %d"},
                       {104060, "file's own 104060"},
                       {100100, "second entry with the same code"},
                       {100300, "100%% done"},
                       {101520, "file's own 101520"}});
  g_result = 0;
  SetErrorTextLoader(FakeLoader);
  ASSERT_EQ(LoadErrorMessages(), 0);
  EXPECT_EQ(g_asked_name, "kre.kbn");
  EXPECT_STREQ(GetErrorText(100100), "file text %d");   // the first entry of that code
  EXPECT_STREQ(GetErrorText(104060), kMissingFile);     // built-in wins over the file
  EXPECT_STREQ(GetErrorText(100999), kInternalError);   // nowhere
  EXPECT_STREQ(GetErrorText(101520), "file's own 101520");  // the file wins over a fallback
  EXPECT_STREQ(GetErrorText(101510), FallbackErrorText(101510));
  EXPECT_EQ(LastErrorReport().count, 0u);
}

TEST_F(ErrorTextsTest, LoadFailuresAreReportedFatally) {
  struct Case {
    int loader_result;
    std::vector<uint8_t> file;
    int32_t code;
  };
  const Case cases[] = {
      {-1, {}, 104060},
      {-2, {}, 104010},
      {-3, {}, 901040},
      {0, std::vector<uint8_t>(10, 0), 104010},  // too short for its header
  };
  for (const Case& c : cases) {
    InitEngineState();
    InitErrorReporting();
    g_file = c.file;
    g_result = c.loader_result;
    SetErrorTextLoader(FakeLoader);
    EXPECT_EQ(LoadErrorMessages(), -1) << c.code;
    const ErrorReportSnapshot report = LastErrorReport();
    EXPECT_EQ(report.code, c.code);
    EXPECT_NE(report.message.find("[kre.kbn]"), std::string::npos) << c.code;
    EXPECT_TRUE(QuitRequested());
    EXPECT_EQ(g_engine.fatal_quit.load(), 1);
    EXPECT_EQ(g_error_messages.count, 0);
  }
}

TEST_F(ErrorTextsTest, DefaultLoaderReadsTheGameFolderIgnoringCase) {
  test::TempDir dir;
  const std::vector<uint8_t> kbn = MakeKbn(1, {{100100, "from disk"}});
  dir.Write("KrBin/KRE.KBN", std::string(kbn.begin(), kbn.end()));
  const std::string saved = g_paths.game_folder;
  g_paths.game_folder = dir.path() + "/";
  EXPECT_EQ(LoadErrorMessages(), 0);
  EXPECT_STREQ(GetErrorText(100100), "from disk");

  // An empty game folder: the file does not exist.
  test::TempDir empty;
  g_paths.game_folder = empty.path() + "/";
  InitErrorReporting();
  EXPECT_EQ(LoadErrorMessages(), -1);
  EXPECT_EQ(LastErrorReport().code, 104060);
  g_paths.game_folder = saved;
}

}  // namespace
}  // namespace korvel
