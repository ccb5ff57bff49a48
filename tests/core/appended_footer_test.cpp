// The one reader of the appended-data footer on a table of byte cases, and the probe over bytes in
// memory agreeing with the probe over the same bytes on disk.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/appended_data.h"
#include "param_names.h"
#include "test_support.h"

namespace korvel {
namespace {

using test::PrintTo;

using Bytes = std::vector<uint8_t>;

void Append(Bytes* out, const std::string& text) { out->insert(out->end(), text.begin(), text.end()); }

void AppendLe(Bytes* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes Footer(uint64_t r) {
  Bytes out;
  Append(&out, std::string("KR_RES\0\0", 8));
  AppendLe(&out, r, 8);
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct FooterCase {
  const char* name;
  Bytes bytes;
  bool found;
  uint64_t r;
};

std::vector<FooterCase> FooterCases() {
  Bytes eight_bytes_of_r = Footer(0);
  for (int i = 0; i < 8; ++i) eight_bytes_of_r[8 + i] = static_cast<uint8_t>(i + 1);
  Bytes bad_letter = Footer(100);
  bad_letter[5] = 'T';
  Bytes no_zero_pad = Footer(100);
  no_zero_pad[7] = 1;
  Bytes followed = Footer(100);
  followed.push_back(0);
  Bytes short_footer = Footer(100);
  short_footer.pop_back();
  return {
      {"Nothing", {}, false, 0},
      {"FifteenBytes", short_footer, false, 0},
      {"FooterAlone", Footer(100), true, 100},
      {"FooterAfterTheProgram", Concat({Bytes(300, 'E'), Footer(300)}), true, 300},
      {"LittleEndianSize", eight_bytes_of_r, true, 0x0807060504030201ull},
      {"LargestSize", Footer(UINT64_MAX), true, UINT64_MAX},
      {"SizeZero", Footer(0), true, 0},
      {"WrongLetter", bad_letter, false, 0},
      {"PaddingNotZero", no_zero_pad, false, 0},
      {"FooterNotAtTheEnd", followed, false, 0},
      {"ProgramWithoutFooter", Bytes(64, 'E'), false, 0},
  };
}

class AppendedFooterTest : public ::testing::TestWithParam<FooterCase> {};

TEST_P(AppendedFooterTest, ReadsTheSizeOnlyFromAFooterAtTheEnd) {
  const FooterCase& c = GetParam();
  uint64_t r = 12345;
  EXPECT_EQ(ParseAppendedFooter(c.bytes.data(), c.bytes.size(), &r), c.found);
  EXPECT_EQ(r, c.found ? c.r : 12345u);  // untouched when there is no footer
}

INSTANTIATE_TEST_SUITE_P(Bytes, AppendedFooterTest, ::testing::ValuesIn(FooterCases()),
                         test::CaseName());

TEST(AppendedFooterTest, NullBytesHaveNoFooter) {
  uint64_t r = 7;
  EXPECT_FALSE(ParseAppendedFooter(nullptr, 0, &r));
  EXPECT_FALSE(ParseAppendedFooter(nullptr, 16, &r));
  EXPECT_EQ(r, 7u);
}

// A block header: magic, A, B, zero word.
Bytes Header(const char* magic, uint32_t a, uint32_t b, uint32_t zero) {
  Bytes out;
  Append(&out, magic);
  AppendLe(&out, a, 4);
  AppendLe(&out, b, 4);
  AppendLe(&out, zero, 4);
  return out;
}

struct ProbeCase {
  const char* name;
  Bytes file;
  bool block;
  uint64_t r;
  uint64_t pack_base;
};

std::vector<ProbeCase> ProbeCases() {
  const Bytes bare(100, 'E');
  return {
      {"PackBlock", Concat({bare, Header("KRER", 16, 0, 0), Bytes(40, 'K'), Footer(100)}), true,
       100, 116},
      {"PreviewAndPack",
       Concat({bare, Header("KRER", 24, 8, 0), Bytes(8, 'P'), Bytes(40, 'K'), Footer(100)}), true,
       100, 124},
      {"EmptyPackAtTheFooter", Concat({bare, Header("KRER", 16, 0, 0), Footer(100)}), true, 100,
       116},
      {"NoFooter", Concat({bare, Header("KRER", 16, 0, 0), Bytes(40, 'K')}), false, 4, 0},
      {"FooterOnly", Concat({bare, Footer(100)}), false, 100, 0},
      {"HeaderCutByTheFooter", Concat({bare, Bytes(15, 'K'), Footer(100)}), false, 100, 0},
      {"PackOffsetPastTheFooter", Concat({bare, Header("KRER", 57, 0, 0), Bytes(40, 'K'),
                                          Footer(100)}),
       false, 100, 0},
      {"PreviewPastTheFooter", Concat({bare, Header("KRER", 16, 41, 0), Bytes(40, 'K'),
                                       Footer(100)}),
       false, 100, 0},
      {"SizePastTheFile", Concat({bare, Header("KRER", 16, 0, 0), Footer(UINT64_MAX)}), false,
       UINT64_MAX, 0},
      {"FooterAlone", Footer(0), false, 0, 0},
  };
}

class AppendedProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(AppendedProbeTest, BytesInMemoryAndOnDiskAgree) {
  const ProbeCase& c = GetParam();
  AppendedData in_memory;
  ProbeAppendedBytes(c.file.data(), c.file.size(), &in_memory);
  EXPECT_EQ(in_memory.file_size, c.file.size());
  EXPECT_EQ(in_memory.block_present, c.block);
  EXPECT_EQ(in_memory.packs_inside_executable, c.block);
  EXPECT_EQ(in_memory.bare_size, c.r);
  EXPECT_EQ(in_memory.pack_base, c.pack_base);

  test::TempDir dir;
  const std::string path = dir.File("program");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(c.file.data()), static_cast<std::streamsize>(c.file.size()));
  AppendedData on_disk;
  EXPECT_EQ(ProbeAppendedData(path, &on_disk), c.file.size());
  EXPECT_EQ(on_disk.bare_size, in_memory.bare_size);
  EXPECT_EQ(on_disk.block_present, in_memory.block_present);
  EXPECT_EQ(on_disk.pack_offset, in_memory.pack_offset);
  EXPECT_EQ(on_disk.preview_size, in_memory.preview_size);
  EXPECT_EQ(on_disk.pack_base, in_memory.pack_base);
}

INSTANTIATE_TEST_SUITE_P(Files, AppendedProbeTest, ::testing::ValuesIn(ProbeCases()),
                         test::CaseName());

}  // namespace
}  // namespace korvel
