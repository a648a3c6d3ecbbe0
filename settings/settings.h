// The four user settings and the storage mode, shared by the UI thread and the poller.
// The poller reads userName only under settingsLock (settings_win.h); the UI thread is
// the only writer.
#pragma once

#include <cstddef>

constexpr std::size_t USER_NAME_SIZE = 300;   // 299 characters and the NUL
constexpr std::size_t SOUND_FILE_SIZE = 260;  // MAX_PATH
constexpr const char DEFAULT_SOUND_FILE[] = "sheepbaa.wav";

struct SettingsRecord {
    char userName[USER_NAME_SIZE];
    bool notifyIcon;
    bool notifySound;
    char soundFile[SOUND_FILE_SIZE];
    bool useIniFile;  // true: the Turnbell.ini found at start; false: the registry
};

// Zero-filled before start; loadSettings() fills it.
extern SettingsRecord Settings;
