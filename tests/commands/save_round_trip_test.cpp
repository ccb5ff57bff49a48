// Variables and layers saved and loaded back, and damaged files refused with the variable or layer
// left as it was.
#include <cmath>
#include <limits>

#include "core/sjis_text.h"
#include "lib/save_file_writer.h"
#include "save_test_env.h"
#include "script/decoded_arguments.h"

namespace korvel::test {
namespace {

class SaveRoundTrip : public SaveEnv {
 protected:
  // Saves variable 1000 whole into slot 1 of game.sd and loads it into variable 1001.
  int32_t RoundTrip() {
    SaveVar(1, 1000);
    EXPECT_EQ(WriteFile(), 0);
    return Load(1, 1001);
  }
};

TEST_F(SaveRoundTrip, IntegersKeepTheirExtremes) {
  const uint32_t dims[1] = {4};
  const int64_t values[] = {std::numeric_limits<int64_t>::min(),
                            std::numeric_limits<int64_t>::max(), -1, 0};
  ASSERT_EQ(FillVarIntInit(1000, 1, dims, 0), 0);
  ASSERT_EQ(FillVarIntInit(1001, 1, dims, 5), 0);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(SetVarNumberElement(1000, i, values[i]), 0);
  ASSERT_EQ(RoundTrip(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(GetVarIntElement(1001, i), values[i]) << i;
}

TEST_F(SaveRoundTrip, DoublesKeepTheirBitPatterns) {
  const uint64_t patterns[] = {0x8000000000000000ull /* -0.0 */, 0x7FF0000000000000ull /* inf */,
                               0xFFF0000000000000ull, 0x7FF8000000000001ull /* NaN payload */,
                               0x3FF0000000000001ull};
  const uint32_t dims[1] = {5};
  ASSERT_EQ(FillVarRealInit(1000, 1, dims, 0.0), 0);
  ASSERT_EQ(FillVarRealInit(1001, 1, dims, 1.0), 0);
  VariableRecord* source = FindVariable(1000);
  ASSERT_NE(source, nullptr);
  for (int i = 0; i < 5; ++i) std::memcpy(&source->reals[i], &patterns[i], 8);
  ASSERT_EQ(RoundTrip(), 0);
  const VariableRecord* loaded = FindVariable(1001);
  ASSERT_NE(loaded, nullptr);
  for (int i = 0; i < 5; ++i) {
    uint64_t bits;
    std::memcpy(&bits, &loaded->reals[i], 8);
    EXPECT_EQ(bits, patterns[i]) << i;
  }
}

TEST_F(SaveRoundTrip, StringsOfEveryLength) {
  const uint32_t dims[1] = {4};
  const std::string texts[] = {"", std::string(4095, 'x'), Sjis("セーブデータ"), "a\\b"};
  ASSERT_EQ(FillVarStringInit(1000, 1, dims, ""), 0);
  ASSERT_EQ(FillVarStringInit(1001, 1, dims, "old"), 0);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(SetVarStringElement(1000, i, texts[i].c_str()), 0);
  ASSERT_EQ(RoundTrip(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(std::string(GetVarStringElement(1001, i)), texts[i]) << i;
}

TEST_F(SaveRoundTrip, ThreeDimensionalArrayInRowMajorOrder) {
  const uint32_t dims[3] = {2, 3, 4};
  ASSERT_EQ(FillVarIntInit(1000, 3, dims, 0), 0);
  ASSERT_EQ(FillVarIntInit(1001, 3, dims, -1), 0);
  for (int i = 0; i < 24; ++i) ASSERT_EQ(SetVarNumberElement(1000, i, i * 7), 0);
  SaveVar(1, 1000);
  // Element 0 alone into slot 2, loaded into element 23 of another variable.
  SaveVar(2, 1000, false, 5);
  ASSERT_EQ(WriteFile(), 0);
  const std::string file = ReadFile(FilePath());
  SaveEntry entry;
  ASSERT_EQ(ReadSaveEntryFromBytes({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, 1,
                                   &entry),
            SaveReadStatus::kOk);
  ASSERT_EQ(entry.raw.size(), 4u + 4 + 12 + 4 + 24 * 8);
  EXPECT_EQ(U32At(std::string(entry.raw.begin(), entry.raw.end()), 8), 2u);  // first size
  int64_t third;  // row-major: element 2 is the third value
  std::memcpy(&third, entry.raw.data() + 24 + 16, 8);
  EXPECT_EQ(third, 14);
  ASSERT_EQ(Load(1, 1001), 0);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(GetVarIntElement(1001, i), i * 7);
  ASSERT_EQ(Load(2, 1001, false, 23), 0);
  EXPECT_EQ(GetVarIntElement(1001, 23), 35);
}

struct MismatchCase {
  const char* name;
  uint8_t target_type;
  int32_t target_dim_count;
  uint32_t target_dims[2];
  bool whole;
  int32_t code;
};

TEST_F(SaveRoundTrip, ShapeAndTypeMismatchesAreRefusedAndChangeNothing) {
  const uint32_t dims[2] = {3, 4};
  ASSERT_EQ(FillVarIntInit(1000, 2, dims, 9), 0);
  SaveVar(1, 1000);
  ASSERT_EQ(WriteFile(), 0);
  const MismatchCase cases[] = {
      {"int_into_double", kVarReal, 2, {3, 4}, true, kErrLoadTypeMismatch},
      {"three_by_four_into_four_by_three", kVarInt, 2, {4, 3}, true, kErrLoadDimensionSize},
      {"into_one_dimension", kVarInt, 1, {12, 0}, true, kErrLoadDimensionCount},
      {"array_into_element", kVarInt, 2, {3, 4}, false, kErrLoadDimensionCount},
  };
  for (const MismatchCase& c : cases) {
    if (c.target_type == kVarReal) {
      ASSERT_EQ(FillVarRealInit(1001, c.target_dim_count, c.target_dims, 1.5), 0);
    } else {
      ASSERT_EQ(FillVarIntInit(1001, c.target_dim_count, c.target_dims, 1), 0);
    }
    EXPECT_EQ(Load(1, 1001, c.whole), -1) << c.name;
    EXPECT_EQ(LastCode(), c.code) << c.name;
    EXPECT_EQ(GetVarRealElement(1001, 0), c.target_type == kVarReal ? 1.5 : 1.0) << c.name;
  }
}

TEST_F(SaveRoundTrip, EmptySlotAndMissingFileAreReported) {
  const uint32_t dims[1] = {1};
  ASSERT_EQ(FillVarIntInit(1000, 0, dims, 3), 0);
  SaveVar(3, 1000);
  ASSERT_EQ(WriteFile(), 0);
  EXPECT_EQ(Load(5, 1000), 0);
  EXPECT_EQ(LastCode(), kErrLoadEmptySlot);
  EXPECT_EQ(Load(1, 1000, true, 0, "nothing"), -1);
  EXPECT_EQ(LastCode(), kErrLoadOpen);
  EXPECT_EQ(Load(1, 1000, true, 0, "GAME.SD"), 0);  // capitals are lowered
  EXPECT_EQ(LastCode(), kErrLoadEmptySlot);
  EXPECT_EQ(Load(1025, 1000), -1);
  EXPECT_EQ(LastCode(), 101000);
}

TEST_F(SaveRoundTrip, OversizedVariableIsRefusedAtSaveTime) {
  const uint32_t dims[1] = {11};
  ASSERT_EQ(FillVarStringInit(1000, 1, dims, ""), 0);
  const std::string big(4000000, 'z');
  for (int i = 0; i < 11; ++i) ASSERT_EQ(SetVarStringElement(1000, i, big.c_str()), 0);
  EXPECT_EQ(BuildVariableSaveBlock(1, *FindVariable(1000), true, 0), kSaveBlockTooLarge);
  EXPECT_EQ(g_save_blocks.sizes[0], 0u);
  EXPECT_EQ(BuildVariableSaveBlock(1, *FindVariable(1000), false, 3), 0);
}

// One mutation per row; each is refused with its error and the variable stays as it was.
struct CorruptCase {
  const char* name;
  int64_t at;        // byte offset from the block's slot word (negative: from the file start + 4112)
  uint32_t value;    // written little-endian
  size_t truncate;   // when non-zero: the file cut to this length
  int32_t code;      // reported error, or 0 for "Load Error." (a message box)
};

TEST_F(SaveRoundTrip, CorruptFilesAreRefused) {
  const uint32_t dims[1] = {2};
  ASSERT_EQ(FillVarIntInit(1000, 1, dims, 0), 0);
  ASSERT_EQ(SetVarNumberElement(1000, 1, 42), 0);
  SaveVar(1, 1000);
  ASSERT_EQ(WriteFile(), 0);
  const std::string good = ReadFile(FilePath());
  const CorruptCase cases[] = {
      {"magic", -4112, 0x21212121, 0, kErrSaveMagic},
      {"version", -4108, 313, 0, kErrSaveVersion},
      {"short_header", 0, 0, 4000, kErrSaveMagic},
      {"table_past_end", -4096, 0x00FFFFFF, 0, 0},
      {"table_inside_header", -4096, 100, 0, 0},
      {"slot_word", 0, 2, 0, 0},
      {"kind", 4, 7, 0, 0},
      {"compressed_past_end", 8, 0x00100000, 0, 0},
      {"raw_size_huge", 12, 0xFFFFFFF0, 0, 0},
      {"raw_size_short", 12, 8, 0, 0},
      {"raw_size_long", 12, 33, 0, 0},
      {"stream_damaged", 18, 0xDEADBEEF, 0, 0},
      {"block_cut", 0, 0, 4112 + 20, 0},
  };
  for (const CorruptCase& c : cases) {
    std::string bad = good;
    if (c.truncate != 0) {
      bad.resize(c.truncate);
    } else {
      std::memcpy(bad.data() + 4112 + c.at, &c.value, 4);
    }
    dir_.Write("save/game.sd", bad);
    ASSERT_EQ(FillVarIntInit(1001, 1, dims, 5), 0);
    const uint32_t reports = Reports();
    if (c.code == 0) QueueOk();
    EXPECT_EQ(Load(1, 1001), -1) << c.name;
    if (c.code != 0) {
      EXPECT_EQ(LastCode(), c.code) << c.name;
    } else {
      EXPECT_EQ(Reports(), reports) << c.name;
      EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u) << c.name << ": no message box";
    }
    EXPECT_EQ(GetVarIntElement(1001, 0), 5) << c.name;
    EXPECT_EQ(GetVarIntElement(1001, 1), 5) << c.name;
  }
}

// Damaged variable payloads (inside a whole zlib stream) are refused before anything changes.
TEST_F(SaveRoundTrip, DamagedPayloadsAreRefused) {
  const uint32_t dims[1] = {2};
  ASSERT_EQ(FillVarStringInit(1000, 1, dims, "ab"), 0);
  std::vector<uint8_t> raw;
  ASSERT_EQ(EncodeVariablePayload(*FindVariable(1000), true, 0, &raw), 0);
  ASSERT_EQ(FillVarStringInit(1001, 1, dims, "keep"), 0);
  struct Row {
    const char* name;
    size_t at;
    uint32_t value;
    int32_t code;
  };
  const Row rows[] = {
      {"type_outside", 0, 9, 900000},     {"dimension_count_9", 4, 9, 900000},
      {"data_length_past", 12, 99, 900000}, {"data_length_huge", 12, 40000001, kErrSaveDataTooLarge},
      {"string_length_past", 16, 50, 900000}, {"second_length_short", 22, 1, 900000},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> bad = raw;
    std::memcpy(bad.data() + r.at, &r.value, 4);
    DecodedVariable decoded;
    EXPECT_EQ(DecodeVariablePayload(bad, 1001, true, 0, &decoded), r.code) << r.name;
  }
  EXPECT_STREQ(GetVarStringElement(1001, 1), "keep");
}

struct LayerCase {
  const char* name;
  int32_t width, height;
  bool alpha;
};

TEST_F(SaveRoundTrip, LayersComeBackWithTheirPixelsAndSettings) {
  const LayerCase cases[] = {
      {"one_by_one", 1, 1, false}, {"three_by_two_alpha", 3, 2, true}, {"wide", 8192, 1, false}};
  uint32_t slot = 1;
  for (const LayerCase& c : cases) {
    LayerData* saved = MakeImage("S", 2, 3, c.width, c.height, 10, 0, c.alpha);
    ASSERT_NE(saved, nullptr) << c.name;
    for (int64_t i = 0; i < int64_t{c.width} * c.height; ++i) {
      const uint32_t p = static_cast<uint32_t>(i * 2654435761u);
      std::memcpy(saved->pixels + i * 4, &p, 4);
    }
    saved->opacity = 100;
    saved->blend_mode = 3;
    const std::vector<uint8_t> pixels = Pixels(saved);
    SaveLayer(slot, saved);
    ASSERT_EQ(WriteFile(), 0);
    MakeImage("T", 0, 0, 5, 5, 20, 0x11111111);
    ASSERT_EQ(LoadLayer(slot, Node("T")), 0) << c.name;
    LayerData* loaded = Layer("T");
    ASSERT_NE(loaded, nullptr) << c.name;
    EXPECT_EQ(loaded->width, c.width) << c.name;
    EXPECT_EQ(loaded->height, c.height) << c.name;
    EXPECT_EQ(loaded->x, 2) << c.name;
    EXPECT_EQ(loaded->has_alpha, c.alpha ? 1 : 0) << c.name;
    EXPECT_EQ(loaded->opacity, 100) << c.name;
    EXPECT_EQ(loaded->blend_mode, 3) << c.name;
    EXPECT_EQ(Pixels(loaded), pixels) << c.name;
    const NamedTreeNode* node = Node("T");
    ASSERT_NE(node, nullptr) << c.name;
    EXPECT_EQ(node->order_key, 1) << c.name;
    ++slot;
  }
}

TEST_F(SaveRoundTrip, LoadIntoTheWindowRootKeepsItsNodeAndChildren) {
  LayerData* saved = MakeImage("S", 0, 0, 4, 4, 10, 0xFF00FF00);
  SaveLayer(1, saved);
  ASSERT_EQ(WriteFile(), 0);
  NamedTreeNode* root = W0();
  const uint32_t children = root->child_count;
  ASSERT_EQ(LoadLayer(1, root), 0);
  EXPECT_EQ(W0(), root);
  EXPECT_EQ(root->child_count, children);
  EXPECT_EQ(LayerOf(root)->is_window_root, 1);
  EXPECT_EQ(LayerOf(root)->width, 4);
  EXPECT_EQ(PixelAt(LayerOf(root), 3, 3), 0xFF00FF00u);
  Frame();  // the tree still composes
}

TEST_F(SaveRoundTrip, LoadIntoTheMessageTargetKeepsTheMark) {
  LayerData* saved = MakeImage("S", 0, 0, 2, 2, 10, 0x01020304);
  SaveLayer(1, saved);
  ASSERT_EQ(WriteFile(), 0);
  MakeImage("M", 0, 0, 8, 8, 20, 0);
  SetMessageTargetLayer(Node("M"));
  ASSERT_EQ(LoadLayer(1, Node("M")), 0);
  EXPECT_EQ(g_layer_state.message_target, Node("M"));
  EXPECT_EQ(Layer("M")->is_message_target, 1);
  EXPECT_EQ(Layer("M")->width, 2);
  SetMessageTargetLayer(nullptr);
}

TEST_F(SaveRoundTrip, SharedRecordIsUntouchedAndEntryKindsAreChecked) {
  LayerData* saved = MakeImage("S", 0, 0, 2, 2, 10, 0x01020304);
  SaveLayer(1, saved);
  const uint32_t dims[1] = {1};
  ASSERT_EQ(FillVarIntInit(1000, 0, dims, 3), 0);
  SaveVar(2, 1000);
  ASSERT_EQ(WriteFile(), 0);
  MakeImage("A", 0, 0, 3, 3, 20, 0x0A0A0A0A);
  LayerCommandArgs share;
  share.Text(kLayerPath, "B").Text(kLayerShare, "A").Set(kLayerOrder, 30);
  ASSERT_EQ(ApplyLayerCommand(share), 0);
  ASSERT_EQ(Layer("A"), Layer("B"));
  ASSERT_EQ(LoadLayer(1, Node("B")), 0);
  EXPECT_EQ(Layer("A")->width, 3);
  EXPECT_EQ(PixelAt(Layer("A"), 2, 2), 0x0A0A0A0Au);
  EXPECT_EQ(Layer("A")->reference_count, 1u);
  EXPECT_EQ(Layer("B")->width, 2);
  EXPECT_EQ(LoadLayer(2, Node("A")), -1);
  EXPECT_EQ(LastCode(), kErrLoadVariableIntoLayer);
  EXPECT_EQ(Load(1, 1000), -1);
  EXPECT_EQ(LastCode(), kErrLoadLayerIntoVariable);
}

// The handlers, with the decoded arguments set as the decoder would leave them.
class SaveCommandArgs : public SaveRoundTrip {
 protected:
  static void Args(int64_t slot, const char* name = nullptr) {
    ClearDecodedArguments();
    g_args.presence[1] = 1;
    g_args.at[1].value = slot;
    g_args.presence[2] = 2;
    g_args.at[2].var_number = 1000;
    g_args.at[2].whole = 1;
    g_args.count = 2;
    if (name != nullptr) {
      g_args.presence[0] = 3;
      g_args.at[3].text = const_cast<char*>(name);
      g_args.count = 3;
    }
  }
  void SetUp() override {
    SaveRoundTrip::SetUp();
    saved_decoder_ = g_argument_decoder;
    g_argument_decoder = [](int32_t) { return 0; };  // the arguments are set by the test
  }
  void TearDown() override {
    g_argument_decoder = saved_decoder_;
    ClearDecodedArguments();
    SaveRoundTrip::TearDown();
  }
  ArgumentDecoder saved_decoder_ = nullptr;
};

TEST_F(SaveCommandArgs, PendingSlotTwiceIsRefusedAndCommandSeventyClears) {
  const uint32_t dims[1] = {1};
  ASSERT_EQ(FillVarIntInit(1000, 0, dims, 3), 0);
  Args(4);
  EXPECT_EQ(RunSaveCommand(), 0);
  EXPECT_NE(g_save_blocks.sizes[3], 0u);
  EXPECT_EQ(RunSaveCommand(), -1);
  EXPECT_EQ(LastCode(), kErrSaveSlotPending);
  for (int64_t slot : {int64_t{0}, int64_t{1025}, int64_t{-1}}) {
    Args(slot);
    EXPECT_EQ(RunSaveCommand(), -1) << slot;
    EXPECT_EQ(LastCode(), 101000) << slot;
  }
  // A name no file may have keeps the pending block.
  char colon[] = "a:b";
  Args(5, colon);
  EXPECT_EQ(RunSaveCommand(), -1);
  EXPECT_EQ(LastCode(), kErrSaveOpen);
  EXPECT_NE(g_save_blocks.sizes[3], 0u);
  ClearDecodedArguments();
  EXPECT_EQ(RunSaveClearCommand(), 0);
  EXPECT_EQ(g_save_blocks.sizes[3], 0u);
  // Written through the handler and read back.
  char name[] = "Cmd";
  Args(6, name);
  ASSERT_EQ(RunSaveCommand(), 0);
  EXPECT_EQ(g_save_blocks.sizes[5], 0u);
  EXPECT_EQ(Load(6, 1000, true, 0, "cmd.sd"), 0);
}

// A layer without pixels saves zero bytes; a stored layer that does not fit its sizes, or is too
// wide, is refused and the target keeps its record.
TEST_F(SaveRoundTrip, LayerEntriesAreCheckedBeforeTheLayerChanges) {
  LayerData bare{};
  bare.width = 2;
  bare.height = 3;
  SaveLayer(1, &bare);
  const std::vector<uint8_t> few(15, 9);
  const std::vector<uint8_t> wide(size_t{8193} * 4, 1);
  ASSERT_EQ(WriteFile(), 0);
  const std::vector<uint8_t> bad = tools::WriteSaveFileBytes(
      {{1, 1, tools::LayerRaw(2, 2, few)}, {2, 1, tools::LayerRaw(8193, 1, wide)}});
  dir_.Write("save/bad.sd", std::string(bad.begin(), bad.end()));
  LayerData* target = MakeImage("T", 0, 0, 5, 5, 20, 0x11111111);
  ASSERT_EQ(LoadLayer(1, Node("T")), 0);
  EXPECT_EQ(Pixels(Layer("T")), std::vector<uint8_t>(24, 0));
  target = MakeImage("T", 0, 0, 5, 5, 20, 0x22222222);
  const std::vector<uint8_t> before = Pixels(target);
  QueueOk();
  EXPECT_EQ(LoadLayer(1, Node("T"), "bad"), -1);
  EXPECT_EQ(Layer("T"), target);
  QueueOk();
  EXPECT_EQ(LoadLayer(2, Node("T"), "bad"), -1);
  EXPECT_EQ(LastCode(), 100010);
  EXPECT_EQ(Layer("T"), target);
  EXPECT_EQ(Pixels(target), before);
}

}  // namespace
}  // namespace korvel::test
