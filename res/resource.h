/* Resource, command and control ids. Plain #defines: windres reads this file too. */
#ifndef TURNBELL_RESOURCE_H
#define TURNBELL_RESOURCE_H

/* Icons, menu and dialogs. */
#define IDI_MAIN     107
#define IDR_TRAYMENU 109
#define IDD_SETTINGS 129
#define IDI_ALERT    130
#define IDD_GAMES    132

/* Tray menu commands (the LOWORD of WM_COMMAND's wParam). */
#define ID_EXIT      105
#define ID_SETTINGS  10000
#define ID_SHOWGAMES 10001
#define ID_HOMEPAGE  10002
#define ID_PLAYNOW   10003
#define ID_VISITSITE 10004

/* Settings dialog controls. */
#define IDC_USERNAME  1000
#define IDC_PLAYSOUND 1001
#define IDC_SOUNDFILE 1002
#define IDC_FLASHICON 1003
#define IDC_BROWSE    1004
#define IDC_PREVIEW   1005

/* Game list dialog controls. */
#define IDC_GAMELIST 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
