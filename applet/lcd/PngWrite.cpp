#include "applet/lcd/PngWrite.h"

#include <cstdio>

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

// One chunk: length, type, data, CRC over type and data.
void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

// Writes bits into bytes, least significant bit first, as deflate wants.
class TBitWriter {
 public:
  explicit TBitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Bits(uint32_t value, int count) {  // value's low bits, lowest first
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(uint32_t code, int length) {  // a Huffman code, highest bit first
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  void Flush() {
    if (used_) out_.push_back(acc_);
    acc_ = 0, used_ = 0;
  }

 private:
  void Bit(uint32_t b) {
    acc_ = static_cast<uint8_t>(acc_ | (b << used_));
    if (++used_ == 8) Flush();
  }
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int used_ = 0;
};

// The fixed Huffman code of a literal/length symbol (0..287).
void PutSymbol(TBitWriter& w, int sym) {
  if (sym < 144) w.Code(0x30 + sym, 8);
  else if (sym < 256) w.Code(0x190 + sym - 144, 9);
  else if (sym < 280) w.Code(sym - 256, 7);
  else w.Code(0xC0 + sym - 280, 8);
}

void PutMatch(TBitWriter& w, int length, int distance) {
  static const int kLenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                   31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const int kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static const int kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  int l = 28;
  while (kLenBase[l] > length) --l;
  PutSymbol(w, 257 + l);
  w.Bits(length - kLenBase[l], kLenExtra[l]);
  int d = 29;
  while (kDistBase[d] > distance) --d;
  w.Code(d, 5);
  w.Bits(distance - kDistBase[d], d < 4 ? 0 : d / 2 - 1);
}

int MatchLength(const std::vector<uint8_t>& raw, size_t pos, size_t distance) {
  if (distance == 0 || distance > pos || distance > 32768) return 0;
  size_t n = 0;
  while (n < 258 && pos + n < raw.size() && raw[pos + n] == raw[pos + n - distance]) ++n;
  return static_cast<int>(n);
}

// A zlib stream of one fixed-Huffman deflate block. Matches are looked for
// only one pixel back and one row up, which is what pictures of an LCD and
// their enlargements repeat; that keeps the writer small and still makes
// such pictures a fraction of their raw size.
std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& raw, size_t stride) {
  std::vector<uint8_t> z = {0x78, 0x01};
  TBitWriter w(z);
  w.Bits(1, 1);  // final block
  w.Bits(1, 2);  // fixed Huffman codes
  size_t pos = 0;
  while (pos < raw.size()) {
    const int byPixel = MatchLength(raw, pos, 3);
    const int byRow = MatchLength(raw, pos, stride);
    const int best = byRow >= byPixel ? byRow : byPixel;
    if (best >= 3) {
      PutMatch(w, best, byRow >= byPixel ? static_cast<int>(stride) : 3);
      pos += best;
    } else {
      PutSymbol(w, raw[pos++]);
    }
  }
  PutSymbol(w, 256);
  w.Flush();
  uint32_t a = 1, b = 0;  // Adler-32
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, (b << 16) | a);
  return z;
}

}  // namespace

std::vector<uint8_t> EncodePng(const TRgb* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      const TRgb& p = pixels[static_cast<size_t>(y) * width + x];
      raw.push_back(p.r);
      raw.push_back(p.g);
      raw.push_back(p.b);
    }
  }
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe32(header, static_cast<uint32_t>(width));
  PutBe32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", ZlibCompress(raw, 1 + 3 * static_cast<size_t>(width)));
  PutChunk(out, "IEND", {});
  return out;
}

std::vector<uint8_t> EncodeFramePng(const TLcdFrame& frame, int scale) {
  if (scale < 1) scale = 1;
  const int w = kLcdWidth * scale, h = kLcdHeight * scale;
  std::vector<TRgb> big(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) big[static_cast<size_t>(y) * w + x] = frame.px[y / scale][x / scale];
  return EncodePng(big.data(), w, h);
}

bool WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}
