// Key and colour translation of the terminal window.
#include "platform/window/term_keys.hpp"

#include <array>
#include <climits>

#include "platform/system/system.hpp"

namespace platform::termkeys {
namespace {

// The key of a printable ASCII character on the US layout, and whether it
// takes Shift there.
Key asciiKey(char c) {
    if (c >= 'a' && c <= 'z') return {static_cast<std::uint32_t>(c - 'a' + 'A'), 0};
    if (c >= 'A' && c <= 'Z') return {static_cast<std::uint32_t>(c), MOD_SHIFT};
    if (c >= '0' && c <= '9') return {static_cast<std::uint32_t>(c), 0};
    if (c == ' ') return {VK_SPACE, 0};
    static constexpr char kShiftedDigits[] = ")!@#$%^&*(";
    for (int i = 0; i < 10; ++i)
        if (c == kShiftedDigits[i]) return {static_cast<std::uint32_t>('0' + i), MOD_SHIFT};
    struct Oem {
        char plain, shifted;
        std::uint32_t vk;
    };
    static constexpr Oem kOem[] = {{';', ':', 0xBA}, {'=', '+', 0xBB}, {',', '<', 0xBC}, {'-', '_', 0xBD},
                                   {'.', '>', 0xBE}, {'/', '?', 0xBF}, {'`', '~', 0xC0}, {'[', '{', 0xDB},
                                   {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE}};
    for (const auto& o : kOem) {
        if (c == o.plain) return {o.vk, 0};
        if (c == o.shifted) return {o.vk, MOD_SHIFT};
    }
    return {};
}

}  // namespace

Event fromCharacter(char32_t ch, std::uint8_t mods, bool backspaceIsDel) {
    Event ev;
    ev.mods = mods;
    switch (ch) {
    case 27: ev.vk = VK_ESCAPE; return ev;
    case 13: ev.vk = VK_RETURN; return ev;
    case 10: ev.vk = VK_RETURN; ev.mods |= MOD_CTRL; return ev;
    case 9: ev.vk = VK_TAB; return ev;
    case 127: ev.vk = VK_BACK; return ev;
    case 8:
        ev.vk = VK_BACK;
        if (backspaceIsDel) ev.mods |= MOD_CTRL;
        return ev;
    case 0:
        ev.vk = VK_SPACE;
        ev.mods |= MOD_CTRL;
        ev.ch = ' ';
        return ev;
    case 28: ev.vk = 0xDC; ev.mods |= MOD_CTRL; return ev;
    case 29: ev.vk = 0xDD; ev.mods |= MOD_CTRL; return ev;
    case 30: ev.vk = '6'; ev.mods |= MOD_CTRL | MOD_SHIFT; return ev;
    case 31: ev.vk = 0xBD; ev.mods |= MOD_CTRL | MOD_SHIFT; return ev;
    default: break;
    }
    if (ch < 27) {
        ev.vk = 'A' + static_cast<std::uint32_t>(ch) - 1;
        ev.mods |= MOD_CTRL;
        return ev;
    }
    if (ch < 0x80) {
        const Key k = asciiKey(static_cast<char>(ch));
        ev.vk = k.vk;
        ev.mods |= k.mods;
    }
    // With Alt (and no Ctrl) the key is a system key and types nothing.
    const bool system = (mods & MOD_ALT) && !(mods & MOD_CTRL);
    if (!system && (ch < 0x80 || ch >= 0xA0)) {
        const std::uint8_t c = unicodeToCp1252(ch);
        ev.ch = c != 0 ? c : static_cast<std::uint32_t>(ch);
    }
    return ev;
}

bool functionKey(int n, Key& key) {
    if (n < 1 || n > 72) return false;
    static constexpr std::uint8_t kGroupMods[] = {0,        MOD_SHIFT,           MOD_CTRL,
                                                  MOD_CTRL | MOD_SHIFT, MOD_ALT, MOD_ALT | MOD_SHIFT};
    key.vk = VK_F1 + static_cast<std::uint32_t>((n - 1) % 12);
    key.mods = kGroupMods[(n - 1) / 12];
    return true;
}

std::vector<Sequence> xtermSequences() {
    std::vector<Sequence> out;
    // The modifier parameter of xterm: 1 + Shift 1 + Alt 2 + Ctrl 4.
    auto modsOf = [](int param) {
        const int bits = param - 1;
        std::uint8_t m = 0;
        if (bits & 1) m |= MOD_SHIFT;
        if (bits & 2) m |= MOD_ALT;
        if (bits & 4) m |= MOD_CTRL;
        return m;
    };
    struct Letter {
        char final;
        std::uint32_t vk;
    };
    static constexpr Letter kLetters[] = {{'A', VK_UP},   {'B', VK_DOWN}, {'C', VK_RIGHT}, {'D', VK_LEFT},
                                          {'H', VK_HOME}, {'F', VK_END},  {'P', VK_F1},    {'Q', VK_F2},
                                          {'R', VK_F3},   {'S', VK_F4}};
    struct Tilde {
        int number;
        std::uint32_t vk;
    };
    static constexpr Tilde kTildes[] = {
        {1, VK_HOME},  {2, VK_INSERT}, {3, VK_DELETE}, {4, VK_END},  {5, VK_PRIOR}, {6, VK_NEXT},
        {7, VK_HOME},  {8, VK_END},    {11, VK_F1},    {12, VK_F2},  {13, VK_F3},   {14, VK_F4},
        {15, VK_F5},   {17, VK_F6},    {18, VK_F7},    {19, VK_F8},  {20, VK_F9},   {21, VK_F10},
        {23, VK_F11},  {24, VK_F12}};
    for (const auto& l : kLetters) {
        const bool function = l.vk >= VK_F1;
        if (!function) out.push_back({std::string("\033[") + l.final, {l.vk, 0}});
        out.push_back({std::string("\033O") + l.final, {l.vk, 0}});
        for (int m = 2; m <= 8; ++m)
            out.push_back({"\033[1;" + std::to_string(m) + l.final, {l.vk, modsOf(m)}});
    }
    for (const auto& t : kTildes) {
        const std::string n = std::to_string(t.number);
        out.push_back({"\033[" + n + "~", {t.vk, 0}});
        for (int m = 2; m <= 8; ++m)
            out.push_back({"\033[" + n + ";" + std::to_string(m) + "~", {t.vk, modsOf(m)}});
    }
    out.push_back({"\033[Z", {VK_TAB, MOD_SHIFT}});
    return out;
}

}  // namespace platform::termkeys

