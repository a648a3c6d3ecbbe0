#include "settings/settings_path.h"

#include <cstdio>
#include <cstring>

bool buildSettingsFilePath(const char* directory, bool endsInSeparator, char* out,
                           std::size_t outSize)
{
    if (outSize > 0) {
        out[0] = '\0';
    }
    const std::size_t directoryLength = directory ? std::strlen(directory) : 0;
    if (directoryLength == 0) {
        return false;
    }
    const std::size_t nameLength = sizeof SETTINGS_FILE_NAME - 1;
    const std::size_t total = directoryLength + (endsInSeparator ? 0 : 1) + nameLength + 1;
    if (total > outSize) {
        return false;
    }
    char* end = out;
    std::memcpy(end, directory, directoryLength);
    end += directoryLength;
    if (!endsInSeparator) {
        *end++ = '\\';
    }
    std::memcpy(end, SETTINGS_FILE_NAME, nameLength + 1);
    return true;
}

bool takeStoredText(const char* data, std::size_t size, char* field, std::size_t fieldSize)
{
    if (size == 0) {
        return false;  // a value with no data holds no text, not even an empty one
    }
    const void* nul = std::memchr(data, '\0', size);
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size;
    if (length + 1 > fieldSize) {
        return false;
    }
    if (length > 0) {
        std::memcpy(field, data, length);
    }
    field[length] = '\0';
    return true;
}

std::string settingsStoreObjectName(const SettingsStoreIdentity& store)
{
    if (!store.inFile) {
        return std::string("Turnbell settings in the registry of ") + store.userSid;
    }
    char name[64];
    if (store.fileOpened && (store.indexHigh != 0 || store.indexLow != 0)) {
        std::snprintf(name, sizeof name, "Turnbell settings file %08x-%08x%08x",
                      static_cast<unsigned>(store.volumeSerial),
                      static_cast<unsigned>(store.indexHigh),
                      static_cast<unsigned>(store.indexLow));
        return name;
    }
    // Hashed, since an object name may hold neither the path's backslashes nor its length.
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a, 64 bits
    for (const char* p = store.loweredPath; *p; ++p) {
        hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211u;
    }
    std::snprintf(name, sizeof name, "Turnbell settings path %016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

bool anotherCopyHoldsTheStore(bool privateNamespace, StoreClaim space, StoreClaim name)
{
    if (!privateNamespace) return name == StoreClaim::Held;
    const bool spaceUsable = space == StoreClaim::Made || space == StoreClaim::Held;
    return spaceUsable && (name == StoreClaim::Held || name == StoreClaim::AccessDenied);
}
