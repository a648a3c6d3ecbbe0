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
        {"C:\\games", true, "C:\\games\\Turnbell.ini"},     {"C:\\", true, "C:\\Turnbell.ini"},
        {"Z:\\a b\\c\\", true, "Z:\\a b\\c\\Turnbell.ini"}, {"", false, ""},
        {dir246, true, dir246 + "\\Turnbell.ini"},          {dir246 + "d", false, ""},
        {root246, true, root246 + "Turnbell.ini"},          {root246 + "d", false, ""},
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

}  // namespace
