// A drawing surface over one LCD frame: the frame and a clip rectangle.
// Every shape on the LCD goes through the primitives here (fills, frames and
// inversions, the ink mask that gathers a text), and the clipping to the
// frame and to the clip rectangle lives only in them.
// Coordinates are signed; rectangles are (left, top, right, bottom) with the
// right and bottom edges exclusive, so any rectangle is safe to pass.
#pragma once
#include "applet/lcd/LcdFrame.h"

struct TLcdRect {
  int left, top, right, bottom;  // right and bottom exclusive
};

// The ink of one text, one bit a frame pixel, gathered glyph by glyph and
// then inverted in one pass, row by row. Gathering by exclusive or gives
// what inverting each picture in turn would: ink added twice cancels.
class TLcdInkMask {
 public:
  TLcdInkMask() = default;
  TLcdInkMask(const TLcdInkMask&) = delete;
  TLcdInkMask& operator=(const TLcdInkMask&) = delete;

  // Adds the ink of a 1-bit picture whose top-left pixel is at (x, y), laid
  // out as for TLcdCanvas::InvertBits; what lies outside the frame is dropped.
  void AddBits(int x, int y, int width, int height, const uint8_t* rows, int rowBytes);

 private:
  friend class TLcdCanvas;
  static constexpr int kBytes = kLcdWidth / 8 + 1;  // a spare byte takes the spill of the last eight
  // Makes rows top..bottom - 1 usable, zeroing the ones not yet in use.
  void Touch(int top, int bottom) {
    if (top < top_ || bottom > bottom_) Extend(top, bottom);
  }
  void Extend(int top, int bottom);
  void AddClipped(int x, int y, int width, int height, const uint8_t* rows, int rowBytes);

  uint8_t bits_[kLcdHeight][kBytes];  // column c is bit c % 8 of byte c / 8
  int top_ = 0, bottom_ = 0;          // only these rows are initialised
  int left_ = kBytes, right_ = 0;     // bytes that may hold ink
};

class TLcdCanvas {
 public:
  explicit TLcdCanvas(TLcdFrame& frame) : frame_(frame) { ResetClip(); }

  TLcdFrame& Frame() const { return frame_; }

  // Drawing is restricted to the part of r that lies in the frame; an empty
  // or inverted rectangle lets nothing through.
  void SetClip(const TLcdRect& r);
  void ResetClip() { clip_ = {0, 0, kLcdWidth, kLcdHeight}; }
  const TLcdRect& Clip() const { return clip_; }

  // The inverse of the pixel (255 - each channel), when it is inside the clip.
  void InvertPixel(int x, int y) const;
  // Inverts the pixels under the ink of a 1-bit picture whose top-left
  // pixel is at (x, y): rows from the top, rowBytes bytes a row, most
  // significant bit leftmost, bit 0 = ink (inverted), 1 = paper (left alone).
  void InvertBits(int x, int y, int width, int height, const uint8_t* rows, int rowBytes) const;
  // Inverts the pixels of the mask's ink that lie inside the clip.
  void InvertMask(const TLcdInkMask& mask) const;
  // Whether the width x height rectangle at (x, y) lies wholly inside the
  // clip (and so inside the frame).
  bool Holds(int x, int y, int width, int height) const {
    return x >= clip_.left && y >= clip_.top && static_cast<long long>(x) + width <= clip_.right &&
           static_cast<long long>(y) + height <= clip_.bottom;
  }
  // Exclusive-ors a prepared picture onto the frame: rows of 3 x width
  // bytes from (x, y) on, only the rows whose bit is set in rowsWithInk.
  // The picture must lie wholly inside the clip (Holds).
  void InvertPrepared(int x, int y, int width, const uint8_t* rows, uint32_t rowsWithInk) const;
  // Paints r (clipped) with c.
  void FillRect(const TLcdRect& r, TRgb c) const;
  // Paints the one-pixel edge of r (clipped) with c.
  void FrameRect(const TLcdRect& r, TRgb c) const;

 private:
  bool Visible(int x, int y) const {
    return x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom;
  }

  TLcdFrame& frame_;
  TLcdRect clip_;
};
