#include "settings/settings_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct PathCase {
    std::string directory;
    bool fits;
    std::string path;
};

TEST(SettingsFilePath, JoinsTheDirectoryAndTheFileNameWithOneBackslash)
{
    const std::string dir246(246, 'd');  // 246 + "\" + 12 + NUL = 260: the longest that fits
    const std::string root246 = std::string(246, 'd') + "\\";  // already ends in the separator
    const PathCase cases[] = {
        {"C:\\games", true, "C:\\games\\Turnbell.ini"},
        {"C:\\", true, "C:\\Turnbell.ini"},
        {"Z:\\a b\\c\\", true, "Z:\\a b\\c\\Turnbell.ini"},
        {"", false, ""},
        {dir246, true, dir246 + "\\Turnbell.ini"},
        {dir246 + "d", false, ""},
        {root246, true, root246 + "Turnbell.ini"},
        {root246 + "d", false, ""},
    };
    for (const PathCase& c : cases) {
        char out[SETTINGS_PATH_SIZE];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(buildSettingsFilePath(c.directory.c_str(), out, sizeof out), c.fits)
            << c.directory.size() << " bytes: " << c.directory;
        EXPECT_EQ(std::string(out), c.path) << c.directory;
    }
}

TEST(SettingsFilePath, NeverWritesPastTheBuffer)
{
    // The buffer is one byte short of "C:\Turnbell.ini" and its NUL; the guard byte after
    // it must survive.
    char out[16];
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(buildSettingsFilePath("C:\\", out, 15));
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[15], '#');
    EXPECT_TRUE(buildSettingsFilePath("C:\\", out, 16));
    EXPECT_STREQ(out, "C:\\Turnbell.ini");
}

TEST(StoredText, TakesOnlyTextThatFitsWithItsNul)
{
    struct Case {
        unsigned long type;
        std::string data;  // the stored bytes, NULs included
        bool taken;
        std::string field;
    };
    const Case cases[] = {
        {STORED_TEXT, std::string("Ann\0", 4), true, "Ann"},
        {STORED_TEXT, "Ann", true, "Ann"},                           // stored without its NUL
        {STORED_TEXT, std::string("Ann\0junk", 8), true, "Ann"},     // bytes after an inner NUL
        {STORED_TEXT, "", true, ""},                                  // no bytes at all
        {STORED_EXPANDABLE_TEXT, std::string("%X%\0", 4), true, "%X%"},
        {STORED_TEXT, std::string("1234567\0", 8), true, "1234567"},  // 8 bytes: exactly fits
        {STORED_TEXT, "12345678", false, "before"},                   // needs a ninth byte
        {STORED_NUMBER, std::string("\1\0\0\0", 4), false, "before"},
        {3 /* binary */, std::string("Ann\0", 4), false, "before"},
        {7 /* multi-string */, std::string("Ann\0\0", 5), false, "before"},
    };
    for (const Case& c : cases) {
        char field[8];
        std::memcpy(field, "before", 7);
        EXPECT_EQ(takeStoredText(c.type, c.data.data(), c.data.size(), field, sizeof field), c.taken)
            << c.type << " " << c.data;
        EXPECT_EQ(std::string(field), c.field) << c.type << " " << c.data;
    }
}

}  // namespace
