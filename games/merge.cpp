#include "games/merge.h"

std::int32_t waitingCount = 0;

namespace {

// A delivered game keeps the mark "already told" only when the previous list held it
// (same gameId text) and it was the user's turn there. When several previous records
// share the id, the last one decides.
void carryOverNotified(const GameList& previous, GameList& delivered)
{
    for (auto& d : delivered) {
        for (const auto& p : previous) {
            if (p->gameId == d->gameId) d->notified = p->notified && p->myTurn;
        }
    }
}

}  // namespace

MergeOutcome mergeGameList(GameList& current, GameList& delivered, bool notifyIcon,
                           bool notifySound, const char* soundFile)
{
    carryOverNotified(current, delivered);
    clearGameList(current);

    MergeOutcome outcome;
    for (const auto& d : delivered) {
        current.push_back(copyGameRecord(*d));
        GameRecord& copy = *current.back();
        if (copy.myTurn) {
            ++outcome.waiting;
            if (!d->notified) ++outcome.newlyWaiting;
        }
        copy.notified = true;
    }

    if (outcome.newlyWaiting > 0) {
        if (notifyIcon) outcome.flash = FlashDecision::Start;
        if (notifySound) {
            const bool haveFile = soundFile != nullptr && soundFile[0] != '\0';
            outcome.sound = haveFile ? SoundDecision::SoundFile : SoundDecision::ModuleDefault;
        }
    } else if (outcome.waiting == 0) {
        outcome.flash = FlashDecision::Stop;
    }
    return outcome;
}
