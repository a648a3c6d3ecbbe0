// A value of the settings' registry key as the last save left it, read with the registry API.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "settings/settings_win.h"

struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string data;  // the bytes as stored
    std::string text() const { return data.c_str(); }
    DWORD number() const
    {
        DWORD n = 0;
        std::memcpy(&n, data.data(), data.size() < sizeof n ? data.size() : sizeof n);
        return n;
    }
};

inline StoredValue queryValue(const char* name)
{
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.present = true;
        value.data.assign(data, size);
    }
    RegCloseKey(key);
    return value;
}
