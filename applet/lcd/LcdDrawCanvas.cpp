#include "applet/lcd/LcdDrawCanvas.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

void TLcdCanvas::SetClip(const TLcdRect& r) {
  clip_.left = std::max(r.left, 0);
  clip_.top = std::max(r.top, 0);
  clip_.right = std::min(r.right, kLcdWidth);
  clip_.bottom = std::min(r.bottom, kLcdHeight);
}

namespace {

void InvertPixelAt(TRgb& p) {
  p = TRgb{static_cast<uint8_t>(255 - p.b), static_cast<uint8_t>(255 - p.g), static_cast<uint8_t>(255 - p.r)};
}

// For each set of eight columns (bit 0 the leftmost), the 24 bytes that
// invert those columns' pixels by exclusive or: 255 - v is v ^ 255.
struct TInkBytes {
  uint8_t b[24];
};
struct TInkTable {
  TInkBytes row[256];
};
constexpr TInkTable MakeInkTable() {
  TInkTable t{};
  for (int bits = 0; bits < 256; ++bits)
    for (int c = 0; c < 8; ++c)
      if (bits & (1 << c))
        for (int k = 0; k < 3; ++k) t.row[bits].b[3 * c + k] = 0xFF;
  return t;
}
constexpr TInkTable kInk = MakeInkTable();

// Exclusive-ors sizeof(T) bytes of m onto p.
template <typename T>
void XorPiece(uint8_t* p, const uint8_t* m) {
  T v, k;
  std::memcpy(&v, p, sizeof v);
  std::memcpy(&k, m, sizeof k);
  v ^= k;
  std::memcpy(p, &v, sizeof v);
}

// Inverts the pixels of eight columns from p on, as bits selects them; all
// eight lie in the frame's row.
void InvertEight(TRgb* p, unsigned bits) {
  uint8_t* bytes = &p->b;
  const uint8_t* mask = kInk.row[bits].b;
  XorPiece<uint64_t>(bytes, mask);
  XorPiece<uint64_t>(bytes + 8, mask + 8);
  XorPiece<uint64_t>(bytes + 16, mask + 16);
}

// A picture byte's ink with the leftmost pixel in bit 0 (a picture has ink
// where its bits are 0, the leftmost pixel in the most significant bit).
struct TByteTable {
  uint8_t ink[256];
};
constexpr TByteTable MakeInkOfByte() {
  TByteTable t{};
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < 8; ++c)
      if ((v & (0x80 >> c)) == 0) t.ink[v] |= static_cast<uint8_t>(1 << c);
  return t;
}
constexpr TByteTable kInkOfByte = MakeInkOfByte();

}  // namespace

void TLcdInkMask::Extend(int top, int bottom) {
  if (top_ >= bottom_) top_ = bottom_ = top;
  for (int y = top; y < top_; ++y) std::memset(bits_[y], 0, kBytes);
  for (int y = bottom_; y < bottom; ++y) std::memset(bits_[y], 0, kBytes);
  top_ = std::min(top_, top);
  bottom_ = std::max(bottom_, bottom);
}

void TLcdInkMask::AddBits(int x, int y, int width, int height, const uint8_t* rows, int rowBytes) {
  if (width <= 0 || height <= 0) return;
  if (width > 8 || x < 0 || y < 0 || x > kLcdWidth - width || y > kLcdHeight - height) {
    AddClipped(x, y, width, height, rows, rowBytes);
    return;
  }
  // The common case, a glyph of one byte a row wholly inside the frame.
  Touch(y, y + height);
  const int k = x >> 3, shift = x & 7;
  left_ = std::min(left_, k);
  right_ = std::max(right_, k + 2);
  const unsigned visible = (1u << width) - 1;
  for (int row = y; row < y + height; ++row, rows += rowBytes) {
    const unsigned ink = (kInkOfByte.ink[*rows] & visible) << shift;
    bits_[row][k] ^= static_cast<uint8_t>(ink);
    bits_[row][k + 1] ^= static_cast<uint8_t>(ink >> 8);
  }
}

void TLcdInkMask::AddClipped(int x, int y, int width, int height, const uint8_t* rows, int rowBytes) {
  // The picture's columns and rows that fall inside the frame, worked out in
  // 64 bits so that positions far outside cannot overflow.
  const long long X = x, Y = y;
  const int c0 = static_cast<int>(std::clamp<long long>(-X, 0, width));
  const int c1 = static_cast<int>(std::clamp<long long>(kLcdWidth - X, 0, width));
  const int r0 = static_cast<int>(std::clamp<long long>(-Y, 0, height));
  const int r1 = static_cast<int>(std::clamp<long long>(kLcdHeight - Y, 0, height));
  if (c0 >= c1 || r0 >= r1) return;
  Touch(y + r0, y + r1);
  // Eight picture columns at a time, cut to the visible ones: byte i of each
  // row, whose first column lies at frame column x + 8 i.
  for (int i = c0 >> 3; i <= (c1 - 1) >> 3; ++i) {
    const int lo = std::max(c0 - 8 * i, 0), hi = std::min(c1 - 8 * i, 8);
    const unsigned visible = ((1u << hi) - 1) & ~((1u << lo) - 1);
    int col = x + 8 * i;
    int drop = 0;  // columns before 0 carry no ink
    if (col < 0) drop = -col, col = 0;
    const int k = col >> 3, shift = col & 7;
    left_ = std::min(left_, k);
    right_ = std::max(right_, k + 2);
    const uint8_t* bits = rows + static_cast<size_t>(r0) * rowBytes + i;
    for (int row = y + r0; row < y + r1; ++row, bits += rowBytes) {
      const unsigned ink = ((kInkOfByte.ink[*bits] & visible) >> drop) << shift;
      bits_[row][k] ^= static_cast<uint8_t>(ink);
      bits_[row][k + 1] ^= static_cast<uint8_t>(ink >> 8);
    }
  }
}

