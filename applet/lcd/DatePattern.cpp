#include "applet/lcd/DatePattern.h"

#include "applet/lcd/Decimal.h"

namespace {

// Letter case of the pattern's ASCII letters (the programs keep the "C"
// locale, where this is what toupper does).
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The formatted text, written into a caller's buffer: what does not fit is
// counted but not stored, as snprintf does.
class TTextOut {
 public:
  TTextOut(char* out, size_t size) : out_(out), size_(size) {}
  void Put(char c) {
    if (length_ + 1 < size_) out_[length_] = c;
    ++length_;
  }
  void Put(std::string_view s) {
    for (char c : s) Put(c);
  }
  // The decimal value with at least width characters, zeros after any sign
  // ("%0*d").
  void Number(int value, int width) {
    char digits[20];
    const int count = WriteDecimal(Magnitude(value), digits);
    if (value < 0) Put('-');
    for (int pad = width - count - (value < 0); pad > 0; --pad) Put('0');
    Put(std::string_view(digits, static_cast<size_t>(count)));
  }
  size_t Finish() {
    if (size_ > 0) out_[length_ < size_ ? length_ : size_ - 1] = '\0';
    return length_;
  }

 private:
  char* out_;
  size_t size_;
  size_t length_ = 0;
};

// Days from 1970-01-01 of a proleptic Gregorian date (any month is folded
// into the year first, so out-of-range months stay well defined).
long long DaysFromCivil(long long y, long long m, long long d) {
  y += (m - 1) / 12;
  m = (m - 1) % 12 + 1;
  if (m <= 0) m += 12, y -= 1;
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int YearOfDay(long long z) {
  z += 719468;
  const long long era = FloorDiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long m = mp + (mp < 10 ? 3 : -9);
  return static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Whether s holds token at p, ignoring letter case.
bool StartsWithNoCase(std::string_view s, size_t p, std::string_view token) {
  if (s.size() - p < token.size()) return false;
  for (size_t i = 0; i < token.size(); ++i)
    if (Upper(s[p + i]) != Upper(token[i])) return false;
  return true;
}

// The am/pm tokens, longest first.
size_t AmPmLength(std::string_view s, size_t p) {
  if (StartsWithNoCase(s, p, "am/pm")) return 5;
  if (StartsWithNoCase(s, p, "ampm")) return 4;
  if (StartsWithNoCase(s, p, "a/p")) return 3;
  return 0;
}

bool HasAmPm(std::string_view s) {
  for (size_t p = 0; p < s.size(); ++p) {
    if (s[p] == '"' || s[p] == '\'') {
      const size_t end = s.find(s[p], p + 1);
      if (end == std::string_view::npos) return false;
      p = end;
    } else if (AmPmLength(s, p)) {
      return true;
    }
  }
  return false;
}

}  // namespace

const TDateLocale& DefaultDateLocale() {
  static const TDateLocale locale = {
      {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
      {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
      {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
      {"January", "February", "March", "April", "May", "June", "July", "August", "September",
       "October", "November", "December"},
      "/",
      ":",
      "AM",
      "PM",
  };
  return locale;
}

int DayOfWeek(int year, int month, int day) {
  const long long z = DaysFromCivil(year, month, day);  // 1970-01-01 was a Thursday
  return static_cast<int>(((z % 7) + 7 + 4) % 7);
}

int IsoWeekNumber(int year, int month, int day) {
  const long long z = DaysFromCivil(year, month, day);
  const int sinceMonday = (DayOfWeek(year, month, day) + 6) % 7;
  const long long thursday = z - sinceMonday + 3;
  const long long firstOfYear = DaysFromCivil(YearOfDay(thursday), 1, 1);
  return static_cast<int>((thursday - firstOfYear) / 7 + 1);
}

std::string FormatDateTime(std::string_view pattern, const TDateTimeParts& t, const TDateLocale& locale) {
  char text[64];
  const size_t n = FormatDateTime(text, sizeof text, pattern, t, locale);
  if (n < sizeof text) return std::string(text, n);
  std::string out(n, '\0');
  FormatDateTime(out.data(), n + 1, pattern, t, locale);
  return out;
}

size_t FormatDateTime(char* text, size_t size, std::string_view pattern, const TDateTimeParts& t,
                      const TDateLocale& locale) {
  TTextOut out(text, size);
  const bool twelveHour = HasAmPm(pattern);
  const int dow = DayOfWeek(t.year, t.month, t.day);
  const int monthIndex = t.month >= 1 && t.month <= 12 ? t.month - 1 : 0;
  char lastToken = 0;
  size_t p = 0;
  while (p < pattern.size()) {
    const char c = pattern[p];
    if (c == '"' || c == '\'') {
      size_t end = pattern.find(c, p + 1);
      if (end == std::string_view::npos) end = pattern.size();
      out.Put(pattern.substr(p + 1, end - p - 1));
      p = end + 1;
      continue;
    }
    if (c == '/') { out.Put(locale.dateSeparator); ++p; continue; }
    if (c == ':') { out.Put(locale.timeSeparator); ++p; continue; }
    if (const size_t len = AmPmLength(pattern, p)) {
      const bool pm = t.hour >= 12;
      if (len == 3) {  // a/p, in the letter case of the pattern
        const char letter = pm ? pattern[p + 2] : pattern[p];
        out.Put(letter);
      } else if (len == 5) {  // am/pm, in the letter case of the pattern
        out.Put(pattern.substr(pm ? p + 3 : p, 2));
      } else {
        out.Put(pm ? locale.pmText : locale.amText);
      }
      p += len;
      lastToken = 'A';
      continue;
    }
    char token = Upper(c);
    if (token < 'A' || token > 'Z') { out.Put(c); ++p; continue; }
    size_t count = 1;
    while (p + count < pattern.size() && Upper(pattern[p + count]) == token) ++count;
    if (token == 'M' && lastToken == 'H') token = 'N';
    // A run of one letter is one token; longer runs than a token knows
    // take its longest form.
    const int n = static_cast<int>(count);
    switch (token) {
      case 'D':
        if (n <= 2) out.Number(t.day, n);
        else out.Put(n == 3 ? locale.shortDayNames[dow] : locale.longDayNames[dow]);
        break;
      case 'M':
        if (n <= 2) out.Number(t.month, n);
        else out.Put(n == 3 ? locale.shortMonthNames[monthIndex] : locale.longMonthNames[monthIndex]);
        break;
      case 'Y':
        if (n <= 2) out.Number(((t.year % 100) + 100) % 100, 2);
        else out.Number(t.year, 4);
        break;
      case 'H': {
        int h = t.hour;
        if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
        out.Number(h, n == 1 ? 1 : 2);
        break;
      }
      case 'N': out.Number(t.minute, n == 1 ? 1 : 2); break;
      case 'S': out.Number(t.second, n == 1 ? 1 : 2); break;
      case 'Z': out.Number(t.millisecond, n <= 2 ? 1 : 3); break;
      default: out.Put(pattern.substr(p, count)); break;
    }
    lastToken = token;
    p += count;
  }
  return out.Finish();
}
