#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

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

TEST(PngWrite, ZlibReadsBackTheSamePixels) {
  // Wide enough that the image data needs more than one stored block.
  const int w = 200, h = 120;
  std::vector<TRgb> px(w * h);
  for (int i = 0; i < w * h; ++i) px[i] = TRgb{uint8_t(i), uint8_t(i >> 8), uint8_t(i * 7)};
  const std::vector<uint8_t> png = EncodePng(px.data(), w, h);
  std::vector<uint8_t> idat;
  uint32_t gw = 0, gh = 0;
  ASSERT_TRUE(ReadPng(png, idat, gw, gh));
  EXPECT_EQ(gw, uint32_t(w));
  EXPECT_EQ(gh, uint32_t(h));
  std::vector<uint8_t> raw(h * (1 + 3 * w) + 1);
  uLongf rawLen = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawLen, idat.data(), idat.size()), Z_OK);  // checks Adler-32 too
  ASSERT_EQ(rawLen, uLongf(h * (1 + 3 * w)));
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &raw[y * (1 + 3 * w)];
    ASSERT_EQ(row[0], 0);
    for (int x = 0; x < w; ++x) {
      const TRgb& p = px[y * w + x];
      ASSERT_EQ(row[1 + 3 * x], p.r);
      ASSERT_EQ(row[2 + 3 * x], p.g);
      ASSERT_EQ(row[3 + 3 * x], p.b);
    }
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
