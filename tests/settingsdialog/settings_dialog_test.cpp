// The settings dialog opened for real under Wine and driven from its own message loop.
#include "settings/settings_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "app/globals.h"
#include "app/wndproc.h"
#include "poller/poller.h"
#include "res/resource.h"
#include "settings/settings_win.h"
#include "tray/tray.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/game_lists.h"
#include "tests/support/hidden_main_window.h"
#include "tests/support/play_sound_recorder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/stored_value.h"

namespace {

const std::string CAPTION = "Turnbell settings:";

struct Values {
    std::string userName;
    bool notifyIcon;
    bool notifySound;
    std::string soundFile;
    auto fields() const { return std::tie(userName, notifyIcon, notifySound, soundFile); }
    bool operator==(const Values& o) const { return fields() == o.fields(); }
};

std::ostream& operator<<(std::ostream& out, const Values& v)
{
    return out << ::testing::PrintToString(v.fields());
}

void store(const Values& v)
{
    std::memset(&Settings, 0, sizeof Settings);
    std::strncpy(Settings.userName, v.userName.c_str(), USER_NAME_SIZE - 1);
    Settings.notifyIcon = v.notifyIcon;
    Settings.notifySound = v.notifySound;
    std::strncpy(Settings.soundFile, v.soundFile.c_str(), SOUND_FILE_SIZE - 1);
}

Values stored()
{
    return {Settings.userName, Settings.notifyIcon, Settings.notifySound, Settings.soundFile};
}

Values shown(HWND dialog)
{
    return {controlText(dialog, IDC_USERNAME),
            IsDlgButtonChecked(dialog, IDC_FLASHICON) == BST_CHECKED,
            IsDlgButtonChecked(dialog, IDC_PLAYSOUND) == BST_CHECKED,
            controlText(dialog, IDC_SOUNDFILE)};
}

// The four values as the last save left them in the registry.
Values savedInRegistry()
{
    return {queryValue("UserName").text(), queryValue("NotifyIcon").number() == 1,
            queryValue("NotifySound").number() == 1, queryValue("SoundFile").text()};
}

// Types into the controls the way the user's edits end up in them; check boxes are
// clicked (posted) so they toggle through the button itself.
void edit(HWND dialog, const std::string& userName, const std::string& soundFile)
{
    SetDlgItemTextA(dialog, IDC_USERNAME, userName.c_str());
    SetDlgItemTextA(dialog, IDC_SOUNDFILE, soundFile.c_str());
}

const Values START = {"alice", true, false, "sheepbaa.wav"};

class SettingsDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        // startPoller initialises the lock in the program.
        InitializeCriticalSection(&settingsLock);
        // The program's own window receives the tray's and the menu's requests; it is
        // never destroyed here, as its destruction would stop the program.
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        createHiddenMainWindow("WC_SettingsRequests", mainWindowProc);
        // Two icons that differ, so that each shows where the dialog puts it.
        smallIcon = LoadIconA(nullptr, IDI_INFORMATION);
        largeIcon = LoadIconA(nullptr, IDI_WARNING);
        wakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void SetUp() override { store(START); }

    // Opens the dialog, runs the steps in it and returns its result.
    INT_PTR run(std::vector<DialogStep> steps)
    {
        return runDialog(
            [] {
                return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                       settingsDialogProc, 0);
            },
            std::move(steps));
    }
    // Opens it as the tray menu does, through the program's window, and runs the steps.
    void request(std::vector<DialogStep> steps)
    {
        runDialog(
            [] {
                SendMessageA(mainWindow, WM_COMMAND, ID_SETTINGS, 0);
                return INT_PTR{0};
            },
            std::move(steps));
    }
};

