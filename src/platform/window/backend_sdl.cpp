// The desktop window: SDL2 for the window, events and clipboard, SDL2_ttf
// for the glyphs, fontconfig to find the face.
//
// Drawing on the cells of the console's grid (text, fills and moves that
// start and end on cell edges) goes to a grid of cells of our own
// (cell_grid.hpp): writing and scrolling a line then costs a few stores,
// and the cells that changed are drawn onto a backing surface of the client
// size only when the window is brought up to date, at most every 30 ms
// while the program writes and always before a wait. Drawing off the grid
// draws the grid out first and then goes to the backing surface directly,
// as everything does from then on. The window shows the backing surface,
// never anything drawn straight onto it.
// The caret is inverted over the copied frame, so it never touches the
// backing pixels. Each character is drawn in its own cell from a cache of
// white glyphs tinted with the text colour, so the grid stays fixed whatever
// the font's advance for a glyph (or its lack of one).
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <thread>
#include <unordered_map>

#include "platform/sound/audio.hpp"
#include "platform/window/backend.hpp"
#include "platform/window/cell_grid.hpp"
#include "platform/window/sdl_keys.hpp"
#include "platform/system/system.hpp"
#include "platform/window/text_input.hpp"
#include "platform/window/x11_errors.hpp"

namespace platform {
namespace {

// Looks a face up with fontconfig; the file's path when the best match is
// of that family, empty otherwise.
std::string fontFileFor(const std::string& familyUtf8) {
    if (familyUtf8.empty()) return {};
    std::string path;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyUtf8.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match != nullptr) {
        FcChar8* family = nullptr;
        FcChar8* file = nullptr;
        bool sameFamily = false;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
            if (strcasecmp(reinterpret_cast<const char*>(family), familyUtf8.c_str()) == 0) {
                sameFamily = true;
                break;
            }
        }
        if (sameFamily && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
            path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return path;
}

constexpr const char* kDefaultFace = "DejaVu Sans Mono";
constexpr const char* kDefaultFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/TTF/DejaVuSansMono.ttf",
};

std::uint8_t modsOf(Uint16 sdlMods) {
    std::uint8_t mods = 0;
    if (sdlMods & KMOD_SHIFT) mods |= MOD_SHIFT;
    if (sdlMods & KMOD_CTRL) mods |= MOD_CTRL;
    if (sdlMods & KMOD_ALT) mods |= MOD_ALT;
    return mods;
}

LParam pointParam(int x, int y) {
    return static_cast<LParam>((static_cast<std::uint32_t>(x) & 0xFFFF) |
                               ((static_cast<std::uint32_t>(y) & 0xFFFF) << 16));
}

class SdlBackend final : public WindowBackend {
public:
    ~SdlBackend() override { shutdown(); }

    const char* name() const override { return "sdl"; }

