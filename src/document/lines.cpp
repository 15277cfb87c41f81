#include "document/lines.hpp"

namespace document {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v'; }

// The line without blanks at either end and with each run of blanks (the
// no-break space too) made one space.
std::string tidy(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    bool space = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const bool nbsp = c == '\xC2' && i + 1 < line.size() && line[i + 1] == '\xA0';
        if (isBlank(c) || nbsp) {
            space = !out.empty();
            if (nbsp) ++i;
            continue;
        }
        if (space) out.push_back(' ');
        space = false;
        out.push_back(c);
    }
    return out;
}

// A rule of a plain-text table or a drawn separator: nothing but - = + | : _ * and spaces.
bool isRule(const std::string& line) {
    return line.find_first_not_of("-=+|:_* ") == std::string::npos;
}

bool hasWord(const std::string& line) {
    for (const char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80) return true;
    }
    return false;
}

bool isLetterByte(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80; }

// Whether a line that starts so begins with a small letter (ASCII or an
// accented Latin-1 one in UTF-8: à to ÿ are C3 A0 to C3 BF).
bool startsLower(const std::string& s) {
    if (s.empty()) return false;
    const auto b = static_cast<unsigned char>(s[0]);
    if (b >= 'a' && b <= 'z') return true;
    return b == 0xC3 && s.size() > 1 && static_cast<unsigned char>(s[1]) >= 0xA0;
}

}  // namespace

void Shaper::emit(const std::string& line, std::string& out) {
    if (line.empty() || isRule(line)) return;
    if (hasWord(line)) anyText_ = true;
    out += line;
    out += '\n';
}

void Shaper::endParagraph(std::string& out) {
    emit(paragraph_, out);
    paragraph_.clear();
}

void Shaper::takeLine(std::string_view raw, std::string& out) {
    const bool pageEnd = raw.find('\f') != std::string_view::npos;
    std::string line = tidy(raw);
    if (pageEnd) line = tidy(std::string_view(line).substr(0, line.find('\f'))) ;
    if (layout_ == Layout::paragraphs) {
        emit(line, out);
        return;
    }
    if (line.empty()) {
        endParagraph(out);
        return;
    }
    if (paragraph_.empty()) {
        paragraph_ = line;
    } else if (paragraph_.size() >= 2 && paragraph_.back() == '-' &&
               isLetterByte(static_cast<unsigned char>(paragraph_[paragraph_.size() - 2])) && startsLower(line)) {
        paragraph_.pop_back();  // "conver-" + "sor"
        paragraph_ += line;
    } else {
        paragraph_ += ' ';
        paragraph_ += line;
    }
    if (pageEnd) endParagraph(out);
}

void Shaper::feed(std::string_view text, std::string& out) {
    for (;;) {
        const std::size_t end = text.find_first_of("\n\f");
        if (end == std::string_view::npos) {
            partial_.append(text);
            return;
        }
        partial_.append(text.substr(0, end + 1));
        if (text[end] == '\f') {
            // The page's end: what is before it on its line ends the paragraph.
            takeLine(partial_, out);
        } else {
            partial_.pop_back();
            takeLine(partial_, out);
        }
        partial_.clear();
        text.remove_prefix(end + 1);
    }
}

void Shaper::finish(std::string& out) {
    if (!partial_.empty()) takeLine(partial_, out);
    partial_.clear();
    endParagraph(out);
}

}  // namespace document
