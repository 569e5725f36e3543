#include <gtest/gtest.h>

#include "applet/lcd/DatePattern.h"

TEST(IsoWeekNumber, AroundNewYear) {
  struct Case {
    int y, m, d, week;
  };
  const Case cases[] = {
      {2026, 12, 31, 53},  // Thursday: 2026 has 53 weeks
      {2027, 1, 1, 53},    // Friday, still in 2026's last week
      {2027, 1, 3, 53},    // Sunday
      {2027, 1, 4, 1},     // Monday: week 1
      {2020, 12, 31, 53},
      {2021, 1, 3, 53},
      {2024, 12, 30, 1},   // Monday belonging to 2025's week 1
      {2008, 12, 29, 1},
      {2010, 1, 3, 53},
      {2026, 12, 10, 50},
      {2000, 2, 29, 9},
      {1900, 1, 1, 1},
      {2400, 12, 31, 52},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsoWeekNumber(c.y, c.m, c.d), c.week) << c.y << "-" << c.m << "-" << c.d;
}

TEST(DayOfWeek, KnownDays) {
  EXPECT_EQ(DayOfWeek(2026, 12, 31), 4);
  EXPECT_EQ(DayOfWeek(2027, 1, 3), 0);
  EXPECT_EQ(DayOfWeek(2000, 2, 29), 2);
  EXPECT_EQ(DayOfWeek(1970, 1, 1), 4);
  EXPECT_EQ(DayOfWeek(1969, 12, 31), 3);
}

TEST(FormatDateTime, Tokens) {
  const TDateTimeParts morning{2026, 3, 5, 7, 4, 9, 7};
  const TDateTimeParts afternoon{2027, 12, 31, 13, 45, 30, 250};
  const TDateTimeParts midnight{2005, 1, 2, 0, 0, 0, 0};
  TDateLocale german = DefaultDateLocale();
  german.dateSeparator = ".";
  german.timeSeparator = ".";
  german.shortDayNames[4] = "Do";
  german.longMonthNames[2] = "M\xe4rz";
  struct Case {
    const char* pattern;
    const TDateTimeParts& t;
    const TDateLocale& locale;
    const char* text;
  };
  const TDateLocale& en = DefaultDateLocale();
  const Case cases[] = {
      {"dd.mm.yy", morning, en, "05.03.26"},
      {"hh:nn:ss", morning, en, "07:04:09"},
      {"h:n:s", morning, en, "7:4:9"},
      {"hh:mm", morning, en, "07:04"},         // minutes after an hour token
      {"hh dd mm", morning, en, "07 05 03"},   // month again after a day token
      {"d/m/yyyy", morning, en, "5/3/2026"},
      {"d/m/yyyy", morning, german, "5.3.2026"},
      {"hh:nn", afternoon, german, "13.45"},
      {"ddd, d. mmmm", morning, german, "Do, 5. M\xe4rz"},
      {"dddd mmm", afternoon, en, "Friday Dec"},
      {"DD.MM.YYYY", afternoon, en, "31.12.2027"},
      {"hh:nn am/pm", afternoon, en, "01:45 pm"},
      {"h AM/PM", midnight, en, "12 AM"},
      {"h:nn ampm", afternoon, en, "1:45 PM"},
      {"ha/p", morning, en, "7a"},
      {"ss.zzz", afternoon, en, "30.250"},
      {"s.z", morning, en, "9.7"},
      {"'Week' dd", morning, en, "Week 05"},
      {"\"hh:nn\" hh", morning, en, "hh:nn 07"},
      {"yy 'open", midnight, en, "05 open"},   // an open quote runs to the end
      {"dd-mm x", morning, en, "05-03 x"},     // other characters are copied
      {"", morning, en, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, c.t, c.locale), c.text) << c.pattern;
}

// The buffer form: the same text, cut like snprintf when the buffer is short,
// and the whole length reported so that the caller can tell.
TEST(FormatDateTime, IntoBuffer) {
  const TDateTimeParts t{-45, 7, 4, 9, 5, 3, 0};
  const std::string pattern = "dddd, d. mmmm yyyy 'and a long tail of quoted text, longer still' hh:nn:ss";
  const std::string whole = FormatDateTime(pattern, t);
  EXPECT_GT(whole.size(), 64u) << "longer than the internal buffer";
  EXPECT_NE(whole.find("-045"), std::string::npos) << "the sign counts in the width, as %04d";
  char text[80];
  EXPECT_EQ(FormatDateTime(text, sizeof text, pattern, t), whole.size());
  EXPECT_EQ(std::string(text), whole);
  char shortText[8];
  EXPECT_EQ(FormatDateTime(shortText, sizeof shortText, pattern, t), whole.size());
  EXPECT_EQ(std::string(shortText), whole.substr(0, 7));
  EXPECT_EQ(FormatDateTime(shortText, 0, pattern, t), whole.size()) << "nothing written";
}
