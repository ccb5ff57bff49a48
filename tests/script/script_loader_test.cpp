// Loading a compiled game: the shared files, the task SYSTEM at "SYSTEM_START", script files with
// their structural checks and label binding, declarations and the project configuration.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/display_state.h"
#include "core/murmur_hash.h"
#include "core/named_tree.h"
#include "core/project_config.h"
#include "lib/assembler.h"
#include "lib/krbin_writer.h"
#include "script/project_config_file.h"
#include "script/scene_file.h"
#include "script/script_task.h"
#include "script_test_env.h"

namespace korvel {
namespace {

using test::MemoryFiles;

class ScriptLoaderTest : public test::ScriptEnv {
 protected:
  void SetUp() override {
    ScriptEnv::SetUp();
    CreateTrees();
  }
  static tools::CompiledGame Assembled(const std::string& main, const std::string& other = "") {
    tools::CompiledGame game;
    std::vector<tools::AssemblerSource> sources{{"a.kas", main}};
    if (!other.empty()) sources.push_back({"b.kas", other});
    std::string error;
    EXPECT_TRUE(tools::Assemble(sources, &game, &error)) << error;
    return game;
  }
  static ScriptTask* SystemTask() {
    NamedTreeNode* node = FindObjectByPath(g_task_tree.root, "SYSTEM", kFindLeaf);
    return node != nullptr ? static_cast<ScriptTask*>(node->payload) : nullptr;
  }
};

TEST_F(ScriptLoaderTest, SmallestGameLoadsAndPlacesSystem) {
  Install(tools::SmallestGame());
  ASSERT_EQ(LoadScriptData(), 0);
  EXPECT_EQ(ReportCount(), 0u);
  ScriptTask* task = SystemTask();
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->script_number, 0);
  EXPECT_EQ(task->command_index, 0u);
  const SceneScript* scene = FindLoadedScene(0);
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(task->command_tables, static_cast<const void*>(scene->tables));
  EXPECT_EQ(scene->command_count, 4u);
  EXPECT_EQ(scene->lines[2], 3u);
  EXPECT_EQ(scene->tables[1][2], g_command_handlers.slots[87]);
  EXPECT_STREQ(CommandName(85), "VARCONV");
}

TEST_F(ScriptLoaderTest, SystemStartInAnotherFileWithDepths) {
  Install(Assembled(".script 0\nlabel FIRST\n",
                    ".script 1\nloop -1\n  if 1\n    label SYSTEM_START\n  end\nend\n"));
  ASSERT_EQ(LoadScriptData(), 0);
  const ScriptTask* task = SystemTask();
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->script_number, 1);
  EXPECT_EQ(task->command_index, 2u);
  EXPECT_EQ(task->block_depth, 1);
  EXPECT_EQ(task->loop_depth, 1);
  EXPECT_EQ(FindLoadedScene(0), nullptr);  // loaded on first entry only
}

TEST_F(ScriptLoaderTest, MissingPiecesAreClearErrors) {
  Install(Assembled("label ELSEWHERE\n"));
  EXPECT_EQ(LoadScriptData(), 1);
  EXPECT_EQ(LastCode(), 108180);

  Install(tools::SmallestGame());
  MemoryFiles().erase("krt00000.kbn");
  ResetReports();
  EXPECT_EQ(LoadScriptData(), 1);
  EXPECT_EQ(LastCode(), 104060);

  for (const char* file : {"kre.kbn", "krc.kbn", "krt.kbn", "krt_list.kbn", "krv.kbn", "krl.kbn"}) {
    Install(tools::SmallestGame());
    MemoryFiles().erase(file);
    ResetReports();
    EXPECT_EQ(LoadScriptData(), 1) << file;
    EXPECT_EQ(LastCode(), 104060) << file;
  }
}

TEST_F(ScriptLoaderTest, LabelsAndBinding) {
  Install(Assembled(
      ".global string name = \"TARGET\"\n"
      "label SYSTEM_START\n"
      "jump TARGET\n"
      "jump ( $name )\n"
      "call TARGET\n"
      "call ( $name )\n"
      "label TARGET\n"));
  ASSERT_EQ(LoadScriptData(), 0);
  const int32_t target = FindLabelIndex("TARGET", 6);
  ASSERT_GE(target, 0);
  EXPECT_EQ(FindLabelIndex("NOPE", 4), -1);
  const SceneScript* s = FindLoadedScene(0);
  EXPECT_EQ(s->first_args[1][0].length, static_cast<uint32_t>(target) + kResolvedLabelFlag);
  EXPECT_LT(s->first_args[2][0].length, kResolvedLabelFlag);  // built from a variable
  // CALL: the label index when it is 1..65535, else 0 (looked up at each call).
  EXPECT_EQ(CallLabelField(s->first_args[3][0]), target >= 1 ? target : 0);
  EXPECT_EQ(CallLabelField(s->first_args[4][0]), 0);
  // Variables declared globally got their values at load.
  EXPECT_STREQ(GetVarStringElement(1000, 0), "TARGET");
}

