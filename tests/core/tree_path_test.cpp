// Path normalisation against a base path: absolute and relative names, "." and "..", group paths,
// spaces, double-byte characters whose second byte is '/', and buffer limits.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/named_tree.h"
#include "engine_fixture.h"
#include "platform/platform.h"

namespace korvel {
namespace {

class TreePathTest : public test::HeadlessEngine {
 protected:

  // Normalises into an exactly sized heap buffer, so ASan sees any write past it.
  int32_t Normalize(const std::string& name, const std::string& base, bool allow_spaces,
                    std::string* out) {
    auto buffer = std::make_unique<char[]>(kObjectPathCapacity);
    const int32_t result =
        NormalizeObjectPath(buffer.get(), kObjectPathCapacity, name, base, allow_spaces);
    *out = buffer.get();
    return result;
  }
};

struct PathCase {
  const char* name;
  const char* base;
  bool allow_spaces;
  const char* expected;
  int32_t result;
  int32_t error;  // expected report, 0 for none
};

TEST_F(TreePathTest, NormalisesAgainstTheBase) {
  const PathCase cases[] = {
      {"x", "W0", false, "W0/x", 0, 0},
      {"x", "", false, "x", 0, 0},
      {":a/b", "W0", false, "a/b", 0, 0},
      {":/a/b", "W0", false, "a/b", 0, 0},
      {"/a/b", "W0", false, "W0/a/b", 0, 0},
      {"x/../y", "W0", false, "W0/y", 0, 0},
      {"./x", "W0", false, "W0/x", 0, 0},
      {"a/", "W0", false, "W0/a", 1, 0},
      {"a//../b", "W0", false, "W0/b", 0, 0},
      {"../../x", "W0", false, "x", 0, 0},
      {"x/..", "W0", false, "W0/x/..", 0, 0},
      {"x/.", "W0", false, "W0/x/.", 0, 0},
      {"a/./b/", "W0", false, "W0/a/b", 1, 0},
      {":", "W0", false, "", 0, 0},
      {"..", "W0", false, "W0/..", 0, 0},
      // A run of '/' in front of a removed segment stays.
      {"/a//b/../c", "W0", false, "W0/a//c", 0, 0},
      // The plain-name path takes the name as it stands, spaces included.
      {"a b", "W0", false, "W0/a b", 0, 0},
      {"./a b", "W0", true, "W0/a b", 0, 0},
      {"./a b", "W0", false, "", -1, 100242},
      {":x y/z", "", false, "", -1, 100242},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("name '") + c.name + "' base '" + c.base + "'");
    const uint32_t reports_before = LastErrorReport().count;
    std::string out;
    EXPECT_EQ(Normalize(c.name, c.base, c.allow_spaces, &out), c.result);
    if (c.result >= 0) {
      EXPECT_EQ(out, c.expected);
    }
    if (c.error != 0) {
      EXPECT_EQ(LastErrorReport().code, c.error);
      EXPECT_TRUE(QuitRequested());
      InitEngineState();
    } else {
      EXPECT_EQ(LastErrorReport().count, reports_before);
    }
  }
}

TEST_F(TreePathTest, SecondByteSlashIsPartOfTheCharacter) {
  // 0x81 0x2F is one character: not a separator, so the plain-name path applies and the result is
  // not a group path.
  std::string out;
  EXPECT_EQ(Normalize("\x81/", "W0", false, &out), 0);
  EXPECT_EQ(out, "W0/\x81/");
  EXPECT_EQ(Normalize("./\x81/x", "W0", false, &out), 0);
  EXPECT_EQ(out, "W0/\x81/x");
  // A trail byte equal to '.' or ' ' counts as neither.
  EXPECT_EQ(Normalize("a/\x81.\x81 /..", "W0", false, &out), 0);
  EXPECT_EQ(out, "W0/a/\x81.\x81 /..");
  EXPECT_EQ(Normalize("\x81/../y/", "W0", false, &out), 1);
  EXPECT_EQ(out, "W0/\x81/../y");
}

TEST_F(TreePathTest, NameEndingInLeadByteIsReadWithinItsLength) {
  // The name sits in a heap block of exactly its length, with no NUL behind it.
  for (const std::string text : {"a/\x81", "\x81", "./b\x9f"}) {
    SCOPED_TRACE(text);
    std::vector<char> block(text.begin(), text.end());
    auto buffer = std::make_unique<char[]>(kObjectPathCapacity);
    const int32_t result = NormalizeObjectPath(buffer.get(), kObjectPathCapacity,
                                               std::string_view(block.data(), block.size()), "W0",
                                               false);
    EXPECT_EQ(result, 0);
    std::string expected = "W0/" + (text.rfind("./", 0) == 0 ? text.substr(2) : text);
    EXPECT_EQ(std::string(buffer.get()), expected);
  }
}

TEST_F(TreePathTest, LongestNamesFitAndLongerOnesAreRefused) {
  const std::string base(kBasePathCapacity - 1, 'b');
  std::string longest(kMaxObjectNameLength, 'n');
  longest[10] = '/';
  std::string out;
  EXPECT_EQ(Normalize(longest, base, false, &out), 0);
  EXPECT_EQ(out.size(), base.size() + 1 + longest.size());

  EXPECT_EQ(Normalize(longest + "n", base, false, &out), -1);
  EXPECT_EQ(LastErrorReport().code, 900020);

  // A buffer too small for this name and base is refused rather than overrun.
  InitEngineState();
  char small[8];
  EXPECT_EQ(NormalizeObjectPath(small, sizeof(small), "abcdef", "W0", false), -1);
  EXPECT_EQ(NormalizeObjectPath(nullptr, 0, "x", "W0", false), -1);
  EXPECT_EQ(LastErrorReport().code, 900020);
}

}  // namespace
}  // namespace korvel
