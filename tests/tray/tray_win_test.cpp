// The tray icon's structures and calls, and the flash frames over the real icon
// resources linked into this program, against a hidden window on Wine's shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/messages.h"
#include "res/resource.h"
#include "tray/blend.h"
#include "tray/flash.h"
#include "tray/tray.h"
#include "tests/support/hidden_main_window.h"

// Counts every C++ allocation, so that a test can tell whether a flash step allocates.
namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr std::uint32_t RGB_MASK = 0x00FFFFFFu;

// What the program's startup does before trayAdd and prepareFlash: the icons at the
// small size and a hidden top-level window that owns the tray icon and the timer.
class Tray : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        smallIconWidth = GetSystemMetrics(SM_CXSMICON);
        smallIconHeight = GetSystemMetrics(SM_CYSMICON);
        smallIcon = static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                                  smallIconWidth, smallIconHeight, LR_SHARED));
        alertIcon = static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_ALERT), IMAGE_ICON,
                                                  smallIconWidth, smallIconHeight, LR_SHARED));
        createHiddenMainWindow("WC_TrayTest");
        prepared = prepareFlash();
    }
    static void TearDownTestSuite()
    {
        trayRemove();
        DestroyWindow(mainWindow);
    }
    static bool prepared;
};

bool Tray::prepared;

// The icon drawn by the system into a 32-bit bottom-up bitmap: the colours as an
// independent reader sees them, not through captureIconPixels.
std::vector<std::uint32_t> drawnColours(HICON icon)
{
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = smallIconWidth;
    info.bmiHeader.biHeight = smallIconHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DrawIconEx(dc, 0, 0, icon, smallIconWidth, smallIconHeight, 0, nullptr, DI_IMAGE);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> colours(p, p + smallIconWidth * smallIconHeight);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    for (auto& c : colours)
        c &= RGB_MASK;
    return colours;
}

// An icon's mask as one flag per pixel (true: transparent), bottom-up.
std::vector<bool> maskOf(HICON icon)
{
    ICONINFO ii;
    std::memset(&ii, 0, sizeof ii);
    GetIconInfo(icon, &ii);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } info;
    std::memset(&info, 0, sizeof info);
    info.header.biSize = sizeof info.header;
    info.header.biWidth = smallIconWidth;
    info.header.biHeight = smallIconHeight;
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    const int rowBytes = (smallIconWidth + 31) / 32 * 4;
    std::vector<unsigned char> rows(static_cast<std::size_t>(rowBytes) * smallIconHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, ii.hbmMask, 0, smallIconHeight, rows.data(),
              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<bool> mask;
    for (int y = 0; y < smallIconHeight; ++y)
        for (int x = 0; x < smallIconWidth; ++x)
            mask.push_back((rows[y * rowBytes + x / 8] >> (7 - x % 8)) & 1);
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    return mask;
}

std::vector<std::uint32_t> currentFrame()
{
    std::vector<std::uint32_t> frame(flashBits, flashBits + smallIconWidth * smallIconHeight);
    for (auto& c : frame)
        c &= RGB_MASK;
    return frame;
}

// Steps the flash until the counter shows n (the frame of step n is then in flashBits).
void stepTo(int n)
{
    for (int i = 0; i < FLASH_STEPS && flashCounter != n; ++i)
        flashStep();
    if (flashCounter != n)
        flashStep();
}

