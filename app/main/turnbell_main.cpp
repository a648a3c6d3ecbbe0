// The entry point of Turnbell.exe. The command line is ignored.
#include <windows.h>

#include "app/globals.h"
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    appInstance = GetModuleHandleA(nullptr);
    if (!startup()) {
        return 0;  // every failure ends quietly with exit code 0
    }
    // Exit has run the shutdown before the message loop ends.
    return runMessageLoop();
}
