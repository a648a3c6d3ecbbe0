#include "app/dispatch.h"

#include "res/resource.h"

namespace {
unsigned lowWord(std::uintptr_t value) { return static_cast<unsigned>(value & 0xFFFF); }
}

MainAction mainAction(unsigned message, std::uintptr_t wParam, unsigned taskbarCreated) {
    switch (message) {
    case msg::DESTROY: return MainAction::Destroy;
    case msg::COMMAND: return MainAction::Command;
    case msg::TIMER:
        return wParam == msg::FLASH_TIMER_ID ? MainAction::FlashStep : MainAction::IgnoreTimer;
    case msg::TRAYICON: return MainAction::TrayIcon;
    case msg::GAMELIST: return MainAction::MergeGameList;
    default: break;
    }
    if (taskbarCreated != 0 && message == taskbarCreated) return MainAction::TaskbarCreated;
    return MainAction::Default;
}

CommandAction commandAction(std::uintptr_t wParam) {
    switch (lowWord(wParam)) {
    case ID_EXIT: return CommandAction::Exit;
    case ID_SETTINGS: return CommandAction::Settings;
    case ID_SHOWGAMES: return CommandAction::ShowGames;
    case ID_HOMEPAGE: return CommandAction::Homepage;
    case ID_PLAYNOW: return CommandAction::PlayNow;
    case ID_VISITSITE: return CommandAction::VisitSite;
    default: return CommandAction::Default;
    }
}

TrayAction trayAction(std::intptr_t lParam) {
    switch (lowWord(static_cast<std::uintptr_t>(lParam))) {
    case msg::LBUTTONDBLCLK:
    case msg::RBUTTONDBLCLK: return TrayAction::StopFlashShowGames;
    case msg::RBUTTONUP: return TrayAction::StopFlashShowMenu;
    default: return TrayAction::None;
    }
}
