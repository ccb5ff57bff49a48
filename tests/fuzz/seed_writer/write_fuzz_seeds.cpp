// Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/seed_*) with the format
// writers of tools/ and the engine's own encoders, and from the sound test files; with --check, compares the committed seeds with
// what the writers make today instead, so a format change cannot leave stale seeds behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/named_tree.h"
#include "script/task_payload.h"
#include "layer/layer_block_codec.h"
#include "layer/layer_data.h"
#include "lib/error_text_list.h"
#include "lib/command_schema.h"
#include "lib/expression_builder.h"
#include "lib/krbin_writer.h"
#include "lib/multi_frame_writer.h"
#include "lib/pack_writer.h"
#include "lib/save_file_writer.h"
#include "script/position_code.h"
#include "script/script_data.h"
#include "script/script_task.h"
#include "script/script_tasks.h"

namespace {

using namespace korvel;
using namespace korvel::tools;
using Bytes = std::vector<uint8_t>;
// Target -> seed file name -> bytes.
using Seeds = std::map<std::string, std::map<std::string, Bytes>>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

void PutU32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AddCompiledFiles(Seeds* seeds) {
  auto& kre = (*seeds)["compiled_error_texts"];
  kre["seed_default.kbn"] = WriteErrorTextFile(DefaultErrorTexts());
  kre["seed_placeholders.kbn"] = WriteErrorTextFile({
      {900001, "%d %s %x %c %%"}, {900002, "%5.2s|%-8d|%08X|%u"}, {900003, "%ld %lld %I64d %"},
      {900004, "\x82\xa0\x82\xa2 %s"}, {900001, "second text of a code"}});

  auto& krc = (*seeds)["compiled_command_file"];
  krc["seed_schema.kbn"] = WriteCommandFile(CommandSchema());
  krc["seed_small.kbn"] = WriteCommandFile(
      {{"QUIT", {}}, {"WAIT", {{"time", 0, 0}, {"mode", 0, 2}}}, {"TEXT", {{"s", 1, 0}, {"r", 2, 0}}}},
      {"error zero", "error one"}, Bytes(256, 7));

  auto& krt = (*seeds)["compiled_variable_table"];
  krt["seed_999.kbn"] = WriteVariableTableFile(999);
  krt["seed_65535.kbn"] = WriteVariableTableFile(65535, 0x1234);
  krt["seed_old_format.kbn"] = WriteVariableTableFile(999, 0, 477);

  auto& list = (*seeds)["compiled_script_list"];
  list["seed_three.kbn"] = WriteScriptListFile(
      {{0, "main.kas", 1}, {1, "sub\\b.kas", 2}, {2, "\x93\xfa\x96\x7b.kas", 0xFFFFFFFFu}});
  list["seed_reversed.kbn"] = WriteScriptListFile({{1, "b.kas", 0}, {0, "a.kas", 0}});

  auto& krv = (*seeds)["compiled_declarations"];
  ExprBuilder text;
  text.Text("start").Int(5).ToText().Binary('+');
  krv["seed_kinds.kbn"] = WriteDeclarationFile({
      {1, 0, 10, 1, {}, -5},
      {1, 0, 11, 2, {3, 4}, 0, 2.5},
      {1, 0, 12, 3, {2}, 0, 0.0, text.code},
      {2, 1, 13, 1, {2, 2, 2}, 7},
      {2, 2, 14, 3, {}, 0, 0.0, ExprBuilder().Text("x").code},
  });
  krv["seed_empty.kbn"] = WriteDeclarationFile({});

  auto& krl = (*seeds)["compiled_label_table"];
  krl["seed_labels.kbn"] = WriteLabelFile({{"SYSTEM_START", 0, 0, 0, 0},
                                           {"loop", 5, 1, 1, 1},
                                           {"\x83\x89\x83\x78\x83\x8b", 9, 2, 2, 0},
                                           {std::string(255, 'L'), 1, 3, 0, 0}});
  krl["seed_one.kbn"] = WriteLabelFile({{"SYSTEM_START", 0, 0, 0, 0}});

  auto& cfg = (*seeds)["compiled_project_config"];
  cfg["seed_default.kbn"] = WriteProjectConfigFile(ProjectConfigSpec{});
  ProjectConfigSpec desktop;
  desktop.width = 0;
  desktop.height = 0;
  desktop.threaded = 1;
  desktop.title = "\x83\x51\x81\x5b\x83\x80";
  cfg["seed_desktop_size.kbn"] = WriteProjectConfigFile(desktop);
  ProjectConfigSpec long_title;
  long_title.width = 8192;
  long_title.height = 16;
  long_title.title = std::string(128, 'T');
  cfg["seed_long_title.kbn"] = WriteProjectConfigFile(long_title);
}

// Position codes of tasks in a game of three script files, by the engine's encoder.
void AddPositionCodes(Seeds* seeds) {
  InitScriptData();
  g_script.script_count = 3;
  g_script.scenes.resize(3);
  g_script.script_paths = {"main.kas", "SUB\\b.kas", std::string(300, 'x') + ".kas"};
  auto& out = (*seeds)["task_position_code"];
  auto encode = [](const ScriptTask* task) {
    std::vector<char> buffer(kMaxPositionCodeLength + 512);
    const int32_t n = EncodeTaskPositionCode(buffer.data(), buffer.size(), task);
    return n > 0 ? Bytes(buffer.begin(), buffer.begin() + n) : Bytes();
  };
  NamedTreeNode* node = AllocTreeNode("seed", false);
  ScriptTask* task = CreateScriptTask(node);
  out["seed_empty.txt"] = encode(task);

  task->script_number = 1;
  task->command_index = 42;
  task->block_depth = 2;
  task->block_loop_depth[1] = 1;
  task->block_open_index[0] = 3;
  task->block_end_target[0] = 20;
  task->block_open_index[1] = 9;
  task->block_end_target[1] = 15;
  task->call_depth = 1;
  CallFrame* frame = EnsureCallFrame(task, 0);
  frame->block_depth = 1;
  frame->loop_depth = 1;
  frame->return_index = 7;
  frame->caller_script = 0;
  task->loop_depth = 1;
  task->loop_block_depth[0] = 2;
  task->loop_start_index[0] = 4;
  task->loop_end_index[0] = 30;
  task->loop_counter[0] = 3;
  task->loop_count[0] = -1;
  task->message_position[0] = 0xDEADBEEF;
  out["seed_stacks.txt"] = encode(task);

  task->script_number = 2;  // the long path
  task->call_depth = 0;
  out["seed_long_path.txt"] = encode(task);
  DestroyTreeNode(node, FreeTaskPayload);
  ShutdownScriptData();
}

void AddSettingsFiles(Seeds* seeds) {
  auto& out = (*seeds)["settings_files"];
  Bytes fields;
  // Every field at a value inside its table, field 21 (the save folder) at 2.
  const uint32_t values[32] = {1, 0, 1, 1, 0, 1, 0, 2, 3, 1, 1, 0, 0, 21, 0, 0,
                               0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (uint32_t v : values) PutU32(&fields, v);
  out["seed_fields.dat"] = fields;
  Bytes outside;
  for (uint32_t i = 0; i < 32; ++i) PutU32(&outside, i == 21 ? 3 : 0xFFFFFFF0u + i);
  out["seed_out_of_range.dat"] = outside;
  out["seed_short.dat"] = Bytes(fields.begin(), fields.begin() + 30);
}

void AddAppendedData(Seeds* seeds) {
  auto& out = (*seeds)["appended_footer"];
  const Bytes program = Text("\x7f" "ELF a program of a few bytes");
  std::vector<uint8_t> pack;
  std::string error;
  if (!BuildPack({{"a.txt", Text("hello")}}, PackWriterOptions{}, &pack, &error)) {
    std::fprintf(stderr, "write_fuzz_seeds: %s\n", error.c_str());
    std::exit(1);
  }
  out["seed_appended_pack"] = AppendPackToExecutable(program, pack);
  out["seed_empty_pack"] = AppendPackToExecutable(program, {});
  out["seed_bare_program"] = program;
}

void AddLayerBlocks(Seeds* seeds) {
  auto& out = (*seeds)["layer_block"];
  LayerData layer{};
  layer.width = 64;
  layer.height = 48;
  layer.x = -10;
  layer.y = 20;
  layer.opacity = 256;
  layer.mask_level = 256;
  layer.visible = 1;
  layer.blend_mode = 3;
  layer.value_slot23 = 128;
  layer.colour_slot24 = 0x808080;
  Bytes block(kLayerBlockSize);
  EncodeLayerBlock(layer, block.data());
  out["seed_layer.bin"] = block;
  layer.width = 8192;
  layer.height = 1;
  layer.opacity = 0;
  layer.blend_mode = 18;
  EncodeLayerBlock(layer, block.data());
  out["seed_wide_layer.bin"] = block;
}

void AddSaveFiles(Seeds* seeds) {
  auto& saves = (*seeds)["save_file"];
  saves["seed_variables.sd"] = WriteSaveFileBytes(
      {{1, 0, IntVariableRaw({4}, {1, -2, INT64_MIN, INT64_MAX})},
       {3, 0, StringVariableRaw({4}, {"", "a", "\x83\x5c", "text"})},
       {2, 0, IntVariableRaw({}, {42})}});
  Bytes pixels(3 * 2 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37);
  saves["seed_layer.sd"] = WriteSaveFileBytes({{1, 1, LayerRaw(3, 2, pixels)}});
  saves["seed_empty.sd"] = WriteSaveFileBytes({});
}

void AddHeadlessFiles(Seeds* seeds) {
  (*seeds)["headless_input"]["seed_events.txt"] = Text(
      "# every event once\n"
      "0 key down 13\n0 key up 0x0D\n1 mouse move 10 20\n1 mouse down left\n1 mouse up left\n"
      "2 mouse down right\r\n2 mouse up middle\n2 wheel -120\n3 focus lost\n3 focus gained\n"
      "4 drop /tmp/a.png \"/tmp/with space.txt\" \"q\\\"uote\"\n"
      "5 joy 0 axis 1 -32768\n5 joy 0 button 31 down\n5 joy 3 added\n6 joy 3 removed\n"
      "7 minimize\n7 restore\n7 maximize\n8 close\n");
  (*seeds)["headless_input"]["seed_out_of_order.txt"] =
      Text("9 key down 65\n1 key down 66\n   \n\t# comment\n1 key up 66\n");
  (*seeds)["headless_answers"]["seed_answers.txt"] =
      Text("6\n7\n# comment\ntext:\xe3\x81\x82 answer\nmenu: 12\n1033\n1034\n2\n0x1\n");
  (*seeds)["headless_answers"]["seed_kinds.txt"] = Text("text:\nmenu:0\n-1\r\n");
}

void AddMultiFrameFiles(Seeds* seeds) {
  // Small frames: a colour gradient and a grey ramp as its alpha.
  Bytes pixels(12 * 8 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 5);
  const Bytes colour = EncodeJpeg(pixels.data(), 12, 8, false, 75);
  const Bytes alpha = EncodeJpeg(pixels.data(), 12, 8, true, 75);
  auto& files = (*seeds)["multi_frame_file"];
  files["seed_alpha.kmf"] = WriteMultiFrameFile({{colour, alpha}, {colour, {}}}, {1, 1, 2, 3});
  files["seed_opaque.kmf"] = WriteMultiFrameFile({{colour, {}}}, {0, 0, 0, 0});
  files["seed_empty.kmf"] = WriteMultiFrameFile({}, {0, 7, 8, 9});
}

// A mono MS ADPCM file of one block whose single coefficient pair and history samples are all
// -32768: the predictor's sum reaches 2^31.
Bytes MsAdpcmAtItsLimits() {
  Bytes fmt = {2, 0, 1, 0};           // MS ADPCM, mono
  PutU32(&fmt, 8000);                 // rate
  PutU32(&fmt, 4000);                 // bytes per second
  const uint8_t rest[] = {9, 0, 4, 0,  // block align, bits
                          8, 0, 5, 0,  // extra bytes, samples per block
                          1, 0, 0, 0x80, 0, 0x80};  // one pair: -32768, -32768
  fmt.insert(fmt.end(), std::begin(rest), std::end(rest));
  const uint8_t block[] = {0, 16, 0, 0, 0x80, 0, 0x80, 0x12, 0x9F};
  Bytes out = Text("RIFF");
  PutU32(&out, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + sizeof block + 1));
  for (const char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  PutU32(&out, static_cast<uint32_t>(fmt.size()));
  out.insert(out.end(), fmt.begin(), fmt.end());
  for (const char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  PutU32(&out, sizeof block);
  out.insert(out.end(), std::begin(block), std::end(block));
  out.push_back(0);  // the odd-sized chunk's pad byte
  return out;
}

// The WAV and Ogg Vorbis targets start from the sound decoders' test files (one of each format)
// and the MS ADPCM file at its limits. False when a test file cannot be read.
bool AddSoundFiles(Seeds* seeds) {
  const std::string folder = KORVEL_SOUND_FIXTURES;
  const struct {
    const char* target;
    const char* file;
  } files[] = {
      {"wav_walker", "ms_adpcm_mono.wav"},  {"wav_walker", "ms_adpcm_stereo.wav"},
      {"wav_walker", "ima_adpcm_mono.wav"}, {"wav_walker", "ima_adpcm_stereo.wav"},
      {"wav_walker", "alaw.wav"},           {"wav_walker", "ulaw.wav"},
      {"wav_walker", "float32.wav"},        {"wav_walker", "pcm24.wav"},
      {"ogg_loader", "mono22050.ogg"},      {"ogg_loader", "stereo44100.ogg"},
      {"ogg_loader", "one_sample.ogg"},     {"ogg_loader", "chained.ogg"},
  };
  for (const auto& f : files) {
    Bytes bytes;
    std::string error;
    if (!ReadWholeFileBytes(folder + "/" + f.file, &bytes, &error)) {
      std::fprintf(stderr, "write_fuzz_seeds: %s\n", error.c_str());
      return false;
    }
    (*seeds)[f.target][std::string("seed_") + f.file] = std::move(bytes);
  }
  (*seeds)["wav_walker"]["seed_ms_adpcm_limits.wav"] = MsAdpcmAtItsLimits();
  return true;
}

}  // namespace

void AddRegistryFiles(Seeds* seeds) {
  auto& out = (*seeds)["registry_file"];
  out["seed_values.reg"] = Text(
      "\xEF\xBB\xBFREGEDIT4\r\n\r\n; comment\r\n[HKEY_CURRENT_USER\\Software\\Maker]\r\n"
      "\"Name\"=\"a \\\"b\\\" c:\\\\d\"\r\n@=\"default\"\r\n\"Level\"=dword:0000002a\r\n"
      "\"Bytes\"=hex:41,42,\\\r\n  43,00\r\n\"Expand\"=hex(2):25,00\r\n"
      "\"Japanese\"=\"\xE6\x97\xA5\xE6\x9C\xAC\"\r\n[-HKEY_CURRENT_USER\\Software\\Gone]\r\n");
  out["seed_damaged.reg"] = Text(
      "Windows Registry Editor Version 5.00\n[HKEY_USERS\\x\\]\n\"a\"=dword:123456789\n"
      "\"b\"=\"unclosed\n\"c\"=hex(zz):00\n\"d\"=hex:0g\n[\n\"e\"=-\n@=\"\\\n");
}

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (!check && argc != 2) {
    std::fprintf(stderr, "usage: write_fuzz_seeds [--check] CORPUS_FOLDER\n");
    return 2;
  }
  const std::filesystem::path root = argv[argc - 1];
  Seeds seeds;
  AddCompiledFiles(&seeds);
  AddPositionCodes(&seeds);
  AddSettingsFiles(&seeds);
  AddAppendedData(&seeds);
  AddLayerBlocks(&seeds);
  AddHeadlessFiles(&seeds);
  AddSaveFiles(&seeds);
  AddRegistryFiles(&seeds);
  AddMultiFrameFiles(&seeds);
  if (!AddSoundFiles(&seeds)) return 1;
  int stale = 0;
  for (const auto& [target, files] : seeds) {
    for (const auto& [name, bytes] : files) {
      if (bytes.empty()) {
        std::fprintf(stderr, "write_fuzz_seeds: %s/%s came out empty\n", target.c_str(),
                     name.c_str());
        return 1;
      }
      const std::string path = (root / target / name).string();
      std::string error;
      if (check) {
        Bytes committed;
        if (!ReadWholeFileBytes(path, &committed, &error) || committed != bytes) {
          std::fprintf(stderr, "write_fuzz_seeds: %s differs from what the writers make\n",
                       path.c_str());
          ++stale;
        }
        continue;
      }
      std::filesystem::create_directories(root / target);
      if (!WriteWholeFileBytes(path, bytes, 0644, &error)) {
        std::fprintf(stderr, "write_fuzz_seeds: %s\n", error.c_str());
        return 1;
      }
    }
  }
  if (stale != 0) {
    std::fprintf(stderr, "write_fuzz_seeds: run it without --check to write the seeds again\n");
    return 1;
  }
  return 0;
}
