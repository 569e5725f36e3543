// A small PNG writer: 24-bit colour, no filtering, one deflate block with
// the fixed codes. Enough for pictures of the LCD and glyph sheets.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "applet/lcd/LcdFrame.h"

// pixels: width x height pixels, rows from the top. Returns the file's bytes,
// or nothing for a size of zero or below.
std::vector<uint8_t> EncodePng(const TRgb* pixels, int width, int height);

// The frame, each pixel enlarged to scale x scale (scale 1 and up).
std::vector<uint8_t> EncodeFramePng(const TLcdFrame& frame, int scale = 1);

// Writes bytes to path; false when the file cannot be written completely.
bool WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes);
