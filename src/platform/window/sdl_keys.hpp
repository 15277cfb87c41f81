// Key translation of the desktop window: SDL key symbols to virtual-key
// codes.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace platform::sdlkeys {

// The virtual-key code of a key, or 0 for keys the system has no code for.
// Letters come from the key symbol (the user's layout) and, for layouts
// without Latin letters, from the key's position.
std::uint32_t virtualKey(SDL_Keycode sym, SDL_Scancode scancode, Uint16 mods);

}  // namespace platform::sdlkeys
