// Sees every PlaySoundA call of the program and plays nothing. A test program that
// compiles play_sound_recorder.cpp into itself (not through a library) defines the
// import slot of PlaySoundA; the linker takes that definition before the one in winmm's
// import library, so every call from the program's code lands here instead.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PlaySoundCall {
    bool named;        // the name was not null
    std::string name;  // as passed, when named
    HMODULE module;
    DWORD flags;
};

// The calls so far, oldest first.
extern std::vector<PlaySoundCall> playSoundCalls;
