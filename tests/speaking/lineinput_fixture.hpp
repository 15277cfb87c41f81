// A speaking console whose every sound lands in one ordered log: the pieces
// speakText and spellText voice (from the speech trace) and each block the
// sound device receives, named "click", "warning" or "play <name>" for the
// recordings a test makes. Keys are scripted ahead and handed out one per
// wait for a key.
#pragma once

#include <algorithm>
#include <functional>
#include <map>

#include "output_fixture.hpp"
#include "review/review.hpp"
#include "speaking/lineinput.hpp"

class EchoTest : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        // startSpeech takes the message sounds from here.
        settings("[TRADUTOR]\nDIRLETRAS=" + dir_.string() + "\n");
        speaking::setLettersDirectory(dir_.string());
        speaking::setSynthLettersDirectory(dir_.string());
        speaking::setMessageSoundDirectory(dir_.string());
        speaking::resetLineInputForTests();
        review::resetForTests();
        speaking::setSpeechTrace([this](const std::string& piece) { log_.push_back(piece); });
        platform::waveout::test::setWriteHook([this](std::size_t n) { onBlock(n); });
        platform::headless::setKeysWhenWaiting(true);
        qrcrt::openScreen();
    }

    void TearDown() override {
        platform::waveout::test::setWriteHook({});
        review::resetForTests();
        speaking::resetLineInputForTests();
        OutputTest::TearDown();
    }

    // A recording that the log names "play <label>".
    void sound(const std::string& name, const std::string& label) {
        std::uint8_t fill = next_++;
        if (fill == 128) fill = next_++;
        record(name, fill);
        names_[fill] = "play " + label;
    }
    void sound(const std::string& name) { sound(name, name); }
    // The recordings of these characters, logged as "play <char>".
    void letters(const std::string& chars) {
        for (char c : chars) sound("_" + std::to_string(static_cast<std::uint8_t>(c)), std::string(1, c));
    }

    // What speakText or spellText of a text puts in the log by itself.
    std::vector<std::string> said(const std::string& text) { return isolated([&] { speaking::speakText(text); }); }
    std::vector<std::string> spelled(const std::string& text) { return isolated([&] { speaking::spellText(text); }); }

    int count(const std::string& event) const {
        return static_cast<int>(std::count(log_.begin(), log_.end(), event));
    }
    // Whether the events come in this order in the log (others may lie between).
    bool inOrder(const std::vector<std::string>& events) const {
        auto it = log_.begin();
        for (const std::string& e : events) {
            it = std::find(it, log_.end(), e);
            if (it == log_.end()) return false;
            ++it;
        }
        return true;
    }
    // Whether the events stand together, in this order, somewhere in the log.
    bool contains(const std::vector<std::string>& events) const {
        return std::search(log_.begin(), log_.end(), events.begin(), events.end()) != log_.end();
    }

    // ---- keys ----
    static void type(const std::string& text) { platform::headless::typeText(text); }
    static void key(std::uint32_t vk, std::uint8_t mods = 0) { platform::headless::typeKey(vk, 0, mods); }
    static void keys(std::uint32_t vk, int times, std::uint8_t mods = 0) {
        for (int i = 0; i < times; ++i) key(vk, mods);
    }

    // ---- the screen ----
    static void put(int column, int row, const std::string& text) {
        qrcrt::moveCursor(column, row);
        qrcrt::writeBlock(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    static std::string screenRow(int row) {
        std::string s;
        for (int c = 1; c <= qrcrt::screenColumns; ++c) s += static_cast<char>(qrcrt::screenChar(row, c));
        return s;
    }
    static std::string padded(std::string text) {
        text.resize(qrcrt::screenColumns, ' ');
        return text;
    }
    static std::string clipboard() {
        std::string text;
        platform::getClipboardText(text);
        return text;
    }

    std::vector<std::string> log_;
    // Runs after each block is logged, with its number.
    std::function<void(std::size_t)> afterBlock_;

private:
    template <class F>
    std::vector<std::string> isolated(F f) {
        std::vector<std::string> saved;
        saved.swap(log_);
        f();
        saved.swap(log_);
        return saved;
    }

    void onBlock(std::size_t n) {
        const auto blocks = platform::waveout::test::blocks();
        if (n == 0 || n > blocks.size()) return;
        const auto& b = blocks[n - 1];
        if (startsWith(b, speaking::clickImage(), 64)) log_.push_back("click");
        else if (startsWith(b, speaking::warningImage(), 16)) log_.push_back("warning");
        else if (!b.empty() && names_.count(b[0])) log_.push_back(names_[b[0]]);
        else log_.push_back("block");
        if (afterBlock_) afterBlock_(n);
    }
    static bool startsWith(const std::vector<std::uint8_t>& block, const std::vector<std::uint8_t>& image,
                           std::size_t n) {
        return block.size() >= n && std::equal(block.begin(), block.begin() + static_cast<long>(n), image.begin() + 44);
    }

    std::map<std::uint8_t, std::string> names_;
    std::uint8_t next_ = 1;
};
