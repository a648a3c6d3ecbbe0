#include "app/startup.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/globals.h"
#include "app/wndproc.h"
#include "poller/poller.h"
#include "res/resource.h"
#include "settings/settings_win.h"
#include "tray/flash.h"
#include "tray/tray.h"

// The class is registered with the structure's own size; on the 32-bit target that
// is 48 bytes, which is what every Windows version expects there.
static_assert(sizeof(WNDCLASSEXA) == (sizeof(void*) == 4 ? 48 : 80), "WNDCLASSEXA layout");

namespace {

HICON loadIcon(int id, int width, int height)
{
    // Shared images come from the module's resources and are never destroyed.
    return static_cast<HICON>(
        LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_SHARED));
}

// One copy per settings store. Two copies on the same settings would poll twice and
// alert twice, and each would save its own settings at exit over the other's. A named
// mutex, held until the process ends, stands for the store this copy is going to use:
// the settings file by its full path (lowered, since Windows paths ignore case; hashed,
// since an object name may not hold its backslashes or its length), or the registry
// key of this user (another user has a key of his own). False when another copy holds it.
bool claimSettingsStore()
{
    char user[257] = "";
    DWORD userSize = sizeof user;
    GetUserNameA(user, &userSize);
    std::string name =
        std::string("Local\\Turnbell settings HKCU of ") + user + "/Software/_Fenwold/Turnbell";
    char path[SETTINGS_PATH_SIZE];
    if (findSettingsFile(path)) {
        CharLowerA(path);
        std::uint64_t hash = 14695981039346656037u;  // FNV-1a, 64 bits
        for (const char* p = path; *p; ++p) {
            hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211u;
        }
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        name = std::string("Local\\Turnbell settings file ") + hex;
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!mutex) {
        return error != ERROR_ACCESS_DENIED;  // it exists, made by a copy with other rights
    }
    return error != ERROR_ALREADY_EXISTS;
}

bool registerMainClass()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = appInstance;
    windowClass.hIcon = largeIcon;
    windowClass.hIconSm = smallIcon;
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

bool startup()
{
    if (!claimSettingsStore()) {
        return false;  // another copy runs on these settings: end before showing anything
    }
    // The game list's list view needs its window class; a statically linked program
    // gets it only by asking.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    smallIconWidth = GetSystemMetrics(SM_CXSMICON);
    smallIconHeight = GetSystemMetrics(SM_CYSMICON);
    largeIcon = loadIcon(IDI_MAIN, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    smallIcon = loadIcon(IDI_MAIN, smallIconWidth, smallIconHeight);
    alertIcon = loadIcon(IDI_ALERT, smallIconWidth, smallIconHeight);
    taskbarCreatedMsg = RegisterWindowMessageA("TaskbarCreated");

    if (!prepareFlash()) {
        return false;
    }
    if (!registerMainClass()) {
        return false;
    }
    // A zero-sized popup that is never shown: it only receives messages. It must be a
    // top-level window, not a message-only one, to get the "TaskbarCreated" broadcast.
    mainWindow = CreateWindowExA(0, MAIN_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 appInstance, nullptr);
    if (!mainWindow) {
        return false;
    }
    trayAdd();  // when the shell is not up yet, "TaskbarCreated" adds the icon later
    loadSettings();
    if (Settings.userName[0] == '\0') {
        // Handled once the message loop runs, that is after the poller has started.
        PostMessageA(mainWindow, WM_COMMAND, ID_SETTINGS, 0);
    }
    return startPoller();
}

int runMessageLoop()
{
    MSG message = {};
    int result;
    // GetMessageA returns -1 only for an invalid window filter; it ends the loop too
    // rather than spinning on the same error.
    while ((result = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return result == 0 ? static_cast<int>(message.wParam) : 0;
}

void shutdown()
{
    trayRemove();
    saveSettings();
}
