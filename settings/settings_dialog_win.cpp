// The settings dialog. Its controls hold the user's edits; Settings changes only on OK,
// all four fields at once, under settingsLock because the poller thread reads userName
// at any time.
#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <string>

#include "app/globals.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "settings/settings_win.h"

// GetOpenFileNameA is given the full structure, with the members added for Windows
// 2000; on 32-bit Windows that is 88 bytes.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88,
              "OPENFILENAMEA must be the full structure");

namespace {

// The dialog on screen, from its initialisation until it is closed, or null.
HWND shownDialog;

// One filter pair, ended by an empty pair: "Wave file" shows "*.wav".
const char WAVE_FILTER[] = "Wave file\0*.wav\0";

// GetOpenFileNameA, from comdlg32.dll loaded the first time Browse asks for it rather
// than at start: under Wine that library brings the printing libraries and their TLS
// behind it, some 4 MB that an idle Turnbell has no use for. Once loaded it stays, so a
// second Browse is instant and nothing is ever unloaded halfway. comdlg32 is one of the
// system's known DLLs, so only the system's own copy is ever loaded. Null when the
// library or the function cannot be had.
using GetOpenFileNameFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);
GetOpenFileNameFunction openFileDialog()
{
    static GetOpenFileNameFunction getOpenFileName = nullptr;
    if (!getOpenFileName) {
        if (HMODULE library = LoadLibraryA("comdlg32.dll"))
            getOpenFileName = reinterpret_cast<GetOpenFileNameFunction>(
                reinterpret_cast<void (*)()>(GetProcAddress(library, "GetOpenFileNameA")));
    }
    return getOpenFileName;
}

// Replaces the edit text with the chosen file's full path; a cancelled or failed
// open-file dialog, or none to be had, leaves the text as it was.
void browseForSound(HWND dialog)
{
    char path[SOUND_FILE_SIZE];
    GetDlgItemTextA(dialog, IDC_SOUNDFILE, path, sizeof path);
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = dialog;
    open.hInstance = appInstance;
    open.lpstrFilter = WAVE_FILTER;
    open.lpstrFile = path;
    open.nMaxFile = sizeof path;
    open.Flags = OFN_FILEMUSTEXIST;
    open.lpstrDefExt = "wav";
    // The open-file dialog moves the process's working folder as the user moves through
    // folders, cancelled or not, and OFN_NOCHANGEDIR does not stop it there: it is put
    // back as it was. While the dialog is open, a sound that plays (a turn, Preview) is
    // still looked up in the folder Turnbell started in (soundFileToPlay).
    const DWORD folderSize = GetCurrentDirectoryA(0, nullptr);
    std::string folder(folderSize, '\0');
    if (folderSize) GetCurrentDirectoryA(folderSize, &folder[0]);
    const GetOpenFileNameFunction getOpenFileName = openFileDialog();
    const bool chosen = getOpenFileName && getOpenFileName(&open);
    if (folderSize) SetCurrentDirectoryA(folder.c_str());
    if (chosen) SetDlgItemTextA(dialog, IDC_SOUNDFILE, path);
}

// Plays whatever the edit control holds now, ticked or not, confirmed or not.
void previewSound(HWND dialog)
{
    char path[SOUND_FILE_SIZE];
    GetDlgItemTextA(dialog, IDC_SOUNDFILE, path, sizeof path);
    PlaySoundA(soundFileToPlay(path).c_str(), nullptr, SND_FILENAME | SND_ASYNC);
}

UINT checkState(bool on) { return on ? BST_CHECKED : BST_UNCHECKED; }

// Settings into the controls and back, each under settingsLock.
void settingsToDialog(HWND dialog)
{
    EnterCriticalSection(&settingsLock);
    SetDlgItemTextA(dialog, IDC_USERNAME, Settings.userName);
    CheckDlgButton(dialog, IDC_FLASHICON, checkState(Settings.notifyIcon));
    CheckDlgButton(dialog, IDC_PLAYSOUND, checkState(Settings.notifySound));
    SetDlgItemTextA(dialog, IDC_SOUNDFILE, Settings.soundFile);
    LeaveCriticalSection(&settingsLock);
}

// Longer texts are cut to their field, NUL included; the name is taken as typed.
void dialogToSettings(HWND dialog)
{
    EnterCriticalSection(&settingsLock);
    GetWindowTextA(GetDlgItem(dialog, IDC_USERNAME), Settings.userName, sizeof Settings.userName);
    Settings.notifyIcon = IsDlgButtonChecked(dialog, IDC_FLASHICON) == BST_CHECKED;
    Settings.notifySound = IsDlgButtonChecked(dialog, IDC_PLAYSOUND) == BST_CHECKED;
    GetWindowTextA(GetDlgItem(dialog, IDC_SOUNDFILE), Settings.soundFile,
                   sizeof Settings.soundFile);
    LeaveCriticalSection(&settingsLock);
}

}  // namespace

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        shownDialog = dialog;
        settingsToDialog(dialog);
        setDialogIcons(dialog);
        return TRUE;  // the focus goes to the first tab stop, the user name
    }
    if (message == WM_DESTROY && dialog == shownDialog) {
        shownDialog = nullptr;  // gone with mainWindow at exit, without OK or Cancel
        return FALSE;
    }
    if (message != WM_COMMAND) return FALSE;
    // Enter presses OK, the default button; Escape and the caption's close button
    // arrive as IDCANCEL. Either way the settings are saved as the dialog goes, and
    // the save wakes the poller: a poll with the new name follows at once.
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
        if (LOWORD(wParam) == IDOK) dialogToSettings(dialog);
        EndDialog(dialog, LOWORD(wParam));
        shownDialog = nullptr;
        saveSettings();
        return TRUE;
    case IDC_BROWSE:
        browseForSound(dialog);
        return TRUE;
    case IDC_PREVIEW:
        previewSound(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

void showSettings()
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SETTINGS), mainWindow, settingsDialogProc, 0);
}

bool bringSettingsForward()
{
    if (!shownDialog) return false;
    bringDialogForward(shownDialog);
    return true;
}
