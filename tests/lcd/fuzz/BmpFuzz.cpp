// Any file bytes: the background decoder must reject or decode them without
// reading outside the data.
#include <cstddef>
#include <cstdint>

#include "applet/lcd/Bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TBmpImage image;
  if (DecodeBmp(data, size, image)) {
    TLcdFrame frame;
    CopyBackground(frame, image, true);
  }
  DecodeBmp(data, size, image, 1 << 16, 1 << 16);
  return 0;
}
