// The tray icon and its flash over the real icon resources linked into this program,
// against a hidden window on Wine's shell. Every Shell_NotifyIconA call is seen as the
// shell receives it (tests/support/shell_notify_recorder.h), frames included.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/wndproc.h"
#include "res/resource.h"
#include "tray/flash.h"
#include "tray/tray.h"
#include "tests/support/allocation_hooks.h"
#include "tests/support/hidden_main_window.h"
#include "tests/support/import_slot.h"
#include "tests/support/shell_notify_recorder.h"
#include "tests/support/timer_recorder.h"

// The icons and bitmaps the tray's code makes and frees (its imports, as nm lists them),
// each counted through its import slot: up for each object made, down for each one freed.
namespace {
std::atomic<long> objectsMade{0};
}
#define COUNTED(slot, bytes, dll, name, result, parameters, arguments, change)                     \
    result WINAPI counted##name parameters                                                         \
    {                                                                                              \
        static const auto system = systemFunction<decltype(&name)>(dll, #name);                    \
        const result made = system arguments;                                                      \
        if (made) change;                                                                          \
        return made;                                                                               \
    }                                                                                              \
    extern "C" decltype(&name) slot IMPORT_SLOT(name, bytes);                                      \
    decltype(&name) slot = counted##name;
COUNTED(iconSlot, 4, "user32.dll", CreateIconIndirect, HICON, (PICONINFO i), (i), ++objectsMade)
COUNTED(copySlot, 20, "user32.dll", CopyImage, HANDLE, (HANDLE h, UINT t, int x, int y, UINT f),
        (h, t, x, y, f), ++objectsMade)
COUNTED(sectionSlot, 24, "gdi32.dll", CreateDIBSection, HBITMAP,
        (HDC d, const BITMAPINFO* i, UINT u, void** b, HANDLE h, DWORD o), (d, i, u, b, h, o),
        ++objectsMade)
COUNTED(destroySlot, 4, "user32.dll", DestroyIcon, BOOL, (HICON i), (i), --objectsMade)
COUNTED(deleteSlot, 4, "gdi32.dll", DeleteObject, BOOL, (HGDIOBJ o), (o), --objectsMade)

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

// A tick of one of mainWindow's timers, handed to the program's window procedure as the
// message loop hands it on.
void tick(UINT_PTR timer) { mainWindowProc(mainWindow, WM_TIMER, timer, 0); }

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
        const char* bytes = reinterpret_cast<const char*>(&data);
        const auto zero = [](char byte) { return byte == 0; };
        EXPECT_TRUE(std::all_of(data.szTip + std::strlen(data.szTip), std::end(data.szTip), zero))
            << c.what << ": the tooltip's rest";
        EXPECT_TRUE(
            std::all_of(bytes + offsetof(NOTIFYICONDATAA, dwState), bytes + sizeof data, zero))
            << c.what << ": the members after it";
    }
}

// The retry timer is read from its SetTimer and KillTimer calls, and its ticks go through
// the window procedure: nothing waits out the period.
TEST_F(Tray, AnIconTheShellRefusedOrLostComesBack)
{
    ASSERT_NE(FindWindowA("Shell_TrayWnd", nullptr), nullptr);
    trayRemove();
    // A shell that is not up yet at start refuses the add, and again at the first retry:
    // the retries go on every 3 s until one brings the icon, and then stop. Each refused
    // add is followed by a change that tells whether the icon is there after all.
    shellNotifyRefusedAdds = 2;
    shellNotifyCalls.clear();
    trayAdd();
    EXPECT_EQ(runningTimerPeriod(mainWindow, TRAY_RETRY_TIMER), 3000u);
    tick(TRAY_RETRY_TIMER);
    EXPECT_EQ(runningTimerPeriod(mainWindow, TRAY_RETRY_TIMER), 3000u) << "refused again";
    tick(TRAY_RETRY_TIMER);
    EXPECT_EQ(runningTimerPeriod(mainWindow, TRAY_RETRY_TIMER), 0u) << "the retries go on";
    tick(TRAY_RETRY_TIMER);  // a tick that was already queued adds nothing
    std::string answered;
    for (const ShellNotifyCall& call : shellNotifyCalls)
        answered += std::string(call.message == NIM_ADD ? " add" : " modify") +
                    (call.result ? "" : " refused");
    EXPECT_EQ(answered, " add refused modify refused add refused modify refused add");
    EXPECT_EQ(std::string(shellNotifyCalls.back().data.szTip), "Turnbell");

    // A shell that lost the icon without a word: the next change, of the tooltip or of the
    // image, adds it again with the tooltip of the moment and is made on it.
    for (const bool tipChange : {true, false}) {
        NOTIFYICONDATAA lost = {};
        lost.cbSize = sizeof lost;
        lost.hWnd = mainWindow;
        lost.uID = TRAY_ICON_ID;
        ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &lost));
        shellNotifyCalls.clear();
        tipChange ? trayUpdateTip(2) : traySetIcon(alertIcon);
        ASSERT_EQ(shellNotifyCalls.size(), 3u);
        EXPECT_FALSE(shellNotifyCalls[0].result);
        EXPECT_EQ(shellNotifyCalls[1].message, static_cast<DWORD>(NIM_ADD));
        EXPECT_TRUE(shellNotifyCalls[1].result);
        EXPECT_EQ(std::string(shellNotifyCalls[1].data.szTip), "Turnbell - 2 games waiting");
        EXPECT_TRUE(shellNotifyCalls[2].result);
        if (tipChange) {
            EXPECT_EQ(std::string(shellNotifyCalls[2].data.szTip), "Turnbell - 2 games waiting");
        }
    }
}

