#include "tray/flash.h"

#include <new>

#include "app/globals.h"
#include "tray/blend.h"
#include "tray/tray.h"

#if defined(_WIN32) && !defined(_WIN64)
// captureIconPixels asks GetObjectA for exactly this many bytes.
static_assert(sizeof(BITMAP) == 24, "BITMAP is 24 bytes on i686");
#endif

int smallIconWidth;
int smallIconHeight;

namespace {

// The flash state, prepared once by prepareFlash and kept until the process ends.
int flashCounter;             // position in the cycle, 0..31; 0 at process start
ICONINFO flashIconInfo;       // smallIcon's (its mask, its hotspot), hbmColor = flashBitmap
HBITMAP flashBitmap;          // 32-bit bottom-up DIB section of the small icon size...
std::uint32_t* flashBits;     // ...and its pixel memory, into which each frame is blended
std::uint32_t* normalPixels;  // the colours of smallIcon and alertIcon, in that layout
std::uint32_t* alertPixels;

// A header for 32-bit uncompressed pixels, rows bottom-up (positive height).
BITMAPINFOHEADER pixelHeader(LONG width, LONG height)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

// Reads a bitmap as 32-bit bottom-up pixels into a new array. Returns the byte size, or
// 0 with *pixels set to null on failure.
DWORD captureIconPixels(HBITMAP bitmap, std::uint32_t** pixels)
{
    *pixels = nullptr;
    BITMAP description = {};
    if (GetObjectA(bitmap, sizeof description, &description) == 0) return 0;
    const LONG width = description.bmWidth;
    const LONG height = description.bmHeight;
    if (width <= 0 || height <= 0) return 0;

    BITMAPINFO info = {};
    info.bmiHeader = pixelHeader(width, height);
    const DWORD rowSize = ((info.bmiHeader.biBitCount * static_cast<DWORD>(width) + 31) & ~31u) / 8;
    const DWORD size = rowSize * static_cast<DWORD>(height);
    info.bmiHeader.biSizeImage = size;

    std::uint32_t* block = new (std::nothrow) std::uint32_t[size / 4];
    if (block == nullptr) return 0;

    HDC screen = GetDC(nullptr);
    const int lines =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), block, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines == 0) {
        delete[] block;
        return 0;
    }
    *pixels = block;
    return size;
}

// The colours of an icon, captured into a new array; frees the bitmaps that
// GetIconInfo handed out, which nothing else needs. Fails when the icon holds fewer
// pixels than a frame reads from it.
bool captureIconColours(HICON icon, std::uint32_t** pixels, DWORD frameBytes)
{
    ICONINFO info = {};
    *pixels = nullptr;
    if (!GetIconInfo(icon, &info)) return false;
    std::uint32_t* captured = nullptr;
    const DWORD size = info.hbmColor ? captureIconPixels(info.hbmColor, &captured) : 0;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (size == 0 || size < frameBytes) {
        delete[] captured;
        return false;
    }
    *pixels = captured;
    return true;
}

}  // namespace

bool prepareFlash()
{
    GetIconInfo(smallIcon, &flashIconInfo);

    BITMAPINFO info = {};
    info.bmiHeader = pixelHeader(smallIconWidth, smallIconHeight);

    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    flashBitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    flashBits = static_cast<std::uint32_t*>(bits);

    // Every frame keeps smallIcon's mask and hotspot and takes its colours from here.
    if (flashIconInfo.hbmColor) DeleteObject(flashIconInfo.hbmColor);
    flashIconInfo.hbmColor = flashBitmap;

    // Without pixel memory, or with icons smaller than a frame, every step would write
    // or read out of bounds: better not to start at all.
    if (flashBits == nullptr) return false;
    const DWORD frameBytes = static_cast<DWORD>(smallIconWidth) * smallIconHeight * 4;
    return captureIconColours(smallIcon, &normalPixels, frameBytes) &&
           captureIconColours(alertIcon, &alertPixels, frameBytes);
}

void startFlashing()
{
    flashCounter = 0;
    // Same window and id: a running timer is replaced, so the pulse starts over.
    SetTimer(mainWindow, FLASH_TIMER, FLASH_PERIOD_MS, nullptr);
}

void stopFlashing()
{
    KillTimer(mainWindow, FLASH_TIMER);
    traySetIcon(smallIcon);
}

void flashStep()
{
    flashCounter = nextFlashCounter(flashCounter);
    const std::size_t count = static_cast<std::size_t>(smallIconWidth) * smallIconHeight;
    // GDI may still be using the DIB section: let it finish before the memory changes.
    GdiFlush();
    blendFrame(flashBits, normalPixels, alertPixels, count, flashWeight(flashCounter));

    HICON frame = CreateIconIndirect(&flashIconInfo);
    traySetIcon(frame);
    if (frame) DestroyIcon(frame);
}
