#include "poller/poller.h"
#include "poller/poller_internal.h"

#include <memory>

#include "app/globals.h"
#include "games/records.h"
#include "poller/encode.h"
#include "poller/parser.h"
#include "poller/running.h"
#include "settings/settings_win.h"

HANDLE wakeEvent;
HANDLE pollerThread;
SearchSite pollerSite = BUILT_IN_SITE;

namespace {

// Waits until handle is signalled or timeoutMs have passed. Messages that other threads
// send to this thread's windows are handled meanwhile (posted ones stay queued), so a
// thread blocked in SendMessageA to us can finish instead of holding up the wait.
void waitHandlingSentMessages(HANDLE handle, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        // Delivers whatever was sent before the wait, too: the wait below wakes only for
        // messages that arrive while it waits unless told to look at the whole queue.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result =
            MsgWaitForMultipleObjectsEx(1, &handle, left, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (result != WAIT_OBJECT_0 + 1) {
            return;  // the thread ended, the time ran out, or the wait failed
        }
    }
}

}  // namespace

bool startPoller()
{
    InitializeCriticalSection(&settingsLock);
    wakeEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    internetSession = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!internetSession) {
        MessageBoxA(nullptr, "Cannot initialize internet connection!", "Turnbell Error",
                    MB_OK | MB_ICONERROR);
        return false;
    }
    // Without the event the thread could not wait between polls; the program then runs
    // without polling rather than asking the site over and over.
    if (!wakeEvent) {
        return true;
    }
    DWORD threadId;
    pollerThread = CreateThread(nullptr, 0, pollerThreadProc, nullptr, CREATE_SUSPENDED, &threadId);
    if (pollerThread) {
        ResumeThread(pollerThread);
    }
    return true;
}

DWORD WINAPI pollerThreadProc(LPVOID)
{
    for (;;) {
        pollOnce();
        if (!pollerRunning) {
            return 0;
        }
        // A wake and a time-out both lead to the next cycle.
        if (WaitForSingleObject(wakeEvent, POLL_INTERVAL_MS) == WAIT_FAILED) {
            return 0;
        }
        if (!pollerRunning) {
            return 0;
        }
    }
}

void pollOnce()
{
    std::unique_ptr<char[]> encodedName;
    EnterCriticalSection(&settingsLock);
    encodedName = urlEncodeForm(Settings.userName);
    LeaveCriticalSection(&settingsLock);
    if (!encodedName || encodedName[0] == '\0') {
        return;  // no name yet: nothing to search for
    }

    // The reply lives on this thread's stack: a poll allocates nothing for it.
    char reply[REPLY_BUFFER_SIZE];
    const int count = fetchSearchPage(pollerSite, reply, encodedName.get());
    if (count <= 0) {
        return;
    }

    // The page is searched for the name as it was sent, in its encoded form.
    GameList games;
    parseSearchPage(reply, count, games, encodedName.get());
    encodedName.reset();

    // The receiver merges copies before SendMessageA returns; an empty result is never
    // delivered, so the last delivered state stays on screen.
    if (!games.empty()) {
        SendMessageA(mainWindow, WM_GAMELIST, 0, reinterpret_cast<LPARAM>(&games));
    }
    clearGameList(games);
}

void stopPoller()
{
    pollerRunning = false;
    if (wakeEvent) {
        SetEvent(wakeEvent);
    }
    if (pollerThread) {
        waitHandlingSentMessages(pollerThread, POLLER_STOP_WAIT_MS);
    }
}
