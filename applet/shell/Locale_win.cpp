#include "applet/shell/Locale_win.h"

#include <windows.h>

#include <string>

namespace {

// The locale's text, or fallback when it cannot be read.
std::string LocaleText(LCTYPE type, const std::string& fallback) {
  char text[96];
  const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text);
  return n > 1 ? std::string(text, n - 1) : fallback;
}

TDateLocale ReadUserDateLocale() {
  TDateLocale locale = DefaultDateLocale();
  // The locale numbers its days from Monday; ours start with Sunday.
  for (int day = 0; day < 7; ++day) {
    const int fromMonday = (day + 6) % 7;
    locale.shortDayNames[day] = LocaleText(LOCALE_SABBREVDAYNAME1 + fromMonday, locale.shortDayNames[day]);
    locale.longDayNames[day] = LocaleText(LOCALE_SDAYNAME1 + fromMonday, locale.longDayNames[day]);
  }
  for (int month = 0; month < 12; ++month) {
    locale.shortMonthNames[month] = LocaleText(LOCALE_SABBREVMONTHNAME1 + month, locale.shortMonthNames[month]);
    locale.longMonthNames[month] = LocaleText(LOCALE_SMONTHNAME1 + month, locale.longMonthNames[month]);
  }
  locale.dateSeparator = LocaleText(LOCALE_SDATE, locale.dateSeparator);
  locale.timeSeparator = LocaleText(LOCALE_STIME, locale.timeSeparator);
  locale.amText = LocaleText(LOCALE_S1159, locale.amText);
  locale.pmText = LocaleText(LOCALE_S2359, locale.pmText);
  return locale;
}

}  // namespace

const TDateLocale& UserDateLocale() {
  static const TDateLocale locale = ReadUserDateLocale();
  return locale;
}

char UserDecimalSeparator() {
  static const char separator = LocaleText(LOCALE_SDECIMAL, ".")[0];
  return separator;
}