// Every way the dialog goes, after the user's edits: OK and Enter store them, the three
// others keep the settings as they were, an emptied sound file too; each saves what it
// leaves and wakes the poller, so that a poll with the new name follows at once. Preview
// plays what the edit box holds as it stands, confirmed or not, and stores nothing.
TEST_F(SettingsDialog, EachWayToCloseStoresOrKeepsTheEditsAndAlwaysSavesAndWakes)
{
    // The name is kept exactly as typed, blanks included.
    const Values edited = {" bob ", false, true, "C:\\sounds\\ding.wav"};
    const Values emptied = {" bob ", false, true, ""};
    const auto closing = closingWithoutOk(IDC_USERNAME);
    const struct {
        const char* what;
        const Values& edit;
        std::function<void(HWND)> close;
        INT_PTR result;
        bool stores;
        bool previews;
    } rows[] = {
        {"OK", edited, [](HWND dialog) { clickButton(dialog, IDOK); }, IDOK, true, false},
        {"Enter in the user name", edited,
         [](HWND dialog) { pressKey(GetDlgItem(dialog, IDC_USERNAME), VK_RETURN); }, IDOK, true,
         false},
        {"Cancel", emptied, closing[0], IDCANCEL, false, false},
        {"Escape", emptied, closing[1], IDCANCEL, false, false},
        {"the caption's close button", emptied, closing[2], IDCANCEL, false, false},
        {"Preview, then Cancel", edited,
         [](HWND dialog) {
             clickButton(dialog, IDC_PREVIEW);
             clickButton(dialog, IDCANCEL);
         },
         IDCANCEL, false, true},
    };
    for (const auto& row : rows) {
        RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY);
        ResetEvent(wakeEvent);
        store(START);
        playSoundCalls.clear();
        Values before = {};
        const INT_PTR result = run({{dialogWithCaption(CAPTION),
                                     [&](HWND dialog) {
                                         before = shown(dialog);
                                         edit(dialog, row.edit.userName, row.edit.soundFile);
                                         clickButton(dialog, IDC_FLASHICON);
                                         clickButton(dialog, IDC_PLAYSOUND);
                                     }},
                                    {dialogWithCaption(CAPTION), row.close}});
        EXPECT_EQ(before, START) << row.what;
        EXPECT_EQ(result, row.result) << row.what;
        EXPECT_EQ(stored(), row.stores ? row.edit : START) << row.what;
        EXPECT_EQ(savedInRegistry(), stored()) << row.what;
        EXPECT_EQ(WaitForSingleObject(wakeEvent, 0), WAIT_OBJECT_0) << row.what;
        ASSERT_EQ(playSoundCalls.size(), row.previews ? 1u : 0u) << row.what;
        if (row.previews) {
            EXPECT_EQ(playSoundCalls[0].name, edited.soundFile) << row.what;
            EXPECT_EQ(playSoundCalls[0].module, nullptr) << row.what;
            EXPECT_EQ(playSoundCalls[0].flags, 0x20001u)
                << row.what << ": SND_FILENAME | SND_ASYNC";
        }
    }
}

TEST_F(SettingsDialog, UntickedFlashStaysOffWhenTickedAgainAndCancelled)
{
    run({{dialogWithCaption(CAPTION), [](HWND dialog) { clickButton(dialog, IDC_FLASHICON); }},
         {dialogWithCaption(CAPTION), [](HWND dialog) { clickButton(dialog, IDOK); }}});
    EXPECT_FALSE(Settings.notifyIcon);
    bool shownUnticked = true;
    run({{dialogWithCaption(CAPTION),
          [&](HWND dialog) {
              shownUnticked = IsDlgButtonChecked(dialog, IDC_FLASHICON) == BST_UNCHECKED;
              clickButton(dialog, IDC_FLASHICON);
          }},
         {dialogWithCaption(CAPTION), [](HWND dialog) { clickButton(dialog, IDCANCEL); }}});
    EXPECT_TRUE(shownUnticked);
    EXPECT_FALSE(Settings.notifyIcon);
}

TEST_F(SettingsDialog, OverlongTextsAreCutToTheirFields)
{
    struct Case {
        std::size_t nameLength, fileLength, storedName, storedFile;
    } cases[] = {{0, 0, 0, 0}, {299, 259, 299, 259}, {300, 260, 299, 259}, {1000, 600, 299, 259}};
    for (const auto& c : cases) {
        const std::string name(c.nameLength, 'n'), file(c.fileLength, 'f');
        run({{dialogWithCaption(CAPTION), [&](HWND dialog) {
                  edit(dialog, name, file);
                  clickButton(dialog, IDOK);
              }}});
        EXPECT_EQ(std::string(Settings.userName), std::string(c.storedName, 'n')) << c.nameLength;
        EXPECT_EQ(std::string(Settings.soundFile), std::string(c.storedFile, 'f')) << c.fileLength;
    }
}

