#include "app/startup.h"

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

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

// The name that stands for the settings store this copy is going to use, in the Global
// namespace, so that a console and a remote session of one user share it:
// - a settings file by its volume serial number and file index, which are the same
//   however its folder is reached (a junction, a symbolic link, an 8.3 short name, a
//   mapped drive, a UNC path). Opening it asks for no access to its contents: that is
//   enough for its identity and works where reading is not allowed.
// - a settings file that cannot be opened (a folder named Turnbell.ini, no rights) by
//   its full path, lowered since Windows paths ignore case, and hashed since an object
//   name may not hold its backslashes or its length;
// - the registry key by the user's SID (another user has a key of his own; a user
//   name can change).
std::string settingsStoreName()
{
    char path[SETTINGS_PATH_SIZE];
    if (!findSettingsFile(path)) {
        std::string user;
        HANDLE token;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            alignas(TOKEN_USER) char buffer[256];
            DWORD size = sizeof buffer;
            char* sid = nullptr;
            if (GetTokenInformation(token, TokenUser, buffer, size, &size) &&
                ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
                user = sid;
                LocalFree(sid);
            }
            CloseHandle(token);
        }
        return "Global\\Turnbell settings in the registry of " + user;
    }
    char name[128];
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION identity;
    if (file != INVALID_HANDLE_VALUE) {
        const bool known = GetFileInformationByHandle(file, &identity);
        CloseHandle(file);
        if (known) {
            std::snprintf(name, sizeof name, "Global\\Turnbell settings file %08lx-%08lx%08lx",
                          identity.dwVolumeSerialNumber, identity.nFileIndexHigh,
                          identity.nFileIndexLow);
            return name;
        }
    }
    CharLowerA(path);
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a, 64 bits
    for (const char* p = path; *p; ++p) {
        hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211u;
    }
    std::snprintf(name, sizeof name, "Global\\Turnbell settings path %016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

// One copy per settings store. Two copies on the same settings would poll twice and
// alert twice, and each would save its own settings at exit over the other's. A named
// mutex, held until the process ends, stands for the store. False when another copy
// holds it.
bool claimSettingsStore()
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, settingsStoreName().c_str());
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
