// Which handler the main window runs for each message, menu command and tray mouse event.
#include "app/dispatch.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned TASKBAR_CREATED = 0xC0F3;   // a typical registered message number

struct MessageCase {
    const char* what;
    unsigned message;
    std::uintptr_t wParam;
    unsigned taskbarCreated;
    MainAction expected;
};

TEST(MainWindowRouting, EachMessageReachesItsHandler) {
    const MessageCase cases[] = {
        {"destroy", 0x0002, 0, TASKBAR_CREATED, MainAction::Destroy},
        {"command", 0x0111, ID_EXIT, TASKBAR_CREATED, MainAction::Command},
        {"flash timer", 0x0113, 1, TASKBAR_CREATED, MainAction::FlashStep},
        {"another timer is only swallowed", 0x0113, 2, TASKBAR_CREATED, MainAction::IgnoreTimer},
        {"timer id 0", 0x0113, 0, TASKBAR_CREATED, MainAction::IgnoreTimer},
        {"tray callback 1034", 1034, 1, TASKBAR_CREATED, MainAction::TrayIcon},
        {"game list 1035", 1035, 0, TASKBAR_CREATED, MainAction::MergeGameList},
        {"shell restarted", TASKBAR_CREATED, 0, TASKBAR_CREATED, MainAction::TaskbarCreated},
        {"a neighbouring registered message", TASKBAR_CREATED + 1, 0, TASKBAR_CREATED,
         MainAction::Default},
        {"WM_PAINT", 0x000F, 0, TASKBAR_CREATED, MainAction::Default},
        {"WM_USER + 12 is not ours", 1036, 0, TASKBAR_CREATED, MainAction::Default},
        {"WM_NULL with a failed registration", 0, 0, 0, MainAction::Default},
        // The registered message is compared last: a fixed message always wins.
        {"fixed message before TaskbarCreated", 0x0113, 1, 0x0113, MainAction::FlashStep},
        {"game list before TaskbarCreated", 1035, 0, 1035, MainAction::MergeGameList},
    };
    for (const MessageCase& c : cases) {
        EXPECT_EQ(mainAction(c.message, c.wParam, c.taskbarCreated), c.expected) << c.what;
    }
}

struct CommandCase {
    const char* what;
    std::uintptr_t wParam;
    CommandAction expected;
};

TEST(MainWindowRouting, MenuCommandsByTheLowWordOfWParam) {
    const std::uintptr_t accelerator = std::uintptr_t{1} << 16;   // HIWORD 1
    const CommandCase cases[] = {
        {"exit", ID_EXIT, CommandAction::Exit},
        {"settings", ID_SETTINGS, CommandAction::Settings},
        {"game list", ID_SHOWGAMES, CommandAction::ShowGames},
        {"homepage", ID_HOMEPAGE, CommandAction::Homepage},
        {"play now", ID_PLAYNOW, CommandAction::PlayNow},
        {"visit site", ID_VISITSITE, CommandAction::VisitSite},
        {"high word ignored", accelerator | ID_SETTINGS, CommandAction::Settings},
        {"unknown id", 10005, CommandAction::Default},
        {"IDOK", 1, CommandAction::Default},
        {"zero", 0, CommandAction::Default},
        {"id 10000 - 1", ID_SETTINGS - 1, CommandAction::Default},
    };
    for (const CommandCase& c : cases) {
        EXPECT_EQ(commandAction(c.wParam), c.expected) << c.what;
    }
}

struct TrayCase {
    const char* what;
    std::intptr_t lParam;
    TrayAction expected;
};

TEST(MainWindowRouting, TrayMouseEvents) {
    const TrayCase cases[] = {
        {"left double-click opens the list", 515, TrayAction::StopFlashShowGames},
        {"right double-click opens the list too", 518, TrayAction::StopFlashShowGames},
        {"right button up opens the menu", 517, TrayAction::StopFlashShowMenu},
        {"mouse move", 512, TrayAction::None},
        {"left button down", 513, TrayAction::None},
        {"left button up", 514, TrayAction::None},
        {"right button down", 516, TrayAction::None},
        {"middle double-click", 521, TrayAction::None},
        // A shell that puts the icon id into the high word still reports the event.
        {"icon id in the high word", (std::intptr_t{1} << 16) | 517, TrayAction::StopFlashShowMenu},
    };
    for (const TrayCase& c : cases) {
        EXPECT_EQ(trayAction(c.lParam), c.expected) << c.what;
    }
}

}  // namespace
