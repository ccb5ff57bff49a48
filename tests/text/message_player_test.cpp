// The message player on the virtual clock: typing pace, skip and click keys, page clears, the end of
// a message, and playing on without a layer to draw into.
#include <gtest/gtest.h>

#include <algorithm>

#include "layer/layer_record.h"
#include "message_test_env.h"

namespace korvel {
namespace {

class PlayerTest : public test::MessageEnv {
 protected:
  void SetUp() override {
    MessageEnv::SetUp();
    task_.message_busy = 1;
  }
  static int32_t Typed() { return g_message->op_index; }
  static void Press(int32_t code) { g_keys.counter[code] = 1; }
  static void Hold(int32_t code) { g_keys.counter[code] = 5; }
  static void Release(int32_t code) { g_keys.counter[code] = -1; }
};

TEST_F(PlayerTest, TypesAtTheDelayAndCatchesUpOnALateTick) {
  g_message->char_delay = 100;
  Text("あいうえおかき");
  Tick();
  EXPECT_EQ(Typed(), 1);  // the first character never waits
  EXPECT_TRUE(Ink());
  Tick(99);
  EXPECT_EQ(Typed(), 1);
  Tick(1);
  EXPECT_EQ(Typed(), 2);
  Tick(100);
  EXPECT_EQ(Typed(), 3);
  Tick(350);  // three more are due; the clock keeps the remainder
  EXPECT_EQ(Typed(), 6);
  Tick(49);
  EXPECT_EQ(Typed(), 6);
  Tick(1);
  EXPECT_EQ(task_.message_busy, 0);  // all played: the task goes on
  EXPECT_EQ(g_message->op_count, 0);  // and the record is empty for the next message
}

TEST_F(PlayerTest, OneByteCharactersTakeHalfTheDelay) {
  g_message->char_delay = 100;
  Text("abcd");
  Tick();
  EXPECT_EQ(Typed(), 1);
  Tick(49);
  EXPECT_EQ(Typed(), 1);
  Tick(1);
  EXPECT_EQ(Typed(), 2);
  Tick(50);
  EXPECT_EQ(Typed(), 3);
}

TEST_F(PlayerTest, HeldCtrlTypesToTheClickWaitThenReleasesIt) {
  g_message->char_delay = 100;
  Text("あいう");
  Mark(kOpClickWait);
  Text("えお");
  Tick();
  Hold(17);
  Tick(1);
  EXPECT_EQ(Typed(), 3);  // up to the click wait at once
  EXPECT_EQ(g_message->click_wait, 1);
  Tick(1);  // still held: the wait is released on the next tick
  EXPECT_EQ(g_message->click_wait, 0);
  EXPECT_EQ(Typed(), 4);
  Tick(1);  // and the rest typed on the one after
  EXPECT_EQ(task_.message_busy, 0);
}

TEST_F(PlayerTest, ClickReleasesAWaitAndOnlySkipsWhileTyping) {
  g_message->char_delay = 100;
  Text("あいう");
  Mark(kOpClickWait);
  Text("えお");
  Tick();
  Press(1);  // left button while typing: the rest up to the wait comes without delay
  Tick(1);
  EXPECT_EQ(Typed(), 1);
  EXPECT_EQ(g_message_player.skip, 1u);
  Release(1);
  Tick(1);
  EXPECT_EQ(Typed(), 3);
  EXPECT_EQ(g_message->click_wait, 1);
  EXPECT_EQ(g_message_player.skip, 0u);  // a click wait ends the skip
  Tick(500);
  EXPECT_EQ(Typed(), 3);  // waits for ever without a click
  Press(13);  // Enter at the wait: the 'C' op is consumed and the clock restarts
  Tick(1);
  EXPECT_EQ(Typed(), 4);
  EXPECT_EQ(g_message->click_wait, 0);
  Release(13);
  Tick(1);  // the clock restarts here, at the op after the wait
  Tick(99);
  EXPECT_EQ(Typed(), 4);
  Tick(1);
  EXPECT_EQ(Typed(), 5);
}

TEST_F(PlayerTest, PageClearEmptiesTheWholeLayer) {
  std::fill(pixels_.begin(), pixels_.end(), 0xFF);
  g_message->pen_x = 40;
  g_message->pen_y = 20;
  Mark(kOpPageClear);
  Mark(kOpBlockEnd);
  Tick();
  EXPECT_FALSE(Ink());
  EXPECT_EQ(g_message->pen_x, 0);
  EXPECT_EQ(g_message->pen_y, 0);
}

TEST_F(PlayerTest, AMessageWithoutOpsEndsWithoutFinishing) {
  Tick();
  EXPECT_EQ(task_.message_busy, 0);
  EXPECT_EQ(g_message->finished, 0);
}

TEST_F(PlayerTest, HiddenTextEndsTheBlockAtOnce) {
  g_message->shown = 0;
  Text("あいう");
  g_message->finished = 1;
  Tick();
  EXPECT_EQ(task_.message_busy, 0);
  EXPECT_EQ(g_message->op_count, 0);
  EXPECT_FALSE(Ink());
}

// Without a target, or with one that has no pixels, the ops are still played at their pace and
// click waits still hold: the task is never stuck and nothing is written.
TEST_F(PlayerTest, PlaysOnWithoutALayer) {
  for (const bool no_pixels : {false, true}) {
    SCOPED_TRACE(no_pixels ? "layer without pixels" : "no layer");
    g_message->target = no_pixels ? &node_ : nullptr;
    layer_.pixels = no_pixels ? nullptr : pixels_.data();
    task_.message_busy = 1;
    g_message->char_delay = 100;
    Text("あいう");
    Mark(kOpClickWait);
    Mark(kOpPageClear);
    Tick();
    EXPECT_EQ(Typed(), 1);
    Tick(100);
    EXPECT_EQ(Typed(), 2);
    Tick(100);
    EXPECT_EQ(Typed(), 3);
    EXPECT_EQ(g_message->click_wait, 1);
    EXPECT_LE(g_message->char_index, g_message->char_count);
    Press(1);
    Tick(1);
    Release(1);
    Tick(1);
    EXPECT_EQ(task_.message_busy, 0);
    layer_.pixels = pixels_.data();
    EXPECT_FALSE(Ink());
  }
}

TEST_F(PlayerTest, ReleasingTheTargetMidMessageStopsDrawingOnly) {
  InstallMessagePlayer();
  g_message->char_delay = 100;
  Text("あいう");
  Tick();
  ASSERT_NE(g_layer_state.message_target_released, nullptr);
  g_layer_state.message_target_released();
  EXPECT_EQ(g_message->target, nullptr);
  Tick(200);
  EXPECT_EQ(task_.message_busy, 0);
}

// After the text reached the bottom, a page clear still acts, but the rest of the message's
// characters are consumed undrawn and the character index stays at the count.
TEST_F(PlayerTest, AfterADropLaterCharactersStayUndrawn) {
  MakeLayer(100, 30);
  g_message->target = &node_;
  Text("あいうえおかきくけこ");
  Mark(kOpPageClear);
  Text("さしす");
  Hold(17);
  Tick();
  EXPECT_EQ(task_.message_busy, 0);
  EXPECT_FALSE(Ink());  // the page clear came after the drop, and nothing was drawn after it
}

TEST_F(PlayerTest, AnUnknownOpIsAnInternalError) {
  Text("あ");
  g_message->ops[1] = 'Z';
  g_message->op_count = 2;
  Tick();
  EXPECT_EQ(LastErrorReport().code, 900010);
  EXPECT_EQ(Typed(), 1);  // stays on the bad op
}

}  // namespace
}  // namespace korvel
