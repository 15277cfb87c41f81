// Time reading: weekdays of dates, and the words heard for times and dates.
#include <algorithm>

#include "heard.hpp"
#include "numbers/qrhora.hpp"

using Names = std::vector<std::string>;

TEST(Weekday, KnownDates) {
    struct Case {
        int d, m, y, weekday;
    };
    const Case cases[] = {{1, 3, 2005, 2},  {15, 11, 2000, 3}, {1, 1, 2000, 6}, {29, 2, 2024, 4},
                          {31, 12, 1999, 5}, {1, 1, 1900, 1},  {4, 7, 1776, 4}, {28, 2, 2100, 0}};
    for (const Case& c : cases) EXPECT_EQ(qrhora::weekdayOf(c.d, c.m, c.y), c.weekday) << c.d << "/" << c.m << "/" << c.y;
}

using TimeReading = HeardTest;

TEST_F(TimeReading, Times) {
    struct Case {
        int h, m;
        Names heard;
    };
    const Case cases[] = {
        {1, 0, {"_uma", "_hora"}},
        {2, 1, {"_duas", "_horas", "_um", "_minuto"}},
        {0, 30, {"_zero", "_hora", "_trinta", "_minutos"}},
        {21, 2, {"_vinte", "_e", "_uma", "_horas", "_dois", "_minutos"}},
        {12, 0, {"_doze", "_horas"}},
    };
    for (const Case& c : cases) {
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        qrhora::speakTime(c.h, c.m);
        EXPECT_EQ(heard(), c.heard) << c.h << ":" << c.m;
    }
}

TEST_F(TimeReading, Dates) {
    struct Case {
        int d, m, y;
        Names heard;
    };
    const Case cases[] = {
        {1, 3, 2005, {"_Terca", "_primeir", "_de", "_Marco", "_de", "_dois", "_mil", "_e", "_cinco"}},
        {15, 11, 2000, {"_Quarta", "_quinze", "_de", "_Novembr", "_de", "_dois", "_mil"}},
        {31, 12, 1999,
         {"_Sexta", "_trinta", "_e", "_um", "_de", "_Dezembr", "_de", "_mil", "_novecen", "_e", "_noventa", "_e",
          "_nove"}},
        {1, 1, 2100, {"_Sexta", "_primeir", "_de", "_Janeiro", "_de", "_dois", "_mil", "_e", "_cem"}},
        {15, 6, 2123,
         {"_Terca", "_quinze", "_de", "_Junho", "_de", "_dois", "_mil", "_cento", "_e", "_vinte", "_e", "_tres"}},
        {1, 1, 1900, {"_Segunda", "_primeir", "_de", "_Janeiro", "_de", "_mil", "_e", "_novecen"}},
    };
    for (const Case& c : cases) {
        platform::waveout::test::reset();
        platform::waveout::test::setAutoFinish(true);
        qrhora::speakDate(c.d, c.m, c.y);
        EXPECT_EQ(heard(), c.heard) << c.d << "/" << c.m << "/" << c.y;
    }
}

TEST_F(TimeReading, TheClockIsRead) {
    qrhora::speakCurrentTime();
    const Names time = heard();
    ASSERT_GE(time.size(), 2u);
    EXPECT_TRUE(std::find(time.begin(), time.end(), "_hora") != time.end() ||
                std::find(time.begin(), time.end(), "_horas") != time.end());
    platform::waveout::test::reset();
    platform::waveout::test::setAutoFinish(true);
    qrhora::speakCurrentDate();
    const Names date = heard();
    ASSERT_GE(date.size(), 5u);
    EXPECT_EQ(std::count(date.begin(), date.end(), "_de"), 2);
}
