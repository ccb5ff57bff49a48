// The one table from SDL keys to Windows virtual-key codes: scancodes name physical keys, key
// codes decide letters and digits so that the player's keyboard layout is respected.
#include "platform/sdl/sdl_keymap.h"

#include <SDL.h>

#include <array>

namespace korvel::platform {
namespace {

struct KeyPair {
  SDL_Scancode scancode;
  int virtual_key;
};

constexpr KeyPair kNamedKeys[] = {
    {SDL_SCANCODE_RETURN, 0x0D}, {SDL_SCANCODE_ESCAPE, 0x1B}, {SDL_SCANCODE_BACKSPACE, 0x08},
    {SDL_SCANCODE_TAB, 0x09}, {SDL_SCANCODE_SPACE, 0x20},
    // OEM keys at their US positions.
    {SDL_SCANCODE_MINUS, 0xBD}, {SDL_SCANCODE_EQUALS, 0xBB}, {SDL_SCANCODE_LEFTBRACKET, 0xDB},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD}, {SDL_SCANCODE_BACKSLASH, 0xDC},
    {SDL_SCANCODE_NONUSHASH, 0xDC}, {SDL_SCANCODE_SEMICOLON, 0xBA},
    {SDL_SCANCODE_APOSTROPHE, 0xDE}, {SDL_SCANCODE_GRAVE, 0xC0}, {SDL_SCANCODE_COMMA, 0xBC},
    {SDL_SCANCODE_PERIOD, 0xBE}, {SDL_SCANCODE_SLASH, 0xBF}, {SDL_SCANCODE_NONUSBACKSLASH, 0xE2},
    {SDL_SCANCODE_CAPSLOCK, 0x14},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C}, {SDL_SCANCODE_SCROLLLOCK, 0x91}, {SDL_SCANCODE_PAUSE, 0x13},
    {SDL_SCANCODE_INSERT, 0x2D}, {SDL_SCANCODE_HOME, 0x24}, {SDL_SCANCODE_PAGEUP, 0x21},
    {SDL_SCANCODE_DELETE, 0x2E}, {SDL_SCANCODE_END, 0x23}, {SDL_SCANCODE_PAGEDOWN, 0x22},
    {SDL_SCANCODE_RIGHT, 0x27}, {SDL_SCANCODE_LEFT, 0x25}, {SDL_SCANCODE_DOWN, 0x28},
    {SDL_SCANCODE_UP, 0x26},
    // Numeric keypad.
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90}, {SDL_SCANCODE_KP_DIVIDE, 0x6F},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A}, {SDL_SCANCODE_KP_MINUS, 0x6D}, {SDL_SCANCODE_KP_PLUS, 0x6B},
    {SDL_SCANCODE_KP_ENTER, 0x0D}, {SDL_SCANCODE_KP_0, 0x60}, {SDL_SCANCODE_KP_1, 0x61},
    {SDL_SCANCODE_KP_2, 0x62}, {SDL_SCANCODE_KP_3, 0x63}, {SDL_SCANCODE_KP_4, 0x64},
    {SDL_SCANCODE_KP_5, 0x65}, {SDL_SCANCODE_KP_6, 0x66}, {SDL_SCANCODE_KP_7, 0x67},
    {SDL_SCANCODE_KP_8, 0x68}, {SDL_SCANCODE_KP_9, 0x69}, {SDL_SCANCODE_KP_PERIOD, 0x6E},
    {SDL_SCANCODE_KP_COMMA, 0x6C},
    // Editing and system keys.
    {SDL_SCANCODE_APPLICATION, 0x5D}, {SDL_SCANCODE_EXECUTE, 0x2B}, {SDL_SCANCODE_HELP, 0x2F},
    {SDL_SCANCODE_SELECT, 0x29}, {SDL_SCANCODE_CLEAR, 0x0C}, {SDL_SCANCODE_SLEEP, 0x5F},
    // Japanese keyboards: ro, kana, yen, convert, nonconvert; kana/hangul, kanji/hanja,
    // zenkaku/hankaku.
    {SDL_SCANCODE_INTERNATIONAL1, 0xE2}, {SDL_SCANCODE_INTERNATIONAL2, 0x15},
    {SDL_SCANCODE_INTERNATIONAL3, 0xDC}, {SDL_SCANCODE_INTERNATIONAL4, 0x1C},
    {SDL_SCANCODE_INTERNATIONAL5, 0x1D}, {SDL_SCANCODE_LANG1, 0x15}, {SDL_SCANCODE_LANG2, 0x19},
    {SDL_SCANCODE_LANG5, 0x19},
    // Modifiers, by side.
    {SDL_SCANCODE_LSHIFT, 0xA0}, {SDL_SCANCODE_RSHIFT, 0xA1}, {SDL_SCANCODE_LCTRL, 0xA2},
    {SDL_SCANCODE_RCTRL, 0xA3}, {SDL_SCANCODE_LALT, 0xA4}, {SDL_SCANCODE_RALT, 0xA5},
    {SDL_SCANCODE_LGUI, 0x5B}, {SDL_SCANCODE_RGUI, 0x5C},
    // Media and browser keys.
    {SDL_SCANCODE_MUTE, 0xAD}, {SDL_SCANCODE_AUDIOMUTE, 0xAD}, {SDL_SCANCODE_VOLUMEDOWN, 0xAE},
    {SDL_SCANCODE_VOLUMEUP, 0xAF}, {SDL_SCANCODE_AUDIONEXT, 0xB0}, {SDL_SCANCODE_AUDIOPREV, 0xB1},
    {SDL_SCANCODE_AUDIOSTOP, 0xB2}, {SDL_SCANCODE_AUDIOPLAY, 0xB3}, {SDL_SCANCODE_MAIL, 0xB4},
    {SDL_SCANCODE_MEDIASELECT, 0xB5}, {SDL_SCANCODE_AC_BACK, 0xA6},
    {SDL_SCANCODE_AC_FORWARD, 0xA7}, {SDL_SCANCODE_AC_REFRESH, 0xA8},
    {SDL_SCANCODE_AC_STOP, 0xA9}, {SDL_SCANCODE_AC_SEARCH, 0xAA},
    {SDL_SCANCODE_AC_BOOKMARKS, 0xAB}, {SDL_SCANCODE_AC_HOME, 0xAC},
};