TEST_F(ScriptLoaderTest, LookupScansPastAWrongFirstIndex) {
  std::vector<tools::LabelSpec> labels;
  for (int i = 0; i < 40; ++i) labels.push_back({"L" + std::to_string(i), 0, 0, 0, 0});
  std::vector<uint8_t> file = tools::WriteLabelFile(labels);
  // Point every top byte at entry 0: the scan still finds every label.
  for (int t = 0; t < 256; ++t) std::memset(file.data() + 12 + 4 * t, 0, 4);
  ScriptData data;
  data.script_count = 1;
  std::string why;
  ASSERT_TRUE(ParseLabelTable(file.data(), file.size(), &data, &why)) << why;
  g_script.labels = data.labels;
  std::memcpy(g_script.first_index, data.first_index, sizeof data.first_index);
  for (int i = 0; i < 40; ++i) {
    const std::string name = "L" + std::to_string(i);
    const int32_t index = FindLabelIndex(name.c_str(), name.size());
    ASSERT_GE(index, 0) << name;
    EXPECT_STREQ(g_script.labels[static_cast<size_t>(index)].name, name.c_str());
  }
}

TEST_F(ScriptLoaderTest, ScopedDeclarationsApplyWhenTheirFileLoads) {
  Install(Assembled(".script 0\n.global int g = 5\nlabel SYSTEM_START\n",
                    ".script 1\n.local int l[3] = 7\nlabel OTHER\n"));
  ASSERT_EQ(LoadScriptData(), 0);
  EXPECT_EQ(GetVarIntElement(1000, 0), 5);
  const VariableRecord* local = FindVariable(1001);
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->type, 0);
  SetVarNumberElement(1000, 0, 6);
  ASSERT_EQ(LoadSceneFile(1), 1);
  EXPECT_EQ(GetVarIntElement(1001, 2), 7);
  EXPECT_EQ(GetVarIntElement(1000, 0), 6);  // globals are not applied again
  EXPECT_EQ(LoadSceneFile(0x10001), 1);     // low 16 bits
}

TEST_F(ScriptLoaderTest, ScriptListNumbers) {
  tools::CompiledGame game = tools::SmallestGame();
  game.scripts[0].number = 0;
  tools::CompiledScript extra = game.scripts[0];
  extra.number = 1;  // N - 1: accepted
  game.scripts.push_back(extra);
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0);
  game.scripts[1].number = 2;  // N: refused
  Install(game);
  ResetReports();
  EXPECT_EQ(LoadScriptData(), 1);
  EXPECT_EQ(LastCode(), 901030);
}

// One field broken per row: every one is a clear error, never a crash.
TEST_F(ScriptLoaderTest, MalformedScriptFiles) {
  using tools::SceneArg;
  using tools::SceneCommand;
  const std::vector<uint8_t> one = {'B', 1, 0, 1};
  auto target = [](uint8_t param, uint32_t t) { return SceneArg{param, 1, 0, {}, true, t}; };
  const struct {
    const char* what;
    std::vector<SceneCommand> commands;
    std::function<void(std::vector<uint8_t>*)> edit;
  } cases[] = {
      {"short header", {{87, {SceneArg{0, 1, 0, one}}}}, [](auto* f) { f->resize(20); }},
      {"sections past the file", {{87, {SceneArg{0, 1, 0, one}}}}, [](auto* f) { (*f)[20] = 200; }},
      {"huge section size", {{87, {SceneArg{0, 1, 0, one}}}},
       [](auto* f) { (*f)[23] = 0xFF; }},
      {"command count above the sections", {{87, {}}}, [](auto* f) { (*f)[8] = 9; }},
      {"arguments past their section", {{87, {SceneArg{0, 1, 0, one}}}},
       [](auto* f) { (*f)[32 + 1] ^= 7; }},
      {"type code 0", {{87, {SceneArg{0, 0, 0, one}}}}, nullptr},
      {"type code 5", {{87, {SceneArg{0, 5, 0, one}}}}, nullptr},
      {"bytecode past the expression section", {{87, {SceneArg{0, 1, 0, one}}}},
       [](auto* f) { (*f)[32 + 4 + 4] ^= 0x40; }},
      {"target past the commands", {{30, {SceneArg{0, 1, 0, one}, target(1, 0), target(2, 5)}}},
       nullptr},
      {"if without its targets", {{30, {SceneArg{0, 1, 0, one}}}}, nullptr},
      {"assignment operator 9", {{39, {SceneArg{0, 1, 9, one}, SceneArg{1, 1, 0, one}}}}, nullptr},
      {"parameter not in the definition", {{87, {SceneArg{7, 1, 0, one}}}}, nullptr},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> file = tools::WriteSceneFile(c.commands);
    if (c.edit) c.edit(&file);
    Install(tools::SmallestGame());
    MemoryFiles()["krt00000.kbn"] = file;
    ResetReports();
    EXPECT_EQ(LoadScriptData(), 1) << c.what;
    EXPECT_EQ(LastCode(), 104070) << c.what;
  }
}

