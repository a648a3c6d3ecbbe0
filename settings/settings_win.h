// Loading and saving the settings: Turnbell.ini in the current directory when one
// exists at start, otherwise the registry key below. Every save goes back to the store
// chosen at start, the same file whatever the current directory is by then.
#pragma once

#include <windows.h>

#include <string>

#include "settings/settings.h"
#include "settings/settings_path.h"

// The settings' key under HKEY_CURRENT_USER.
constexpr char SETTINGS_REGISTRY_KEY[] = "Software\\_Fenwold\\Turnbell";

// Guards Settings between the settings dialog (UI thread) and the poll cycle, which
// reads userName under it. Initialised by startPoller(); never deleted.
extern CRITICAL_SECTION settingsLock;

// The settings file that loadSettings() would choose now: Turnbell.ini in the current
// directory, when anything exists under that name; its full path goes into path.
// False when there is none (or its path would not fit): the registry holds the settings.
bool findSettingsFile(char (&path)[SETTINGS_PATH_SIZE]);

void loadSettings();
void saveSettings();  // ends by setting wakeEvent, so a poll follows at once

// The sound file as it is handed to PlaySoundA: a name without a folder stands for that
// file in the folder Turnbell started in (loadSettings tells it), wherever the working
// folder has gone since (the open-file dialog moves it as the user browses); a full path
// stays as it is. Where no such file is, PlaySoundA plays the system's default sound.
std::string soundFileToPlay(const char* file);
