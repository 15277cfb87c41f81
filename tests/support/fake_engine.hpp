// The stand-in diphone engine of the tests (tests/tts/fake): the driver
// loads it as "mbrola.dll" from the tests' folder, and the test holds it
// loaded too, so its controls and its log live across the driver's loads.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/speech/library.hpp"
#include "platform/system/registry.hpp"
#include "tts/fake/fake_mbrola.h"

namespace support {

class FakeEngine {
public:
    // variant: "fake" (all 23 names) or "fake-lacking" (one missing).
    explicit FakeEngine(const std::string& variant = "fake") {
        platform::setLibraryDirectory(std::string(QUORIL_BUILD_DIR) + "/tests/" + variant);
        platform::setRegistryText("");
        module_ = platform::loadLibrary("mbrola.dll");
        EXPECT_NE(module_, 0u) << "the stand-in engine is built into tests/" << variant;
        auto* get = reinterpret_cast<FakeMbrola* (*)()>(platform::getProcAddress(module_, "fake_mbrola_state"));
        static FakeMbrola none;
        state_ = get ? get() : &none;
        std::memset(state_, 0, sizeof *state_);
    }
    ~FakeEngine() {
        platform::freeLibrary(module_);
        platform::setLibraryDirectory("");
        platform::reloadRegistry();
    }
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    FakeMbrola& operator*() { return *state_; }
    FakeMbrola* operator->() { return state_; }
    std::string log() const { return std::string(state_->log, state_->logLength); }
    void clearLog() {
        state_->logLength = 0;
        state_->log[0] = 0;
        state_->calls = 0;
    }

private:
    platform::HModule module_ = 0;
    FakeMbrola* state_ = nullptr;
};

// The voice's language files in the source tree, without their extension.
inline std::string voiceDataStem() { return std::string(QUORIL_SOURCE_DIR) + "/data/tireltts/portug"; }

}  // namespace support
