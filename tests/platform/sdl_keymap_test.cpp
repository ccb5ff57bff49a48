// The SDL key table against the USB HID usage numbers of the keys (SDL's scancodes) and the
// virtual-key codes Windows gives them; letters and digits follow the layout's key codes.
#include "platform/sdl/sdl_keymap.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace korvel::platform {
namespace {

struct Key {
  int scancode;  // USB HID keyboard usage (SDL numbers beyond 0xE7 for media keys)
  int vk;
};

// Every key the table maps, and nothing else.
std::vector<Key> ExpectedKeys() {
  std::vector<Key> keys;
  for (int i = 0; i < 26; ++i) keys.push_back({0x04 + i, 'A' + i});
  for (int i = 0; i < 9; ++i) keys.push_back({0x1E + i, '1' + i});
  keys.push_back({0x27, '0'});
  for (int i = 0; i < 12; ++i) keys.push_back({0x3A + i, 0x70 + i});  // F1..F12
  for (int i = 0; i < 12; ++i) keys.push_back({0x68 + i, 0x7C + i});  // F13..F24
  for (int i = 0; i < 9; ++i) keys.push_back({0x59 + i, 0x61 + i});   // keypad 1..9
  const Key named[] = {
      {0x28, 0x0D}, {0x29, 0x1B}, {0x2A, 0x08}, {0x2B, 0x09}, {0x2C, 0x20},  // enter esc bs tab sp
      {0x2D, 0xBD}, {0x2E, 0xBB}, {0x2F, 0xDB}, {0x30, 0xDD}, {0x31, 0xDC},  // - = [ ] backslash
      {0x32, 0xDC}, {0x33, 0xBA}, {0x34, 0xDE}, {0x35, 0xC0}, {0x36, 0xBC},  // #~ ; ' ` ,
      {0x37, 0xBE}, {0x38, 0xBF}, {0x39, 0x14},                              // . / caps lock
      {0x46, 0x2C}, {0x47, 0x91}, {0x48, 0x13}, {0x49, 0x2D}, {0x4A, 0x24},  // prt scr ins home
      {0x4B, 0x21}, {0x4C, 0x2E}, {0x4D, 0x23}, {0x4E, 0x22},                // pgup del end pgdn
      {0x4F, 0x27}, {0x50, 0x25}, {0x51, 0x28}, {0x52, 0x26},                // right left down up
      {0x53, 0x90}, {0x54, 0x6F}, {0x55, 0x6A}, {0x56, 0x6D}, {0x57, 0x6B},  // num / * - +
      {0x58, 0x0D}, {0x62, 0x60}, {0x63, 0x6E}, {0x85, 0x6C},                // kp enter 0 . ,
      {0x64, 0xE2}, {0x65, 0x5D}, {0x74, 0x2B}, {0x75, 0x2F}, {0x77, 0x29},  // 102nd app exe help sel
      {0x9C, 0x0C}, {0x7F, 0xAD}, {0x80, 0xAF}, {0x81, 0xAE},                // clear mute vol+ vol-
      {0x87, 0xE2}, {0x88, 0x15}, {0x89, 0xDC}, {0x8A, 0x1C}, {0x8B, 0x1D},  // ro kana yen conv nonconv
      {0x90, 0x15}, {0x91, 0x19}, {0x94, 0x19},                              // lang1 lang2 zenkaku
      {0xE0, 0xA2}, {0xE1, 0xA0}, {0xE2, 0xA4}, {0xE3, 0x5B},                // left ctrl shift alt gui
      {0xE4, 0xA3}, {0xE5, 0xA1}, {0xE6, 0xA5}, {0xE7, 0x5C},                // right ctrl shift alt gui
      // SDL's own numbers for media, browser and sleep keys.
      {258, 0xB0}, {259, 0xB1}, {260, 0xB2}, {261, 0xB3}, {262, 0xAD}, {263, 0xB5}, {265, 0xB4},
      {268, 0xAA}, {269, 0xAC}, {270, 0xA6}, {271, 0xA7}, {272, 0xA9}, {273, 0xA8}, {274, 0xAB},
      {282, 0x5F},
  };
  keys.insert(keys.end(), std::begin(named), std::end(named));
  return keys;
}

TEST(SdlKeymap, EveryScancodeGivesItsVirtualKey) {
  std::map<int, int> expected;
  for (const Key& key : ExpectedKeys()) expected[key.scancode] = key.vk;
  for (int scancode = 0; scancode < kSdlScancodeCount; ++scancode) {
    const auto it = expected.find(scancode);
    EXPECT_EQ(VirtualKeyOfScancode(scancode), it == expected.end() ? 0 : it->second)
        << "scancode " << scancode;
    // With a key code that is no letter or digit, the scancode decides.
    EXPECT_EQ(VirtualKeyFromSdl(scancode, 0), VirtualKeyOfScancode(scancode));
  }
  EXPECT_EQ(VirtualKeyOfScancode(-1), 0);
  EXPECT_EQ(VirtualKeyOfScancode(kSdlScancodeCount), 0);
}

TEST(SdlKeymap, OnlyKnownKeysShareAVirtualKey) {
  std::map<int, std::set<int>> by_vk;
  for (int scancode = 0; scancode < kSdlScancodeCount; ++scancode) {
    if (const int vk = VirtualKeyOfScancode(scancode)) by_vk[vk].insert(scancode);
  }
  const std::map<int, std::set<int>> shared = {
      {0x0D, {0x28, 0x58}},        // Enter and keypad Enter
      {0xDC, {0x31, 0x32, 0x89}},  // backslash, ISO #~ and yen
      {0xE2, {0x64, 0x87}},        // ISO 102nd key and ro
      {0x15, {0x88, 0x90}},        // katakana/hiragana and kana/hangul
      {0x19, {0x91, 0x94}},        // hanja and zenkaku/hankaku
      {0xAD, {0x7F, 262}},         // mute, both numbers
  };
  for (const auto& [vk, scancodes] : by_vk) {
    const auto it = shared.find(vk);
    if (it == shared.end()) {
      EXPECT_EQ(scancodes.size(), 1u) << "virtual key " << vk;
    } else {
      EXPECT_EQ(scancodes, it->second) << "virtual key " << vk;
    }
  }
}

TEST(SdlKeymap, LettersAndDigitsFollowTheLayout) {
  EXPECT_EQ(VirtualKeyFromSdl(0x14, 'a'), 'A');    // AZERTY: the key at Q types a
  EXPECT_EQ(VirtualKeyFromSdl(0x04, 'q'), 'Q');
  EXPECT_EQ(VirtualKeyFromSdl(0x33, 'm'), 'M');    // AZERTY: m sits where US has ;
  EXPECT_EQ(VirtualKeyFromSdl(0x1E, '&'), '1');    // AZERTY digit row: the scancode decides
  EXPECT_EQ(VirtualKeyFromSdl(0x04, 0x444), 'A');  // Cyrillic letter: position of A
  EXPECT_EQ(VirtualKeyFromSdl(0x24, '7'), '7');
  EXPECT_EQ(VirtualKeyFromSdl(0x00, 'z'), 'Z');
}

TEST(SdlKeymap, SidedModifiersHaveGenericCodes) {
  const int pairs[][2] = {{0xA0, 0x10}, {0xA1, 0x10}, {0xA2, 0x11}, {0xA3, 0x11},
                          {0xA4, 0x12}, {0xA5, 0x12}, {0x10, 0},    {0x41, 0}};
  for (const auto& p : pairs) EXPECT_EQ(GenericModifierKey(p[0]), p[1]) << p[0];
}

}  // namespace
}  // namespace korvel::platform
