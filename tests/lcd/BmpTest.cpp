#include "applet/lcd/Bmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file with a 40-byte header; palette entries and pixel rows are
// given as the file holds them.
std::vector<uint8_t> MakeBmp(int width, int height, int bpp, const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& pixels, uint32_t compression = 0) {
  std::vector<uint8_t> f(54, 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 10, static_cast<uint32_t>(54 + palette.size()));
  Put32(f, 14, 40);
  Put32(f, 18, static_cast<uint32_t>(width));
  Put32(f, 22, static_cast<uint32_t>(height));
  f[26] = 1;
  f[28] = static_cast<uint8_t>(bpp);
  Put32(f, 30, compression);
  Put32(f, 46, static_cast<uint32_t>(palette.size() / 4));
  f.insert(f.end(), palette.begin(), palette.end());
  f.insert(f.end(), pixels.begin(), pixels.end());
  Put32(f, 2, static_cast<uint32_t>(f.size()));
  return f;
}

const TRgb kRed{0, 0, 255}, kBlue{255, 0, 0};

// Each format holds the same 3 x 2 picture: top row black, red, white; bottom
// row white, blue, black.
TEST(DecodeBmp, EveryDepthAndRowOrder) {
  const std::vector<uint8_t> pal2 = {0, 0, 0, 0, 255, 255, 255, 0};
  const std::vector<uint8_t> pal4 = {0, 0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0, 255, 0, 0, 0};
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    std::vector<TRgb> expect;
  };
  const std::vector<TRgb> colour = {kBlack, kRed, kWhite, kWhite, kBlue, kBlack};
  const std::vector<TRgb> mono = {kBlack, kWhite, kWhite, kWhite, kBlack, kBlack};
  const Case cases[] = {
      // 1 bpp bottom-up: bottom row 1,0,0 -> 0x80; top row 0,1,1 -> 0x60.
      {"1bpp", MakeBmp(3, 2, 1, pal2, {0x80, 0, 0, 0, 0x60, 0, 0, 0}), mono},
      {"4bpp", MakeBmp(3, 2, 4, pal4, {0x23, 0x00, 0, 0, 0x01, 0x20, 0, 0}), colour},
      {"8bpp top-down", MakeBmp(3, -2, 8, pal4, {0, 1, 2, 0, 2, 3, 0, 0}), colour},
      {"24bpp", MakeBmp(3, 2, 24, {}, {255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0}), colour},
      {"32bpp top-down", MakeBmp(3, -2, 32, {}, {0, 0, 0, 9, 0, 0, 255, 9, 255, 255, 255, 9,
                                                 255, 255, 255, 9, 255, 0, 0, 9, 0, 0, 0, 9}), colour},
  };
  for (const Case& c : cases) {
    TBmpImage img;
    ASSERT_TRUE(DecodeBmp(c.file.data(), c.file.size(), img)) << c.name;
    ASSERT_EQ(img.Width, 3) << c.name;
    ASSERT_EQ(img.Height, 2) << c.name;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.Pixels[i], c.expect[i]) << c.name << " pixel " << i;
  }
}

