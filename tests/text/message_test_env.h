// Shared set-up of the message tests: a headless platform (virtual clock), the installed fonts, a
// fresh message record and player, and a target layer node of its own with a pixel buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/error_report.h"
#include "engine_fixture.h"
#include "core/input_state.h"
#include "core/named_tree.h"
#include "layer/layer_data.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "script/script_task.h"
#include "text/font_registry.h"
#include "text/message_append.h"
#include "text/message_player.h"
#include "text/message_text_state.h"

namespace korvel::test {

// Code page 932 bytes of a UTF-8 text.
inline std::string Sjis932(const char* utf8) { return platform::Utf8ToCp932(utf8); }

class MessageEnv : public HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    g_keys = KeyStateTable{};
    ASSERT_EQ(EnumerateFonts(), 0);
    ASSERT_EQ(CreateMessageTextState(), 0);
    InitMessagePlayer();
    MakeLayer(200, 100);
    g_message->target = &node_;
    task_ = ScriptTask{};
  }
  void TearDown() override {
    FreeMessageTextState();
    FreeFonts();
    HeadlessEngine::TearDown();
  }

  void MakeLayer(int32_t w, int32_t h) {
    pixels_.assign(static_cast<size_t>(w) * 4 * (static_cast<size_t>(h) + 1) + 4, 0);
    layer_ = LayerData{};
    layer_.width = w;
    layer_.height = h;
    layer_.pixels = pixels_.data();
    node_ = NamedTreeNode{};
    node_.payload = &layer_;
  }

  // Appends UTF-8 text as command 91 would.
  static void Text(const char* utf8) {
    const std::string s = Sjis932(utf8);
    ASSERT_TRUE(MessageHasRoom(static_cast<int32_t>(s.size()), static_cast<int32_t>(s.size())));
    AppendMessageCharacters(reinterpret_cast<const uint8_t*>(s.data()),
                            static_cast<int32_t>(s.size()));
  }
  static void Mark(uint8_t op) { ASSERT_EQ(AppendMessageMark(op, true), 0); }

  // One tick of the player for the test's task, after the clock advanced `ms`.
  void Tick(uint32_t ms = 0) {
    if (ms != 0) platform::AdvanceClockForTest(ms);
    UpdateMessageText(&task_);
  }
  bool Ink() const {
    for (size_t i = 0; i < static_cast<size_t>(layer_.width) * layer_.height * 4; ++i) {
      if (pixels_[i] != 0) return true;
    }
    return false;
  }

  std::vector<uint8_t> pixels_;
  LayerData layer_{};
  NamedTreeNode node_{};
  ScriptTask task_{};
};

}  // namespace korvel::test