    bool init() override {
        if (started_) return true;
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        const bool hasX11 = x11 != nullptr && *x11 != '\0';
        const bool hasWayland = wayland != nullptr && *wayland != '\0';
        if (!hasX11 && !hasWayland) return false;
        if (!hasWayland && std::getenv("SDL_VIDEODRIVER") == nullptr) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        // The window surface is shown through the display's own image calls
        // (shared memory on X11), not through a renderer: with no graphics
        // driver that renderer is a software GL whose threads each frame
        // waits for, and a text screen gains nothing from it.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        handleDisplayErrors();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
        // Only a desktop will do: SDL's console and off-screen drivers are
        // no window for a person (the terminal backend serves the console).
        const char* driver = SDL_GetCurrentVideoDriver();
        const bool desktop = driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
        if (!desktop || SDL_GetNumVideoDisplays() < 1) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
            return false;
        }
        if (TTF_WasInit() == 0 && TTF_Init() != 0) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
            return false;
        }
        wakeEvent_ = SDL_RegisterEvents(1);
        mainThread_ = std::this_thread::get_id();
        started_ = true;
        return true;
    }

    void shutdown() override {
        if (!started_) return;
        started_ = false;
        // The display is gone: SDL would wait for its answers for ever.
        if (displayLost()) return;
        destroyWindow();
        closeFont();
        TTF_Quit();
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }

    // The display is asked for events at most every kInputInterval ms here
    // (the program polls at every line it writes), and always after a wait.
    void pollEvents() override {
        if (!started_ || displayLost()) return;
        const std::uint64_t now = tickCount();
        if (now - lastInput_ < kInputInterval) {
            if (dirty_ && presentDue(now)) present();
            return;
        }
        readEvents(now);
    }

    void readEvents(std::uint64_t now) {
        lastInput_ = now;
        SDL_Event ev;
        while (SDL_PollEvent(&ev) == 1) handle(ev);
        // The queue is empty: a wake-up posted from now on needs a push of
        // its own (one lost by a full queue would otherwise block them all).
        wakePending_ = false;
        if (dirty_ && presentDue(tickCount())) present();
    }

    void waitEvents(int milliseconds) override {
        if (!started_ || displayLost()) return;
        if (dirty_) present();
        SDL_Event ev;
        int got = milliseconds < 0 ? SDL_WaitEvent(&ev) : SDL_WaitEventTimeout(&ev, milliseconds);
        if (got == 1) handle(ev);
        readEvents(tickCount());
    }

    void wakeUp() override {
        if (!started_ || wakeEvent_ == static_cast<Uint32>(-1)) return;
        // The main thread is not waiting while it posts; others need a push,
        // one at a time (a pending push already wakes the waiter).
        if (std::this_thread::get_id() == mainThread_) return;
        if (wakePending_.exchange(true)) return;
        SDL_Event ev{};
        ev.type = wakeEvent_;
        if (SDL_PushEvent(&ev) != 1) wakePending_ = false;
    }

    FontMetrics createFont(const std::string& face, int width, int height) override {
        closeFont();
        std::string path = fontFileFor(cp1252ToUtf8(face));
        if (path.empty()) path = fontFileFor(kDefaultFace);
        if (path.empty()) {
            for (const char* f : kDefaultFontFiles) {
                if (std::FILE* fp = std::fopen(f, "rb")) {
                    std::fclose(fp);
                    path = f;
                    break;
                }
            }
        }
        FontMetrics m;
        if (path.empty()) {
            metrics_ = m;
            return m;
        }
        int asked = height > 0 ? height : (width > 0 ? width * 2 : 16);
        asked = std::clamp(asked, 4, 400);
        font_ = TTF_OpenFont(path.c_str(), asked);
        if (font_ == nullptr) {
            metrics_ = m;
            return m;
        }
        // The point size whose line height comes closest to the asked
        // height: start from the ratio, then try the neighbours.
        int skip = std::max(1, TTF_FontLineSkip(font_));
        int size = std::max(1, static_cast<int>(std::lround(asked * double(asked) / skip)));
        int best = asked, bestDiff = std::abs(skip - asked);
        for (int s = std::max(1, size - 2); s <= size + 2; ++s) {
            if (TTF_SetFontSize(font_, s) != 0) continue;
            int d = std::abs(TTF_FontLineSkip(font_) - asked);
            if (d < bestDiff || (d == bestDiff && s > best)) {
                bestDiff = d;
                best = s;
            }
        }
        TTF_SetFontSize(font_, best);
        TTF_SetFontHinting(font_, TTF_HINTING_LIGHT);
        int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
        if (TTF_GlyphMetrics32(font_, 'M', &minx, &maxx, &miny, &maxy, &advance) != 0 || advance <= 0)
            advance = std::max(1, asked / 2);
        // A width asked for is honoured as the platform's fonts do: the
        // glyphs are narrowed or widened to it.
        naturalAdvance_ = advance;
        m.cellWidth = (width > 0 && height > 0) ? std::clamp(width, 1, 400) : advance;
        m.cellHeight = std::max(1, TTF_FontLineSkip(font_));
        m.ascent = TTF_FontAscent(font_);
        m.overhang = 0;
        metrics_ = m;
        return m;
    }

    SystemMetrics systemMetrics() override {
        SystemMetrics s;
        if (!started_) return s;
        int display = window_ ? std::max(0, SDL_GetWindowDisplayIndex(window_)) : 0;
        SDL_Rect usable{};
        if (SDL_GetDisplayUsableBounds(display, &usable) == 0)
            s.workArea = {usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(display, &bounds) == 0) {
            s.displayWidth = bounds.w;
            s.displayHeight = bounds.h;
        }
        if (s.workArea.width() <= 0) s.workArea = {0, 0, s.displayWidth, s.displayHeight};
        // SDL sizes windows by their client area: the sizes asked for are
        // client sizes, so the frame and caption count as nothing.
        return s;
    }

    bool createWindow(const WindowSpec& spec) override {
        if (!started_) return false;
        destroyWindow();
        // As on Windows, the size limits are asked for before the window
        // exists, and a window larger than the work area starts at its
        // corner rather than off the screen.
        const MinMaxInfo limits = sizeLimits();
        int w = std::max(1, spec.width), h = std::max(1, spec.height);
        if (limits.maxWidth > 0) w = std::min(w, limits.maxWidth);
        if (limits.maxHeight > 0) h = std::min(h, limits.maxHeight);
        w = std::max(w, limits.minTrackWidth);
        h = std::max(h, limits.minTrackHeight);
        const Rect work = systemMetrics().workArea;
        int x = SDL_WINDOWPOS_UNDEFINED, y = SDL_WINDOWPOS_UNDEFINED;
        if (work.width() > 0 && work.height() > 0) {
            x = work.left + std::max(0, (work.width() - w) / 2);
            y = work.top + std::max(0, (work.height() - h) / 2);
        }
        gridOn_ = true;
        grid_ = CellGrid{};
        window_ = SDL_CreateWindow(cp1252ToUtf8(spec.title).c_str(), x, y, w, h,
                                   SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
        if (window_ == nullptr) return false;
        windowId_ = SDL_GetWindowID(window_);
        if (limits.minTrackWidth > 0 && limits.minTrackHeight > 0)
            SDL_SetWindowMinimumSize(window_, limits.minTrackWidth, limits.minTrackHeight);
        if (limits.maxWidth > 0 && limits.maxHeight > 0)
            SDL_SetWindowMaximumSize(window_, limits.maxWidth, limits.maxHeight);
        SDL_ShowWindow(window_);
        if (spec.maximised) SDL_MaximizeWindow(window_);
        SDL_GetWindowSize(window_, &w, &h);
        resizeBacking(w, h);
        SDL_StartTextInput();
        SDL_RaiseWindow(window_);
        SDL_SetWindowInputFocus(window_);
        markAllDirty();
        return true;
    }

    void destroyWindow() override {
        releaseCapture();
        if (backing_ != nullptr) SDL_FreeSurface(backing_);
        backing_ = nullptr;
        if (window_ != nullptr) {
            SDL_StopTextInput();
            SDL_DestroyWindow(window_);
        }
        window_ = nullptr;
        windowId_ = 0;
        focused_ = false;
        keyMods_ = 0;
        caret_ = {};
        dirty_ = false;
        wholeDirty_ = false;
        dirtyRect_ = shownCaret_ = SDL_Rect{0, 0, 0, 0};
        grid_ = CellGrid{};
    }

    void setTitle(const std::string& title) override {
        if (window_ != nullptr && !displayLost()) SDL_SetWindowTitle(window_, cp1252ToUtf8(title).c_str());
    }

    Rect clientRect() override {
        if (backing_ == nullptr) return {};
        return {0, 0, backing_->w, backing_->h};
    }

    Rect windowRect() override {
        if (window_ == nullptr) return {};
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        SDL_GetWindowSize(window_, &w, &h);
        return {x, y, x + w, y + h};
    }

    bool isActive() override {
        return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
    }

    void beginPaint() override {}

    void endPaint() override {
        if (dirty_ && presentDue(tickCount())) present();
    }

    void drawText(int x, int y, const std::uint8_t* text, int count, Rgb fg, Rgb bg) override {
        if (backing_ == nullptr || text == nullptr || count <= 0) return;
        const int cw = metrics_.cellWidth, ch = metrics_.cellHeight;
        if (onGrid(x, y)) {
            grid_.put(x / cw, y / ch, text, count, fg, bg);
            dirty_ = true;
            return;
        }
        leaveGrid();
        fillPixels({x, y, x + cw * count, y + ch}, bg);
        for (int i = 0; i < count; ++i) drawGlyph(text[i], SDL_Rect{x + i * cw, y, cw, ch}, fg);
    }

    void fillRect(const Rect& r, Rgb colour) override {
        if (backing_ == nullptr) return;
        if (onGrid(r)) {
            const int cw = metrics_.cellWidth, ch = metrics_.cellHeight;
            grid_.fill(r.left / cw, r.top / ch, (r.right + cw - 1) / cw, (r.bottom + ch - 1) / ch, colour);
            dirty_ = true;
            return;
        }
        leaveGrid();
        fillPixels(r, colour);
    }

    void copyPixels(const Rect& src, int dx, int dy) override {
        if (backing_ == nullptr) return;
        const int cw = metrics_.cellWidth, ch = metrics_.cellHeight;
        if (onGrid(src) && onGrid(dx, dy)) {
            grid_.move(src.left / cw, src.top / ch, (src.right + cw - 1) / cw, (src.bottom + ch - 1) / ch, dx / cw,
                       dy / ch);
            dirty_ = true;
            return;
        }
        leaveGrid();
        // Clip the source to the surface and the destination likewise.
        Rect s = src;
        const int W = backing_->w, H = backing_->h;
        if (s.left < 0) { dx -= s.left; s.left = 0; }
        if (s.top < 0) { dy -= s.top; s.top = 0; }
        s.right = std::min(s.right, W);
        s.bottom = std::min(s.bottom, H);
        if (dx < 0) { s.left -= dx; dx = 0; }
        if (dy < 0) { s.top -= dy; dy = 0; }
        int w = std::min(s.width(), W - dx), h = std::min(s.height(), H - dy);
        if (w <= 0 || h <= 0) return;
        if (SDL_MUSTLOCK(backing_)) SDL_LockSurface(backing_);
        auto* pixels = static_cast<std::uint8_t*>(backing_->pixels);
        const int pitch = backing_->pitch, bpp = backing_->format->BytesPerPixel;
        auto row = [&](int r) {
            std::memmove(pixels + (dy + r) * pitch + dx * bpp, pixels + (s.top + r) * pitch + s.left * bpp,
                         static_cast<std::size_t>(w) * bpp);
        };
        if (dy <= s.top)
            for (int r = 0; r < h; ++r) row(r);
        else
            for (int r = h - 1; r >= 0; --r) row(r);
        if (SDL_MUSTLOCK(backing_)) SDL_UnlockSurface(backing_);
        markDirty(SDL_Rect{dx, dy, w, h});
    }

    void captureWindow() override {
        releaseCapture();
        if (backing_ == nullptr) return;
        drawGrid();
        capture_ = SDL_ConvertSurface(backing_, backing_->format, 0);
    }

    void stretchCapture(const Rect& src) override {
        if (capture_ == nullptr) return;
        magnifying_ = true;
        magnifySource_ = src;
        present();
    }

    void releaseCapture() override {
        if (capture_ != nullptr) SDL_FreeSurface(capture_);
        capture_ = nullptr;
        if (magnifying_) {
            magnifying_ = false;
            markAllDirty();
        }
    }

    void createCaret(int width, int height) override {
        caret_.width = width;
        caret_.height = height;
        caret_.exists = true;
        caret_.visible = false;
    }

    void setCaretPos(int x, int y) override {
        caret_.x = x;
        caret_.y = y;
        if (caret_.visible) dirty_ = true;
    }

    void showCaret() override {
        if (!caret_.exists) return;
        caret_.visible = true;
        present();
    }

    void destroyCaret() override {
        const bool was = caret_.visible;
        caret_ = {};
        if (was) present();
    }

    bool setClipboard(const std::string& cp1252) override {
        if (!started_) return false;
        return SDL_SetClipboardText(cp1252ToUtf8(cp1252).c_str()) == 0;
    }

    bool getClipboard(std::string& cp1252) override {
        if (!started_) return false;
        char* text = SDL_GetClipboardText();
        if (text == nullptr) return false;
        cp1252 = utf8ToCp1252(text);
        SDL_free(text);
        return true;
    }

    void beep() override { audio::beep(); }

    bool messageBox(const std::string& title, const std::string& text) override {
        const std::string t = cp1252ToUtf8(title), m = cp1252ToUtf8(text);
        std::fprintf(stderr, "%s: %s\n", t.c_str(), m.c_str());
        std::fflush(stderr);
        return !displayLost() && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, t.c_str(), m.c_str(), window_) == 0;
    }

    bool hasKeyReleases() const override { return true; }
    // The backing surface and the grid are ours: never covered, never lost.
    bool keepsContents() const override { return true; }