namespace platform::termcolour {
namespace {

constexpr std::array<Rgb, 16> kStandard = {{{0, 0, 0},       {205, 0, 0},     {0, 205, 0},     {205, 205, 0},
                                            {0, 0, 238},     {205, 0, 205},   {0, 205, 205},   {229, 229, 229},
                                            {127, 127, 127}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                                            {92, 92, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}}};

int distance(Rgb a, Rgb b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

Rgb entry256(int i) {
    static constexpr std::uint8_t kLevels[] = {0, 95, 135, 175, 215, 255};
    if (i >= 232) {
        const auto v = static_cast<std::uint8_t>(8 + 10 * (i - 232));
        return {v, v, v};
    }
    const int c = i - 16;
    return {kLevels[c / 36], kLevels[(c / 6) % 6], kLevels[c % 6]};
}

}  // namespace

int nearest(Rgb colour, int colours, bool foreground) {
    int best = 0, bestDistance = INT_MAX;
    if (colours >= 256) {
        for (int i = 16; i < 256; ++i) {
            const int d = distance(colour, entry256(i));
            if (d < bestDistance) bestDistance = d, best = i;
        }
        return best;
    }
    const int count = (colours >= 16 || foreground) ? 16 : 8;
    for (int i = 0; i < count; ++i) {
        const int d = distance(colour, kStandard[static_cast<std::size_t>(i)]);
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

int luminance(Rgb colour) { return (colour.r * 299 + colour.g * 587 + colour.b * 114) / 1000; }

}  // namespace platform::termcolour
