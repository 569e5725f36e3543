// Any file bytes: the background decoder must reject or decode them without
// reading outside the data or writing outside the picture. The seeds hold
// every form, run-length data overrunning its rows among them.
#include <cstddef>
#include <cstdint>

#include "applet/lcd/Bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TBmpImage image;
  if (DecodeBmp(data, size, image)) {
    TLcdFrame frame;
    CopyBackground(frame, image, true);
  }
  // Large kept parts, yet bounded: a run-length file of a few bytes may
  // describe a picture of 65535 x 65535 pixels.
  DecodeBmp(data, size, image, 1 << 11, 1 << 11);
  // A kept part smaller than the picture: run-length data that overruns its
  // rows is cut at the kept part's edges too.
  DecodeBmp(data, size, image, 2, 1);
  return 0;
}
