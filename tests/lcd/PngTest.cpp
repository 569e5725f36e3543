#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "applet/lcd/LCDFontSheet.h"
#include "applet/lcd/PngWrite.h"

namespace {

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Walks the chunks, checks every CRC, returns the IDAT data and the header.
bool ReadPng(const std::vector<uint8_t>& png, std::vector<uint8_t>& idat, uint32_t& w, uint32_t& h) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), sig, 8) != 0) return false;
  size_t p = 8;
  bool end = false;
  while (p + 12 <= png.size() && !end) {
    const uint32_t len = Be32(&png[p]);
    if (p + 12 + len > png.size()) return false;
    const std::string type(reinterpret_cast<const char*>(&png[p + 4]), 4);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &png[p + 4], len + 4));
    if (crc != Be32(&png[p + 8 + len])) return false;
    const uint8_t* d = &png[p + 8];
    if (type == "IHDR") {
      w = Be32(d), h = Be32(d + 4);
      if (d[8] != 8 || d[9] != 2) return false;
    } else if (type == "IDAT") {
      idat.insert(idat.end(), d, d + len);
    } else if (type == "IEND") {
      end = true;
    }
    p += 12 + len;
  }
  return end && p == png.size();
}

}  // namespace

// zlib reads the image back pixel for pixel (this checks the CRCs, the
// deflate stream and the Adler-32 sum).
void ExpectReadsBack(const std::vector<TRgb>& px, int w, int h) {
  const std::vector<uint8_t> png = EncodePng(px.data(), w, h);
  std::vector<uint8_t> idat;
  uint32_t gw = 0, gh = 0;
  ASSERT_TRUE(ReadPng(png, idat, gw, gh));
  EXPECT_EQ(gw, uint32_t(w));
  EXPECT_EQ(gh, uint32_t(h));
  const size_t stride = 1 + 3 * size_t(w);
  std::vector<uint8_t> raw(h * stride + 1);
  uLongf rawLen = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawLen, idat.data(), idat.size()), Z_OK);
  ASSERT_EQ(rawLen, uLongf(h * stride));
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &raw[y * stride];
    ASSERT_EQ(row[0], 0);
    for (int x = 0; x < w; ++x) {
      const TRgb& p = px[size_t(y) * w + x];
      ASSERT_EQ(row[1 + 3 * x], p.r) << x << "," << y;
      ASSERT_EQ(row[2 + 3 * x], p.g) << x << "," << y;
      ASSERT_EQ(row[3 + 3 * x], p.b) << x << "," << y;
    }
  }
}

TEST(PngWrite, ZlibReadsBackTheSamePixels) {
  {
    SCOPED_TRACE("noise: literals only");
    const int w = 200, h = 120;
    std::vector<TRgb> px(w * h);
    uint32_t seed = 1;
    for (TRgb& p : px) {
      seed = seed * 1103515245u + 12345u;
      p = TRgb{uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(seed >> 8)};
    }
    ExpectReadsBack(px, w, h);
  }
  {
    SCOPED_TRACE("glyph sheet: runs and repeated rows of every length");
    const TRgbImage sheet = RenderGlyphSheet(5);
    ExpectReadsBack(sheet.px, sheet.width, sheet.height);
  }
  {
    SCOPED_TRACE("rows longer than the deflate window");
    const int w = 11000, h = 3;
    std::vector<TRgb> px(w * h, kWhite);
    for (int x = 0; x < w; x += 7) px[w + x] = kBlack;
    ExpectReadsBack(px, w, h);
  }
  {
    SCOPED_TRACE("one pixel");
    ExpectReadsBack({TRgb{1, 2, 3}}, 1, 1);
  }
}

TEST(PngWrite, FrameIsEnlargedAndEmptySizesGiveNothing) {
  TLcdFrame f;
  f.FillAll(kWhite);
  f.Set(159, 42, kBlack);
  const std::vector<uint8_t> png = EncodeFramePng(f, 2);
  std::vector<uint8_t> idat;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(ReadPng(png, idat, w, h));
  EXPECT_EQ(w, 320u);
  EXPECT_EQ(h, 86u);
  std::vector<uint8_t> raw(86 * 961);
  uLongf rawLen = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawLen, idat.data(), idat.size()), Z_OK);
  EXPECT_EQ(raw[85 * 961 + 1 + 3 * 319], 0);   // bottom-right pixel, enlarged
  EXPECT_EQ(raw[84 * 961 + 1 + 3 * 318], 0);
  EXPECT_EQ(raw[83 * 961 + 1 + 3 * 317], 255);
  EXPECT_TRUE(EncodePng(nullptr, 0, 5).empty());
  EXPECT_FALSE(WriteBinaryFile("/nonexistent-dir/x.png", png));
}
