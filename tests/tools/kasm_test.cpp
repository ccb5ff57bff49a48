// The assembler and kasm: structured blocks get their targets and depths, and a folder of sources
// becomes a game folder the engine loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lib/assembler.h"
#include "lib/command_schema.h"
#include "script/format_constants.h"
#include "test_support.h"

namespace korvel {
namespace {

tools::CompiledGame Assemble(const std::string& text) {
  tools::CompiledGame game;
  std::string error;
  EXPECT_TRUE(tools::Assemble({{"main.kas", text}}, &game, &error)) << error;
  return game;
}

TEST(Assembler, ConditionalBlocksGetTheirTargets) {
  const tools::CompiledGame game = Assemble(
      "if 1\n"          // 0: IF cond, else -> 2, end -> 6
      "elseif 2\n"      // 1: ELSE (end of branch), 2: ELSEIF cond, next -> 4
      "else\n"          // 3: ELSE, 4: ELSEIF (plain)
      "end\n");         // 5: ENDIF
  const auto& c = game.scripts[0].commands;
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].number, kCommandIf);
  EXPECT_EQ(c[0].args[1].target, 2u);
  EXPECT_EQ(c[0].args[2].target, 5u);
  EXPECT_EQ(c[1].number, kCommandElse);
  EXPECT_EQ(c[2].number, kCommandElseIf);
  EXPECT_EQ(c[2].args[1].target, 4u);
  EXPECT_EQ(c[4].number, kCommandElseIf);
  EXPECT_TRUE(c[4].args.empty());
  EXPECT_EQ(c[5].number, kCommandBlockEnd);
}

TEST(Assembler, LoopsLabelsAndDepths) {
  const tools::CompiledGame game = Assemble(
      "loop 3\n"
      "  if 1\n"
      "    label INNER\n"
      "    break\n"
      "  end\n"
      "end\n"
      "label OUTER\n");
  const auto& c = game.scripts[0].commands;
  EXPECT_EQ(c[0].number, kCommandLoop);
  EXPECT_EQ(c[0].args[2].target, 5u);
  EXPECT_EQ(c[5].number, kCommandLoopEnd);
  ASSERT_EQ(game.labels.size(), 2u);
  EXPECT_EQ(game.labels[0].name, "INNER");
  EXPECT_EQ(game.labels[0].command_index, 2u);
  EXPECT_EQ(game.labels[0].block_depth, 1);
  EXPECT_EQ(game.labels[0].loop_depth, 1);
  EXPECT_EQ(game.labels[1].block_depth, 0);
  EXPECT_EQ(c[2].line, 3u);
}

TEST(Assembler, CommandsArgumentsAndErrors) {
  const tools::CompiledGame game = Assemble(
      ".global int x\n"
      "let $x += 5\n"
      "VARCONV 0=($x) 6@2=(0) 3:4#17\n");
  const auto& c = game.scripts[0].commands;
  EXPECT_EQ(c[0].number, kCommandAssign);
  EXPECT_EQ(c[0].args[0].op, 1);
  EXPECT_EQ(c[1].number, kCommandVarConvert);
  EXPECT_EQ(c[1].args[1].op, 2);
  EXPECT_EQ(c[1].args[2].type, 4);
  EXPECT_EQ(c[1].args[2].target, 17u);
  EXPECT_EQ(game.highest_variable, 1000u);
  ASSERT_EQ(game.declarations.size(), 1u);
  EXPECT_EQ(game.declarations[0].number, 1000);

  tools::CompiledGame bad;
  std::string error;
  for (const char* text : {"end\n", "if 1\n", "NOSUCH 0=(1)\n", "WAIT 0=(1\n", "let $nope = 1\n",
                           "else\n"}) {
    EXPECT_FALSE(tools::Assemble({{"bad.kas", text}}, &bad, &error)) << text;
    EXPECT_EQ(error.rfind("bad.kas", 0), 0u) << error;
  }
}

TEST(CommandSchema, EverySlotAndTheRawParameters) {
  const auto& schema = tools::CommandSchema();
  ASSERT_EQ(schema.size(), static_cast<size_t>(kCommandSlotCount));
  // Targets, loop ends and shapes are raw and unchecked.
  EXPECT_EQ(schema[kCommandIf].params[1].kind, kKindRaw);
  EXPECT_EQ(schema[kCommandIf].params[2].kind, kKindRaw);
  EXPECT_EQ(schema[kCommandLoop].params[2].kind, kKindRaw);
  EXPECT_EQ(schema[kCommandDeclareInt].params[1].kind, kKindRaw);
  EXPECT_EQ(schema[kCommandElseIf].params[1].kind, kKindRaw);
  for (const auto& c : schema) {
    for (const auto& p : c.params) {
      EXPECT_LE(p.range_class, kMaxRangeClass);
      if (p.kind != kKindNumber) {
        EXPECT_EQ(p.range_class, 0) << c.name;
      }
    }
  }
  EXPECT_EQ(schema[13].params.size(), 106u);  // switch values 2..105
  EXPECT_EQ(tools::FindCommandByName("varconv"), 85);
}

TEST(Kasm, WritesAGameFolderTheEngineAccepts) {
  test::TempDir sources, game;
  sources.Write("main.kas", ".config title テスト\nlabel SYSTEM_START\nloop -1\n  WAIT 0=(1)\nend\n");
  sources.Write("kre.txt", "# extra texts\n999999 追加のテキスト\n");
  const test::ProcessResult r = test::RunProcess(
      {KORVEL_BUILD_DIR "/kasm", "--out", game.path(), sources.path()}, {}, 60000);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  for (const char* f : {"kre.kbn", "krc.kbn", "krt.kbn", "krt_list.kbn", "krv.kbn", "krl.kbn",
                        "krcfg.kbn", "krt00000.kbn"}) {
    EXPECT_TRUE(std::filesystem::exists(game.path() + "/krbin/" + f)) << f;
  }
  const test::ProcessResult bad = test::RunProcess(
      {KORVEL_BUILD_DIR "/kasm", "--out", game.path()}, {}, 60000);
  EXPECT_EQ(bad.exit_status, 2);
}

}  // namespace
}  // namespace korvel