TEST_F(Tray, TooltipShowsAnyCountWithinItsBuffer)
{
    const struct {
        int count;
        const char* tip;
    } cases[] = {{0, "Turnbell - 0 games waiting"},
                 {1, "Turnbell - 1 games waiting"},
                 {INT_MAX, "Turnbell - 2147483647 games waiting"},
                 {INT_MIN, "Turnbell - -2147483648 games waiting"}};
    for (const auto& c : cases) {
        shellNotifyCalls.clear();
        trayUpdateTip(c.count);
        ASSERT_EQ(shellNotifyCalls.size(), 1u);
        EXPECT_STREQ(shellNotifyCalls[0].data.szTip, c.tip);
    }
}

// The frame of a weight as the blend is documented, worked out here byte by byte: each
// colour byte moves from the normal colour towards the alert one by weight/256 of the
// way, the difference rounded towards zero.
std::vector<std::uint32_t> frameOf(const std::vector<std::uint32_t>& normal,
                                   const std::vector<std::uint32_t>& alert, int weight)
{
    std::vector<std::uint32_t> frame(normal.size());
    for (std::size_t i = 0; i < normal.size(); ++i) {
        unsigned char from[4], to[4], out[4] = {};
        std::memcpy(from, &normal[i], 4);
        std::memcpy(to, &alert[i], 4);
        for (int byte = 0; byte < 3; ++byte) {
            const int moved = (to[byte] - from[byte]) * weight;
            out[byte] = static_cast<unsigned char>(from[byte] +
                                                   (moved < 0 ? -(-moved / 256) : moved / 256));
        }
        std::memcpy(&frame[i], out, 4);
    }
    return frame;
}

// Starts, steps and stops in a row, each with what the tray shows after it and whether
// the flash timer then runs (100 ms: ten frames a second). A start while flashing begins
// the cycle again.
TEST_F(Tray, EachStepOfTheFlashShowsItsFrameAndTheTimerRunsUntilTheStop)
{
    ASSERT_TRUE(prepared);
    // Two icons that drew alike would make every frame below match whatever it blended.
    ASSERT_NE(normal, alert);
    EXPECT_EQ(frameOf({0x00FF0080u}, {0x0000FF81u}, 128)[0], 0x00807F80u) << "worked by hand";
    HICON smallImage = privateIcon(IDI_MAIN);
    const std::vector<bool> outline =
        transparentPixels(smallImage, smallIconWidth, smallIconHeight);
    DestroyIcon(smallImage);
    trayAdd();
    enum Action { Start, Step, Stop };
    constexpr int NORMAL_ICON = -1;  // smallIcon itself, not a frame
    const struct {
        const char* what;
        Action action;
        int steps;
        int weight;  // of the image handed to the shell
        bool timer;
    } rows[] = {
        {"the first frame after a start", Start, 1, 16, true},
        {"step 3", Step, 2, 48, true},
        {"a start while flashing: the first frame again", Start, 1, 16, true},
        {"step 8: half way to the alert colours", Step, 7, 128, true},
        {"step 16: the alert colours", Step, 8, 256, true},
        {"step 32 is step 0: the normal colours", Step, 16, 0, true},
        {"a stop shows the normal icon and ends the timer", Stop, 0, NORMAL_ICON, false},
        {"a second stop leaves the icon in place", Stop, 0, NORMAL_ICON, false},
    };
    for (const auto& row : rows) {
        shellNotifyCalls.clear();
        if (row.action == Start) startFlashing();
        if (row.action == Stop) stopFlashing();
        for (int i = 0; i < row.steps; ++i) tick(FLASH_TIMER);
        ASSERT_EQ(shellNotifyCalls.size(), row.steps ? std::size_t(row.steps) : 1u) << row.what;
        const ShellNotifyCall& shown = shellNotifyCalls.back();
        EXPECT_EQ(shown.message, static_cast<DWORD>(NIM_MODIFY)) << row.what;
        EXPECT_EQ(shown.data.uFlags, static_cast<UINT>(NIF_ICON)) << row.what;
        EXPECT_TRUE(shown.result) << row.what;
        if (row.weight == NORMAL_ICON) {
            EXPECT_EQ(shown.data.hIcon, smallIcon) << row.what;
        } else {
            EXPECT_EQ(shown.colours, frameOf(normal, alert, row.weight)) << row.what;
            EXPECT_EQ(shown.transparent, outline) << row.what << ": the normal icon's outline";
        }
        EXPECT_EQ(runningTimerPeriod(mainWindow, FLASH_TIMER), row.timer ? 100u : 0u) << row.what;
    }
}

TEST_F(Tray, AStepTakesNoMemoryAndLeavesNoObjectOfItsOwn)
{
    ASSERT_TRUE(prepared);
    trayAdd();
    startFlashing();
    shellNotifyRecording = false;
    flashStep();  // let any first-use state of the system settle
    const long allocations = allocationCount, objects = objectsMade;
    for (int i = 0; i < 100; ++i) flashStep();
    EXPECT_EQ(allocationCount - allocations, 0) << "operator new";
    EXPECT_EQ(objectsMade - objects, 0) << "icons and bitmaps made and not freed";
    shellNotifyRecording = true;
    stopFlashing();
}

}  // namespace
