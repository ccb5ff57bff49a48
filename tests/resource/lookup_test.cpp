// Data-file lookup: the source order (also with the packs inside the executable), media names
// completed in the configured extension order, case-insensitive loose files, folders that are not
// hits, and type codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource/compiler_output.h"
#include "resource/data_file_lookup.h"
#include "resource/loose_files.h"
#include "resource_test_support.h"

namespace korvel {
namespace {

using testing_support::g_fake_pack;
using testing_support::ResourceTest;

TEST(TypeFromExtensionTest, ByEndingWithoutRegardToCase) {
  const struct {
    const char* name;
    uint8_t type;
  } cases[] = {{"a.bmp", 1}, {"a.PNG", 2}, {"b\\c.Jpg", 3}, {"x.gif", 4},  {"s.wav", 5},
               {"s.ogg", 6}, {"p.psd", 7}, {"k.KCG", 8},    {"a.jpeg", 0}, {"png", 0},
               {"a.png.txt", 0}, {"", 0}, {".ogg", 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TypeFromExtension(c.name), c.type);
  }
}

// Which sources hold the file "bg\title.png".
enum Holders : uint32_t { kBank = 1, kCompiler = 2, kDisk = 4, kPack = 8 };

struct SourceCase {
  uint32_t holders;
  bool packs_inside;
  int32_t source;
  uint8_t type;
  const char* bytes;
};

class LookupTest : public ResourceTest {
 protected:
  void Provide(uint32_t holders) {
    if (holders & kBank) AddBankRow(2, "BG\\Title.png", kTypePng, "bank");
    if (holders & kCompiler) {
      ASSERT_EQ(RegisterCompilerOutputFile("bg\\TITLE.png", reinterpret_cast<const uint8_t*>("comp"), 4), 0);
    }
    if (holders & kDisk) WriteFile("bg/title.png", "disk");
    if (holders & kPack) g_fake_pack.entries.push_back({"bg\\title.png", kTypeKcg, "pack"});
  }
};

TEST_F(LookupTest, SourceOrder) {
  const SourceCase cases[] = {
      {kBank | kCompiler | kDisk | kPack, false, kSourcePreloadBank, kTypePng, "bank"},
      {kBank | kCompiler | kDisk | kPack, true, kSourcePreloadBank, kTypePng, "bank"},
      {kCompiler | kDisk | kPack, false, kSourceCompilerOutput, kTypeOther, "comp"},
      {kCompiler | kDisk | kPack, true, kSourceCompilerOutput, kTypeOther, "comp"},
      {kDisk | kPack, false, kSourceDisk, kTypePng, "disk"},
      {kDisk | kPack, true, kSourcePack, kTypeKcg, "pack"},
      {kDisk, true, kSourceDisk, kTypePng, "disk"},
      {kPack, false, kSourcePack, kTypeKcg, "pack"},
      {0, false, 0, kTypeOther, nullptr},
      {0, true, 0, kTypeOther, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("holders " + std::to_string(c.holders) + " inside " +
                 std::to_string(c.packs_inside));
    ShutdownResourceLookup();
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
    InitResourceLookup(root_);
    static constexpr PackSource kFake = {testing_support::FakePackFind,
                                         testing_support::FakePackLoad};
    SetPackSource(&kFake);
    g_fake_pack = {};
    Provide(c.holders);
    g_resource.packs_inside_executable = c.packs_inside;

    ResourceLocator locator{};
    locator.type = 99;
    EXPECT_EQ(FindDataFile(&locator, "bg\\title.png", true), c.source);
    EXPECT_EQ(locator.source, c.source);
    EXPECT_EQ(locator.type, c.type);
    if (c.bytes == nullptr) continue;
    ResourceLocator loaded{};
    EXPECT_EQ(LoadDataFile(&loaded, "bg\\title.png", true), c.source);
    EXPECT_EQ(Loaded(loaded), c.bytes);
    FreeLocatorData(&loaded);
  }
}

TEST_F(LookupTest, DiskTypeOnlyWhenAsked) {
  WriteFile("se/a.wav", "w");
  ResourceLocator locator{};
  EXPECT_EQ(FindDataFile(&locator, "se\\a.wav", false), kSourceDisk);
  EXPECT_EQ(locator.type, kTypeOther);
  EXPECT_EQ(FindDataFile(&locator, "se\\a.wav", true), kSourceDisk);
  EXPECT_EQ(locator.type, kTypeWav);
}

struct MediaCase {
  const char* name;
  int32_t media_class;
  std::vector<uint8_t> image_order;
  std::vector<uint8_t> sound_order;
  const char* on_disk;  // relative path on disk, or null
  int32_t result;
  const char* output;
  uint8_t type;
  std::vector<std::string> asked;  // names the pack source was asked, in order
};

TEST_F(LookupTest, MediaNamesAndExtensionOrder) {
  const MediaCase cases[] = {
      // Extensions are tried in slot order; every trial runs the whole source order.
      {"BG\\Title", 0, {1, 2, 3, 4}, {1, 2}, "bg/TITLE.GIF", 0, "bg\\title.gif", kTypeGif,
       {"bg\\title.png", "bg\\title.bmp", "bg\\title.jpg"}},
      {"BG/Title", 0, {1, 2, 3, 4}, {1, 2}, "bg/TITLE.PNG", 0, "bg\\title.png", kTypePng, {}},
      {"BG\\Title", 0, {1, 2, 3, 4}, {1, 2}, nullptr, 1, "bg\\title", kTypeOther,
       {"bg\\title.png", "bg\\title.bmp", "bg\\title.jpg", "bg\\title.gif"}},
      // Codes outside the table are skipped.
      {"bg\\title", 0, {4, 0, 7, 2}, {1, 2}, nullptr, 1, "bg\\title", kTypeOther,
       {"bg\\title.gif", "bg\\title.bmp"}},
      // A name with its own extension is looked up once, only lower-cased.
      {"BG\\Title.PNG", 0, {1, 2, 3, 4}, {1, 2}, nullptr, 1, "bg\\title.png", kTypeOther,
       {"bg\\title.png"}},
      // An extension of the other class does not count.
      {"se\\Click.ogg", 0, {1, 0, 0, 0}, {1, 2}, nullptr, 1, "se\\click.ogg", kTypeOther,
       {"se\\click.ogg.png"}},
      // Every image type the loader decodes keeps its own extension, KCG and PSD included.
      {"a\\b.kcg", 0, {3, 0, 0, 0}, {1, 2}, nullptr, 1, "a\\b.kcg", kTypeOther, {"a\\b.kcg"}},
      {"A\\B.KCG", 0, {1, 2, 3, 4}, {1, 2}, "a/b.kcg", 0, "a\\b.kcg", kTypeKcg, {}},
      {"bg.psd", 0, {1, 2, 3, 4}, {1, 2}, "BG.PSD", 0, "bg.psd", kTypePsd, {}},
      {"bg.kcg", 1, {1, 2, 3, 4}, {1, 2}, nullptr, 1, "bg.kcg", kTypeOther,
       {"bg.kcg.ogg", "bg.kcg.wav"}},
      {"SE/Click", 1, {1, 2, 3, 4}, {2, 1}, "se/click.ogg", 0, "se\\click.ogg", kTypeOgg,
       {"se\\click.wav"}},
      {"SE/Click.WAV", 1, {1, 2, 3, 4}, {2, 1}, "se/click.wav", 0, "se\\click.wav", kTypeWav, {}},
      // Class 9: once, as it stands.
      {"Data/Readme", 9, {1, 2, 3, 4}, {1, 2}, "data/readme", 0, "data\\readme", kTypeOther, {}},
      // The name is normalised as an object path with spaces allowed.
      {"bg/x/../My Title", 0, {1, 0, 0, 0}, {1, 2}, "BG/my title.png", 0, "bg\\my title.png",
       kTypePng, {}},
      // Another class has no extensions to try.
      {"bg\\title", 5, {1, 2, 3, 4}, {1, 2}, nullptr, 1, "bg\\title", kTypeOther, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " class " + std::to_string(c.media_class));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
    if (c.on_disk != nullptr) WriteFile(c.on_disk, "x");
    g_fake_pack = {};
    for (size_t i = 0; i < 4; ++i) g_resource.order.image[i] = c.image_order[i];
    for (size_t i = 0; i < 2; ++i) g_resource.order.sound[i] = c.sound_order[i];

    ResourceLocator locator{};
    std::string output;
    EXPECT_EQ(LocateMediaFile(&locator, &output, c.name, c.media_class), c.result);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(locator.type, c.type);
    EXPECT_EQ(g_fake_pack.asked, c.asked);
  }
}

TEST_F(LookupTest, DefaultOrderIsPngBmpJpgGifAndOggWav) {
  const MediaExtensionOrder order;
  EXPECT_EQ(std::vector<uint8_t>(order.image, order.image + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<uint8_t>(order.sound, order.sound + 2), (std::vector<uint8_t>{1, 2}));
}

TEST_F(LookupTest, FolderIsNotAHit) {
  std::filesystem::create_directories(root_ + "bg/title.png");
  EXPECT_EQ(FileExistsOnDisk("bg\\title.png"), 0);
  EXPECT_EQ(FileExistsOnDisk("bg"), 0);
  ResourceLocator locator{};
  EXPECT_EQ(FindDataFile(&locator, "bg\\title.png", true), 0);
  std::string output;
  EXPECT_EQ(LocateMediaFile(&locator, &output, "bg\\title", 0), 1);
  // The pack behind it is asked instead.
  g_fake_pack.entries.push_back({"bg\\title.png", kTypePng, "pack"});
  EXPECT_EQ(FindDataFile(&locator, "bg\\title.png", true), kSourcePack);
}

TEST_F(LookupTest, PackThatCannotBeOpenedEndsTheSearch) {
  g_fake_pack.entries.push_back({"bg\\title.png", kTypePng, "pack"});
  g_fake_pack.cannot_open = true;
  WriteFile("bg/title.png", "disk");
  g_resource.packs_inside_executable = true;  // packs before the disk
  ResourceLocator locator{};
  EXPECT_EQ(FindDataFile(&locator, "bg\\title.png", true), -2);
  std::string output;
  EXPECT_EQ(LocateMediaFile(&locator, &output, "BG\\Title", 0), -1);
  EXPECT_EQ(output, "bg\\title.png");
  EXPECT_EQ(ReadDataFile(&locator, "bg\\title.png", true), -1);
  EXPECT_EQ(LastErrorReport().code, 901040);
  InitEngineState();
  EXPECT_EQ(ReadDataFile(&locator, "bg\\none.png", true), -1);
  EXPECT_EQ(LastErrorReport().code, 104060);
}

TEST_F(LookupTest, LooseFilesStayInsideTheRoot) {
  const std::string outside = root_.substr(0, root_.size() - 1) + "-outside";
  std::filesystem::create_directory(outside);
  std::ofstream(outside + "/secret.txt") << "s";
  const std::string leaf = std::filesystem::path(outside).filename().string();
  EXPECT_EQ(FileExistsOnDisk(("..\\" + leaf + "\\secret.txt").c_str()), 0);
  EXPECT_EQ(FileExistsOnDisk((outside + "/secret.txt").c_str()), 0);
  WriteFile("a/b.txt", "b");
  EXPECT_EQ(FileExistsOnDisk("a\\..\\a\\B.TXT"), 1);
  std::filesystem::remove_all(outside);
}

TEST_F(LookupTest, DoubleByteNamesWithBackslashTrailBytes) {
  // "表" is 0x95 0x5C in code page 932: its second byte is no separator.
  WriteFile("\xe8\xa1\xa8/a.png", "dbcs");
  ResourceLocator locator{};
  std::string output;
  EXPECT_EQ(LocateMediaFile(&locator, &output, "\x95\x5c\\A", 0), 0);
  EXPECT_EQ(output, "\x95\x5c\\a.png");
  ResourceLocator loaded{};
  EXPECT_EQ(LoadMediaFile(&loaded, &output, "\x95\x5c\\A", 0), 0);
  EXPECT_EQ(Loaded(loaded), "dbcs");
  FreeLocatorData(&loaded);
}

}  // namespace
}  // namespace korvel
