// The user's regional texts that the LCD's date, time and real-clock texts
// use, read once from the user's default locale.
#pragma once
#include "applet/lcd/DatePattern.h"

// Day and month names, date and time separators, AM and PM texts.
const TDateLocale& UserDateLocale();
// The decimal separator's first character; "." when it cannot be read.
char UserDecimalSeparator();
