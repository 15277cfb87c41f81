// Runs the converter on the headless console as a user would: both names
// typed, the process's end caught. Answers the exit code (-1: it did not end).
#pragma once

#include <string>

#include "converter/converter.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"

namespace support {

inline int runConverter(const std::string& inName, const std::string& outName) {
    struct Ended {
        int code;
    };
    platform::setExitHandler([](int code) { throw Ended{code}; });
    platform::headless::setKeysWhenWaiting(true);
    platform::headless::typeText(inName + "\r");
    platform::headless::typeText(outName + "\r");
    try {
        converter::run();
    } catch (const Ended& e) {
        return e.code;
    }
    return -1;
}

}  // namespace support
