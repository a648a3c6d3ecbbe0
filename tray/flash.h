// The flash of the tray icon: every FLASH_PERIOD_MS a new image whose colours lie
// between smallIcon's and alertIcon's, in a cycle of 32 steps, until stopped.
// UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>

// The small system icon size, read once by startup; every frame has this size, and
// smallIcon and alertIcon are loaded at exactly this size.
extern int smallIconWidth;
extern int smallIconHeight;

// Position in the cycle, 0..31; 0 at process start.
extern int flashCounter;
// smallIcon's ICONINFO (its mask, its hotspot) with hbmColor replaced by flashBitmap:
// every frame is created from it.
extern ICONINFO flashIconInfo;
// A 32-bit bottom-up DIB section of smallIconWidth x smallIconHeight pixels and its
// pixel memory, into which each frame is blended.
extern HBITMAP flashBitmap;
extern std::uint32_t* flashBits;
// The colour bitmaps of smallIcon and alertIcon in the same layout as flashBits.
extern std::uint32_t* normalPixels;
extern std::uint32_t* alertPixels;

// Builds everything above from smallIcon and alertIcon; false when an icon's colours
// cannot be read. Called once by startup.
bool prepareFlash();

// Reads a bitmap as 32-bit bottom-up pixels into a new array (free it with delete[]).
// Returns the byte size, or 0 with *pixels set to null on failure.
DWORD captureIconPixels(HBITMAP bitmap, std::uint32_t** pixels);

void startFlashing();   // (re)starts the cycle from its first step
void stopFlashing();    // ends the timer and shows smallIcon again, flashing or not
void flashStep();       // WM_TIMER with FLASH_TIMER: the next frame into the tray
