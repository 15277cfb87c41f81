// Clock and process end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/system.hpp"

using namespace platform;

namespace {

struct Exited {
    int code;
};

TEST(Process, ExitRunsHooksLastFirstThenTheHandler) {
    clearExitHooks();
    std::vector<std::string> order;
    addExitHook([&] { order.push_back("first"); });
    addExitHook([&] {
        order.push_back("second");
        addExitHook([&] { order.push_back("added while ending"); });
    });
    setExitHandler([&](int code) {
        order.push_back("handler " + std::to_string(code));
        throw Exited{code};
    });
    try {
        exitProcess(255);
    } catch (const Exited& e) {
        EXPECT_EQ(e.code, 255);
    }
    setExitHandler({});
    EXPECT_EQ(order, (std::vector<std::string>{"second", "added while ending", "first", "handler 255"}));
    // The hooks ran once: they are gone.
    order.clear();
    setExitHandler([](int code) { throw Exited{code}; });
    EXPECT_THROW(exitProcess(0), Exited);
    setExitHandler({});
    EXPECT_TRUE(order.empty());
}

TEST(Clock, LocalTimeIsPlausible) {
    const LocalTime t = localTime();
    EXPECT_GE(t.year, 2024);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.day, 1);
    EXPECT_LE(t.day, 31);
    EXPECT_GE(t.dayOfWeek, 0);
    EXPECT_LE(t.dayOfWeek, 6);
    EXPECT_LE(t.hour, 23);
    EXPECT_LE(t.minute, 59);
    EXPECT_LE(t.second, 59);
    EXPECT_LT(t.milliseconds, 1000);
    const auto a = tickCount();
    sleepFor(20);
    EXPECT_GE(tickCount() - a, 19u);
}

}  // namespace
