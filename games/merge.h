// The merge of each delivered poll result into currentGames, and the decision whether
// to tell the user. Platform-free; UI thread only.
#pragma once

#include <cstdint>

#include "games/records.h"

// The number of games in currentGames that wait for the user; 0 before the first merge.
// Set after every merge; the tooltip shows it.
extern std::int32_t waitingCount;

enum class FlashDecision {
    Leave,  // games wait, none newly: the flash goes on or stays off as it is
    Start,  // (re)start the flash from its first step
    Stop,   // no game waits: stop it and show the normal icon
};

enum class SoundDecision {
    None,
    SoundFile,      // play the configured sound file
    ModuleDefault,  // no file configured: play "" with the module instance
};

struct MergeOutcome {
    std::int32_t waiting = 0;       // games of the new list that wait for the user
    std::int32_t newlyWaiting = 0;  // of those, the ones the user has not been told about
    FlashDecision flash = FlashDecision::Leave;
    SoundDecision sound = SoundDecision::None;
};

// Carries each delivered game's notified mark over from `current` (matched by gameId,
// the last match deciding), replaces `current` with deep copies of `delivered` in
// order (every copy marked notified), and decides what to tell the user. Writes the
// notified marks of `delivered`; touches nothing else. The window procedure calls it
// with currentGames for every list the poller delivers, and carries the decision out.
MergeOutcome mergeGameList(GameList& current, GameList& delivered, bool notifyIcon,
                           bool notifySound, const char* soundFile);
