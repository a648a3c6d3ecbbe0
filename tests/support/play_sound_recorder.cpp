#include "tests/support/play_sound_recorder.h"

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

// The import slot itself: the pointer that the program's calls of PlaySoundA go through.
// Its name carries the 32-bit stdcall decoration on i686.
#ifdef _WIN64
extern "C" PlaySound playSoundImportSlot __asm__("__imp_PlaySoundA");
#else
extern "C" PlaySound playSoundImportSlot __asm__("__imp__PlaySoundA@12");
#endif
PlaySound playSoundImportSlot = recordPlaySound;
