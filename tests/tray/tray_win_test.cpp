// The tray icon and its flash over the real icon resources linked into this program,
// against a hidden window on Wine's shell. Every Shell_NotifyIconA call is seen as the
// shell receives it (tests/support/shell_notify_recorder.h), frames included.
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
#include "res/resource.h"
#include "tray/blend.h"
#include "tray/flash.h"
#include "tray/tray.h"
#include "tests/support/hidden_main_window.h"
#include "tests/support/shell_notify_recorder.h"

// Counts every C++ allocation, so that a test can tell whether a flash step allocates.
namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// An icon resource's own image at the small size, in a private load, not the shared one.
HICON privateIcon(int id)
{
    return static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         smallIconWidth, smallIconHeight, 0));
}

// Its colours as drawn: what every frame is blended from.
std::vector<std::uint32_t> resourceColours(int id)
{
    HICON icon = privateIcon(id);
    std::vector<std::uint32_t> result = drawnColours(icon, smallIconWidth, smallIconHeight);
    DestroyIcon(icon);
    return result;
}

// What the program's startup does before trayAdd and prepareFlash: the shared icons
// and a hidden top-level window that owns the tray icon and the timer.
class Tray : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        loadIconsAsStartupDoes();
        createHiddenMainWindow("WC_TrayTest");
        prepared = prepareFlash();
        normal = resourceColours(IDI_MAIN);
        alert = resourceColours(IDI_ALERT);
    }
    static void TearDownTestSuite()
    {
        trayRemove();
        DestroyWindow(mainWindow);
    }
    void SetUp() override
    {
        shellNotifyRecording = true;
        shellNotifyCalls.clear();
    }
    static bool prepared;
    static std::vector<std::uint32_t> normal, alert;
};

bool Tray::prepared;
std::vector<std::uint32_t> Tray::normal, Tray::alert;

// The frame that the n-th flash step after a start hands to the shell.
const ShellNotifyCall& stepFrames(int steps)
{
    shellNotifyCalls.clear();
    for (int i = 0; i < steps; ++i) flashStep();
    return shellNotifyCalls.back();
}

bool zeroFrom(const NOTIFYICONDATAA& data, std::size_t offset)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&data);
    for (std::size_t i = offset; i < sizeof data; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

TEST_F(Tray, EveryCallIsFilledExactlyForItsOperationAndReachesTheShell)
{
    // Wine's desktop process (explorer) owns the notification area window; without it
    // every call fails.
    ASSERT_NE(FindWindowA("Shell_TrayWnd", nullptr), nullptr);
    ASSERT_NE(mainWindow, nullptr);
    trayRemove();
    shellNotifyCalls.clear();

    trayAdd();
    traySetIcon(alertIcon);
    trayUpdateTip(3);
    trayRemove();
    traySetIcon(smallIcon);  // removed: the shell refuses, and nothing adds it again
    trayAdd();               // a shell restart adds it again the same way

    const struct {
        const char* what;
        DWORD message;
        UINT flags;
        UINT callback;
        HICON icon;
        std::string tip;
        BOOL result;
    } cases[] = {
        {"add", NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_TRAYICON, smallIcon, "Turnbell",
         TRUE},
        {"set icon", NIM_MODIFY, NIF_ICON, 0, alertIcon, "", TRUE},
        {"tip", NIM_MODIFY, NIF_MESSAGE | NIF_TIP, WM_TRAYICON, nullptr,
         "Turnbell - 3 games waiting", TRUE},
        {"remove", NIM_DELETE, 0, 0, nullptr, "", TRUE},
        {"set icon when removed", NIM_MODIFY, NIF_ICON, 0, smallIcon, "", FALSE},
        {"add again", NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_TRAYICON, smallIcon, "Turnbell",
         TRUE},
    };
    ASSERT_EQ(shellNotifyCalls.size(), sizeof cases / sizeof cases[0]);
    for (std::size_t i = 0; i < shellNotifyCalls.size(); ++i) {
        const auto& c = cases[i];
        const ShellNotifyCall& call = shellNotifyCalls[i];
        EXPECT_EQ(call.message, c.message) << c.what;
        EXPECT_EQ(call.result, c.result) << c.what;
        const NOTIFYICONDATAA& data = call.data;
        EXPECT_EQ(data.cbSize, sizeof(NOTIFYICONDATAA)) << c.what;
        EXPECT_EQ(data.hWnd, mainWindow) << c.what;
        EXPECT_EQ(data.uID, TRAY_ICON_ID) << c.what;
        EXPECT_EQ(data.uFlags, c.flags) << c.what;
        EXPECT_EQ(data.uCallbackMessage, c.callback) << c.what;
        EXPECT_EQ(data.hIcon, c.icon) << c.what;
        EXPECT_EQ(std::string(data.szTip), c.tip) << c.what;
        // The rest of the tooltip buffer and every member after it stay zero: no
        // balloon, no state, no guid.
        for (std::size_t b = std::strlen(data.szTip); b < sizeof data.szTip; ++b)
            ASSERT_EQ(data.szTip[b], 0) << c.what << ", tooltip byte " << b;
        EXPECT_TRUE(zeroFrom(data, offsetof(NOTIFYICONDATAA, dwState))) << c.what;
    }
}

// The retry timer's ticks, each handed to trayRetry as the window procedure does, until
// the given time has passed; the number of ticks.
int retryTicksWithin(DWORD milliseconds)
{
    int ticks = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            if (msg.wParam == TRAY_RETRY_TIMER) {
                ++ticks;
                trayRetry();
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_TIMER);
    }
    return ticks;
}

