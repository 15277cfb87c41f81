// A window made narrower than the screen: why it cannot show everything is
// written, in lines it shows whole, and said, once.
#include <algorithm>

#include "console/qrcrt.hpp"
#include "output_fixture.hpp"

namespace {

using ScreenNotice = OutputTest;

std::string row(int r) {
    std::string s;
    for (int c = 1; c <= qrcrt::screenColumns; ++c) s.push_back(static_cast<char>(qrcrt::screenChar(r, c)));
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

TEST_F(ScreenNotice, ANarrowWindowIsToldOnceWrittenToFitAndSaid) {
    // The headless window: cells of 8 x 16, frames of 4, a caption of 20.
    const auto resizeTo = [](int columns) {
        platform::headless::resize(2 * 4 + 8 * columns, 2 * 4 + 20 + 16 * qrcrt::screenRows);
        qrcrt::pumpMessages();
    };
    speaking::writeLineSpoken("primeira");
    resizeTo(40);
    speaking::writeLineSpoken("segunda");
    resizeTo(30);
    speaking::writeLineSpoken("terceira");
    resizeTo(80);
    speaking::writeLineSpoken("quarta");

    EXPECT_EQ(row(1), "primeira");
    EXPECT_EQ(row(2), "segunda");
    std::string written;
    int r = 3;
    for (; r <= qrcrt::screenRows && row(r) != "terceira"; ++r) {
        EXPECT_LE(row(r).size(), 40u) << row(r);
        written += (written.empty() ? "" : " ") + row(r);
    }
    EXPECT_EQ(written,
              "A janela mostra s\xF3 40 das 80 colunas da tela: o que passar da coluna 40 n\xE3o aparece. "
              "Alargue a janela para ver tudo.");
    EXPECT_EQ(row(r + 1), "quarta") << "told once";
    EXPECT_EQ(std::count(trace_.begin(), trace_.end(), "words A janela mostra s\xF3 "), 1);
}

}  // namespace