// The Japanese layout puts other characters on the OEM keys, and Windows' Japanese layout gives
// those keys other codes (the key left of 1 is Hankaku/Zenkaku there).
constexpr KeyPair kJapaneseOemKeys[] = {
    {SDL_SCANCODE_LEFTBRACKET, 0xC0}, {SDL_SCANCODE_RIGHTBRACKET, 0xDB},
    {SDL_SCANCODE_BACKSLASH, 0xDD},   {SDL_SCANCODE_NONUSHASH, 0xDD},
    {SDL_SCANCODE_SEMICOLON, 0xBB},   {SDL_SCANCODE_APOSTROPHE, 0xBA},
    {SDL_SCANCODE_EQUALS, 0xDE},      {SDL_SCANCODE_GRAVE, 0xF3},
};

constexpr std::array<unsigned char, kSdlScancodeCount> BuildTable() {
  std::array<unsigned char, kSdlScancodeCount> table{};
  for (int i = 0; i < 26; ++i) table[SDL_SCANCODE_A + i] = static_cast<unsigned char>('A' + i);
  for (int i = 0; i < 9; ++i) table[SDL_SCANCODE_1 + i] = static_cast<unsigned char>('1' + i);
  table[SDL_SCANCODE_0] = '0';
  for (int i = 0; i < 12; ++i) {
    table[SDL_SCANCODE_F1 + i] = static_cast<unsigned char>(0x70 + i);   // F1..F12
    table[SDL_SCANCODE_F13 + i] = static_cast<unsigned char>(0x7C + i);  // F13..F24
  }
  for (const KeyPair& pair : kNamedKeys) {
    table[pair.scancode] = static_cast<unsigned char>(pair.virtual_key);
  }
  return table;
}

constexpr std::array<unsigned char, kSdlScancodeCount> kScancodeTable = BuildTable();

}  // namespace

int VirtualKeyOfScancode(int scancode) {
  if (scancode < 0 || scancode >= kSdlScancodeCount) return 0;
  return kScancodeTable[static_cast<size_t>(scancode)];
}

int VirtualKeyFromSdl(int scancode, int keycode, bool japanese_layout) {
  if (keycode >= 'a' && keycode <= 'z') return keycode - 'a' + 'A';
  if (keycode >= '0' && keycode <= '9') return keycode;
  if (japanese_layout) {
    for (const KeyPair& key : kJapaneseOemKeys) {
      if (key.scancode == scancode) return key.virtual_key;
    }
  }
  return VirtualKeyOfScancode(scancode);
}

bool IsJapaneseLayout(int key_at_left_bracket, int key_at_apostrophe) {
  return key_at_left_bracket == '@' && key_at_apostrophe == ':';
}

int GenericModifierKey(int virtual_key) {
  switch (virtual_key) {
    case 0xA0:
    case 0xA1:
      return 0x10;
    case 0xA2:
    case 0xA3:
      return 0x11;
    case 0xA4:
    case 0xA5:
      return 0x12;
    default:
      return 0;
  }
}

}  // namespace korvel::platform
