#include "tests/support/play_sound_recorder.h"
#include "tests/support/import_slot.h"

std::vector<PlaySoundCall> playSoundCalls;

namespace {

using PlaySound = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);

// Answers as PlaySoundA does for a sound it has started.
BOOL WINAPI recordPlaySound(LPCSTR name, HMODULE module, DWORD flags)
{
    playSoundCalls.push_back({name != nullptr, name ? name : "", module, flags});
    return TRUE;
}

}  // namespace

extern "C" PlaySound playSoundImportSlot IMPORT_SLOT(PlaySoundA, 12);
PlaySound playSoundImportSlot = recordPlaySound;
