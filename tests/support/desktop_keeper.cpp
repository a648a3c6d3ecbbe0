// Holds the Wine desktop for a whole test run.
//
// Under Wine, the first program that needs the desktop starts explorer.exe, and explorer
// keeps that program's output open. Explorer lives until no program has used the desktop
// for a second, which in a busy parallel run can be minutes. CTest waits until a test's
// output is closed, so a test that happened to start explorer "ran" on after it had
// passed, up to its time-out. The keeper, started with its output sent nowhere, starts
// explorer itself and holds the desktop, so that explorer stays up and no test starts
// another (tests/support/CMakeLists.txt starts it before the first test).
//
//   desktop_keeper hold   holds the desktop until stopped
//   desktop_keeper wait   returns once a keeper holds it (exit 0), or 1 after 60 s
//   desktop_keeper stop   ends the keeper
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char READY_EVENT[] = "Local\\TurnbellTestDesktopKeeperReady";
const char STOP_EVENT[] = "Local\\TurnbellTestDesktopKeeperStop";

int hold()
{
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, STOP_EVENT);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, READY_EVENT);
    if (!stop || !ready) return 1;
    // The first window on the desktop starts explorer. (GetDesktopWindow would too, but
    // it then waits 10 s for explorer to become idle.)
    if (!CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
        return 1;
    SetEvent(ready);
    WaitForSingleObject(stop, INFINITE);
    return 0;
}

int wait()
{
    for (int i = 0; i < 600; i++) {
        if (HANDLE ready = OpenEventA(SYNCHRONIZE, FALSE, READY_EVENT)) {
            const DWORD woke = WaitForSingleObject(ready, 60000);
            CloseHandle(ready);
            return woke == WAIT_OBJECT_0 ? 0 : 1;
        }
        Sleep(100);
    }
    return 1;
}

int stop()
{
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, STOP_EVENT);
    if (event) SetEvent(event);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "hold") == 0) return hold();
    if (argc == 2 && std::strcmp(argv[1], "wait") == 0) return wait();
    if (argc == 2 && std::strcmp(argv[1], "stop") == 0) return stop();
    std::fprintf(stderr, "usage: desktop_keeper hold|wait|stop\n");
    return 2;
}