TEST(DecodeBmp, RejectsWhatItCannotShow) {
  const std::vector<uint8_t> good = MakeBmp(2, 2, 24, {}, std::vector<uint8_t>(16, 7));
  TBmpImage img;
  ASSERT_TRUE(DecodeBmp(good.data(), good.size(), img));
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases;
  cases.push_back({"truncated pixels", std::vector<uint8_t>(good.begin(), good.end() - 1)});
  cases.push_back({"rle8 at 4 bpp", MakeBmp(2, 2, 4, std::vector<uint8_t>(64, 0), std::vector<uint8_t>(8, 0), 1)});
  cases.push_back({"rle4 at 8 bpp", MakeBmp(2, 2, 8, std::vector<uint8_t>(1024, 0), std::vector<uint8_t>(8, 0), 2)});
  cases.push_back({"top-down rle8", MakeBmp(2, -2, 8, std::vector<uint8_t>(1024, 0), std::vector<uint8_t>(8, 0), 1)});
  cases.push_back({"bit fields at 24 bpp", MakeBmp(2, 2, 24, std::vector<uint8_t>(12, 0), std::vector<uint8_t>(16, 0), 3)});
  cases.push_back({"jpeg", MakeBmp(2, 2, 24, {}, std::vector<uint8_t>(16, 0), 4)});
  cases.push_back({"truncated 16bpp", MakeBmp(2, 2, 16, {}, std::vector<uint8_t>(7, 0))});
  cases.push_back({"zero width", MakeBmp(0, 2, 24, {}, std::vector<uint8_t>(16, 0))});
  cases.push_back({"zero height", MakeBmp(2, 0, 24, {}, {})});
  std::vector<uint8_t> huge = good;
  Put32(huge, 18, 0x7FFFFFFF);
  cases.push_back({"huge width", huge});
  std::vector<uint8_t> minHeight = good;
  Put32(minHeight, 22, 0x80000000u);
  cases.push_back({"INT_MIN height", minHeight});
  std::vector<uint8_t> offset = good;
  Put32(offset, 10, 0xFFFFFFF0u);
  cases.push_back({"offset past end", offset});
  std::vector<uint8_t> header = good;
  Put32(header, 14, 0xFFFFFFFFu);
  cases.push_back({"header size", header});
  cases.push_back({"short file", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
  std::vector<uint8_t> magic = good;
  magic[0] = 'X';
  cases.push_back({"magic", magic});
  std::vector<uint8_t> shortPalette = MakeBmp(2, 2, 8, std::vector<uint8_t>(8, 0), std::vector<uint8_t>(8, 0));
  Put32(shortPalette, 46, 0);  // claims a full palette of 256 entries that the file lacks
  cases.push_back({"palette past pixels", shortPalette});
  for (const Case& c : cases) {
    EXPECT_FALSE(DecodeBmp(c.file.data(), c.file.size(), img)) << c.name;
    EXPECT_TRUE(img.Empty()) << c.name;
  }
  EXPECT_FALSE(DecodeBmp(nullptr, 0, img));
}

std::vector<uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(std::string(KES_BMP_FIXTURES) + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every form Windows' loader reads, against ImageMagick's conversion of the
// same file to 24 bits (tests/lcd/bmp/MakeFixtures.py made both).
TEST(DecodeBmp, EveryFormMatchesTheReference) {
  const char* const forms[] = {
      "rgb1",         "rgb4",         "rgb8",         "rgb8-topdown",    "rgb16-555",  "fields16-565",
      "fields16-555-topdown", "fields32-101010", "fields32-bgr", "fields32-v4", "rgb24", "rgb32",
      "rle8",         "rle8-delta",   "rle4",         "rle4-delta",      "core24",     "core8",
  };
  for (const char* form : forms) {
    const std::vector<uint8_t> file = ReadFixture(std::string(form) + ".bmp");
    const std::vector<uint8_t> reference = ReadFixture(std::string(form) + ".ref.bmp");
    ASSERT_FALSE(file.empty()) << form;
    TBmpImage image, expected;
    ASSERT_TRUE(DecodeBmp(reference.data(), reference.size(), expected)) << form;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), image)) << form;
    ASSERT_EQ(image.Width, expected.Width) << form;
    ASSERT_EQ(image.Height, expected.Height) << form;
    int wrong = 0;
    for (int y = 0; y < image.Height; ++y)
      for (int x = 0; x < image.Width; ++x)
        if (image.At(x, y) != expected.At(x, y) && ++wrong <= 3)
          ADD_FAILURE() << form << " pixel " << x << "," << y << ": " << int(image.At(x, y).r) << " "
                        << int(image.At(x, y).g) << " " << int(image.At(x, y).b) << " instead of "
                        << int(expected.At(x, y).r) << " " << int(expected.At(x, y).g) << " "
                        << int(expected.At(x, y).b);
    EXPECT_EQ(wrong, 0) << form;
  }
}

