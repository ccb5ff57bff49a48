// The registry file and command 61: a table of .reg texts and queries (strings with escapes and
// Japanese text, dword into a string, hex, the default value, case of names, roots written in
// lower case, a value over 1024 bytes, damaged lines), and what each variable type receives.
#include "commands/registry_command.h"
#include "commands/registry_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine_fixture.h"
#include "param_names.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"
#include "test_support.h"

namespace korvel {
namespace {

const char kFile[] =
    "\xEF\xBB\xBFREGEDIT4\r\n"
    "\r\n"
    "; a comment\r\n"
    "[HKEY_CURRENT_USER\\Software\\Maker\\Game]\r\n"
    "\"Name\"=\"Korvel \\\"quoted\\\" c:\\\\dir\"\r\n"
    "@=\"default value\"\r\n"
    "\"Level\"=dword:00434241\r\n"
    "\"Zero\"=dword:00000000\r\n"
    "\"Bytes\"=hex:41,42,\\\r\n"
    "  43,00,44\r\n"
    "\"Expand\"=hex(2):25,00\r\n"
    "\"Japanese\"=\"\xE6\x97\xA5\xE6\x9C\xAC\"\r\n"
    "\"Broken\"=dword:123456789\r\n"
    "\"Unclosed\"=\"abc\r\n"
    "\"Later\"=\"first\"\r\n"
    "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
    "\"InGone\"=\"x\"\r\n"
    "[HKEY_CURRENT_USER\\software\\maker\\game\\]\r\n"
    "\"Later\"=\"second\"\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Big]\r\n";

struct RegCase {
  const char* name;
  std::string path;
  const char* value;  // null: the parameter is absent
  bool found;
  std::string text;  // what a string variable receives on success
};

class RegistryCommandTest : public test::HeadlessEngine,
                            public ::testing::WithParamInterface<RegCase> {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    std::string big = "\"Long\"=\"" + std::string(1024, 'x') + "\"\r\n\"Fits\"=\"" +
                      std::string(1023, 'y') + "\"\r\n";
    dir_.Write("Registry.REG", std::string(kFile) + big);
    ResetRegistry(dir_.path());
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    saved_decoder_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };
    for (size_t i = 0; i < std::size(g_args.at); ++i) {
      saved_texts_[i] = g_args.at[i].text;
      g_args.at[i].text = nullptr;
    }
  }
  void TearDown() override {
    g_argument_decoder = saved_decoder_;
    FreeDecodedArguments();
    for (size_t i = 0; i < std::size(g_args.at); ++i) g_args.at[i].text = saved_texts_[i];
    FreeVariableRecords();
    ResetRegistry("");
    HeadlessEngine::TearDown();
  }
  void Text(uint8_t param, const std::string& text) {
    g_args.presence[param] = static_cast<uint8_t>(++g_args.count);
    DecodedArgument& a = g_args.at[g_args.count];
    if (a.text == nullptr) a.text = static_cast<char*>(std::calloc(4096, 1));
    std::strncpy(a.text, text.c_str(), 4095);
  }
  int32_t Query(const RegCase& c, uint32_t var) {
    ClearDecodedArguments();
    Text(0, c.path);
    if (c.value != nullptr) Text(1, c.value);
    g_args.presence[2] = static_cast<uint8_t>(++g_args.count);
    g_args.at[g_args.count].var_number = var;
    return RunRegistryCommand();
  }

  test::TempDir dir_;
  ArgumentDecoder saved_decoder_ = nullptr;
  char* saved_texts_[std::size(DecodedArguments{}.at)] = {};
};

