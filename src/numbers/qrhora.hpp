// qrHora: the time of day and the date, read aloud with recorded words and
// the number reading of qrlenum.
#pragma once

namespace qrhora {

// The day of the week of a Gregorian date, 0 = Sunday.
int weekdayOf(int day, int month, int year);
// Weekday, day ("primeiro" for the first), "de", month, "de", year (the
// whole year as a number: "mil novecentos e noventa e nove", "dois mil e
// cem").
void speakDate(int day, int month, int year);
// Hours in the feminine ("uma", "duas") with "hora"/"horas"; then, unless
// the hour is full, the minutes with "minuto"/"minutos".
void speakTime(int hour, int minute);
// The system clock's hour and minute, and its date.
void speakCurrentTime();
void speakCurrentDate();

}  // namespace qrhora
