// Fuzz target: date patterns and every drawing call with arbitrary texts,
// coordinates, fonts, styles and sizes. Nothing may read or write outside
// the frame or overflow.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "applet/lcd/DatePattern.h"
#include "applet/lcd/LcdDraw.h"

namespace {

class TInput {
 public:
  TInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  int Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | (p_ < end_ ? *p_++ : 0);
    int r;
    std::memcpy(&r, &v, sizeof r);
    return r;
  }
  int Small(int range) { return static_cast<int>(static_cast<unsigned>(Int()) % range) - range / 2; }
  std::string Text() {
    const size_t n = p_ < end_ ? *p_++ : 0;
    const size_t take = n < static_cast<size_t>(end_ - p_) ? n : static_cast<size_t>(end_ - p_);
    std::string s(reinterpret_cast<const char*>(p_), take);
    p_ += take;
    return s;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInput in(data, size);
  static TLcdFrame frame;
  TDateTimeParts t;
  t.year = in.Int(), t.month = in.Int(), t.day = in.Int();
  t.hour = in.Int(), t.minute = in.Int(), t.second = in.Int(), t.millisecond = in.Int();
  const std::string pattern = in.Text();
  const std::string formatted = FormatDateTime(pattern, t);
  IsoWeekNumber(in.Small(20000), in.Small(40), in.Small(80));

  const int font = in.Int();
  DrawLcdText(&frame, font, in.Int(), formatted, in.Int());
  DrawLcdText(&frame, font, in.Small(400), in.Text(), in.Small(200));
  DrawBar(frame, in.Int(), in.Int(), in.Int(), in.Int(), in.Small(400), in.Int(), true);
  DrawRate(frame, font, in.Int(), in.Int(), static_cast<double>(in.Int()) * in.Int());
  DrawPopup(frame, in.Small(400), in.Small(200), font, in.Small(4), in.Text(), in.Text(), in.Int());
  return 0;
}
