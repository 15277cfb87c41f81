// The clock, sleeping and the end of the process.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/system/system.hpp"
#include "platform/window/window_internal.hpp"

namespace platform {
namespace {

struct ProcessState {
    std::mutex lock;
    std::vector<std::function<void()>> exitHooks;
    std::function<void(int)> exitHandler;
    std::atomic<bool> exiting{false};
};

ProcessState& process() {
    static ProcessState s;
    return s;
}

}  // namespace

LocalTime localTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    LocalTime lt{};
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.dayOfWeek = tm.tm_wday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second reads as :59
    lt.milliseconds = static_cast<int>(ms < 0 ? ms + 1000 : ms);
    return lt;
}

std::uint64_t tickCount() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void sleepFor(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void addExitHook(std::function<void()> hook) {
    auto& p = process();
    std::lock_guard<std::mutex> g(p.lock);
    p.exitHooks.push_back(std::move(hook));
}

void setExitHandler(std::function<void(int)> handler) {
    auto& p = process();
    std::lock_guard<std::mutex> g(p.lock);
    p.exitHandler = std::move(handler);
}

void clearExitHooks() {
    auto& p = process();
    std::lock_guard<std::mutex> g(p.lock);
    p.exitHooks.clear();
}

bool exitStarted() { return process().exiting.load(); }

void exitProcess(int code) {
    auto& p = process();
    p.exiting.store(true);
    // Each hook is taken out before it runs, so a hook that itself ends the
    // process does not run twice or loop.
    for (;;) {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> g(p.lock);
            if (p.exitHooks.empty()) break;
            hook = std::move(p.exitHooks.back());
            p.exitHooks.pop_back();
        }
        if (hook) hook();
    }
    std::function<void(int)> handler;
    {
        std::lock_guard<std::mutex> g(p.lock);
        handler = p.exitHandler;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    if (handler) {
        handler(code);
        // A handler must not return; if it does, end for real.
        std::fprintf(stderr, "exitProcess: the test handler returned\n");
        std::_Exit(code);
    }
    detail::shutdownBackend();
    std::exit(code);
}

}  // namespace platform
