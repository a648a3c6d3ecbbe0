// Pure pieces of the settings store: where the settings file lives and which stored
// registry data may be taken into a settings field. No Windows headers here, so the
// rules can be checked on their own.
#pragma once

#include <cstddef>

// Room for the settings file path, the terminating NUL included (MAX_PATH).
constexpr std::size_t SETTINGS_PATH_SIZE = 260;
constexpr const char SETTINGS_FILE_NAME[] = "Turnbell.ini";

// Writes directory + "\" (unless the directory already ends in one) + "Turnbell.ini"
// into out, which holds outSize bytes. Returns false, leaving out as an empty text
// (when outSize allows), when the directory is empty or the whole path with its NUL
// does not fit in outSize bytes.
bool buildSettingsFilePath(const char* directory, char* out, std::size_t outSize);

// Registry value types, with the numbers the registry itself uses.
enum StoredType : unsigned long {
    STORED_TEXT = 1,             // REG_SZ
    STORED_EXPANDABLE_TEXT = 2,  // REG_EXPAND_SZ
    STORED_NUMBER = 4,           // REG_DWORD (little-endian)
};

// Decides whether text data read from the registry may become a settings field.
// data holds size bytes as stored: usually ending in a NUL, but a value written
// without one, or with bytes after an inner NUL, is possible. The text is the bytes
// before the first NUL (or all of them). It is taken only when the value is text
// (REG_SZ or REG_EXPAND_SZ, the latter unexpanded) and the text with its NUL fits in
// fieldSize; then it is copied into field and NUL-terminated, and the result is true.
// Otherwise field is left unchanged and the result is false.
bool takeStoredText(unsigned long type, const char* data, std::size_t size, char* field,
                    std::size_t fieldSize);

// A stored on/off flag: a REG_DWORD of four bytes is on when nonzero. Any other type
// or size counts as a missing value, and a missing flag is on.
bool storedFlagIsOn(bool present, unsigned long type, const unsigned char* data,
                    std::size_t size);
