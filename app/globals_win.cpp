#include "app/globals.h"

HINSTANCE appInstance;
HWND mainWindow;
HICON largeIcon;
HICON smallIcon;
HICON alertIcon;
UINT taskbarCreatedMsg;
