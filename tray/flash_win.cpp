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

bool hasFrameSize(HBITMAP bitmap)
{
    BITMAP description = {};
    return bitmap && GetObjectA(bitmap, sizeof description, &description) != 0 &&
           description.bmWidth == smallIconWidth && description.bmHeight == smallIconHeight;
}

void deleteIconBitmaps(const ICONINFO& info)
{
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
}

// GetIconInfo, kept only when both the colour and the mask bitmap have the frame's size.
bool iconInfoOfFrameSize(HICON icon, ICONINFO* info)
{
    *info = {};
    if (!icon || !GetIconInfo(icon, info)) return false;
    if (hasFrameSize(info->hbmColor) && hasFrameSize(info->hbmMask)) return true;
    deleteIconBitmaps(*info);
    *info = {};
    return false;
}

// An icon's colour and mask bitmaps at exactly the frame's size; the caller deletes
// both. A shared icon need not have the size it was loaded at: Wine's cache hands out
// the first icon loaded from a resource (largeIcon, 32 x 32) for the small size too.
// Then the bitmaps come from a private copy made from the resource at the small size,
// freed at once. False when not even that copy has the frame's size.
bool frameSizedIconInfo(HICON icon, ICONINFO* info)
{
    if (iconInfoOfFrameSize(icon, info)) return true;
    HICON copy = static_cast<HICON>(
        CopyImage(icon, IMAGE_ICON, smallIconWidth, smallIconHeight, LR_COPYFROMRESOURCE));
    const bool described = iconInfoOfFrameSize(copy, info);
    if (copy) DestroyIcon(copy);
    return described;
}

}  // namespace

bool prepareFlash()
{
    // Every frame keeps smallIcon's mask and hotspot, at the frame's size. Its colours are
    // captured before the DIB section takes the colour bitmap's place.
    if (!frameSizedIconInfo(smallIcon, &flashIconInfo) ||
        captureIconPixels(flashIconInfo.hbmColor, &normalPixels) == 0)
        return false;

    BITMAPINFO info = {};
    info.bmiHeader = pixelHeader(smallIconWidth, smallIconHeight);

    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    flashBitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    flashBits = static_cast<std::uint32_t*>(bits);

    DeleteObject(flashIconInfo.hbmColor);
    flashIconInfo.hbmColor = flashBitmap;

    // Without pixel memory every step would write through a null pointer: better not to
    // start at all.
    if (flashBits == nullptr) return false;

    // alertIcon gives only its colours, at the frame's size like smallIcon's.
    ICONINFO alert;
    if (!frameSizedIconInfo(alertIcon, &alert)) return false;
    const DWORD captured = captureIconPixels(alert.hbmColor, &alertPixels);
    deleteIconBitmaps(alert);
    return captured != 0;
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
