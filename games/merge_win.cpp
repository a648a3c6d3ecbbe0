#include "games/merge.h"

#include <windows.h>
#include <mmsystem.h>

#include "app/globals.h"
#include "settings/settings.h"
#include "tray/flash.h"
#include "tray/tray.h"

void mergeGameList(GameList* delivered)
{
    if (delivered == nullptr)
        return;
    // Only the UI thread writes Settings, and this runs on it: no lock needed.
    const MergeOutcome outcome = mergeGames(currentGames, *delivered, Settings.notifyIcon,
                                            Settings.notifySound, Settings.soundFile);
    waitingCount = outcome.waiting;

    switch (outcome.flash) {
    case FlashDecision::Start: startFlashing(); break;
    case FlashDecision::Stop: stopFlashing(); break;
    case FlashDecision::Leave: break;
    }

    // SND_ASYNC: PlaySoundA returns at once and the sound plays on. Without a file the
    // module instance goes with the empty name and the system picks what to play.
    switch (outcome.sound) {
    case SoundDecision::SoundFile:
        PlaySoundA(Settings.soundFile, nullptr, SND_FILENAME | SND_ASYNC);
        break;
    case SoundDecision::ModuleDefault:
        PlaySoundA("", appInstance, SND_FILENAME | SND_ASYNC);
        break;
    case SoundDecision::None: break;
    }

    trayUpdateTip();
}
