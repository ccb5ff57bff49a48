// The command handler table: a subsystem's registered handler takes its slot at once and keeps it
// across every later table reset, until the overrides are cleared.
#include <gtest/gtest.h>

#include "script/command_table.h"

namespace korvel {
namespace {

int32_t StandIn() { return 7; }

class CommandTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCommandHandlerOverrides();
    InitCommandHandlerTable();
  }
  void TearDown() override {
    ClearCommandHandlerOverrides();
    InitCommandHandlerTable();
  }
};

TEST_F(CommandTableTest, RegisteredHandlerStaysAcrossResets) {
  const struct {
    uint8_t number;
    bool in_table;
  } cases[] = {{0, true}, {kCommandWait, true}, {kCommandSlotCount - 1, true},
               {kCommandSlotCount, false}, {255, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int{c.number});
    const CommandHandler built_in = HandlerForCommand(c.number);
    ASSERT_NE(built_in, StandIn);
    RegisterCommandHandler(c.number, StandIn);
    const CommandHandler expected = c.in_table ? StandIn : RunUnknownCommand;
    EXPECT_EQ(HandlerForCommand(c.number), expected);  // at once
    // The slot below is not touched.
    if (c.number > 0) {
      EXPECT_NE(HandlerForCommand(static_cast<uint8_t>(c.number - 1)), StandIn);
    }
    InitCommandHandlerTable();
    EXPECT_EQ(HandlerForCommand(c.number), expected);  // and after a reset
    ClearCommandHandlerOverrides();
    InitCommandHandlerTable();
    EXPECT_EQ(HandlerForCommand(c.number), built_in);
  }
}

}  // namespace
}  // namespace korvel