// A real wave-named file, so that the open-file dialog (which insists the file
// exists) accepts it; by default in a folder of this program's own.
const ScratchFolder soundFolder("dialog");

class SoundFile {
public:
    explicit SoundFile(const std::string& directory = soundFolder.path + "\\")
    {
        path = directory + "turnbell-dialog.wav";
        HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, "RIFF", 4, &written, nullptr);
        CloseHandle(file);
    }
    ~SoundFile() { DeleteFileA(path.c_str()); }
    std::string path;
};

// The open-file dialog starts from the edit box's text; a file chosen there replaces the
// text (and reaches the settings only through OK), a cancel leaves it.
TEST_F(SettingsDialog, BrowseStartsFromTheEditTextAndPutsTheChosenPathThere)
{
    const SoundFile sound;
    const struct {
        const char* what;
        bool chosen;
        std::string afterBrowse;
        int close;
        Values stored;
    } rows[] = {
        {"a file chosen, then Cancel", true, sound.path, IDCANCEL, START},
        {"Browse cancelled, OK", false, "keep me.wav", IDOK, {"alice", true, false, "keep me.wav"}},
    };
    for (const auto& row : rows) {
        store(START);
        std::string offered, afterBrowse;
        const INT_PTR result = run({
            {dialogWithCaption(CAPTION),
             [](HWND dialog) {
                 SetDlgItemTextA(dialog, IDC_SOUNDFILE, "keep me.wav");
                 clickButton(dialog, IDC_BROWSE);
             }},
            {dialogOtherThan(CAPTION),
             [&](HWND fileDialog) {
                 // The open-file dialog starts with the focus in its file name field.
                 offered = windowText(GetFocus());
                 if (row.chosen) SetWindowTextA(GetFocus(), sound.path.c_str());
                 clickButton(fileDialog, row.chosen ? IDOK : IDCANCEL);
             }},
            {dialogWithCaption(CAPTION),
             [&](HWND dialog) {
                 afterBrowse = controlText(dialog, IDC_SOUNDFILE);
                 clickButton(dialog, row.close);
             }},
        });
        EXPECT_EQ(offered, "keep me.wav") << row.what;
        EXPECT_EQ(afterBrowse, row.afterBrowse) << row.what;
        EXPECT_EQ(result, row.close) << row.what;
        EXPECT_EQ(stored(), row.stored) << row.what;
    }
}

std::string currentFolder()
{
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    CharLowerA(folder);
    return folder;
}

// A folder of the test's own, and its name as currentFolder gives it.
struct Folder : ScratchFolder {
    explicit Folder(const std::string& name) : ScratchFolder(name), lowered(path)
    {
        CharLowerA(&lowered[0]);
    }
    std::string lowered;
};

