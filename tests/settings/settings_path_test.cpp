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

TEST(SettingsStoreName, KnowsAFileByItsIndexUnlessThereIsNoneAndTheRegistryByTheUser)
{
    const char ann[] = "\\\\server\\games\\ann\\turnbell.ini";
    const char bob[] = "\\\\server\\games\\bob\\turnbell.ini";
    const char local[] = "c:\\users\\ann\\turnbell.ini";
    const char sid[] = "S-1-5-21-1004336348-1177238915-682003330-1001";
    const struct {
        const char* what;
        SettingsStoreIdentity store;
        const char* name;
    } cases[] = {
        // A redirector that reports index 0 for every file: two folders, two names.
        {"index 0, one folder",
         {true, true, 0x5a5a5a5a, 0, 0, ann, sid},
         "Turnbell settings path 427485b3b591ae84"},
        {"index 0, another folder",
         {true, true, 0x5a5a5a5a, 0, 0, bob, sid},
         "Turnbell settings path 13c1df34d73fdffc"},
        // Wine's drive Z: has serial 0 and real indexes.
        {"serial 0",
         {true, true, 0, 7, 0x123, local, sid},
         "Turnbell settings file 00000000-0000000700000123"},
        {"only the high half of the index",
         {true, true, 0x5a5a5a5a, 1, 0, local, sid},
         "Turnbell settings file 5a5a5a5a-0000000100000000"},
        {"a file that could not be opened",
         {true, false, 0, 7, 0x123, local, sid},
         "Turnbell settings path 74127e042c34c01b"},
        {"the registry",
         {false, false, 0, 0, 0, "", sid},
         "Turnbell settings in the registry of S-1-5-21-1004336348-1177238915-682003330-1001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settingsStoreObjectName(c.store), c.name) << c.what;
    }
}

TEST(SettingsStoreClaim, EndsOnlyBesideACopyOfThisUser)
{
    const struct {
        StoreClaim claim;
        bool privateNamespace;
        bool ends;
    } cases[] = {
        {StoreClaim::Made, true, false},        {StoreClaim::Made, false, false},
        {StoreClaim::Held, true, true},         {StoreClaim::Held, false, true},
        {StoreClaim::AccessDenied, true, true}, {StoreClaim::AccessDenied, false, false},
        {StoreClaim::Failed, true, false},      {StoreClaim::Failed, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(anotherCopyHoldsTheStore(c.claim, c.privateNamespace), c.ends)
            << static_cast<int>(c.claim) << (c.privateNamespace ? " private" : " Global");
    }
}

}  // namespace
