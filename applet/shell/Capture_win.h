// Captures of the LCD picture: soft button 2 names a file in the Pictures
// folder; the next ticks write the frame there and show its name.
#pragma once
#include <cstdint>

#include "applet/lcd/LcdFrame.h"

// Chooses CapturePath from the local time of the press and starts the
// one-second notice; nothing when the Pictures folder is unknown or missing.
void StartCapture();

// While the notice shows: writes frame (the picture as sent, without the
// notice) unless a file of that name exists, then draws the notice on it.
void ShowCapture(TLcdFrame& frame, uint32_t now);
