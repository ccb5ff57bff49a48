// Commands 21 and 22: slot faces and styles, with slot 0 mirrored into the message record.
#include "text/font_commands.h"

#include <cstring>

#include "core/error_report.h"
#include "script/value_ops.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"
#include "text/font_registry.h"
#include "text/glyph_render.h"
#include "text/message_text_state.h"

namespace korvel {

namespace {

enum StyleField : uint8_t { kColour, kSecondColour, kDirection, kRotation, kBlend, kWidth, kHeight, kBold };

struct StyleRule {
  uint8_t position;
  StyleField field;
  int64_t maximum;
};
constexpr StyleRule kStyleRules[] = {
    {4, kColour, 0xFFFFFF}, {5, kSecondColour, 0xFFFFFF}, {6, kDirection, 8}, {7, kRotation, 8},
    {8, kBlend, 1},         {9, kWidth, 256},             {10, kHeight, 256}, {11, kBold, 1},
};

// The message record's value of a field (slot 0's style when there is no record).
int64_t MessageValue(StyleField field) {
  const MessageTextState* m = g_message;
  const FontSlotStyle& s = g_fonts.styles[0];
  switch (field) {
    case kColour: return m != nullptr ? m->colour : s.colour;
    case kSecondColour: return m != nullptr ? m->second_colour : s.second_colour;
    case kDirection: return m != nullptr ? m->gradient_direction : s.direction;
    case kRotation: return m != nullptr ? m->rotation : s.rotation;
    case kBlend: return m != nullptr ? m->blend : s.blend;
    case kWidth: return m != nullptr ? m->advance : s.width;
    case kHeight: return m != nullptr ? m->line_height : s.height;
    case kBold: return m != nullptr ? m->bold : s.bold;
  }
  return 0;
}

void StoreStyle(FontSlotStyle* s, StyleField field, uint32_t v) {
  switch (field) {
    case kColour: s->colour = v; break;
    case kSecondColour: s->second_colour = v; break;
    case kDirection: s->direction = static_cast<uint8_t>(v); break;
    case kRotation: s->rotation = static_cast<uint8_t>(v); break;
    case kBlend: s->blend = static_cast<uint8_t>(v); break;
    case kWidth: s->width = static_cast<int32_t>(v); break;
    case kHeight: s->height = static_cast<int32_t>(v); break;
    case kBold: s->bold = v; break;
  }
}

void StoreMessage(MessageTextState* m, StyleField field, uint32_t v) {
  switch (field) {
    case kColour: m->colour = v; break;
    case kSecondColour: m->second_colour = v; break;
    case kDirection: m->gradient_direction = static_cast<uint8_t>(v); break;
    case kRotation: m->rotation = static_cast<uint8_t>(v); break;
    case kBlend: m->blend = static_cast<uint8_t>(v); break;
    case kWidth: m->advance = static_cast<int32_t>(v); break;
    case kHeight: m->line_height = static_cast<int32_t>(v); break;
    case kBold: m->bold = static_cast<uint8_t>(v); break;
  }
}

// = stores the low 32 bits as given; += caps at the maximum; -= stores 0 below 0; *= and /= do
// both; /= by 0 and the other operators keep the value.
uint32_t ApplyStyleOperator(uint8_t op, int64_t current, int64_t operand, int64_t maximum) {
  if (op == kValueSet) return static_cast<uint32_t>(operand);
  return static_cast<uint32_t>(ApplyValueOp(op, current, operand, 0, maximum));
}

// Checks a 1-based font index of `command`'s parameter `param`: 101010 below 1, 101240 past the
// count (both fatal); true when it names a font.
bool CheckFontIndex(uint8_t command, uint8_t param, int64_t value) {
  if (value < 1) {
    ReportScriptError(101010, true, CommandName(command), ParameterName(command, param), value,
                      int64_t{1});
    return false;
  }
  if (value > GetFontCount()) {
    ReportScriptError(101240, true, value, GetFontCount());
    return false;
  }
  return true;
}

int32_t RunFontCommandBody() {
  if (ArgGiven(0)) {
    const int64_t slot = ArgValue(0);
    if (!SetFontSlot(slot)) {
      ReportScriptError(101000, true, CommandName(kCommandFont), ParameterName(kCommandFont, 0), slot,
                        int64_t{0}, int64_t{kFontSlotCount - 1});
      return -1;
    }
  }
  if (ArgGiven(1)) {
    const int64_t index = ArgValue(1);
    if (!CheckFontIndex(kCommandFont, 1, index)) return -1;
    SetSlotFont(static_cast<uint32_t>(index - 1));
  }
  if (ArgGiven(2)) SelectSlotFontByName(ArgText(2));
  FontSlotStyle* style = CurrentSlotStyle();
  const bool message_slot = g_fonts.current_slot == 0;
  if (ArgGiven(3)) {
    style->smooth = static_cast<uint8_t>(ArgValue(3));
    if (message_slot && g_message != nullptr) g_message->smooth = style->smooth;
  }
  for (const StyleRule& rule : kStyleRules) {
    const DecodedArgument* a = FindArg(rule.position);
    if (a == nullptr) continue;
    const uint32_t v = ApplyStyleOperator(static_cast<uint8_t>(a->op), MessageValue(rule.field),
                                          a->value, rule.maximum);
    StoreStyle(style, rule.field, v);
    if (message_slot && g_message != nullptr) StoreMessage(g_message, rule.field, v);
  }
  return 0;
}

// The variable element given at position 18.
void StoreNumber(int64_t value) {
  const DecodedArgument* target = FindArg(18);
  if (target != nullptr) SetVarNumberElement(target->var_number, target->element_index, value);
}

void StoreText(const char* text) {
  const DecodedArgument* target = FindArg(18);
  if (target != nullptr) SetVarStringElement(target->var_number, target->element_index, text);
}

// Width and height of the first character of position 17's text in the message style.
void MeasureFirstCharacter(int32_t* advance, int32_t* box_height) {
  *advance = *box_height = 0;
  const DecodedArgument* a = FindArg(17);
  if (a == nullptr || a->text == nullptr || a->text_length == 0) return;
  uint8_t glyph[3] = {static_cast<uint8_t>(a->text[0]), 0, 0};
  if (a->text_length >= 2) glyph[1] = static_cast<uint8_t>(a->text[1]);
  const MessageTextState* m = g_message;
  const FontSlotStyle& s = g_fonts.styles[0];
  RenderGlyphGdi(glyph, m != nullptr ? m->advance : s.width, m != nullptr ? m->line_height : s.height,
                 static_cast<uint8_t>(m != nullptr ? m->bold : s.bold),
                 m != nullptr ? m->smooth : s.smooth, advance, box_height);
}

bool GivenAsOne(uint8_t param) { return ArgGiven(param) && ArgValue(param) == 1; }

}  // namespace

int32_t RunFontCommand() {
  if (g_argument_decoder(kCommandFont) != 0) return -1;
  const int32_t result = RunFontCommandBody();
  SetFontSlot(0);
  return result;
}

int32_t RunGlyphMetricsCommand() {
  if (g_argument_decoder(kCommandFontInfo) != 0) return -1;
  if (ArgGiven(2)) {
    StoreNumber(g_message != nullptr ? g_message->smooth : g_fonts.styles[0].smooth);
    return 0;
  }
  for (const StyleRule& rule : kStyleRules) {
    // Positions 3..10 read the fields that command 21 sets at 4..11.
    if (ArgGiven(static_cast<uint8_t>(rule.position - 1))) {
      StoreNumber(MessageValue(rule.field));
      return 0;
    }
  }
  if (GivenAsOne(11)) {
    StoreNumber(GetFontCount());
    return 0;
  }
  if (ArgGiven(14) || ArgGiven(15)) {
    int32_t advance = 0, box_height = 0;
    MeasureFirstCharacter(&advance, &box_height);
    StoreNumber(ArgGiven(14) ? advance : box_height);
    return 0;
  }
  if (GivenAsOne(1) || GivenAsOne(13)) {
    const int64_t index = ArgGiven(0) ? ArgValue(0) : int64_t{GetSlotFontIndex()} + 1;
    if (!CheckFontIndex(kCommandFontInfo, 0, index)) return -1;
    const auto i = static_cast<uint32_t>(index - 1);
    if (GivenAsOne(1)) {
      const char* name = GetFontName(i);
      if (name != nullptr) {
        StoreText(name);
      } else {
        StoreNumber(0);
      }
    } else {
      StoreNumber(GetFontScriptFlag(i));
    }
    return 0;
  }
  StoreNumber(0);
  return 0;
}

void RegisterFontCommandHandlers() {
  RegisterCommandHandler(kCommandFont, RunFontCommand);
  RegisterCommandHandler(kCommandFontInfo, RunGlyphMetricsCommand);
}

}  // namespace korvel