// The user browses into another folder and picks a file there, or cancels there. The
// open-file dialog moves the working folder as it goes, but the working folder after
// Browse is the one from before, and OK (and every later save) writes the Turnbell.ini
// that was chosen at start, not one in the folder Browse last showed.
TEST_F(SettingsDialog, BrowseElsewhereLeavesTheWorkingFolderAndTheSettingsFileAsTheyWere)
{
    const Folder start("start"), other("other");
    const std::string ini = start.path + "\\Turnbell.ini";
    WritePrivateProfileStringA("Turnbell", "Username", "ann", ini.c_str());
    const SoundFile sound(other.path + "\\");
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(start.path.c_str()));
    loadSettings();
    ASSERT_TRUE(Settings.useIniFile);
    for (const bool cancelled : {true, false}) {
        SCOPED_TRACE(cancelled ? "cancelled" : "chosen");
        playSoundCalls.clear();
        HWND fileDialog = nullptr, fileName = nullptr;
        std::string folderAfter;
        run({
            {dialogWithCaption(CAPTION), [](HWND dialog) { clickButton(dialog, IDC_BROWSE); }},
            {dialogOtherThan(CAPTION),
             [&](HWND dialog) {
                 // A folder typed into the file name box: the dialog goes there.
                 fileDialog = dialog;
                 fileName = GetFocus();
                 SetWindowTextA(fileName, other.path.c_str());
                 clickButton(dialog, IDOK);
             }},
            {[&](HWND dialog) { return dialog == fileDialog && currentFolder() == other.lowered; },
             [&](HWND dialog) {
                 // A turn while the user browses plays the start folder's sound.
                 GameList turn = gameList({{cancelled ? "7" : "8", true}});
                 SendMessageA(mainWindow, WM_GAMELIST, 0, reinterpret_cast<LPARAM>(&turn));
                 clearGameList(turn);
                 if (cancelled) {
                     clickButton(dialog, IDCANCEL);
                     return;
                 }
                 SetWindowTextA(fileName, sound.path.substr(other.path.size() + 1).c_str());
                 clickButton(dialog, IDOK);
             }},
            {dialogWithCaption(CAPTION),
             [&](HWND dialog) {
                 folderAfter = currentFolder();
                 SetCurrentDirectoryA(other.path.c_str());  // and so does Preview, wherever
                 clickButton(dialog, IDC_PREVIEW);          // the working folder is
                 SetCurrentDirectoryA(start.path.c_str());
                 SetDlgItemTextA(dialog, IDC_USERNAME, cancelled ? "bob" : "cid");
                 clickButton(dialog, IDOK);
             }},
        });
        EXPECT_EQ(folderAfter, start.lowered);
        const std::string chosen = cancelled ? start.path + "\\sheepbaa.wav" : sound.path;
        ASSERT_EQ(playSoundCalls.size(), 2u);
        EXPECT_EQ(playSoundCalls[0].name, start.path + "\\sheepbaa.wav");
        EXPECT_EQ(playSoundCalls[1].name, chosen);
        char name[USER_NAME_SIZE] = {}, file[SOUND_FILE_SIZE] = {};
        GetPrivateProfileStringA("Turnbell", "Username", "", name, sizeof name, ini.c_str());
        GetPrivateProfileStringA("Turnbell", "SoundFile", "", file, sizeof file, ini.c_str());
        EXPECT_STREQ(name, cancelled ? "bob" : "cid");
        EXPECT_EQ(std::string(file), cancelled ? std::string("sheepbaa.wav") : sound.path);
        EXPECT_EQ(GetFileAttributesA((other.path + "\\Turnbell.ini").c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
    SetCurrentDirectoryA(before);
}

// The menu's "Settings..." while the dialog is open (at the first start it opens by
// itself) behind another window: the dialog on screen comes to the front, no second one
// opens on top of it to write its own values over the first's, and one Escape closes
// it. It shows the program's icons in its caption and for Alt+Tab.
TEST_F(SettingsDialog, ASecondRequestBringsTheOpenDialogForward)
{
    std::size_t open = 0;
    bool inFront = false;
    std::pair<HICON, HICON> icons;
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
    request({{dialogWithCaption(CAPTION),
              [&](HWND dialog) {
                  icons = dialogIcons(dialog);
                  SetForegroundWindow(other);
                  PostMessageA(mainWindow, WM_COMMAND, ID_SETTINGS, 0);
                  PostMessageA(mainWindow, WM_COMMAND, ID_SETTINGS, 0);
              }},
             {dialogWithCaptionOnceHandled(CAPTION, mainWindow), [&](HWND dialog) {
                  open = dialogsWithCaption(CAPTION).size();
                  inFront = GetForegroundWindow() == dialog;
                  if (open == 1)
                      pressKey(GetDlgItem(dialog, IDC_USERNAME), VK_ESCAPE);
                  else
                      cancelEveryDialog();
              }}});
    DestroyWindow(other);
    EXPECT_EQ(open, 1u);
    EXPECT_TRUE(inFront);
    EXPECT_EQ(icons, std::make_pair(smallIcon, largeIcon));
    EXPECT_TRUE(dialogsWithCaption(CAPTION).empty());
}

// While the settings are open, a double-click on the icon and the menu's "Show game
// list..." open no list inside the settings dialog's loop, where its keys would be
// dead: the settings come forward instead, and Enter still presses OK.
TEST_F(SettingsDialog, WhileOpenNoListOpensAndEnterStillPressesOk)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY);
    ResetEvent(wakeEvent);
    std::size_t lists = 1;
    request({{dialogWithCaption(CAPTION),
              [](HWND dialog) {
                  edit(dialog, "dora", "d.wav");
                  PostMessageA(mainWindow, WM_TRAYICON, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
                  PostMessageA(mainWindow, WM_COMMAND, ID_SHOWGAMES, 0);
              }},
             {dialogWithCaptionOnceHandled(CAPTION, mainWindow), [&](HWND dialog) {
                  lists = dialogsWithCaption("Games").size();
                  pressKey(GetDlgItem(dialog, IDC_USERNAME), VK_RETURN);
              }}});
    EXPECT_EQ(lists, 0u);
    EXPECT_EQ(stored(), (Values{"dora", true, false, "d.wav"}));
    EXPECT_EQ(savedInRegistry().userName, "dora");
    EXPECT_EQ(WaitForSingleObject(wakeEvent, 0), WAIT_OBJECT_0);
}

// A double-click on the icon while Browse's file dialog is open opens no list inside
// that dialog's loop: the file dialog stays in front, and the file chosen there reaches
// the edit box and, with OK, the settings.
TEST_F(SettingsDialog, ARequestDuringBrowseKeepsTheFileDialogInFrontAndItsChoice)
{
    SoundFile sound;
    HWND fileDialog = nullptr;
    std::size_t lists = 1;
    bool fileDialogInFront = false;
    std::string afterBrowse;
    request({
        {dialogWithCaption(CAPTION), [](HWND dialog) { clickButton(dialog, IDC_BROWSE); }},
        {dialogOtherThan(CAPTION),
         [&](HWND dialog) {
             fileDialog = dialog;
             PostMessageA(mainWindow, WM_TRAYICON, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
         }},
        {[&](HWND dialog) {
             MSG pending;
             return dialog == fileDialog && !PeekMessageA(&pending, mainWindow, 0, 0, PM_NOREMOVE);
         },
         [&](HWND dialog) {
             lists = dialogsWithCaption("Games").size();
             fileDialogInFront = GetForegroundWindow() == dialog;
             SetWindowTextA(GetFocus(), sound.path.c_str());
             clickButton(dialog, IDOK);
         }},
        {dialogWithCaption(CAPTION),
         [&](HWND dialog) {
             afterBrowse = controlText(dialog, IDC_SOUNDFILE);
             clickButton(dialog, IDOK);
         }},
    });
    EXPECT_EQ(lists, 0u);
    EXPECT_TRUE(fileDialogInFront);
    EXPECT_EQ(afterBrowse, sound.path);
    EXPECT_EQ(std::string(Settings.soundFile), sound.path);
}

// "Settings..." while the game list is open: the list goes, and the settings open from
// the program's own loop, not inside the list's, so their keys work.
TEST_F(SettingsDialog, ARequestWhileTheListIsOpenOpensThemOnceTheListHasGone)
{
    std::size_t lists = 1;
    runDialog(
        [] {
            SendMessageA(mainWindow, WM_TRAYICON, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
            // What the program's message loop does once the list has returned.
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            return INT_PTR{0};
        },
        {{dialogWithCaption("Games"),
          [](HWND) { PostMessageA(mainWindow, WM_COMMAND, ID_SETTINGS, 0); }},
         {dialogWithCaption(CAPTION), [&](HWND dialog) {
              lists = dialogsWithCaption("Games").size();
              edit(dialog, "erin", "e.wav");
              pressKey(GetDlgItem(dialog, IDC_USERNAME), VK_RETURN);
          }}});
    EXPECT_EQ(lists, 0u);
    EXPECT_EQ(stored(), (Values{"erin", true, false, "e.wav"}));
}

}  // namespace
