// The message record: creation with its defaults, the clear between messages, and release.
#include "text/message_text_state.h"

#include <cstdlib>
#include <cstring>

#include "core/alloc_zeroed.h"

namespace korvel {

MessageTextState* g_message = nullptr;

namespace {

// Every per-op buffer with its element size, for allocation, clearing and release alike.
template <typename Visit>
void ForEachBuffer(MessageTextState& m, Visit visit) {
  visit(reinterpret_cast<void**>(&m.characters), sizeof(*m.characters));
  visit(reinterpret_cast<void**>(&m.ops), sizeof(*m.ops));
  visit(reinterpret_cast<void**>(&m.advances), sizeof(*m.advances));
  visit(reinterpret_cast<void**>(&m.line_heights), sizeof(*m.line_heights));
  visit(reinterpret_cast<void**>(&m.delays), sizeof(*m.delays));
  visit(reinterpret_cast<void**>(&m.colours), sizeof(*m.colours));
  visit(reinterpret_cast<void**>(&m.second_colours), sizeof(*m.second_colours));
  visit(reinterpret_cast<void**>(&m.gradient_directions), sizeof(*m.gradient_directions));
  visit(reinterpret_cast<void**>(&m.rotations), sizeof(*m.rotations));
  visit(reinterpret_cast<void**>(&m.bold_flags), sizeof(*m.bold_flags));
}

}  // namespace

int CreateMessageTextState() {
  FreeMessageTextState();
  auto* m = static_cast<MessageTextState*>(AllocZeroed(sizeof(MessageTextState)));
  if (m == nullptr) return 1;
  bool ok = true;
  ForEachBuffer(*m, [&](void** buffer, size_t element) {
    *buffer = AllocZeroed(element * kMessageCapacity);
    ok = ok && *buffer != nullptr;
  });
  g_message = m;
  if (!ok) {
    FreeMessageTextState();
    return 1;
  }
  m->end_new_line = 1;
  m->end_page_clear = 1;
  m->end_click_wait = 1;
  m->shown = 1;
  m->advance = 20;
  m->line_height = 20;
  m->colour = 0xFFFFFF;
  m->second_colour = kNoSecondColour;
  m->gradient_direction = 1;
  m->smooth = 1;
  m->finished = 1;
  ClearFinishedMessage();
  return 0;
}

void FreeMessageTextState() {
  if (g_message == nullptr) return;
  ForEachBuffer(*g_message, [](void** buffer, size_t) {
    std::free(*buffer);
    *buffer = nullptr;
  });
  std::free(g_message);
  g_message = nullptr;
}

void ClearFinishedMessage() {
  MessageTextState* m = g_message;
  if (m == nullptr || !m->finished) return;
  m->finished = 0;
  m->char_count = m->op_count = 0;
  m->char_index = m->op_index = 0;
  m->retime = 1;
  m->click_wait = 0;  // no 'C' op is left to stand at
  ForEachBuffer(*m, [](void** buffer, size_t element) {
    std::memset(*buffer, 0, element * kMessageCapacity);
  });
}

}  // namespace korvel
