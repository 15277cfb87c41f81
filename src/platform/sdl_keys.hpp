// Key translation of the desktop window: SDL key symbols to virtual-key
// codes, and the UTF-8 of SDL text input to code points.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace platform::sdlkeys {

// The virtual-key code of a key, or 0 for keys the system has no code for.
// Letters come from the key symbol (the user's layout) and, for layouts
// without Latin letters, from the key's position.
std::uint32_t virtualKey(SDL_Keycode sym, SDL_Scancode scancode, Uint16 mods);

// Code points of a UTF-8 text; malformed sequences are skipped.
std::vector<char32_t> decodeUtf8(const char* text);

}  // namespace platform::sdlkeys
