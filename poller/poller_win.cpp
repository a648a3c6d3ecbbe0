#include "poller/poller.h"

#include "poller/running.h"
#include "site_config.h"

HANDLE wakeEvent;
HANDLE pollerThread;
const char* pollerSiteHost = TURNBELL_SITE_HOST;
INTERNET_PORT pollerSitePort = INTERNET_DEFAULT_HTTP_PORT;

namespace {

// Waits until handle is signalled or timeoutMs have passed. Messages that other threads
// send to this thread's windows are handled meanwhile (posted ones stay queued), so a
// thread blocked in SendMessageA to us can finish instead of holding up the wait.
void waitHandlingSentMessages(HANDLE handle, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) {
            return;  // the thread ended, the time ran out, or the wait failed
        }
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

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
