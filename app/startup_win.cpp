#include "app/startup.h"

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <string>

#include "app/globals.h"
#include "app/wndproc.h"
#include "poller/poller.h"
#include "res/resource.h"
#include "settings/settings_path.h"
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

// The user this process runs as: the SID from its token, and the same as text.
struct ProcessUser {
    alignas(TOKEN_USER) char token[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    PSID sid = nullptr;  // null when the token could not be read
    std::string text;
};

void readProcessUser(ProcessUser& user)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = sizeof user.token;
    if (GetTokenInformation(token, TokenUser, user.token, size, &size)) {
        user.sid = reinterpret_cast<TOKEN_USER*>(user.token)->User.Sid;
        char* text = nullptr;
        if (ConvertSidToStringSidA(user.sid, &text)) {
            user.text = text;
            LocalFree(text);
        }
    }
    CloseHandle(token);
}

// The name that stands for the settings store this copy is going to use, from what
// Windows tells of the file (settingsStoreObjectName decides). Opening the file asks
// for no access to its contents: that is enough for its identity and works where
// reading is not allowed.
std::string settingsStoreName(const std::string& userSid)
{
    SettingsStoreIdentity store = {};
    store.userSid = userSid.c_str();
    char path[SETTINGS_PATH_SIZE];
    store.inFile = findSettingsFile(path);
    if (store.inFile) {
        HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION identity;
            store.fileOpened = GetFileInformationByHandle(file, &identity);
            CloseHandle(file);
            if (store.fileOpened) {
                store.volumeSerial = identity.dwVolumeSerialNumber;
                store.indexHigh = identity.nFileIndexHigh;
                store.indexLow = identity.nFileIndexLow;
            }
        }
        CharLowerA(path);  // Windows paths ignore case
        store.loweredPath = path;
    }
    return settingsStoreObjectName(store);
}

// The private namespace's boundary name, and the prefix under which this process
// reaches the objects in it.
const wchar_t USER_NAMESPACE[] = L"Turnbell";

// What holds the one-copy name from startup until Exit: the mutex, and the private
// namespace it lives in (none under Wine).
HANDLE storeMutex;
HANDLE storeNamespace;

// One copy per settings store and user. Two copies on the same settings would poll
// twice and alert twice, and each would save its own settings at exit over the
// other's. A named mutex, held until Exit, stands for the store. False only when
// another copy of this user holds it (anotherCopyHoldsTheStore decides): whatever else
// keeps this copy from making or opening the mutex may be another user's doing, and
// never ends it.
bool claimSettingsStore()
{
    ProcessUser user;
    readProcessUser(user);
    std::string name = settingsStoreName(user.text);
    // The mutex lives in a private namespace whose boundary holds the user's SID: only
    // a process of this user can create or open it, so no other user can take the name
    // first. Wine has no private namespaces: its CreateBoundaryDescriptorW returns null
    // (leaving the last error as it was), and calling AddSIDToBoundaryDescriptor there
    // ends the process in Wine's debugger, so the result is checked before anything
    // else. Every Wine process runs as the one Unix user, so the Global namespace
    // shared by all of them is as safe there.
    HANDLE boundary = CreateBoundaryDescriptorW(USER_NAMESPACE, 0);
    const bool privateNamespace = boundary != nullptr;
    StoreClaim opened = StoreClaim::Failed;  // the private namespace
    if (boundary) {
        HANDLE space = nullptr;
        if (user.sid && AddSIDToBoundaryDescriptor(&boundary, user.sid)) {
            // Every copy of this user may open the namespace, an elevated one's too: with
            // an elevated token's default DACL (administrators and the system only) a
            // normal copy could not look in it, nor tell whether the elevated copy runs on
            // its settings or on others.
            SECURITY_ATTRIBUTES everyCopy = {sizeof everyCopy, nullptr, FALSE};
            const std::string access = "D:(A;;GA;;;" + user.text + ")(A;;GA;;;SY)";
            ConvertStringSecurityDescriptorToSecurityDescriptorA(
                access.c_str(), SDDL_REVISION_1, &everyCopy.lpSecurityDescriptor, nullptr);
            space = CreatePrivateNamespaceW(everyCopy.lpSecurityDescriptor ? &everyCopy : nullptr,
                                            boundary, USER_NAMESPACE);
            const DWORD error = GetLastError();
            LocalFree(everyCopy.lpSecurityDescriptor);
            opened = space ? StoreClaim::Made : StoreClaim::Failed;
            if (!space && error == ERROR_ALREADY_EXISTS) {
                space = OpenPrivateNamespaceW(boundary, USER_NAMESPACE);
                opened = space                                   ? StoreClaim::Held
                         : GetLastError() == ERROR_ACCESS_DENIED ? StoreClaim::AccessDenied
                                                                 : StoreClaim::Failed;
            }
        }
        DeleteBoundaryDescriptor(boundary);
        if (!space) {
            // Unguarded rather than stopped by what this copy cannot look into.
            return !anotherCopyHoldsTheStore(privateNamespace, opened, StoreClaim::Failed);
        }
        // space stays open until Exit: the namespace, and the mutex's name in it, last
        // only while a process holds it.
        storeNamespace = space;
        name = "Turnbell\\" + name;
    } else {
        name = "Global\\" + name;
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    storeMutex = mutex;
    const StoreClaim claim =
        mutex ? (error == ERROR_ALREADY_EXISTS ? StoreClaim::Held : StoreClaim::Made)
              : (error == ERROR_ACCESS_DENIED ? StoreClaim::AccessDenied : StoreClaim::Failed);
    return !anotherCopyHoldsTheStore(privateNamespace, opened, claim);
}

// Exit gives up the one-copy name at once: a copy started from then on runs on these
// settings, though this process may still be waiting for its poller. The namespace is
// only closed, not destroyed: copies on other settings of this user live in it too.
void releaseSettingsStore()
{
    if (storeMutex) {
        CloseHandle(storeMutex);
        storeMutex = nullptr;
    }
    if (storeNamespace) {
        ClosePrivateNamespace(storeNamespace, 0);
        storeNamespace = nullptr;
    }
}

// A copy that runs elevated ("Run as administrator", or started by an installer) gets no
// message from a process of lower integrity, so the shell's "TaskbarCreated" broadcast
// would never reach it and its icon would stay away after the shell restarts. Windows 7
// and later can let that one message through to mainWindow; Vista has no such function.
void allowTaskbarCreated()
{
    constexpr DWORD MESSAGE_FILTER_ALLOW = 1;  // MSGFLT_ALLOW
    using ChangeFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    const auto changeFilter = reinterpret_cast<ChangeFilter>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx")));
    if (changeFilter && taskbarCreatedMsg != 0) {
        changeFilter(mainWindow, taskbarCreatedMsg, MESSAGE_FILTER_ALLOW, nullptr);
    }
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
    allowTaskbarCreated();
    trayAdd();  // when the shell is not up yet, a timer or "TaskbarCreated" adds the icon later
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
    releaseSettingsStore();
}
