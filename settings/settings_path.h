// Pure pieces of the settings store: where the settings file lives, which stored
// registry text may be taken into a settings field, and the name that stands for the
// store while a copy runs on it. No Windows headers here, so the rules can be checked
// on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Room for the settings file path, the terminating NUL included (MAX_PATH).
constexpr std::size_t SETTINGS_PATH_SIZE = 260;
constexpr const char SETTINGS_FILE_NAME[] = "Turnbell.ini";

// Writes directory + "\" (unless endsInSeparator: a drive root such as "C:\") +
// "Turnbell.ini" into out, which holds outSize bytes. Whether the directory ends in a
// separator is the caller's to tell: under a multibyte code page the last byte may be
// 0x5C as the second byte of a character (the folder 表 is 0x95 0x5C in code page 932).
// Returns false, leaving out as an empty text (when outSize allows), when the directory
// is empty or the whole path with its NUL does not fit in outSize bytes.
bool buildSettingsFilePath(const char* directory, bool endsInSeparator, char* out,
                           std::size_t outSize);

// Decides whether data read from a registry text value may become a settings field.
// The stored type does not matter: settings written by other tools (a .reg file, an
// administrator's script) may be REG_BINARY or anything else, and are read as the
// bytes they hold. data holds size bytes: usually ending in a NUL, but a value written
// without one, or with bytes after an inner NUL, is possible. The text is the bytes
// before the first NUL (or all of them). It is taken when it fits in fieldSize with its
// NUL; then it is copied into field and NUL-terminated, and the result is true.
// Otherwise, and when the value holds no bytes at all (not even a NUL), field is left
// unchanged and the result is false: the setting keeps its default.
bool takeStoredText(const char* data, std::size_t size, char* field, std::size_t fieldSize);

// What startup found out about the settings store it is going to use.
struct SettingsStoreIdentity {
    bool inFile;      // a Turnbell.ini selects the store; otherwise the registry does
    bool fileOpened;  // the file opened and told its volume serial number and index
    std::uint32_t volumeSerial;
    std::uint32_t indexHigh;
    std::uint32_t indexLow;
    const char* loweredPath;  // the settings file's full path in lower case
    const char* userSid;      // the user's SID as text ("S-1-5-21-...")
};

// The name of the object that stands for the store, without its namespace. A file is
// known by its volume serial number and file index, which stay the same however its
// folder is reached. Serial 0 is a real serial (Wine's drive Z: has it), but index 0 is
// what some network redirectors report for every file: such a file, like one that
// could not be opened, is known by its lowered path, and so only under that spelling.
// The registry is known by the user's SID.
std::string settingsStoreObjectName(const SettingsStoreIdentity& store);

// What became of one try to open or make an object that stands for the store: the
// namespace the name lives in, or the name itself.
enum class StoreClaim {
    Made,          // made anew
    Held,          // it was there already: another copy made it
    AccessDenied,  // it is there, and this copy may not open it
    Failed,        // anything else
};

// Whether another copy runs on the store, so that this one must end: space is what
// became of the private namespace bounded by this user's SID (when there is one), name
// what became of the store's name in it, or in the Global namespace without one. Only
// this user's copies reach the private namespace, and each lets every other into it, so a
// name held there, or refused (an elevated copy's, which a normal copy may not open),
// is this user's copy on this very store. A namespace this copy cannot open or make
// tells nothing about which store the copy there runs on. In the Global namespace anyone
// could hold the name, and this copy runs rather than be stopped by another user. A
// failure lets this copy run unguarded.
bool anotherCopyHoldsTheStore(bool privateNamespace, StoreClaim space, StoreClaim name);
