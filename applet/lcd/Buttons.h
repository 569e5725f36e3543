// Soft-button handling as a pure transition: the LCD library's callback asks
// this for the next page and the one action to perform, then does it.
#pragma once
#include <cstdint>

enum tLcdButtonAction : int32_t {
  kButtonNothing = 0,
  kButtonToggleWindow = 1,  // send the show/hide command (WM_COMMAND 1002)
  kButtonCapture = 2,       // StartCapture
  kButtonClose = 3,         // post WM_CLOSE: the applet ends
};

struct tLcdButtonResult {
  int32_t PageMode;
  tLcdButtonAction Action;
};

// Buttons are the LCD's mask (button 1 = 1 .. button 4 = 8) compared as a
// whole value. Button 4 cycles pages 0..3, button 3 toggles the date page 4;
// neither leaves the message page 5. Buttons 3 and 4 together close.
tLcdButtonResult OnLcdButtons(int32_t pageMode, uint32_t buttons);
