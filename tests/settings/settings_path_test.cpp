#include "settings/settings_path.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>

#include "settings/settings_win.h"
#endif

#include <cstring>
#include <string>

namespace {

struct PathCase {
    std::string directory;
    bool endsInSeparator;
    bool fits;
    std::string path;
};

TEST(SettingsFilePath, JoinsTheDirectoryAndTheFileNameWithOneBackslash)
{
    const std::string dir246(246, 'd');  // 246 + "\" + 12 + NUL = 260: the longest that fits
    const std::string root246 = std::string(246, 'd') + "\\";  // already ends in the separator
    const PathCase cases[] = {
        {"C:\\games", false, true, "C:\\games\\Turnbell.ini"},
        {"C:\\", true, true, "C:\\Turnbell.ini"},
        {"Z:\\a b\\c\\", true, true, "Z:\\a b\\c\\Turnbell.ini"},
        {"", false, false, ""},
        {dir246, false, true, dir246 + "\\Turnbell.ini"},
        {dir246 + "d", false, false, ""},
        {root246, true, true, root246 + "Turnbell.ini"},
        {root246 + "d", false, false, ""},
    };
    for (const PathCase& c : cases) {
        char out[SETTINGS_PATH_SIZE];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(buildSettingsFilePath(c.directory.c_str(), c.endsInSeparator, out, sizeof out),
                  c.fits)
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
    EXPECT_FALSE(buildSettingsFilePath("C:\\", true, out, 15));
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[15], '#');
    EXPECT_TRUE(buildSettingsFilePath("C:\\", true, out, 16));
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

const char* const CLAIM_NAMES[] = {"Made", "Held", "AccessDenied", "Failed"};  // StoreClaim's

TEST(SettingsStoreClaim, EndsOnlyBesideACopyOfThisUserOnThisStore)
{
    // Private: the first copy; a normal, then an elevated copy (its mutex refused) on this
    // store; a copy on another; a namespace kept shut (an older elevated copy's) or failed,
    // a name failed: it cannot tell, and runs. Global (Wine): another user's name runs.
    using C = StoreClaim;
    const struct {
        bool privateNamespace;
        StoreClaim space, name;
        bool ends;
    } cases[] = {
        {true, C::Made, C::Made, false},           {true, C::Held, C::Held, true},
        {true, C::Held, C::AccessDenied, true},    {true, C::Held, C::Made, false},
        {true, C::AccessDenied, C::Failed, false}, {true, C::Failed, C::Failed, false},
        {true, C::Made, C::Failed, false},         {false, C::Failed, C::Made, false},
        {false, C::Failed, C::Held, true},         {false, C::Failed, C::AccessDenied, false},
        {false, C::Failed, C::Failed, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(anotherCopyHoldsTheStore(c.privateNamespace, c.space, c.name), c.ends)
            << (c.privateNamespace ? "private " : "global ") << CLAIM_NAMES[int(c.space)] << " "
            << CLAIM_NAMES[int(c.name)];
    }
}

#ifdef _WIN32
// Run under code page 932 only (settings_path_cp932_test). Folders whose name ends in a
// character with the second byte 0x5C, the backslash: each holds the settings file,
// which is found there rather than beside the folder.
TEST(SettingsFolderCp932, AFolderWhoseLastCharacterEndsInByte5CHoldsTheSettingsFile)
{
    ASSERT_EQ(GetACP(), 932u);
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    for (const wchar_t* last : {L"\u8868", L"\u30bd", L"\u80fd"}) {  // 表 ソ 能
        const std::wstring folder =
            temp + std::wstring(L"turnbell-") + std::to_wstring(GetCurrentProcessId()) + last;
        const std::wstring file = folder + L"\\Turnbell.ini";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        char expected[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, expected, sizeof expected, nullptr,
                            nullptr);
        ASSERT_EQ(expected[std::strlen(expected) - std::strlen("\\Turnbell.ini") - 1], '\\');

        ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
        char path[SETTINGS_PATH_SIZE];
        const bool found = findSettingsFile(path);
        SetCurrentDirectoryW(previous);
        DeleteFileW(file.c_str());
        RemoveDirectoryW(folder.c_str());
        EXPECT_TRUE(found) << expected;
        EXPECT_STREQ(path, expected);
    }
}
#endif

}  // namespace