bool zeroFrom(const NOTIFYICONDATAA& data, std::size_t offset)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&data);
    for (std::size_t i = offset; i < sizeof data; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

struct DataCase {
    const char* what;
    NOTIFYICONDATAA data;
    UINT flags;
    UINT callback;
    HICON icon;
    std::string tip;
};

TEST_F(Tray, EveryStructureIsFilledExactlyForItsOperation)
{
    HWND w = reinterpret_cast<HWND>(0x1234);
    HICON icon = reinterpret_cast<HICON>(0x5678);
    const DataCase cases[] = {
        {"add", trayAddData(w, icon), NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_TRAYICON, icon, "Turnbell"},
        {"set icon", traySetIconData(w, icon), NIF_ICON, 0, icon, ""},
        {"tip", trayTipData(w, 3), NIF_MESSAGE | NIF_TIP, WM_TRAYICON, nullptr, "Turnbell - 3 games waiting"},
        {"remove", trayRemoveData(w), 0, 0, nullptr, ""},
    };
    for (const DataCase& c : cases) {
        EXPECT_EQ(c.data.cbSize, sizeof(NOTIFYICONDATAA)) << c.what;
        EXPECT_EQ(c.data.hWnd, w) << c.what;
        EXPECT_EQ(c.data.uID, TRAY_ICON_ID) << c.what;
        EXPECT_EQ(c.data.uFlags, c.flags) << c.what;
        EXPECT_EQ(c.data.uCallbackMessage, c.callback) << c.what;
        EXPECT_EQ(c.data.hIcon, c.icon) << c.what;
        EXPECT_EQ(std::string(c.data.szTip), c.tip) << c.what;
        // The rest of the tooltip buffer and every member after it stay zero: no
        // balloon, no state, no guid.
        const std::size_t tipEnd = std::strlen(c.data.szTip);
        for (std::size_t i = tipEnd; i < sizeof c.data.szTip; ++i)
            ASSERT_EQ(c.data.szTip[i], 0) << c.what << ", tooltip byte " << i;
        EXPECT_TRUE(zeroFrom(c.data, offsetof(NOTIFYICONDATAA, dwState))) << c.what;
    }
    // The 64-bit build carries wider handles; the 32-bit layout is pinned at compile time.
    EXPECT_EQ(sizeof(NOTIFYICONDATAA), sizeof(void*) == 4 ? 508u : 528u);
}

TEST_F(Tray, TooltipShowsAnyCountWithinItsBuffer)
{
    const struct {
        int count;
        const char* tip;
    } cases[] = {
        {0, "Turnbell - 0 games waiting"},
        {1, "Turnbell - 1 games waiting"},
        {INT_MAX, "Turnbell - 2147483647 games waiting"},
        {INT_MIN, "Turnbell - -2147483648 games waiting"},
    };
    for (const auto& c : cases) {
        const NOTIFYICONDATAA data = trayTipData(nullptr, c.count);
        EXPECT_STREQ(data.szTip, c.tip);
        EXPECT_LT(std::strlen(data.szTip), sizeof data.szTip);
    }
}

TEST_F(Tray, CallsReachTheShellForARealWindow)
{
    // Wine's desktop process (explorer) owns the notification area window; without it
    // every call fails.
    ASSERT_NE(FindWindowA("Shell_TrayWnd", nullptr), nullptr);
    ASSERT_NE(mainWindow, nullptr);
    ASSERT_NE(smallIcon, nullptr);

    NOTIFYICONDATAA probe = trayTipData(mainWindow, 0);
    trayRemove();
    EXPECT_FALSE(trayNotify(NIM_MODIFY, probe)) << "no icon yet";

    trayAdd();
    probe = trayTipData(mainWindow, 0);
    EXPECT_TRUE(trayNotify(NIM_MODIFY, probe)) << "trayAdd added the icon";

    traySetIcon(alertIcon);
    trayUpdateTip();
    probe = traySetIconData(mainWindow, smallIcon);
    EXPECT_TRUE(trayNotify(NIM_MODIFY, probe)) << "the icon is still there after the updates";

    trayRemove();
    probe = trayTipData(mainWindow, 0);
    EXPECT_FALSE(trayNotify(NIM_MODIFY, probe)) << "trayRemove removed the icon";

    // A second add after a shell restart is the same call again.
    NOTIFYICONDATAA add = trayAddData(mainWindow, smallIcon);
    EXPECT_TRUE(trayNotify(NIM_ADD, add));
    NOTIFYICONDATAA remove = trayRemoveData(mainWindow);
    EXPECT_TRUE(trayNotify(NIM_DELETE, remove));
}

TEST_F(Tray, FlashIsPreparedFromBothIcons)
{
    ASSERT_TRUE(prepared);
    EXPECT_NE(flashBitmap, nullptr);
    EXPECT_EQ(flashIconInfo.hbmColor, flashBitmap);
    EXPECT_TRUE(flashIconInfo.fIcon);
    ASSERT_NE(flashBits, nullptr);
    ASSERT_NE(normalPixels, nullptr);
    ASSERT_NE(alertPixels, nullptr);

    std::uint32_t* pixels = nullptr;
    EXPECT_EQ(captureIconPixels(nullptr, &pixels), 0u);
    EXPECT_EQ(pixels, nullptr);
}

TEST_F(Tray, FramesAtTheEndsOfTheCycleShowEachIconExactly)
{
    ASSERT_TRUE(prepared);
    const std::vector<std::uint32_t> normal = drawnColours(smallIcon);
    const std::vector<std::uint32_t> alert = drawnColours(alertIcon);
    const std::vector<bool> outline = maskOf(smallIcon);

    startFlashing();
    stepTo(16);
    EXPECT_EQ(flashWeight(flashCounter), 256);
    EXPECT_EQ(currentFrame(), alert) << "weight 256: the alert colours";
    HICON frame = CreateIconIndirect(&flashIconInfo);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(drawnColours(frame), alert);
    EXPECT_EQ(maskOf(frame), outline) << "the frame keeps the normal icon's outline";
    DestroyIcon(frame);

    stepTo(0);
    EXPECT_EQ(currentFrame(), normal) << "weight 0: the normal colours";
    frame = CreateIconIndirect(&flashIconInfo);
    EXPECT_EQ(drawnColours(frame), normal);
    EXPECT_EQ(maskOf(frame), outline);
    DestroyIcon(frame);
    stopFlashing();

    // The resources themselves: a red bell and a green bell with transparent edges.
    int red = 0, green = 0;
    for (std::size_t i = 0; i < normal.size(); ++i) {
        red += normal[i] == 0xFF0000u;
        green += alert[i] == 0x008000u;
    }
    EXPECT_GT(red, 40);
    EXPECT_GT(green, 40);
    for (int y = 0; y < smallIconHeight; ++y) {
        EXPECT_TRUE(outline[y * smallIconWidth]);
        EXPECT_TRUE(outline[y * smallIconWidth + smallIconWidth - 1]);
    }
}

TEST_F(Tray, StartingAgainRestartsTheCycleAtTheFirstStep)
{
    ASSERT_TRUE(prepared);
    startFlashing();
    for (int i = 0; i < 7; ++i)
        flashStep();
    EXPECT_EQ(flashCounter, 7);

    startFlashing();
    EXPECT_EQ(flashCounter, 0);
    flashStep();
    EXPECT_EQ(flashCounter, 1);
    const std::size_t count = static_cast<std::size_t>(smallIconWidth) * smallIconHeight;
    for (std::size_t i = 0; i < count; ++i)
        ASSERT_EQ(flashBits[i], blendPixel(normalPixels[i], alertPixels[i], 16)) << "pixel " << i;

    // The counter keeps its place when stopped; only a start resets it.
    stopFlashing();
    EXPECT_EQ(flashCounter, 1);
}

TEST_F(Tray, TimerRunsWhileFlashingAndStopsWithIt)
{
    ASSERT_TRUE(prepared);
    startFlashing();
    EXPECT_TRUE(flashTimerTicksWithin(2000));
    stopFlashing();
    MSG msg;
    while (PeekMessageA(&msg, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    EXPECT_FALSE(flashTimerTicksWithin(4 * FLASH_PERIOD_MS));
}

TEST_F(Tray, AStepAllocatesNoMemoryOfItsOwn)
{
    ASSERT_TRUE(prepared);
    trayAdd();
    startFlashing();
    flashStep();  // let any first-use state of the system settle
    const long before = allocations.load();
    for (int i = 0; i < 100; ++i)
        flashStep();
    EXPECT_EQ(allocations.load(), before);
    // Stopping, even twice, leaves the icon in place with the normal image.
    stopFlashing();
    stopFlashing();
    NOTIFYICONDATAA probe = traySetIconData(mainWindow, smallIcon);
    EXPECT_TRUE(trayNotify(NIM_MODIFY, probe));
}

} // namespace
