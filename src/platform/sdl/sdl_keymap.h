// Windows virtual-key codes for SDL keys. Declared without SDL so tests can include it: scancodes
// and key codes are passed as SDL's plain integer values.
#pragma once

namespace korvel::platform {

// Letters and digits by key code (so keyboard layouts work), every other key by scancode; 0 when
// the key has no virtual-key code. Shift, Control and Alt give their sided codes 0xA0..0xA5. Under
// a Japanese layout the OEM keys give the codes of Windows' Japanese layout.
int VirtualKeyFromSdl(int scancode, int keycode, bool japanese_layout = false);
// A Japanese layout types '@' on the key right of P and ':' on the key right of semicolon (given
// as the key codes the layout reports for SDL_SCANCODE_LEFTBRACKET and SDL_SCANCODE_APOSTROPHE).
bool IsJapaneseLayout(int key_at_left_bracket, int key_at_apostrophe);
// The virtual-key code of a scancode alone (the table behind VirtualKeyFromSdl); 0 when unmapped.
inline constexpr int kSdlScancodeCount = 512;
int VirtualKeyOfScancode(int scancode);
// VK_SHIFT 0x10, VK_CONTROL 0x11 or VK_MENU 0x12 for a sided modifier code, else 0.
int GenericModifierKey(int virtual_key);

}  // namespace korvel::platform
