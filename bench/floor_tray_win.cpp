// The floor of an idle tray program of Turnbell's kind, to measure Turnbell's idle
// footprint against (tools/footprint.sh). It loads the system libraries that Turnbell
// loads at start, but not the common dialogs; makes one POST of the search form, as a
// poll does; holds one tray icon; and then waits in its message loop, as Turnbell
// waits between polls.
//   floor-tray.exe HOST PORT
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>

namespace {

const char BODY[] = "pJeu=&pLoginJ=Ann&pidP=&pLibP=&pEtat=2&pPage=1";

// The libraries Turnbell imports, each called once so that the linker keeps it: they
// are loaded at start as Turnbell's are, whether or not a call is ever made.
void useTheSameLibraries()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);   // comctl32
    PlaySoundA(nullptr, nullptr, 0);   // winmm
    CoTaskMemFree(nullptr);            // ole32
    GetStockObject(DEFAULT_GUI_FONT);  // gdi32
    HKEY key;                          // advapi32
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) == ERROR_SUCCESS)
        RegCloseKey(key);
}

// One search request, its reply read and dropped; the session stays open.
void postOnce(HINTERNET session, const char* host, INTERNET_PORT port)
{
    HINTERNET connection =
        InternetConnectA(session, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    const char* acceptTypes[] = {"*/*", nullptr};
    HINTERNET request =
        connection ? HttpOpenRequestA(connection, "POST", "/index.php?p=recherche", "HTTP/1.0",
                                      nullptr, acceptTypes, INTERNET_FLAG_NO_CACHE_WRITE, 0)
                   : nullptr;
    const char header[] = "Content-Type: application/x-www-form-urlencoded";
    char buffer[4096];
    DWORD read = 0;
    if (request && HttpSendRequestA(request, header, static_cast<DWORD>(-1),
                                    const_cast<char*>(BODY), sizeof BODY - 1)) {
        while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
        }
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    char host[256] = "localhost";
    unsigned port = 80;
    std::sscanf(commandLine, "%255s %u", host, &port);
    useTheSameLibraries();

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "WC_FloorTray_Main";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    std::strcpy(icon.szTip, "floor");
    Shell_NotifyIconA(NIM_ADD, &icon);

    HINTERNET session = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session) postOnce(session, host, static_cast<INTERNET_PORT>(port));

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}
