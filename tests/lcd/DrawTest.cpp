#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "applet/lcd/LcdDraw.h"

namespace {

TLcdFrame Filled(TRgb c) {
  TLcdFrame f;
  f.FillAll(c);
  return f;
}

bool In(const TLcdRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Every pixel inside r has colour in, every other pixel colour out.
void ExpectOnly(const TLcdFrame& f, const TLcdRect& r, TRgb in, TRgb out) {
  int wrong = 0;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x)
      if (f.px[y][x] != (In(r, x, y) ? in : out) && ++wrong < 4)
        ADD_FAILURE() << "pixel " << x << "," << y;
}

bool SameFrame(const TLcdFrame& a, const TLcdFrame& b) {
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x)
      if (a.px[y][x] != b.px[y][x]) return false;
  return true;
}

constexpr TLcdRect kNothing{0, 0, 0, 0};

}  // namespace

TEST(DrawBar, StylesPlaceTheirRectangle) {
  struct Case {
    int style, x, y, length, thickness, percent;
    TLcdRect covered;
  };
  const Case cases[] = {
      {0, 5, 40, 30, 4, 50, {5, 26, 9, 41}},     // grows up from the bottom row
      {270, 5, 40, 30, 4, 50, {20, 37, 35, 41}},  // grows left from the area's right end
      {90, 5, 40, 30, 4, 50, {5, 37, 20, 41}},
      {1, 5, 40, 30, 4, 50, {5, 37, 20, 41}},     // 1 is 90
      {180, 5, 40, 30, 4, 50, {5, 11, 9, 26}},    // hangs from the area's top
      {0, 5, 40, 30, 4, 100, {5, 11, 9, 41}},
      {0, 5, 40, 30, 4, 200, {5, 0, 9, 41}},      // not clamped; the frame cuts it
      {90, 150, 10, 20, 3, 100, {150, 8, 160, 11}},
      {90, 0, 0, 10, 1, 25, {0, 0, 2, 1}},        // 2.5 rounds to even
      {90, 0, 0, 10, 1, 35, {0, 0, 4, 1}},        // 3.5 rounds to even
      {45, 5, 40, 30, 4, 50, kNothing},
      {0, 5, 40, 30, 4, 0, kNothing},
      {0, 5, 40, 30, 4, -50, kNothing},
      {0, 5, 40, 30, 0, 50, kNothing},
      {0, 5, 40, 0, 4, 50, kNothing},
      {270, INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MAX, kNothing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("style " + std::to_string(c.style) + " percent " + std::to_string(c.percent));
    TLcdFrame f = Filled(kWhite);
    DrawBar(f, c.x, c.y, c.length, c.thickness, c.style, c.percent, false);
    ExpectOnly(f, c.covered, kBlack, kWhite);
  }
}

TEST(DrawBar, PaintsWhiteWhenInvertedAndCoversWhatIsBelow) {
  TLcdFrame f = Filled(kBlack);
  DrawBar(f, 5, 40, 30, 4, 0, 50, true);
  ExpectOnly(f, {5, 26, 9, 41}, kWhite, kBlack);
  DrawLcdText(&f, kFont5x7, 20, "88", 26);
  DrawBar(f, 5, 40, 30, 4, 0, 50, true);  // opaque: not a second inversion
  for (int y = 26; y <= 40; ++y)
    for (int x = 5; x <= 8; ++x) EXPECT_EQ(f.px[y][x], kWhite);
}

TEST(DrawRate, NumberAndUnit) {
  struct Case {
    double rate;
    const char* number;
    const char* unit;
    bool separate;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {512, "512.00", "B", true},
      {1024, "1.0", "KB", false},
      {1536, "1.5", "KB", false},
      {1048576, "1.0", "MB", false},
      {1023.999, "1024.00", "B", true},  // below 1 KB, though it shows as 1024
      {0, "0.00", "B", true},
      {1073741824.0 * 3.25, "3.2", "GB", false},
      {1125899906842624.0, "1.0", "PB", false},
      {1152921504606846976.0, "1.0", "B", true},  // beyond PB: the plain form
      {std::nan(""), "0.00", "B", true},
      {inf, "0.00", "B", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    const TRateText t = FormatRate(c.rate);
    EXPECT_EQ(t.number, c.number);
    EXPECT_STREQ(t.unit, c.unit);
    EXPECT_EQ(t.separateUnit, c.separate);
  }
}

// The rate's number is built by hand; it must be the text printf gives,
// ties (1.25 KB, 0.125 B) rounding to even included.
TEST(FormatRate, NumberAsPrintfGivesIt) {
  std::vector<double> rates = {0.125, 0.375, 0.005, 1.005, 1023.995, 1023.9951, 1280, 1024 * 2.75,
                               1024 * 1023.95, 1024 * 1023.96, 1e-300, 5e-324, 0.0};
  for (int i = 0; i < 20000; ++i) rates.push_back(i * 0.37 + i * i * 1e-3);
  for (int i = 0; i < 4000; ++i) rates.push_back(std::ldexp(1.0 + i / 4096.0, i % 40));
  for (double rate : rates) {
    double v = rate;
    while (v >= 1024.0) v /= 1024.0;
    char want[64];
    std::snprintf(want, sizeof want, rate >= 1024.0 ? "%.1f" : "%.2f", v);
    ASSERT_EQ(FormatRate(rate).number, want) << rate;
  }
  EXPECT_EQ(FormatRate(-0.0).number, "-0.00");
  EXPECT_EQ(FormatRate(-1536).number, "-1536.00");  // not a rate a meter gives; printf's text
}

TEST(FormatWeekNumber, TwoDigitsAtLeast) {
  const std::pair<int, const char*> cases[] = {{1, "01"}, {9, "09"}, {10, "10"}, {53, "53"}, {0, "00"},
                                               {-5, "-05"}, {123, "123"}, {INT_MIN, "-2147483648"}};
  for (const auto& c : cases) {
    char text[16];
    const size_t n = FormatWeekNumber(c.first, text);
    EXPECT_EQ(std::string(text, n), c.second);
    EXPECT_EQ(text[n], '\0');
  }
}

TEST(DrawRate, DrawsOneTextOrNumberApartFromB) {
  TLcdFrame got = Filled(kWhite), want = Filled(kWhite);
  DrawRate(got, kFont4x6, 100, 5, 1536);
  DrawLcdText(&want, kFont4x6, 100, "1.5KB", 5);
  EXPECT_TRUE(SameFrame(got, want));

  got = Filled(kWhite), want = Filled(kWhite);
  DrawRate(got, kFont4x6, 100, 5, 512);
  DrawLcdText(&want, kFont4x6, 100, "B", 5);
  DrawLcdText(&want, kFont4x6, 93, "512.00", 5);
  EXPECT_TRUE(SameFrame(got, want));
}

TEST(DrawPopup, Rectangles) {
  struct Case {
    int w, h;
    TLcdRect r;
  };
  const Case cases[] = {
      {140, 26, {10, 8, 150, 35}}, {140, 30, {10, 6, 150, 37}}, {160, 43, {0, 0, 160, 43}},
      {141, 27, {9, 8, 151, 35}},  // the divisions truncate toward zero
  };
  for (const Case& c : cases) {
    const TLcdRect r = PopupRect(c.w, c.h);
    EXPECT_EQ(r.left, c.r.left);
    EXPECT_EQ(r.top, c.r.top);
    EXPECT_EQ(r.right, c.r.right);
    EXPECT_EQ(r.bottom, c.r.bottom);
  }
}

TEST(DrawPopup, BoxEdgeAndLines) {
  TLcdFrame f = Filled(kBlack);
  DrawPopup(f, 140, 26, kFont5x7, kPopupNoIcon, "", "");
  TLcdFrame box = Filled(kBlack);
  TLcdCanvas(box).FillRect({11, 9, 149, 34}, kWhite);
  EXPECT_TRUE(SameFrame(f, box)) << "white inside, black edge, the rest untouched";

  // Line 1 starts at column left + 5, row top + 5; line 2 ends at right - 5,
  // row top + 15.
  f = Filled(kBlack);
  DrawPopup(f, 140, 26, kFont5x7, kPopupNoIcon, "0", "Realclock");
  TLcdFrame want = box;
  DrawLcdText(&want, kFont5x7, 15 + MeasureLcdText(kFont5x7, "Realclock"), "Realclock", 13);
  DrawLcdText(&want, kFont5x7, 145, "0", 23);
  EXPECT_TRUE(SameFrame(f, want));
  EXPECT_EQ(f.px[13][16], kBlack);  // the R's stem, first column after the spacing
  EXPECT_EQ(f.px[24][144], kBlack);  // the 0's right side, second row
}

TEST(DrawPopup, LongTextIsCutInsideTheBox) {
  TLcdFrame f = Filled(kBlack);
  const std::string wide(40, 'W');
  DrawPopup(f, 140, 26, kFontD7x12, kPopupNoIcon, wide, wide);
  for (int y = 9; y < 34; ++y) {
    for (int x = 11; x < 15; ++x) EXPECT_EQ(f.px[y][x], kWhite) << x << "," << y;
    for (int x = 145; x < 149; ++x) EXPECT_EQ(f.px[y][x], kWhite) << x << "," << y;
  }
  bool inkAt144 = false;
  for (int y = 9; y < 34; ++y) inkAt144 |= f.px[y][144] == kBlack;
  EXPECT_TRUE(inkAt144);
  for (int x = 10; x < 150; ++x) EXPECT_EQ(f.px[8][x], kBlack);  // the edge stays
}

TEST(DrawPopup, BellMovesTheLinesRight) {
  TLcdFrame f = Filled(kWhite);
  DrawPopup(f, 140, 26, kFont5x7, kPopupBell, "CPU= 80\xb0" "C", "Alarm, TjMax= 70\xb0" "C");
  TLcdFrame want = Filled(kWhite);
  TLcdCanvas(want).FrameRect({10, 8, 150, 35}, kBlack);
  DrawLcdText(&want, kFontIcons, 12 + 23, std::string_view("\0", 1), 10);
  TLcdCanvas clip(want);
  clip.SetClip({38, 8, 145, 35});
  DrawLcdText(clip, kFont5x7, 38 + MeasureLcdText(kFont5x7, "Alarm, TjMax= 70\xb0" "C"),
              "Alarm, TjMax= 70\xb0" "C", 13);
  DrawLcdText(clip, kFont5x7, 145, "CPU= 80\xb0" "C", 23);
  EXPECT_TRUE(SameFrame(f, want));
}

TEST(DrawPopup, WeekNumberShowsReversedOnTheBadge) {
  TLcdFrame f = Filled(kWhite);
  DrawPopup(f, 140, 26, kFont5x7, kPopupWeekBadge, "12:30:00", "10.12.26", 53);
  // The badge spans columns 12..30, rows 10..32; the week's right edge is
  // 10 + 19 - 2 = 27, its top 8 + 15 = 23, so "53" covers columns 15..26.
  TLcdFrame digits = Filled(kBlack);
  DrawLcdText(&digits, kFont5x7, 27, "53", 23);
  for (int y = 23; y < 30; ++y)
    for (int x = 15; x < 27; ++x) EXPECT_EQ(f.px[y][x], digits.px[y][x]) << x << "," << y;
  EXPECT_EQ(f.px[20][13], kBlack);  // solid part of the badge
  // Line 1 starts 5 columns after the badge's width.
  TLcdFrame line = Filled(kWhite);
  DrawLcdText(&line, kFont5x7, 34 + MeasureLcdText(kFont5x7, "10.12.26"), "10.12.26", 13);
  for (int y = 13; y < 21; ++y)
    for (int x = 34; x < 90; ++x) EXPECT_EQ(f.px[y][x], line.px[y][x]) << x << "," << y;
}
