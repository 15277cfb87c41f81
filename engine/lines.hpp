// The phoneme-line reader: text arrives in pieces of any size; each complete
// line becomes a phone, a flush, or an error. A line is
//
//     name duration [position f0]...
//
// with the duration in milliseconds and pitch targets as a position in
// percent of the phone and a frequency in Hz. ';' starts a comment, a line
// of only '#' asks for a flush, blank lines are skipped. Lines longer than
// kMaxLine are refused whole, so a megabyte without a line end costs no
// more than kMaxLine bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mbr {

inline constexpr std::size_t kMaxLine = 4096;
inline constexpr double kMaxDurationMs = 60000;
inline constexpr std::size_t kMaxTargets = 64;

struct Target {
    double pos = 0;  // 0..100
    double f0 = 0;   // Hz
};

struct PhoneLine {
    enum Kind { Phone, Flush, Skip, Error } kind = Skip;
    std::string name;
    double durationMs = 0;
    std::vector<Target> targets;
    std::string error;  // for Error
};

// One complete line (without its line end).
PhoneLine parseLine(std::string_view line);

class LineReader {
public:
    // Appends text; each completed line is handed to out.
    template <class F>
    void feed(std::string_view text, F&& out) {
        for (char c : text) {
            if (c == '\n') {
                if (overflow_) {
                    PhoneLine e;
                    e.kind = PhoneLine::Error;
                    e.error = "line longer than " + std::to_string(kMaxLine) + " bytes";
                    out(e);
                } else {
                    out(parseLine(partial_));
                }
                partial_.clear();
                overflow_ = false;
            } else if (!overflow_) {
                if (partial_.size() >= kMaxLine) {
                    overflow_ = true;
                    partial_.clear();
                } else {
                    partial_ += c;
                }
            }
        }
    }
    // The unfinished last line, taken as complete (at a flush).
    template <class F>
    void finish(F&& out) {
        if (!partial_.empty() || overflow_) feed("\n", out);
    }
    void clear() {
        partial_.clear();
        overflow_ = false;
    }

private:
    std::string partial_;
    bool overflow_ = false;
};

}  // namespace mbr
