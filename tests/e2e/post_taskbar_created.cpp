// Plays the part of a restarting shell for the end-to-end test, which Wine never does
// by itself:
//   post_taskbar_created forget     removes Turnbell's tray icon, as a shell that
//                                   goes down loses it
//   post_taskbar_created            broadcasts "TaskbarCreated", as a shell that has
//                                   come back up does
// Exit code 0 on success, 1 when the icon or the broadcast could not be handled.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "forget") == 0) {
        HWND owner = FindWindowA("WC_Turnbell_Main", nullptr);
        if (!owner) return 1;
        NOTIFYICONDATAA data = {};
        data.cbSize = sizeof data;
        data.hWnd = owner;
        data.uID = 1;
        return Shell_NotifyIconA(NIM_DELETE, &data) ? 0 : 1;
    }
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    return PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0) ? 0 : 1;
}