TEST_F(Tray, AnIconTheShellRefusedOrLostComesBack)
{
    ASSERT_NE(FindWindowA("Shell_TrayWnd", nullptr), nullptr);
    trayRemove();
    // A shell that is not up yet at start refuses the add: a few seconds later the icon is
    // there, and the timer that brought it stops.
    shellNotifyRefusedAdds = 1;
    shellNotifyCalls.clear();
    trayAdd();
    EXPECT_EQ(retryTicksWithin(2 * TRAY_RETRY_PERIOD_MS - 500), 1);
    ASSERT_EQ(shellNotifyCalls.size(), 3u);
    EXPECT_FALSE(shellNotifyCalls[0].result);
    EXPECT_FALSE(shellNotifyCalls[1].result) << "no icon there yet";
    EXPECT_EQ(shellNotifyCalls[2].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(shellNotifyCalls[2].result);
    EXPECT_EQ(std::string(shellNotifyCalls[2].data.szTip), "Turnbell");
    EXPECT_EQ(retryTicksWithin(TRAY_RETRY_PERIOD_MS + 500), 0);

    // A shell that lost the icon without a word: the next change adds it again and is
    // made on it.
    NOTIFYICONDATAA lost = {};
    lost.cbSize = sizeof lost;
    lost.hWnd = mainWindow;
    lost.uID = TRAY_ICON_ID;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
    shellNotifyCalls.clear();
    trayUpdateTip(2);
    ASSERT_EQ(shellNotifyCalls.size(), 3u);
    EXPECT_FALSE(shellNotifyCalls[0].result);
    EXPECT_EQ(shellNotifyCalls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(shellNotifyCalls[1].result);
    EXPECT_TRUE(shellNotifyCalls[2].result);
    EXPECT_EQ(std::string(shellNotifyCalls[2].data.szTip), "Turnbell - 2 games waiting");
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
        shellNotifyCalls.clear();
        trayUpdateTip(c.count);
        ASSERT_EQ(shellNotifyCalls.size(), 1u);
        EXPECT_STREQ(shellNotifyCalls[0].data.szTip, c.tip);
    }
}

TEST_F(Tray, EveryFrameBlendsTheSmallImagesOfBothIconsPixelForPixel)
{
    ASSERT_TRUE(prepared);
    // Two icons that drew alike would make every frame below match whatever it blended.
    ASSERT_NE(normal, alert);
    HICON smallImage = privateIcon(IDI_MAIN);
    const std::vector<bool> outline =
        transparentPixels(smallImage, smallIconWidth, smallIconHeight);
    DestroyIcon(smallImage);
    std::vector<std::uint32_t> halfway(normal.size());
    for (std::size_t i = 0; i < normal.size(); ++i)
        halfway[i] = blendPixel(normal[i], alert[i], 128);

    startFlashing();
    const ShellNotifyCall& middle = stepFrames(8);
    EXPECT_EQ(middle.colours, halfway) << "step 8, weight 128: half way to the alert colours";
    EXPECT_EQ(middle.transparent, outline) << "the frame keeps the normal icon's outline";
    const ShellNotifyCall& peak = stepFrames(8);
    EXPECT_EQ(peak.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(peak.data.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(peak.colours, alert) << "step 16, weight 256: the alert colours";
    EXPECT_EQ(peak.transparent, outline) << "the frame keeps the normal icon's outline";
    const ShellNotifyCall& back = stepFrames(16);
    EXPECT_EQ(back.colours, normal) << "step 32 is step 0, weight 0: the normal colours";
    EXPECT_EQ(back.transparent, outline);
    stopFlashing();
}

TEST_F(Tray, StartingAgainRestartsTheCycleAtTheFirstStep)
{
    ASSERT_TRUE(prepared);
    std::vector<std::uint32_t> firstStep(normal.size());
    for (std::size_t i = 0; i < normal.size(); ++i)
        firstStep[i] = blendPixel(normal[i], alert[i], 16);

    startFlashing();
    EXPECT_EQ(stepFrames(1).colours, firstStep) << "the first frame after a start: weight 16";
    EXPECT_NE(stepFrames(6).colours, firstStep);
    startFlashing();
    EXPECT_EQ(stepFrames(1).colours, firstStep) << "a start while flashing begins the cycle again";
    stopFlashing();
}

TEST_F(Tray, TimerRunsWhileFlashingAndStopsWithIt)
{
    ASSERT_TRUE(prepared);
    startFlashing();
    EXPECT_TRUE(flashTimerTicksWithin(2000));
    shellNotifyCalls.clear();
    stopFlashing();
    ASSERT_EQ(shellNotifyCalls.size(), 1u);
    EXPECT_EQ(shellNotifyCalls[0].data.hIcon, smallIcon) << "stopping shows the normal icon";
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
    shellNotifyRecording = false;
    flashStep();  // let any first-use state of the system settle
    const long before = allocations.load();
    for (int i = 0; i < 100; ++i) flashStep();
    EXPECT_EQ(allocations.load(), before);
    shellNotifyRecording = true;
    shellNotifyCalls.clear();
    // Stopping, even twice, leaves the icon in place with the normal image.
    stopFlashing();
    stopFlashing();
    ASSERT_EQ(shellNotifyCalls.size(), 2u);
    EXPECT_TRUE(shellNotifyCalls[1].result);
    EXPECT_EQ(shellNotifyCalls[1].data.hIcon, smallIcon);
}

}  // namespace
