#include "settings/settings_win.h"

#include <cstring>

#include "poller/poller.h"  // wakeEvent: every save wakes the poller, by design

CRITICAL_SECTION settingsLock;

namespace {

constexpr char SECTION[] = "Turnbell";
// Read and write access, so the load can create the key and the save can reuse it.
constexpr REGSAM REGISTRY_ACCESS = KEY_READ | KEY_WRITE;

static_assert(USER_NAME_SIZE >= SOUND_FILE_SIZE, "the read buffer holds either text field");

// The settings file chosen at start, or empty. Every save writes this one, wherever the
// working folder has gone since: the open-file dialog moves it as the user browses, and
// the next start looks in the folder it starts in.
char settingsFilePath[SETTINGS_PATH_SIZE];

// The settings file in the current directory of the moment. False when the directory
// cannot be obtained or the path would not fit: the file then counts as absent.
bool currentSettingsFilePath(char (&path)[SETTINGS_PATH_SIZE])
{
    char directory[SETTINGS_PATH_SIZE];
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory) {
        path[0] = '\0';
        return false;
    }
    // The last character, not the last byte: under a multibyte code page a folder name
    // may end in a character whose second byte is 0x5C, the backslash.
    const char* last = CharPrevA(directory, directory + length);
    const bool endsInSeparator = last == directory + length - 1 && *last == '\\';
    return buildSettingsFilePath(directory, endsInSeparator, path, sizeof path);
}

void setDefaultSoundFile()
{
    std::memcpy(Settings.soundFile, DEFAULT_SOUND_FILE, sizeof DEFAULT_SOUND_FILE);
}

void setDefaultSettings()
{
    Settings.userName[0] = '\0';
    Settings.notifyIcon = true;
    Settings.notifySound = true;
    setDefaultSoundFile();
}

// Opens the settings key, creating it when it does not exist yet.
bool openSettingsKey(HKEY* key)
{
    return RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY, 0, nullptr,
                           REG_OPTION_NON_VOLATILE, REGISTRY_ACCESS, nullptr, key,
                           nullptr) == ERROR_SUCCESS;
}

void loadFromFile(const char* path)
{
    GetPrivateProfileStringA(SECTION, "Username", "", Settings.userName, USER_NAME_SIZE, path);
    GetPrivateProfileStringA(SECTION, "SoundFile", DEFAULT_SOUND_FILE, Settings.soundFile,
                             SOUND_FILE_SIZE, path);
    Settings.notifyIcon = GetPrivateProfileIntA(SECTION, "NotifyIcon", 1, path) != 0;
    Settings.notifySound = GetPrivateProfileIntA(SECTION, "NotifySound", 1, path) != 0;
}

// Reads a text value into field, whatever its stored type, or leaves field as it is when
// the value is missing or its text does not fit the field with a NUL.
bool readTextValue(HKEY key, const char* name, char* field, std::size_t fieldSize)
{
    char data[USER_NAME_SIZE];
    DWORD size = static_cast<DWORD>(fieldSize);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    return takeStoredText(data, size, field, fieldSize);
}

// A flag is on unless its value makes the number zero. The number starts at 1, so a
// missing value leaves the flag on; whatever bytes the value holds land in it, so a
// REG_BINARY 00 00 00 00 reads as off, like a REG_DWORD 0.
bool readFlagValue(HKEY key, const char* name)
{
    DWORD number = 1;
    DWORD size = sizeof number;
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
    return number != 0;
}

void loadFromRegistry()
{
    Settings.useIniFile = false;  // registry mode even when the key cannot be opened
    HKEY key;
    if (!openSettingsKey(&key)) {
        return;  // the defaults stay; the next save tries the key again
    }
    // The name is written as "UserName" and read as "Username": value names ignore case.
    if (!readTextValue(key, "Username", Settings.userName, USER_NAME_SIZE)) {
        Settings.userName[0] = '\0';
    }
    if (!readTextValue(key, "SoundFile", Settings.soundFile, SOUND_FILE_SIZE)) {
        setDefaultSoundFile();
    }
    Settings.notifyIcon = readFlagValue(key, "NotifyIcon");
    Settings.notifySound = readFlagValue(key, "NotifySound");
    RegCloseKey(key);
}

void saveToFile()
{
    const char* path = settingsFilePath;
    if (!path[0]) return;  // no file was chosen at start: nowhere to write
    WritePrivateProfileStringA(SECTION, "Username", Settings.userName, path);
    WritePrivateProfileStringA(SECTION, "SoundFile", Settings.soundFile, path);
    WritePrivateProfileStringA(SECTION, "NotifyIcon", Settings.notifyIcon ? "1" : "0", path);
    WritePrivateProfileStringA(SECTION, "NotifySound", Settings.notifySound ? "1" : "0", path);
}

void writeTextValue(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

void writeFlagValue(HKEY key, const char* name, bool on)
{
    const DWORD number = on ? 1 : 0;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

bool saveToRegistry()
{
    HKEY key;
    if (!openSettingsKey(&key)) {
        return false;
    }
    writeTextValue(key, "UserName", Settings.userName);
    writeTextValue(key, "SoundFile", Settings.soundFile);
    writeFlagValue(key, "NotifyIcon", Settings.notifyIcon);
    writeFlagValue(key, "NotifySound", Settings.notifySound);
    RegCloseKey(key);
    return true;
}

}  // namespace

bool findSettingsFile(char (&path)[SETTINGS_PATH_SIZE])
{
    // Anything under the name, even a folder, selects the settings file.
    return currentSettingsFilePath(path) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// The folder Turnbell started in, with its closing backslash ("C:\Games\"), or empty
// when it could not be told: where a sound file named without a folder is looked for.
char startFolder[SETTINGS_PATH_SIZE];

}  // namespace

void loadSettings()
{
    setDefaultSettings();
    // The settings file's path without its name, whether the file is there or not.
    char path[SETTINGS_PATH_SIZE];
    startFolder[0] = '\0';
    if (currentSettingsFilePath(path)) {
        lstrcpynA(startFolder, path, lstrlenA(path) - lstrlenA(SETTINGS_FILE_NAME) + 1);
    }
    if (findSettingsFile(settingsFilePath)) {
        Settings.useIniFile = true;
        loadFromFile(settingsFilePath);
        return;
    }
    settingsFilePath[0] = '\0';
    loadFromRegistry();
}

void saveSettings()
{
    if (Settings.useIniFile) {
        saveToFile();
    } else if (!saveToRegistry()) {
        return;  // nothing was written, so there is no new name to poll with
    }
    if (wakeEvent) {
        SetEvent(wakeEvent);
    }
}

std::string soundFileToPlay(const char* file)
{
    // No trail byte of a multibyte code page is a backslash at the start or a colon second.
    const bool relative = file[0] && file[0] != '\\' && file[0] != '/' && file[1] != ':';
    return relative && startFolder[0] ? std::string(startFolder) + file : std::string(file);
}