// Run-length data that overruns its rows or the picture, or ends inside a
// group: the picture is kept to its size and nothing outside the data is read
// (the sanitizer watches the reads).
TEST(DecodeBmp, RunLengthOverrunsStayInsideThePicture) {
  const std::vector<uint8_t> pal = {0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0};
  struct Case {
    const char* name;
    uint32_t compression;
    std::vector<uint8_t> data;
    std::vector<TRgb> expect;  // 3 x 2, top row first
  };
  const Case cases[] = {
      {"run past the row", 1, {200, 1, 0, 0, 2, 2, 0, 1}, {kRed, kRed, kBlack, kWhite, kWhite, kWhite}},
      {"absolute past the row", 1, {0, 5, 1, 2, 1, 2, 1, 0, 0, 1}, {kBlack, kBlack, kBlack, kWhite, kRed, kWhite}},
      {"delta past the picture", 1, {1, 1, 0, 2, 0, 9, 3, 2}, {kBlack, kBlack, kBlack, kWhite, kBlack, kBlack}},
      {"rows past the picture", 1, {3, 1, 0, 0, 3, 2, 0, 0, 3, 1, 0, 0, 3, 2}, {kRed, kRed, kRed, kWhite, kWhite, kWhite}},
      {"absolute cut by the end", 1, {0, 9, 1, 2}, {kBlack, kBlack, kBlack, kBlack, kBlack, kBlack}},
      {"delta cut by the end", 1, {2, 2, 0, 2, 1}, {kBlack, kBlack, kBlack, kRed, kRed, kBlack}},
      {"rle4 run past the row", 2, {9, 0x12, 0, 0, 0, 3, 0x21, 0x20}, {kRed, kWhite, kRed, kWhite, kRed, kWhite}},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> file = MakeBmp(3, 2, c.compression == 1 ? 8 : 4, pal, c.data, c.compression);
    TBmpImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), img)) << c.name;
    ASSERT_EQ(img.Pixels.size(), 6u) << c.name;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.Pixels[i], c.expect[i]) << c.name << " pixel " << i;
  }
}

TEST(DecodeBmp, KeepsTheTopLeftOfLargePictures) {
  // 200 x 50, 8 bpp, pixel value = (x + y) & 1 on a two-colour palette.
  const int w = 200, h = 50;
  std::vector<uint8_t> pixels(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixels[(h - 1 - y) * w + x] = static_cast<uint8_t>((x + y) & 1);
  const std::vector<uint8_t> file = MakeBmp(w, h, 8, {0, 0, 0, 0, 255, 255, 255, 0}, pixels);
  TBmpImage img;
  ASSERT_TRUE(DecodeBmp(file.data(), file.size(), img));
  EXPECT_EQ(img.Width, kLcdWidth);
  EXPECT_EQ(img.Height, kLcdHeight);
  EXPECT_EQ(img.FileWidth, w);
  EXPECT_EQ(img.FileHeight, h);
  EXPECT_EQ(img.At(0, 0), kBlack);
  EXPECT_EQ(img.At(1, 0), kWhite);
  EXPECT_EQ(img.At(159, 42), kWhite);
}

TEST(FrameBmp, EncodesAndDecodesBack) {
  TLcdFrame frame;
  frame.FillAll(kWhite);
  frame.Set(0, 0, kBlack);
  frame.Set(159, 42, kRed);
  uint8_t file[kFrameBmpSize];
  EncodeFrameBmp(frame, file);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[28], 24);
  // Bottom-up: the first stored row is row 42, its last pixel red.
  EXPECT_EQ(file[54 + 159 * 3 + 2], 255);
  EXPECT_EQ(file[54 + 159 * 3], 0);
  const std::vector<uint8_t> viaVector = EncodeBmp24(&frame.px[0][0], kLcdWidth, kLcdHeight);
  ASSERT_EQ(viaVector.size(), kFrameBmpSize);
  EXPECT_EQ(std::memcmp(viaVector.data(), file, kFrameBmpSize), 0);
  TBmpImage img;
  ASSERT_TRUE(DecodeBmp(file, kFrameBmpSize, img));
  TLcdFrame back;
  CopyBackground(back, img, false);
  EXPECT_EQ(std::memcmp(&back, &frame, sizeof frame), 0);

  // An odd width is padded to whole 4-byte rows.
  const TRgb three[3] = {kRed, kBlue, kBlack};
  const std::vector<uint8_t> odd = EncodeBmp24(three, 3, 1);
  EXPECT_EQ(odd.size(), 54u + 12u);
  ASSERT_TRUE(DecodeBmp(odd.data(), odd.size(), img));
  EXPECT_EQ(img.At(1, 0), kBlue);
}

TEST(CopyBackground, InvertsAndLeavesPaperWhite) {
  const TRgb px[2] = {kBlack, TRgb{10, 20, 30}};
  const std::vector<uint8_t> file = EncodeBmp24(px, 2, 1);
  TBmpImage img;
  ASSERT_TRUE(DecodeBmp(file.data(), file.size(), img));
  TLcdFrame f;
  CopyBackground(f, img, true);
  EXPECT_EQ(f.Get(0, 0), kWhite);
  EXPECT_EQ(f.Get(1, 0), (TRgb{245, 235, 225}));
  EXPECT_EQ(f.Get(2, 0), kWhite);
  EXPECT_EQ(f.Get(0, 1), kWhite);
  CopyBackground(f, TBmpImage{}, true);
  EXPECT_EQ(f.Get(0, 0), kWhite);
}

}  // namespace
