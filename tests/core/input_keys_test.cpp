// The watched keys and the SDL key table: the list holds exactly the keys in their polling order,
// and a keyboard can produce every one of them through the table (generic modifiers from either
// side, letters and digits by the layout's key codes, the Japanese keyboard's keys).
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "core/input_state.h"
#include "platform/sdl/sdl_keymap.h"

namespace korvel {
namespace {

// The polling order as ranges of virtual-key codes.
std::vector<int> ExpectedWatchedKeys() {
  const int ranges[][2] = {{0x08, 0x08}, {0x09, 0x09}, {0x0D, 0x0D}, {0x10, 0x13}, {0x1B, 0x1B},
                           {0x20, 0x28}, {0x2C, 0x2F}, {0x30, 0x39}, {0x41, 0x5A}, {0x60, 0x87},
                           {0x90, 0x90}, {0x91, 0x91}, {0xA0, 0xA5}, {0xBA, 0xC0}, {0xDB, 0xDE},
                           {0xE2, 0xE2}};
  std::vector<int> keys;
  for (const auto& r : ranges) {
    for (int vk = r[0]; vk <= r[1]; ++vk) keys.push_back(vk);
  }
  return keys;
}

TEST(WatchedKeys, ListHoldsExactlyTheKeysInOrder) {
  const std::vector<int> expected = ExpectedWatchedKeys();
  ASSERT_EQ(expected.size(), static_cast<size_t>(kWatchedKeyCount));
  std::vector<int> actual(kWatchedKeys, kWatchedKeys + kWatchedKeyCount);
  EXPECT_EQ(actual, expected);
}

TEST(WatchedKeys, EveryKeyAKeyboardHasComesFromTheKeyTable) {
  std::set<int> produced;
  for (int scancode = 0; scancode < platform::kSdlScancodeCount; ++scancode) {
    const int vk = platform::VirtualKeyOfScancode(scancode);
    if (vk == 0) continue;
    produced.insert(vk);
    if (const int generic = platform::GenericModifierKey(vk)) produced.insert(generic);
  }
  // VK_PRINT and the reserved 0x5E exist on no keyboard.
  const std::set<int> no_key = {0x2A, 0x5E};
  for (const int vk : ExpectedWatchedKeys()) {
    EXPECT_NE(produced.count(vk) != 0, no_key.count(vk) != 0) << "virtual key 0x" << std::hex << vk;
  }
  // Shift, Control and Alt come from either side.
  for (const int sided : {0xA0, 0xA1}) EXPECT_EQ(platform::GenericModifierKey(sided), 0x10);
  for (const int sided : {0xA2, 0xA3}) EXPECT_EQ(platform::GenericModifierKey(sided), 0x11);
  for (const int sided : {0xA4, 0xA5}) EXPECT_EQ(platform::GenericModifierKey(sided), 0x12);
}

TEST(WatchedKeys, LayoutsDecideLettersDigitsAndJapaneseOemKeys) {
  struct Case {
    int scancode;  // USB HID usage, as SDL numbers scancodes
    int keycode;   // what the layout types
    bool japanese;
    int vk;
  } cases[] = {
      {0x14, 'a', false, 'A'}, {0x04, 'q', false, 'Q'},   // AZERTY letters by key code
      {0x1E, '&', false, '1'}, {0x27, 0xE0, false, '0'},  // AZERTY digit row by position
      {0x04, 'a', true, 'A'},  {0x1F, '2', true, '2'},
      // Japanese layout: @ [ ] ; : ^ at the US [ ] \ ; ' = positions.
      {0x2F, '@', true, 0xC0}, {0x30, '[', true, 0xDB}, {0x31, ']', true, 0xDD},
      {0x32, ']', true, 0xDD}, {0x33, ';', true, 0xBB}, {0x34, ':', true, 0xBA},
      {0x2E, '^', true, 0xDE},
      // US layout: the same keys keep their US codes.
      {0x2F, '[', false, 0xDB}, {0x30, ']', false, 0xDD}, {0x31, '\\', false, 0xDC},
      {0x33, ';', false, 0xBA}, {0x34, '\'', false, 0xDE}, {0x2E, '=', false, 0xBB},
      // The Japanese keyboard's own keys: ro, yen, kana, convert, nonconvert.
      {0x87, '\\', true, 0xE2}, {0x89, '\\', true, 0xDC}, {0x88, 0, true, 0x15},
      {0x8A, 0, true, 0x1C},     {0x8B, 0, true, 0x1D},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::VirtualKeyFromSdl(c.scancode, c.keycode, c.japanese), c.vk)
        << "scancode 0x" << std::hex << c.scancode << " key code " << c.keycode;
  }
  EXPECT_TRUE(platform::IsJapaneseLayout('@', ':'));
  EXPECT_FALSE(platform::IsJapaneseLayout('[', '\''));
  EXPECT_FALSE(platform::IsJapaneseLayout('@', '\''));
}

}  // namespace
}  // namespace korvel
