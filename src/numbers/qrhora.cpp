// Time reading. Every call returns once its sounds have been played (or a
// key has cut them).
#include "numbers/qrhora.hpp"

#include "console/qrcrt.hpp"
#include "numbers/qrlenum.hpp"
#include "speaking/soundnames.hpp"
#include "speaking/sounds.hpp"

namespace qrhora {

namespace names = speaking::soundnames;

int weekdayOf(int day, int month, int year) {
    // Sakamoto's method: month offsets of a year that starts in March.
    static constexpr int kOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 1 || month > 12) return 0;
    if (month < 3) --year;
    const int w = (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
    return w < 0 ? w + 7 : w;
}

void speakTime(int hour, int minute) {
    if (hour < 0 || minute < 0) return;
    qrlenum::speakNumberWords(qrlenum::numberToWords(static_cast<unsigned>(hour)), true);
    speaking::playSound(hour < 2 ? names::hourSound : names::hoursSound);
    if (minute != 0) {
        qrlenum::speakNumberWords(qrlenum::numberToWords(static_cast<unsigned>(minute)), false);
        speaking::playSound(minute < 2 ? names::minuteSound : names::minutesSound);
    }
}

void speakDate(int day, int month, int year) {
    if (month < 1 || month > 12 || day < 1 || year < 0) return;
    speaking::playSound(names::weekdaySound(weekdayOf(day, month, year)));
    if (day == 1) speaking::playSound(names::firstDaySound);
    else qrlenum::speakNumberWords(qrlenum::numberToWords(static_cast<unsigned>(day)), false);
    speaking::playSound(names::ofSound);
    speaking::playSound(names::monthSound(month));
    speaking::playSound(names::ofSound);
    qrlenum::speakNumberWords(qrlenum::numberToWords(static_cast<unsigned>(year)), false);
}

void speakCurrentTime() {
    int hour = 0, minute = 0, second = 0, hundredths = 0;
    qrcrt::currentTime(hour, minute, second, hundredths);
    speakTime(hour, minute);
}

void speakCurrentDate() {
    int year = 0, month = 0, day = 0, dayOfWeek = 0;
    qrcrt::currentDate(year, month, day, dayOfWeek);
    speakDate(day, month, year);
}

}  // namespace qrhora
