// The lines of an extracted document: one paragraph of the document, one
// line of the ZUL file, so that each is read aloud as a whole.
//
// The tools give text of two shapes. pandoc, antiword and catdoc already
// put a paragraph (a heading, a list item, a table row) on one line, with
// blank lines between: those lines are kept, blanks dropped, runs of
// spaces made one, and the rules a plain-text table draws (---- ====)
// dropped. The text of a PDF page or of a recognised scan comes a printed
// line at a time, a blank line (or the page's end, a form feed) between
// paragraphs: the lines of a paragraph are joined with a space, and a word
// cut at a line's end by a hyphen is made whole again ("conver-" and
// "sor" become "conversor").
#pragma once

#include <string>
#include <string_view>

namespace document {

enum class Layout { paragraphs, printedLines };

class Shaper {
public:
    explicit Shaper(Layout layout) : layout_(layout) {}
    // Takes more UTF-8 text; appends each line it completes, ended by LF.
    void feed(std::string_view text, std::string& out);
    // The end of the text: appends the last line, if any.
    void finish(std::string& out);
    // Whether any line with a letter or digit has been given out.
    bool anyText() const { return anyText_; }

private:
    void takeLine(std::string_view line, std::string& out);
    void endParagraph(std::string& out);
    void emit(const std::string& line, std::string& out);

    Layout layout_;
    std::string partial_;    // a line not yet ended
    std::string paragraph_;  // printedLines: the paragraph so far
    bool anyText_ = false;
};

}  // namespace document
