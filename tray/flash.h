// The flash of the tray icon: every FLASH_PERIOD_MS a new image whose colours lie
// between smallIcon's and alertIcon's, in a cycle of 32 steps, until stopped.
// UI thread only.
#pragma once

#include <windows.h>

// The flash timer of mainWindow: its WM_TIMER id and its period.
constexpr UINT_PTR FLASH_TIMER = 1;
constexpr UINT FLASH_PERIOD_MS = 100;

// The small system icon size, read once by startup; every frame has this size, and
// smallIcon and alertIcon are loaded at this size (though a shared icon may come back
// larger: the flash then reads their images from copies of exactly this size).
extern int smallIconWidth;
extern int smallIconHeight;

// Prepares the bitmap every frame is blended into and captures the colours of smallIcon
// and alertIcon; false when an icon's colours and mask cannot be had at the frame's
// size. Called once by startup, after the icons are loaded.
bool prepareFlash();

void startFlashing();  // (re)starts the cycle from its first step
void stopFlashing();   // ends the timer and shows smallIcon again, flashing or not
void flashStep();      // WM_TIMER with FLASH_TIMER: the next frame into the tray
