// SDL key symbols to virtual-key codes (the Windows numbers).
#include "platform/window/sdl_keys.hpp"

#include "platform/system/messages.hpp"

namespace platform::sdlkeys {
namespace {

// Keypad keys: the navigation key without Num Lock, the VK_NUMPAD code
// with it (the digit itself comes as text input).
struct KeypadKey {
    SDL_Keycode sym;
    std::uint32_t withoutNumLock, withNumLock;
};

constexpr KeypadKey kKeypad[] = {
    {SDLK_KP_0, VK_INSERT, 0x60}, {SDLK_KP_1, VK_END, 0x61},    {SDLK_KP_2, VK_DOWN, 0x62},
    {SDLK_KP_3, VK_NEXT, 0x63},   {SDLK_KP_4, VK_LEFT, 0x64},   {SDLK_KP_5, 0x0C, 0x65},
    {SDLK_KP_6, VK_RIGHT, 0x66},  {SDLK_KP_7, VK_HOME, 0x67},   {SDLK_KP_8, VK_UP, 0x68},
    {SDLK_KP_9, VK_PRIOR, 0x69},  {SDLK_KP_PERIOD, VK_DELETE, 0x6E},
};

// Punctuation keys by position (VK_OEM_*: their codes follow the position
// on the US layout, as the Windows layouts do for most keys).
struct OemKey {
    SDL_Scancode scancode;
    std::uint32_t vk;
};

constexpr OemKey kOem[] = {
    {SDL_SCANCODE_SEMICOLON, 0xBA},    {SDL_SCANCODE_EQUALS, 0xBB},     {SDL_SCANCODE_COMMA, 0xBC},
    {SDL_SCANCODE_MINUS, 0xBD},        {SDL_SCANCODE_PERIOD, 0xBE},     {SDL_SCANCODE_SLASH, 0xBF},
    {SDL_SCANCODE_GRAVE, 0xC0},        {SDL_SCANCODE_LEFTBRACKET, 0xDB}, {SDL_SCANCODE_BACKSLASH, 0xDC},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD}, {SDL_SCANCODE_APOSTROPHE, 0xDE}, {SDL_SCANCODE_NONUSBACKSLASH, 0xE2},
    {SDL_SCANCODE_INTERNATIONAL1, 0xC1},
};

}  // namespace

std::uint32_t virtualKey(SDL_Keycode sym, SDL_Scancode scancode, Uint16 mods) {
    if (sym >= SDLK_a && sym <= SDLK_z) return static_cast<std::uint32_t>('A' + (sym - SDLK_a));
    if (sym >= SDLK_0 && sym <= SDLK_9) return static_cast<std::uint32_t>('0' + (sym - SDLK_0));
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return VK_F1 + static_cast<std::uint32_t>(sym - SDLK_F1);
    switch (sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
    case SDLK_RETURN2: return VK_RETURN;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_PAUSE:
        return (mods & KMOD_CTRL) ? VK_CANCEL : VK_PAUSE;
    case SDLK_CANCEL: return VK_CANCEL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_SCROLLLOCK: return 0x91;
    case SDLK_PRINTSCREEN: return 0x2C;
    case SDLK_APPLICATION: return 0x5D;
    case SDLK_LGUI: return 0x5B;
    case SDLK_RGUI: return 0x5C;
    default: break;
    }
    for (const auto& k : kKeypad)
        if (k.sym == sym) return (mods & KMOD_NUM) ? k.withNumLock : k.withoutNumLock;
    // Layouts without Latin letters (and keys like ç): by position.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return static_cast<std::uint32_t>('A' + (scancode - SDL_SCANCODE_A));
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return static_cast<std::uint32_t>('1' + (scancode - SDL_SCANCODE_1));
    if (scancode == SDL_SCANCODE_0) return '0';
    if (scancode == SDL_SCANCODE_PAUSE) return (mods & KMOD_CTRL) ? VK_CANCEL : VK_PAUSE;
    for (const auto& k : kOem)
        if (k.scancode == scancode) return k.vk;
    return 0;
}

}  // namespace platform::sdlkeys