void TLcdCanvas::InvertPixel(int x, int y) const {
  if (Visible(x, y)) InvertPixelAt(frame_.px[y][x]);
}

void TLcdCanvas::InvertBits(int x, int y, int width, int height, const uint8_t* rows, int rowBytes) const {
  TLcdInkMask mask;
  mask.AddBits(x, y, width, height, rows, rowBytes);
  InvertMask(mask);
}

void TLcdCanvas::InvertMask(const TLcdInkMask& mask) const {
  const int top = std::max(mask.top_, clip_.top), bottom = std::min(mask.bottom_, clip_.bottom);
  if (top >= bottom || clip_.left >= clip_.right) return;
  // The mask bytes that hold ink, cut to the clip's columns.
  const int k0 = std::max(mask.left_, clip_.left >> 3), k1 = std::min(mask.right_, ((clip_.right - 1) >> 3) + 1);
  if (k0 >= k1) return;
  uint8_t keep[TLcdInkMask::kBytes];
  for (int k = k0; k < k1; ++k) {
    const int lo = std::clamp(clip_.left - 8 * k, 0, 8), hi = std::clamp(clip_.right - 8 * k, 0, 8);
    keep[k] = static_cast<uint8_t>(((1u << hi) - 1) & ~((1u << lo) - 1));
  }
  for (int y = top; y < bottom; ++y) {
    const uint8_t* ink = mask.bits_[y];
    TRgb* line = frame_.px[y];
    for (int k = k0; k < k1; ++k)
      if (const unsigned eight = ink[k] & keep[k]) InvertEight(line + 8 * k, eight);
  }
}

namespace {

// Exclusive-ors n bytes of m onto p, widest pieces first, touching no byte
// beyond the n.
inline __attribute__((always_inline)) void XorBytes(uint8_t* p, const uint8_t* m, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) XorPiece<uint64_t>(p + i, m + i);
  if (i + 4 <= n) XorPiece<uint32_t>(p + i, m + i), i += 4;
  if (i + 2 <= n) XorPiece<uint16_t>(p + i, m + i), i += 2;
  if (i < n) p[i] ^= m[i];
}

// The rows of a prepared picture whose rows are n bytes, a row stride apart.
// Inlined for each of the fonts' widths, so that a row's pieces are laid
// out at compile time.
constexpr int kRowBytes = kLcdWidth * 3;
inline __attribute__((always_inline)) void XorRows(uint8_t* topLeft, const uint8_t* rows, uint32_t rowsWithInk,
                                                   int n) {
  while (rowsWithInk != 0) {
    const int r = __builtin_ctz(rowsWithInk);
    rowsWithInk &= rowsWithInk - 1;
    XorBytes(topLeft + r * kRowBytes, rows + r * n, n);
  }
}

}  // namespace

void TLcdCanvas::InvertPrepared(int x, int y, int width, const uint8_t* rows, uint32_t rowsWithInk) const {
  // The frame as the bytes it is made of.
  uint8_t* topLeft = reinterpret_cast<uint8_t*>(frame_.px) + (static_cast<size_t>(y) * kLcdWidth + x) * 3;
  switch (width) {
    case 2: XorRows(topLeft, rows, rowsWithInk, 6); break;
    case 3: XorRows(topLeft, rows, rowsWithInk, 9); break;
    case 4: XorRows(topLeft, rows, rowsWithInk, 12); break;
    case 5: XorRows(topLeft, rows, rowsWithInk, 15); break;
    case 6: XorRows(topLeft, rows, rowsWithInk, 18); break;
    case 7: XorRows(topLeft, rows, rowsWithInk, 21); break;
    case 8: XorRows(topLeft, rows, rowsWithInk, 24); break;
    case 9: XorRows(topLeft, rows, rowsWithInk, 27); break;
    default: XorRows(topLeft, rows, rowsWithInk, 3 * width); break;
  }
}

void TLcdCanvas::FillRect(const TLcdRect& r, TRgb c) const {
  const int left = std::max(r.left, clip_.left), right = std::min(r.right, clip_.right);
  const int top = std::max(r.top, clip_.top), bottom = std::min(r.bottom, clip_.bottom);
  if (left >= right) return;
  for (int y = top; y < bottom; ++y) FillPixels(&frame_.px[y][left], right - left, c);
}

void TLcdCanvas::FrameRect(const TLcdRect& r, TRgb c) const {
  if (r.right <= r.left || r.bottom <= r.top) return;
  FillRect({r.left, r.top, r.right, r.top + 1}, c);
  FillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
  FillRect({r.left, r.top, r.left + 1, r.bottom}, c);
  FillRect({r.right - 1, r.top, r.right, r.bottom}, c);
}
