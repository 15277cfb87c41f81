// keyecho: opens the program's window on the backend QUORIL_CONSOLE names
// and writes every key, character, focus and size message it receives, one
// line each, to the log file named by its argument (and shows the last ones
// in the window). The end-to-end checks of the window backends type keys
// into it and compare the log with what each key must give.
//
//   keyecho LOG
//
// The first log line is "ready <backend>", written once the window is up.
// F2 shows a message box; F3 writes a line straight to standard error, as
// a library might.
#include <cstdio>
#include <deque>
#include <string>

#include "platform/system/messages.hpp"
#include "platform/window/window.hpp"

namespace {

using namespace platform;

struct Echo {
    std::FILE* log = nullptr;
    std::deque<std::string> lines;
    FontMetrics font;
};

Echo echo;

std::string describe(std::uint32_t message, WParam wParam, LParam lParam, std::uint8_t mods) {
    char buf[96];
    const char* name = nullptr;
    switch (message) {
    case WM_KEYDOWN: name = "keydown"; break;
    case WM_KEYUP: name = "keyup"; break;
    case WM_SYSKEYDOWN: name = "syskeydown"; break;
    case WM_SYSKEYUP: name = "syskeyup"; break;
    case WM_CHAR: name = "char"; break;
    case WM_SETFOCUS: return "setfocus";
    case WM_KILLFOCUS: return "killfocus";
    case WM_SIZE: return "size";
    case WM_MOUSEMOVE: name = "mousemove"; break;
    case WM_RBUTTONDOWN: name = "rbuttondown"; break;
    case WM_RBUTTONUP: name = "rbuttonup"; break;
    default: return {};
    }
    if (message == WM_MOUSEMOVE || message == WM_RBUTTONDOWN || message == WM_RBUTTONUP) {
        std::snprintf(buf, sizeof buf, "%s %d,%d", name, static_cast<int>(lParam & 0xFFFF),
                      static_cast<int>((lParam >> 16) & 0xFFFF));
        return buf;
    }
    std::string m;
    if (mods & MOD_CTRL) m += "C";
    if (mods & MOD_ALT) m += "A";
    if (mods & MOD_SHIFT) m += "S";
    if (m.empty()) m = "-";
    std::snprintf(buf, sizeof buf, "%s %02X %s", name, static_cast<unsigned>(wParam), m.c_str());
    return buf;
}

void record(Hwnd hwnd, const std::string& line) {
    if (line.empty()) return;
    std::fprintf(echo.log, "%s\n", line.c_str());
    std::fflush(echo.log);
    echo.lines.push_back(line);
    while (echo.lines.size() > 20) echo.lines.pop_front();
    invalidate(hwnd);
}

LResult proc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
    case WM_PAINT: {
        beginPaint(hwnd);
        const Rect client = clientRect(hwnd);
        fillRect(hwnd, client, Rgb{0, 0, 128});
        const std::string title = "keyecho: teclas recebidas (\xE7\xE3o)";
        drawText(hwnd, 0, 0, reinterpret_cast<const std::uint8_t*>(title.data()), static_cast<int>(title.size()),
                 Rgb{255, 255, 0}, Rgb{0, 0, 128});
        int row = 2;
        for (const auto& l : echo.lines) {
            drawText(hwnd, 0, row * echo.font.cellHeight, reinterpret_cast<const std::uint8_t*>(l.data()),
                     static_cast<int>(l.size()), Rgb{255, 255, 255}, Rgb{0, 0, 0});
            ++row;
        }
        endPaint(hwnd);
        return 0;
    }
    case WM_DESTROY:
        postQuitMessage(0);
        return 0;
    case WM_CLOSE:
        return defWindowProc(hwnd, message, wParam, lParam);
    default:
        break;
    }
    std::uint8_t mods = 0;
    if (keyDown(VK_SHIFT)) mods |= MOD_SHIFT;
    if (keyDown(VK_CONTROL)) mods |= MOD_CTRL;
    if (keyDown(VK_MENU)) mods |= MOD_ALT;
    record(hwnd, describe(message, wParam, lParam, mods));
    // F2 shows a message box; the log says when it has been answered.
    if (message == WM_KEYDOWN && wParam == VK_F2 && mods == 0) {
        messageBox("keyecho", "caixa de mensagem (\xE7\xE3o)");
        record(hwnd, "messagebox closed");
    }
    if (message == WM_KEYDOWN && wParam == VK_F3 && mods == 0) {
        std::fputs("keyecho: direto na saida de erro\n", stderr);
        std::fflush(stderr);
    }
    // Alt+F4 asks to close, as everywhere.
    if (message == WM_SYSKEYDOWN) return defWindowProc(hwnd, message, wParam, lParam);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: keyecho LOG\n");
        return 2;
    }
    echo.log = std::fopen(argv[1], "w");
    if (echo.log == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    echo.font = createFont("", 0, 20);
    WindowSpec spec;
    spec.className = "KeyEcho";
    spec.title = "keyecho";
    spec.width = 60 * echo.font.cellWidth;
    spec.height = 24 * echo.font.cellHeight;
    spec.proc = proc;
    const Hwnd hwnd = createWindow(spec);
    if (hwnd == 0) {
        std::fprintf(stderr, "keyecho: no window\n");
        return 1;
    }
    std::fprintf(echo.log, "ready %s\n", backendName());
    std::fflush(echo.log);
    for (;;) {
        waitMessage();
        Msg msg;
        while (peekMessage(msg)) {
            if (msg.message == WM_QUIT) {
                std::fclose(echo.log);
                return static_cast<int>(msg.wParam);
            }
            translateMessage(msg);
            dispatchMessage(msg);
        }
    }
}
