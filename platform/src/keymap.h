// Translation of SDL keys into the engine's key codes (KD_KEY_*) and the PC scan codes of the key data.
#pragma once

#include <SDL_keyboard.h>

#include "platform/kd.h"

namespace platform {

// The key code of a key, 0 when it has none. Letters and the punctuation keys follow the keyboard layout (the
// key symbol); digits of the main row, and every other key, follow the key's position (the scan code). Keypad
// keys give the navigation codes while Num Lock is off.
KDint keyCodeFor(SDL_Keycode symbol, SDL_Scancode scancode, Uint16 modifiers);

// The set-1 scan code of a key position in bits 0-7 and the extended-key flag in bit 8; 0 for an unknown key.
KDuint32 scanCodeFor(SDL_Scancode scancode);

} // namespace platform
