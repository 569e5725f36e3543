#include "applet/lcd/Buttons.h"

tLcdButtonResult OnLcdButtons(int32_t pageMode, uint32_t buttons) {
  tLcdButtonResult r{pageMode, kButtonNothing};
  switch (buttons) {
    case 1:
      r.Action = kButtonToggleWindow;
      break;
    case 2:
      r.Action = kButtonCapture;
      break;
    case 4:
      if (pageMode == 4)
        r.PageMode = 0;
      else if (pageMode != 5)
        r.PageMode = 4;
      break;
    case 8:
      if (pageMode == 3)
        r.PageMode = 0;
      else if (pageMode == 4)
        r.PageMode = 1;
      else if (pageMode != 5)
        r.PageMode = pageMode + 1;
      break;
    case 12:
      r.Action = kButtonClose;
      break;
    default:
      break;
  }
  return r;
}
