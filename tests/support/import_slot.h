// The import slot of a Windows function: the pointer that the program's calls of it go
// through. A test program that defines the slot in a file compiled into itself (not taken
// from a library) is linked with that definition before the one in the system's import
// library, so every call from the program's code lands in the test's function first:
//
//     extern "C" Function slot IMPORT_SLOT(PlaySoundA, 12);
//     Function slot = recordingFunction;
//
// On i686 the name carries the stdcall decoration, the bytes of the function's arguments.
#pragma once

#include <windows.h>

#ifdef _WIN64
#define IMPORT_SLOT(function, argumentBytes) __asm__("__imp_" #function)
#else
#define IMPORT_SLOT(function, argumentBytes) __asm__("__imp__" #function "@" #argumentBytes)
#endif

// The system's own function of that name, for a slot's function to pass the call on to.
template <typename Function> Function systemFunction(const char* dll, const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(dll), name)));
}
