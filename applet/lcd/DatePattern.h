// Date and time patterns ("dd.mm.yy", "hh:nn:ss") and the ISO 8601 week,
// from a broken-down local time and the user's locale given as plain values.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// A local date and time. Month 1..12, day 1..31, hour 0..23.
struct TDateTimeParts {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// What the pattern takes from the locale. Days start with Sunday.
struct TDateLocale {
  std::string shortDayNames[7];
  std::string longDayNames[7];
  std::string shortMonthNames[12];
  std::string longMonthNames[12];
  std::string dateSeparator;
  std::string timeSeparator;
  std::string amText;  // the "ampm" token's texts
  std::string pmText;
};

// English names, "/" and ":", "AM" and "PM".
const TDateLocale& DefaultDateLocale();

// Day of the week, 0 = Sunday .. 6 = Saturday (proleptic Gregorian).
int DayOfWeek(int year, int month, int day);

// ISO 8601 week number 1..53 of a date.
int IsoWeekNumber(int year, int month, int day);
inline int IsoWeekNumber(const TDateTimeParts& t) { return IsoWeekNumber(t.year, t.month, t.day); }

// Formats t by pattern. Tokens (letters in any case): d dd ddd dddd, m mm
// mmm mmmm (minutes when the last letter token was an hour), yy yyyy, h hh
// (12-hour when the pattern holds am/pm, a/p or ampm), n nn, s ss, z zzz,
// am/pm a/p ampm; "/" and ":" give the locale's separators; text in single
// or double quotes is copied without the quotes; any other character is
// copied.
std::string FormatDateTime(std::string_view pattern, const TDateTimeParts& t,
                           const TDateLocale& locale = DefaultDateLocale());
// The same into text (size bytes with the closing zero), without allocating:
// returns the whole text's length; when that is size or more, text holds
// only its first size - 1 characters, as snprintf does.
size_t FormatDateTime(char* text, size_t size, std::string_view pattern, const TDateTimeParts& t,
                      const TDateLocale& locale = DefaultDateLocale());