TEST_F(ScriptLoaderTest, CommandNumbersPastTheTableBindToTheUnknownHandler) {
  tools::CompiledGame game = tools::SmallestGame();
  game.scripts[0].commands.push_back({200, {}, 9});
  Install(game);
  ASSERT_EQ(LoadScriptData(), 0);
  EXPECT_EQ(FindLoadedScene(0)->tables[1][4], &RunUnknownCommand);
}

TEST_F(ScriptLoaderTest, MalformedSharedFiles) {
  const struct {
    const char* file;
    std::function<void(std::vector<uint8_t>*)> edit;
    int32_t code;
  } cases[] = {
      {"krt.kbn", [](auto* f) { (*f)[4] = 0; }, 105000},
      {"krt.kbn", [](auto* f) { (*f)[8] = 0x10; (*f)[9] = 0; }, 104070},  // 16 variables
      {"krt.kbn", [](auto* f) { (*f)[10] = 1; }, 104070},                 // above 65535
      {"krc.kbn", [](auto* f) { f->resize(f->size() - 1); }, 104070},
      {"krc.kbn", [](auto* f) { (*f)[8] = 0xFF; (*f)[9] = 0xFF; }, 104070},
      {"krt_list.kbn", [](auto* f) { f->resize(f->size() - 1); }, 104070},
      {"krl.kbn", [](auto* f) { f->resize(f->size() - 1); }, 104070},
      {"krl.kbn", [](auto* f) { (*f)[f->size() - 4] = 9; }, 104070},  // script number 9
      {"krv.kbn", [](auto* f) { f->push_back(1); (*f)[8] = 1; }, 104070},
  };
  for (const auto& c : cases) {
    Install(tools::SmallestGame());
    c.edit(&MemoryFiles()[c.file]);
    ResetReports();
    EXPECT_EQ(LoadScriptData(), 1) << c.file;
    EXPECT_EQ(LastCode(), c.code) << c.file;
  }
  // Nine dimensions in a declaration.
  tools::CompiledGame game = tools::SmallestGame();
  game.declarations.push_back({1, 0, 1000, 1, std::vector<uint32_t>(9, 1)});
  Install(game);
  ResetReports();
  EXPECT_EQ(LoadScriptData(), 1);
  EXPECT_EQ(LastCode(), 104070);
  // A declaration for a variable past the table.
  game.declarations = {{1, 0, 5000, 1, {}}};
  Install(game);
  ResetReports();
  EXPECT_EQ(LoadScriptData(), 1);
  EXPECT_EQ(LastCode(), 900070);
  // A label whose command index lies past its script file.
  game = tools::SmallestGame();
  game.labels.push_back({"LATE", 99, 0, 0, 0});
  Install(game);
  ResetReports();
  EXPECT_EQ(LoadScriptData(), 1);
  EXPECT_EQ(LastCode(), 104070);
}

TEST_F(ScriptLoaderTest, ProjectConfiguration) {
  g_display.desktop_width = 1920;
  g_display.desktop_height = 1080;
  const struct {
    int32_t width, height;
    uint32_t threaded;
    size_t title;
    int32_t error;
    int32_t texture_width;
  } cases[] = {
      {0, 0, 0, 5, 0, 2048},      {0, 600, 0, 5, 901020, 0},  {127, 480, 0, 5, 901020, 0},
      {128, 480, 0, 5, 0, 256},   {640, 8193, 0, 5, 901020, 0}, {640, 15, 0, 5, 901020, 0},
      {257, 480, 0, 5, 0, 512},   {4097, 480, 0, 5, 0, 4096},  {640, 480, 2, 5, 901020, 0},
      {640, 480, 0, 128, 0, 1024}, {640, 480, 0, 129, 901000, 0}, {640, 480, 0, 0, 0, 1024},
  };
  for (const auto& c : cases) {
    ResetReports();
    InitProjectConfig();
    tools::ProjectConfigSpec spec;
    spec.width = c.width;
    spec.height = c.height;
    spec.threaded = c.threaded;
    spec.title = std::string(c.title, 'T');
    MemoryFiles()["krcfg.kbn"] = tools::WriteProjectConfigFile(spec);
    EXPECT_EQ(LoadProjectConfig(), c.error == 0 ? 0 : -1) << c.width << "x" << c.height;
    if (c.error == 0) {
      EXPECT_EQ(g_project.texture_width_limit, c.texture_width) << c.width;
      EXPECT_EQ(std::strlen(g_project.title), c.title == 0 ? 1 : c.title);
      if (c.width == 0) {
        EXPECT_EQ(g_project.screen_width, 1920);
      }
    } else {
      EXPECT_EQ(LastCode(), c.error);
    }
  }
  EXPECT_STREQ(g_project.title, " ");
  MemoryFiles()["krcfg.kbn"].resize(40);
  ResetReports();
  EXPECT_EQ(LoadProjectConfig(), -1);
  EXPECT_EQ(LastCode(), 104070);
}

}  // namespace
}  // namespace korvel