TEST_P(RegistryCommandTest, EachVariableTypeReceivesItsAnswer) {
  const RegCase& c = GetParam();
  ASSERT_EQ(FillVarStringInit(1000, 0, nullptr, "before"), 0);
  ASSERT_EQ(FillVarIntInit(1001, 0, nullptr, 77), 0);
  ASSERT_EQ(FillVarRealInit(1002, 0, nullptr, 7.5), 0);
  ASSERT_EQ(Query(c, 1000), 0);
  ASSERT_EQ(Query(c, 1001), 0);
  ASSERT_EQ(Query(c, 1002), 0);
  if (c.found) {
    EXPECT_EQ(std::string(GetVarStringElement(1000, 0)), c.text);
    EXPECT_EQ(GetVarIntElement(1001, 0), 77);  // numbers are left alone
    EXPECT_EQ(GetVarRealElement(1002, 0), 7.5);
  } else {
    EXPECT_STREQ(GetVarStringElement(1000, 0), "");
    EXPECT_EQ(GetVarIntElement(1001, 0), 0);
    EXPECT_EQ(GetVarRealElement(1002, 0), 0.0);
  }
}

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Maker\\Game";
using test::PrintTo;

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryCommandTest,
    ::testing::Values(
        RegCase{"string with escapes", kKey, "Name", true, "Korvel \"quoted\" c:\\dir"},
        RegCase{"slashes in the path", "HKEY_CURRENT_USER/Software/Maker/Game", "name", true,
                "Korvel \"quoted\" c:\\dir"},
        RegCase{"key and value case", "HKEY_CURRENT_USER\\SOFTWARE\\maker\\GAME\\", "NAME", true,
                "Korvel \"quoted\" c:\\dir"},
        RegCase{"default value", kKey, nullptr, true, "default value"},
        RegCase{"default by empty name", kKey, "", true, "default value"},
        RegCase{"dword into a string", kKey, "Level", true, "ABC"},
        RegCase{"dword zero", kKey, "Zero", true, ""},
        RegCase{"hex up to its zero", kKey, "Bytes", true, "ABC"},
        RegCase{"hex of a type", kKey, "Expand", true, "%"},
        RegCase{"japanese as code page 932", kKey, "Japanese", true, "\x93\xfa\x96\x7b"},
        RegCase{"later section wins", kKey, "Later", true, "second"},
        RegCase{"1023 bytes fit", "HKEY_LOCAL_MACHINE\\Software\\Big", "Fits", true,
                std::string(1023, 'y')},
        RegCase{"1024 bytes and the end do not", "HKEY_LOCAL_MACHINE\\Software\\Big", "Long",
                false, ""},
        RegCase{"too many dword digits", kKey, "Broken", false, ""},
        RegCase{"unclosed string", kKey, "Unclosed", false, ""},
        RegCase{"deleted key", "HKEY_CURRENT_USER\\Software\\Gone", "InGone", false, ""},
        RegCase{"missing value", kKey, "None", false, ""},
        RegCase{"missing key", "HKEY_CURRENT_USER\\Software\\None", "Name", false, ""}),
    test::CaseName{});

TEST_F(RegistryCommandTest, UnknownOrLowerCaseRootsReadNothing) {
  ASSERT_EQ(FillVarStringInit(1000, 0, nullptr, "kept"), 0);
  ASSERT_EQ(FillVarIntInit(1001, 0, nullptr, 5), 0);
  for (const char* path : {"hkey_current_user\\Software\\Maker\\Game", "HKCU\\Software\\Maker\\Game",
                           "HKEY_CURRENT_USER", ""}) {
    ASSERT_EQ(Query(RegCase{"", path, "Name", false, ""}, 1000), 0);
    ASSERT_EQ(Query(RegCase{"", path, "Name", false, ""}, 1001), 0);
    EXPECT_STREQ(GetVarStringElement(1000, 0), "kept") << path;
    EXPECT_EQ(GetVarIntElement(1001, 0), 5) << path;
  }
}

TEST_F(RegistryCommandTest, NoFileOrNoHeaderHoldsNothing) {
  ASSERT_EQ(FillVarStringInit(1000, 0, nullptr, "kept"), 0);
  dir_.Write("Registry.REG", std::string("[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\"\n"));
  ResetRegistry(dir_.path());
  ASSERT_EQ(Query(RegCase{"", "HKEY_CURRENT_USER\\A", "v", false, ""}, 1000), 0);
  EXPECT_STREQ(GetVarStringElement(1000, 0), "");
  ResetRegistry(dir_.path() + "/none");
  ASSERT_EQ(FillVarStringInit(1000, 0, nullptr, "kept"), 0);
  ASSERT_EQ(Query(RegCase{"", kKey, "Name", false, ""}, 1000), 0);
  EXPECT_STREQ(GetVarStringElement(1000, 0), "");
}

TEST(RegistryFile, VersionFiveHeaderAndLastValueWins) {
  RegistryData data;
  ParseRegistryText("Windows Registry Editor Version 5.00\n[HKEY_USERS\\x]\n\"a\"=\"1\"\n\"A\"=\"2\"\n",
                    &data);
  const RegistryValue* value = FindRegistryValue(data, "HKEY_USERS\\X", "a");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->data, std::string("2\0", 2));
  EXPECT_EQ(data.keys.size(), 1u);
  EXPECT_EQ(data.keys[0].values.size(), 1u);
}

}  // namespace
}  // namespace korvel