private:
    struct Caret {
        bool exists = false, visible = false;
        int x = 0, y = 0, width = 0, height = 0;
    };

    // The procedure's answer to WM_GETMINMAXINFO (the limits of a maximised
    // window too); zeros where it gives none.
    MinMaxInfo sizeLimits() {
        MinMaxInfo info;
        if (const Hwnd hwnd = currentWindow())
            sendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
        return info;
    }

    // Whether a point, or a rectangle, lies on the cell edges of the grid
    // (a right or bottom edge may also be the surface's own).
    bool onGrid(int x, int y) const {
        const int cw = metrics_.cellWidth, ch = metrics_.cellHeight;
        return gridOn_ && cw > 0 && ch > 0 && x >= 0 && y >= 0 && x % cw == 0 && y % ch == 0;
    }
    bool onGrid(const Rect& r) const {
        if (!onGrid(r.left, r.top) || backing_ == nullptr) return false;
        const int cw = metrics_.cellWidth, ch = metrics_.cellHeight;
        return (r.right % cw == 0 || r.right >= backing_->w) && (r.bottom % ch == 0 || r.bottom >= backing_->h);
    }

    // The grid's changed cells onto the backing surface: backgrounds in
    // runs of one colour, then the glyphs. Plain cells are black.
    void drawGrid() {
        if (!gridOn_ || backing_ == nullptr || !grid_.changed()) return;
        const int cw = metrics_.cellWidth, ch = metrics_.cellHeight;
        grid_.takeChanged([&](int y, const GridCell* cells, int from, int to) {
            const auto background = [&](int x) { return cells[x].plain ? Rgb{} : cells[x].bg; };
            for (int x = from; x < to;) {
                const int start = x;
                const Rgb bg = background(x);
                while (x < to && background(x) == bg) ++x;
                fillPixels({start * cw, y * ch, x * cw, (y + 1) * ch}, bg);
            }
            for (int x = from; x < to; ++x)
                if (!cells[x].plain) drawGlyph(cells[x].byte, SDL_Rect{x * cw, y * ch, cw, ch}, cells[x].fg);
        });
    }

    // From now on everything is drawn on the backing surface directly.
    void leaveGrid() {
        if (!gridOn_) return;
        drawGrid();
        gridOn_ = false;
    }

    void fillPixels(const Rect& r, Rgb colour) {
        SDL_Rect rect{r.left, r.top, r.width(), r.height()};
        if (rect.w <= 0 || rect.h <= 0) return;
        SDL_FillRect(backing_, &rect, SDL_MapRGB(backing_->format, colour.r, colour.g, colour.b));
        markDirty(rect);
    }

    // One character's glyph in its cell, in the text colour.
    void drawGlyph(std::uint8_t byte, const SDL_Rect& cell, Rgb fg) {
        if (font_ == nullptr) return;
        const char32_t cp = cp1252ToUnicode(byte);
        if (cp <= 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0xA0) return;
        SDL_Surface* glyph = glyphFor(cp);
        if (glyph == nullptr) return;
        SDL_Rect saved;
        SDL_GetClipRect(backing_, &saved);
        SDL_SetClipRect(backing_, &cell);
        SDL_SetSurfaceColorMod(glyph, fg.r, fg.g, fg.b);
        SDL_Rect dst{cell.x, cell.y, glyph->w, glyph->h};
        SDL_BlitSurface(glyph, nullptr, backing_, &dst);
        SDL_SetClipRect(backing_, &saved);
    }

    void closeFont() {
        for (auto& [cp, surface] : glyphs_) SDL_FreeSurface(surface);
        glyphs_.clear();
        if (font_ != nullptr) TTF_CloseFont(font_);
        font_ = nullptr;
    }

    SDL_Surface* glyphFor(char32_t cp) {
        auto it = glyphs_.find(cp);
        if (it != glyphs_.end()) return it->second;
        SDL_Surface* s = TTF_RenderGlyph32_Blended(font_, static_cast<Uint32>(cp), SDL_Color{255, 255, 255, 255});
        if (s != nullptr && metrics_.cellWidth != naturalAdvance_) s = scaledGlyph(s);
        if (s != nullptr) SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
        glyphs_.emplace(cp, s);
        return s;
    }

    // The glyph (white, with coverage in alpha) resampled horizontally by
    // cell width / natural advance, with linear interpolation. Frees the
    // original.
    SDL_Surface* scaledGlyph(SDL_Surface* glyph) {
        SDL_Surface* src = SDL_ConvertSurfaceFormat(glyph, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(glyph);
        if (src == nullptr) return nullptr;
        const double f = double(metrics_.cellWidth) / std::max(1, naturalAdvance_);
        const int w = std::max(1, static_cast<int>(std::lround(src->w * f)));
        SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, w, src->h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (dst == nullptr) return src;
        SDL_LockSurface(src);
        SDL_LockSurface(dst);
        for (int y = 0; y < src->h; ++y) {
            const auto* in = reinterpret_cast<const Uint32*>(static_cast<const std::uint8_t*>(src->pixels) + y * src->pitch);
            auto* out = reinterpret_cast<Uint32*>(static_cast<std::uint8_t*>(dst->pixels) + y * dst->pitch);
            for (int x = 0; x < w; ++x) {
                const double sx = std::clamp((x + 0.5) / f - 0.5, 0.0, double(src->w - 1));
                const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, src->w - 1);
                const double t = sx - x0;
                const double a = (1 - t) * (in[x0] >> 24) + t * (in[x1] >> 24);
                const Uint32 alpha = static_cast<Uint32>(std::lround(std::clamp(a, 0.0, 255.0)));
                out[x] = (alpha << 24) | 0x00FFFFFFu;
            }
        }
        SDL_UnlockSurface(dst);
        SDL_UnlockSurface(src);
        SDL_FreeSurface(src);
        return dst;
    }

    void resizeBacking(int w, int h) {
        w = std::max(1, w);
        h = std::max(1, h);
        if (backing_ != nullptr && backing_->w == w && backing_->h == h) return;
        SDL_Surface* fresh = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
        if (fresh == nullptr) return;
        SDL_FillRect(fresh, nullptr, SDL_MapRGB(fresh->format, 0, 0, 0));
        if (backing_ != nullptr) {
            SDL_BlitSurface(backing_, nullptr, fresh, nullptr);
            SDL_FreeSurface(backing_);
        }
        backing_ = fresh;
        const int cw = std::max(1, metrics_.cellWidth), ch = std::max(1, metrics_.cellHeight);
        if (gridOn_) grid_.resize((w + cw - 1) / cw, (h + ch - 1) / ch);
        markAllDirty();
    }

    void markDirty(const SDL_Rect& r) {
        if (r.w <= 0 || r.h <= 0) return;
        if (dirtyRect_.w <= 0 || dirtyRect_.h <= 0)
            dirtyRect_ = r;
        else
            SDL_UnionRect(&dirtyRect_, &r, &dirtyRect_);
        dirty_ = true;
    }

    void markAllDirty() {
        wholeDirty_ = true;
        dirty_ = true;
    }

    // Copy what changed of the frame (or the magnified view) to the window,
    // then the caret. The caret's old and new places are copied too, so
    // that it leaves no trace.
    // While the program writes, the window is brought up to date every
    // kPresentInterval ms, or less often when showing a frame takes the
    // display long (a busy X server): no more than a third of the time goes
    // to showing frames.
    bool presentDue(std::uint64_t now) const {
        return now - lastPresent_ >= std::max<std::uint64_t>(kPresentInterval, 3 * presentCost_);
    }

    void present() {
        const std::uint64_t start = tickCount();
        showFrame();
        lastPresent_ = tickCount();
        presentCost_ = lastPresent_ - start;
    }

    void showFrame() {
        drawGrid();
        dirty_ = false;
        if (window_ == nullptr || backing_ == nullptr || displayLost()) return;
        SDL_Surface* screen = SDL_GetWindowSurface(window_);
        if (screen == nullptr) return;
        if (magnifying_ && capture_ != nullptr) {
            SDL_Rect src{magnifySource_.left, magnifySource_.top, magnifySource_.width(),
                         magnifySource_.height()};
            src.x = std::clamp(src.x, 0, capture_->w - 1);
            src.y = std::clamp(src.y, 0, capture_->h - 1);
            src.w = std::max(1, std::min(src.w, capture_->w - src.x));
            src.h = std::max(1, std::min(src.h, capture_->h - src.y));
            SDL_Rect dst{0, 0, screen->w, screen->h};
            SDL_BlitScaled(capture_, &src, screen, &dst);
            SDL_UpdateWindowSurface(window_);
            wholeDirty_ = true;  // the frame is shown again in full afterwards
            return;
        }
        const SDL_Rect whole{0, 0, screen->w, screen->h};
        SDL_Rect area = whole;
        if (!wholeDirty_) {
            markDirty(shownCaret_);
            if (caret_.visible) markDirty(SDL_Rect{caret_.x, caret_.y, caret_.width, caret_.height});
            if (!SDL_IntersectRect(&dirtyRect_, &whole, &area)) area = SDL_Rect{0, 0, 0, 0};
        }
        wholeDirty_ = false;
        dirtyRect_ = SDL_Rect{0, 0, 0, 0};
        dirty_ = false;
        if (area.w <= 0 || area.h <= 0) return;
        SDL_Rect dst = area;
        SDL_BlitSurface(backing_, &area, screen, &dst);
        shownCaret_ = SDL_Rect{0, 0, 0, 0};
        if (caret_.visible) {
            invertCaret(screen);
            shownCaret_ = SDL_Rect{caret_.x, caret_.y, caret_.width, caret_.height};
        }
        SDL_UpdateWindowSurfaceRects(window_, &area, 1);
    }

    void invertCaret(SDL_Surface* screen) {
        SDL_Rect r{caret_.x, caret_.y, caret_.width, caret_.height};
        SDL_Rect whole{0, 0, screen->w, screen->h}, clipped;
        if (!SDL_IntersectRect(&r, &whole, &clipped)) return;
        if (screen->format->BytesPerPixel != 4) {
            SDL_FillRect(screen, &clipped, SDL_MapRGB(screen->format, 255, 255, 255));
            return;
        }
        if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
        const Uint32 rgbMask = screen->format->Rmask | screen->format->Gmask | screen->format->Bmask;
        for (int yy = clipped.y; yy < clipped.y + clipped.h; ++yy) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<std::uint8_t*>(screen->pixels) + yy * screen->pitch);
            for (int xx = clipped.x; xx < clipped.x + clipped.w; ++xx) row[xx] ^= rgbMask;
        }
        if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
    }

    void handle(const SDL_Event& ev) {
        if (ev.type == wakeEvent_) {
            wakePending_ = false;
            return;
        }
        const Hwnd hwnd = currentWindow();
        switch (ev.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (ev.key.windowID != windowId_ || hwnd == 0) return;
            // The modifier state as of this event: SDL's live state runs
            // ahead of the events still queued.
            keyMods_ = ev.key.keysym.mod;
            const std::uint8_t mods = modsOf(ev.key.keysym.mod);
            const std::uint32_t vk = sdlkeys::virtualKey(ev.key.keysym.sym, ev.key.keysym.scancode,
                                                         ev.key.keysym.mod);
            if (vk == 0) return;
            const bool down = ev.type == SDL_KEYDOWN;
            const bool system = (mods & MOD_ALT) && !(mods & MOD_CTRL);
            const std::uint32_t message =
                down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
            // lParam as Windows fills it: repeat count 1, the scan code,
            // the Alt context bit, the previous state and the transition.
            LParam lp = 1 | (static_cast<LParam>(ev.key.keysym.scancode & 0xFF) << 16);
            if (mods & MOD_ALT) lp |= LParam(1) << 29;
            if (!down || ev.key.repeat) lp |= LParam(1) << 30;
            if (!down) lp |= LParam(1) << 31;
            postMessage(hwnd, message, vk, lp, mods);
            return;
        }
        case SDL_TEXTINPUT: {
            if (ev.text.windowID != windowId_ || hwnd == 0) return;
            const Uint16 sdlMods = keyMods_;
            // Left Alt without Ctrl makes system characters, not text.
            if ((sdlMods & KMOD_LALT) && !(sdlMods & (KMOD_CTRL | KMOD_RALT | KMOD_MODE))) return;
            const std::uint8_t mods = modsOf(sdlMods);
            for (const std::uint32_t c : typedCharacters(ev.text.text)) postMessage(hwnd, WM_CHAR, c, 1, mods);
            return;
        }
        case SDL_WINDOWEVENT:
            if (ev.window.windowID != windowId_) return;
            switch (ev.window.event) {
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                if (hwnd && !focused_) postMessage(hwnd, WM_SETFOCUS);
                focused_ = true;
                return;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                if (hwnd && focused_) postMessage(hwnd, WM_KILLFOCUS);
                focused_ = false;
                keyMods_ = 0;
                return;
            case SDL_WINDOWEVENT_CLOSE:
                if (hwnd) postMessage(hwnd, WM_CLOSE);
                return;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
            case SDL_WINDOWEVENT_RESIZED: {
                int w = 0, h = 0;
                SDL_GetWindowSize(window_, &w, &h);
                resizeBacking(w, h);
                if (hwnd) {
                    postMessage(hwnd, WM_SIZE, 0, pointParam(w, h));
                    invalidate(hwnd, nullptr);
                }
                return;
            }
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
                if (window_ != nullptr) {
                    int w = 0, h = 0;
                    SDL_GetWindowSize(window_, &w, &h);
                    resizeBacking(w, h);
                }
                markAllDirty();
                if (hwnd) invalidate(hwnd, nullptr);
                return;
            default:
                return;
            }
        case SDL_MOUSEMOTION: {
            if (ev.motion.windowID != windowId_ || hwnd == 0) return;
            WParam buttons = 0;
            if (ev.motion.state & SDL_BUTTON_RMASK) buttons |= 0x0002;  // MK_RBUTTON
            if (ev.motion.state & SDL_BUTTON_LMASK) buttons |= 0x0001;  // MK_LBUTTON
            postMessage(hwnd, WM_MOUSEMOVE, buttons, pointParam(ev.motion.x, ev.motion.y),
                        modsOf(keyMods_));
            return;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (ev.button.windowID != windowId_ || hwnd == 0 || ev.button.button != SDL_BUTTON_RIGHT) return;
            postMessage(hwnd, ev.type == SDL_MOUSEBUTTONDOWN ? WM_RBUTTONDOWN : WM_RBUTTONUP,
                        ev.type == SDL_MOUSEBUTTONDOWN ? 0x0002 : 0, pointParam(ev.button.x, ev.button.y),
                        modsOf(keyMods_));
            return;
        default:
            return;
        }
    }

    static constexpr std::uint64_t kPresentInterval = 30;
    static constexpr std::uint64_t kInputInterval = 2;

    std::atomic<bool> started_{false};
    CellGrid grid_;
    bool gridOn_ = true;
    std::uint64_t lastPresent_ = 0;  // when the last frame was shown
    std::uint64_t presentCost_ = 0;  // how long showing it took, ms
    std::uint64_t lastInput_ = 0;
    bool dirty_ = false;       // something waits to be shown
    bool wholeDirty_ = false;  // all of it
    SDL_Rect dirtyRect_{0, 0, 0, 0};
    SDL_Rect shownCaret_{0, 0, 0, 0};  // where the caret is inverted on the screen
    bool magnifying_ = false;
    bool focused_ = false;
    Uint16 keyMods_ = 0;
    SDL_Window* window_ = nullptr;
    Uint32 windowId_ = 0;
    SDL_Surface* backing_ = nullptr;
    SDL_Surface* capture_ = nullptr;
    Rect magnifySource_;
    TTF_Font* font_ = nullptr;
    FontMetrics metrics_;
    int naturalAdvance_ = 8;
    Caret caret_;
    std::unordered_map<char32_t, SDL_Surface*> glyphs_;
    Uint32 wakeEvent_ = static_cast<Uint32>(-1);
    std::atomic<bool> wakePending_{false};
    std::thread::id mainThread_;
};

}  // namespace

std::unique_ptr<WindowBackend> makeSdlBackend() { return std::make_unique<SdlBackend>(); }

}  // namespace platform
