// The settings store on the real registry and real settings files under Wine. Every test
// runs in its own fresh current directory and starts with no Software\_Fenwold key; the
// registry of this process is mapped to a private key, so parallel test programs in the
// same Wine prefix cannot see each other's settings.
#include "settings/settings_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "poller/poller.h"
#include "tests/support/read_file.h"
#include "tests/support/stored_value.h"

namespace {

constexpr char PARENT_KEY[] = "Software\\_Fenwold";

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void storeValue(const char* name, DWORD type, const std::string& data)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY, 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string dword(DWORD number)
{
    return std::string(reinterpret_cast<const char*>(&number), sizeof number);
}

class SettingsStore : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Map HKEY_CURRENT_USER of this process to a private key of its own.
        const std::string privateKey =
            "Software\\TurnbellTests\\settings-" + std::to_string(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, privateKey.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &privateRoot, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, privateRoot), ERROR_SUCCESS);
        privateKeyName = privateKey;
    }

    static void TearDownTestSuite()
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(privateRoot);
        RegDeleteTreeA(HKEY_CURRENT_USER, privateKeyName.c_str());
    }

    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, PARENT_KEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, PARENT_KEY);

        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial = 0;
        directory = std::string(temp) + "turnbell-settings-" +
                    std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
        ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr)) << directory;
        GetCurrentDirectoryA(sizeof previousDirectory, previousDirectory);
        ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));
        iniPath = directory + "\\Turnbell.ini";

        // Bytes left over in the fields must not show through what the load reads.
        std::memset(&Settings, 'x', sizeof Settings);
        wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(previousDirectory);
        for (const std::string& dir : {directory, otherDirectory}) {
            if (dir.empty()) continue;
            const std::string file = dir + "\\Turnbell.ini";
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
            RemoveDirectoryA(dir.c_str());
        }
        CloseHandle(wakeEvent);
        wakeEvent = nullptr;
    }

    bool wakeEventIsSet() { return WaitForSingleObject(wakeEvent, 0) == WAIT_OBJECT_0; }

    void expectDefaults()
    {
        EXPECT_STREQ(Settings.userName, "");
        EXPECT_TRUE(Settings.notifyIcon);
        EXPECT_TRUE(Settings.notifySound);
        EXPECT_STREQ(Settings.soundFile, "sheepbaa.wav");
    }

    static HKEY privateRoot;
    static std::string privateKeyName;
    std::string directory;
    std::string otherDirectory;
    std::string iniPath;
    char previousDirectory[MAX_PATH] = {};
};

HKEY SettingsStore::privateRoot;
std::string SettingsStore::privateKeyName;

TEST_F(SettingsStore, NothingStoredGivesTheDefaultsInTheRegistryAndCreatesTheKey)
{
    loadSettings();
    expectDefaults();
    EXPECT_FALSE(Settings.useIniFile);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY, 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD values = 99;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    EXPECT_EQ(values, 0u);
    RegCloseKey(key);
    EXPECT_FALSE(fileExists(iniPath));
}

TEST_F(SettingsStore, AnEmptySettingsFileSelectsFileModeAndTheFirstSaveFillsIt)
{
    writeFile(iniPath, "");
    loadSettings();
    EXPECT_TRUE(Settings.useIniFile);
    expectDefaults();

    saveSettings();
    const std::string text = readFile(iniPath);
    for (const char* line :
         {"[Turnbell]", "Username=", "SoundFile=sheepbaa.wav", "NotifyIcon=1", "NotifySound=1"})
        EXPECT_NE(text.find(line), std::string::npos) << text;
    EXPECT_TRUE(wakeEventIsSet());
    // Nothing went to the registry.
    EXPECT_FALSE(queryValue("UserName").present);
}

TEST_F(SettingsStore, SettingsFileContentsAreReadAsTheProfileFunctionsSeeThem)
{
    const std::string name299(299, 'n');
    const std::string sound259(259, 's');
    struct Case {
        const char* what;
        std::string file;
        std::string userName;
        bool notifyIcon;
        bool notifySound;
        std::string soundFile;
    };
    const Case cases[] = {
        {"all four",
         "[Turnbell]\r\nUsername=Ann Lee\r\nSoundFile=C:\\b.wav\r\nNotifyIcon=1\r\n"
         "NotifySound=1\r\n",
         "Ann Lee", true, true, "C:\\b.wav"},
        {"icon off, sound missing", "[Turnbell]\nNotifyIcon=0\n", "", false, true, "sheepbaa.wav"},
        {"any nonzero number is on, text is off", "[Turnbell]\nNotifyIcon=7\nNotifySound=off\n", "",
         true, false, "sheepbaa.wav"},
        {"keys are not case sensitive", "[turnbell]\nUSERNAME=bob\nnotifysound=0\n", "bob", true,
         false, "sheepbaa.wav"},
        {"another section only", "[Other]\nUsername=zed\nNotifyIcon=0\n", "", true, true,
         "sheepbaa.wav"},
        {"no section at all", "Username=zed\nNotifyIcon=0\n", "", true, true, "sheepbaa.wav"},
        {"garbage", std::string("\x01\xff\x00[[=\n\n==\r\x7f", 13), "", true, true, "sheepbaa.wav"},
        {"over-long values are cut to their fields",
         "[Turnbell]\nUsername=" + name299 + "tail\nSoundFile=" + sound259 + "tail\n", name299,
         true, true, sound259},
    };
    for (const Case& c : cases) {
        writeFile(iniPath, c.file);
        std::memset(&Settings, 'x', sizeof Settings);
        loadSettings();
        EXPECT_TRUE(Settings.useIniFile) << c.what;
        EXPECT_EQ(std::string(Settings.userName), c.userName) << c.what;
        EXPECT_EQ(Settings.notifyIcon, c.notifyIcon) << c.what;
        EXPECT_EQ(Settings.notifySound, c.notifySound) << c.what;
        EXPECT_EQ(std::string(Settings.soundFile), c.soundFile) << c.what;
    }
}

// Two round trips per store, each with the other flag off, so a flag that stuck would show.
struct RoundTrip {
    const char* store;
    bool fileMode;  // an empty Turnbell.ini is there before the load
    bool notifyIcon;
    bool notifySound;
};

class SavedSettings : public SettingsStore, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(SavedSettings, ComeBackFromTheStoreTheyWereLoadedFrom)
{
    const RoundTrip& trip = GetParam();
    if (trip.fileMode) writeFile(iniPath, "");
    loadSettings();
    ASSERT_EQ(Settings.useIniFile, trip.fileMode);
    std::strcpy(Settings.userName, "Ann Lee");
    Settings.notifyIcon = trip.notifyIcon;
    Settings.notifySound = trip.notifySound;
    std::strcpy(Settings.soundFile, "C:\\sounds\\bell.wav");
    saveSettings();
    EXPECT_TRUE(wakeEventIsSet());

    if (trip.fileMode) {
        const std::string text = readFile(iniPath);
        for (const std::string& line : {std::string("NotifyIcon=") + "01"[trip.notifyIcon],
                                        std::string("NotifySound=") + "01"[trip.notifySound]})
            EXPECT_NE(text.find(line), std::string::npos) << text;
    } else {
        // Written as "UserName", read back by the load as "Username": the same value.
        const StoredValue name = queryValue("UserName");
        EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(name.data, std::string("Ann Lee", 8));  // with its NUL
        const StoredValue icon = queryValue("NotifyIcon");
        EXPECT_EQ(icon.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(icon.data, dword(trip.notifyIcon));
        EXPECT_EQ(queryValue("NotifySound").data, dword(trip.notifySound));
        EXPECT_EQ(queryValue("SoundFile").data, std::string("C:\\sounds\\bell.wav", 19));
    }

    std::memset(&Settings, 'x', sizeof Settings);
    loadSettings();
    EXPECT_EQ(Settings.useIniFile, trip.fileMode);
    EXPECT_STREQ(Settings.userName, "Ann Lee");
    EXPECT_EQ(Settings.notifyIcon, trip.notifyIcon);
    EXPECT_EQ(Settings.notifySound, trip.notifySound);
    EXPECT_STREQ(Settings.soundFile, "C:\\sounds\\bell.wav");
    EXPECT_EQ(fileExists(iniPath), trip.fileMode);
}

INSTANTIATE_TEST_SUITE_P(BothStores, SavedSettings,
                         ::testing::Values(RoundTrip{"FileIconOff", true, false, true},
                                           RoundTrip{"FileSoundOff", true, true, false},
                                           RoundTrip{"RegistryIconOff", false, false, true},
                                           RoundTrip{"RegistrySoundOff", false, true, false}),
                         [](const ::testing::TestParamInfo<RoundTrip>& info) {
                             return std::string(info.param.store);
                         });

TEST_F(SettingsStore, AnEmptyNameIsSavedAsAnEmptyEntryOrAOneByteString)
{
    loadSettings();
    Settings.userName[0] = '\0';
    saveSettings();
    const StoredValue name = queryValue("UserName");
    EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name.data, std::string(1, '\0'));

    writeFile(iniPath, "[Turnbell]\nUsername=Old\n");
    loadSettings();
    Settings.userName[0] = '\0';
    saveSettings();
    EXPECT_NE(readFile(iniPath).find("Username=\r\n"), std::string::npos) << readFile(iniPath);
    loadSettings();
    EXPECT_STREQ(Settings.userName, "");
}

// Settings written by other tools may have any type: the bytes are read as they stand.
TEST_F(SettingsStore, StoredRegistryTextIsTakenWhateverItsTypeWhenItFitsItsField)
{
    const std::string name299(299, 'n');
    const std::string name300(300, 'n');
    const std::string sound259(259, 's');
    const std::string sound260(260, 's');
    struct Case {
        const char* what;
        const char* value;
        DWORD type;
        std::string data;
        std::string userName;
        std::string soundFile;
    };
    const Case cases[] = {
        {"a plain name", "Username", REG_SZ, std::string("Bob", 4), "Bob", "sheepbaa.wav"},
        {"a name stored without its NUL", "Username", REG_SZ, "Bob", "Bob", "sheepbaa.wav"},
        {"the longest name", "Username", REG_SZ, name299 + '\0', name299, "sheepbaa.wav"},
        {"a name one byte too long", "Username", REG_SZ, name300 + '\0', "", "sheepbaa.wav"},
        {"a full field without a NUL", "Username", REG_SZ, name300, "", "sheepbaa.wav"},
        {"a name stored as a number", "Username", REG_DWORD, dword(0x626f42), "Bob",
         "sheepbaa.wav"},
        {"a name stored as binary", "Username", REG_BINARY, std::string("Bob", 4), "Bob",
         "sheepbaa.wav"},
        {"a binary name without a NUL", "Username", REG_BINARY, "Ann Lee", "Ann Lee",
         "sheepbaa.wav"},
        {"a binary name too long for its NUL", "Username", REG_BINARY, name300, "", "sheepbaa.wav"},
        {"an expandable name, unexpanded", "Username", REG_EXPAND_SZ, std::string("%USER%", 7),
         "%USER%", "sheepbaa.wav"},
        {"a name with an inner NUL", "Username", REG_SZ, std::string("Bob\0Eve", 8), "Bob",
         "sheepbaa.wav"},
        {"the longest sound file", "SoundFile", REG_SZ, sound259 + '\0', "", sound259},
        {"a sound file too long", "SoundFile", REG_SZ, sound260 + '\0', "", "sheepbaa.wav"},
        {"a sound file without its NUL", "SoundFile", REG_SZ, "a.wav", "", "a.wav"},
        {"a sound file too long as binary", "SoundFile", REG_BINARY, sound260, "", "sheepbaa.wav"},
        {"an empty sound file", "SoundFile", REG_SZ, std::string(1, '\0'), "", ""},
        {"a sound file of no bytes", "SoundFile", REG_BINARY, "", "", "sheepbaa.wav"},
        {"a text sound file of no bytes", "SoundFile", REG_SZ, "", "", "sheepbaa.wav"},
    };
    for (const Case& c : cases) {
        RegDeleteTreeA(HKEY_CURRENT_USER, PARENT_KEY);
        storeValue(c.value, c.type, c.data);
        std::memset(&Settings, 'x', sizeof Settings);
        loadSettings();
        EXPECT_EQ(std::string(Settings.userName), c.userName) << c.what;
        EXPECT_EQ(std::string(Settings.soundFile), c.soundFile) << c.what;
        EXPECT_FALSE(Settings.useIniFile) << c.what;
    }
}

// A flag's bytes land in a number that starts at 1; it is on unless that number is 0.
TEST_F(SettingsStore, StoredRegistryFlagsAreOnUnlessTheirBytesMakeTheNumberZero)
{
    struct Case {
        const char* what;
        bool stored;
        DWORD type;
        std::string data;
        bool on;
    };
    const Case cases[] = {
        {"zero", true, REG_DWORD, dword(0), false},
        {"one", true, REG_DWORD, dword(1), true},
        {"any nonzero number", true, REG_DWORD, dword(0x80000000u), true},
        {"missing", false, REG_DWORD, "", true},
        {"text \"0\"", true, REG_SZ, std::string("0", 2), true},
        {"a binary zero", true, REG_BINARY, std::string(4, '\0'), false},
        {"two zero bytes over the low half of 1", true, REG_BINARY, std::string(2, '\0'), false},
        {"a binary one", true, REG_BINARY, std::string("\1\0\0\0", 4), true},
    };
    for (const Case& c : cases) {
        for (const char* flag : {"NotifyIcon", "NotifySound"}) {
            RegDeleteTreeA(HKEY_CURRENT_USER, PARENT_KEY);
            if (c.stored) storeValue(flag, c.type, c.data);
            std::memset(&Settings, 'x', sizeof Settings);
            loadSettings();
            const bool icon = std::strcmp(flag, "NotifyIcon") == 0;
            EXPECT_EQ(icon ? Settings.notifyIcon : Settings.notifySound, c.on)
                << flag << ": " << c.what;
            EXPECT_TRUE(icon ? Settings.notifySound : Settings.notifyIcon)
                << flag << ": " << c.what;
        }
    }
}

TEST_F(SettingsStore, AKeyThatCannotBeOpenedKeepsTheDefaultsAndASaveDoesNotWake)
{
    // A volatile parent cannot hold the lasting key the store creates.
    HKEY parent;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, PARENT_KEY, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);

    loadSettings();
    expectDefaults();
    EXPECT_FALSE(Settings.useIniFile);

    std::strcpy(Settings.userName, "Ann");
    saveSettings();
    EXPECT_FALSE(wakeEventIsSet());
    EXPECT_FALSE(queryValue("UserName").present);
    EXPECT_STREQ(Settings.userName, "Ann");
}

// The open-file dialog moves the working folder while the user browses: a save made
// then, the one at Exit included, still goes to the file the next start reads.
TEST_F(SettingsStore, ASaveGoesToTheSettingsFileOfTheStartWhereverTheWorkingFolderWent)
{
    writeFile(iniPath, "[Turnbell]\nUsername=Ann\n");
    loadSettings();
    ASSERT_TRUE(Settings.useIniFile);

    otherDirectory = directory + "-other";
    ASSERT_TRUE(CreateDirectoryA(otherDirectory.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(otherDirectory.c_str()));
    std::strcpy(Settings.userName, "Bob");
    saveSettings();
    EXPECT_NE(readFile(iniPath).find("Username=Bob"), std::string::npos);
    EXPECT_FALSE(fileExists(otherDirectory + "\\Turnbell.ini"));
    EXPECT_TRUE(wakeEventIsSet());
}

TEST_F(SettingsStore, ASettingsFileThatCannotBeWrittenLeavesTheSettingsInMemory)
{
    // Held open by another program without sharing. (A read-only attribute does not stop
    // the tests' root user under Wine, so the file is locked instead.)
    const std::string original = "[Turnbell]\r\nUsername=Ann\r\n";
    writeFile(iniPath, original);
    loadSettings();
    ASSERT_TRUE(Settings.useIniFile);
    HANDLE lock = CreateFileA(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    std::strcpy(Settings.userName, "Bob");
    Settings.notifySound = false;
    saveSettings();
    CloseHandle(lock);
    EXPECT_EQ(readFile(iniPath), original);
    EXPECT_STREQ(Settings.userName, "Bob");
    EXPECT_FALSE(Settings.notifySound);
    EXPECT_TRUE(wakeEventIsSet());
}

// A current directory so deep that the settings file path would not fit in MAX_PATH.
class LongDirectory : public SettingsStore {
protected:
    void SetUp() override
    {
        SettingsStore::SetUp();
        std::wstring path(directory.begin(), directory.end());
        // 247 characters or more: with "\Turnbell.ini" and the NUL, over 260 bytes.
        while (path.size() < 247) {
            path += L"\\" + std::wstring(std::min<std::size_t>(40, 250 - path.size()), L'd');
            ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr));
            created.push_back(path);
        }
        ASSERT_LT(path.size(), 259u);
        // A settings file is there, but the program cannot name it.
        longIni = L"\\\\?\\" + path + L"\\Turnbell.ini";
        HANDLE file = CreateFileW(longIni.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const char text[] = "[Turnbell]\r\nUsername=FromFile\r\n";
        DWORD written;
        WriteFile(file, text, sizeof text - 1, &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(SetCurrentDirectoryW(path.c_str())) << GetLastError();
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(previousDirectory);
        DeleteFileW(longIni.c_str());
        for (auto it = created.rbegin(); it != created.rend(); ++it)
            RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
        SettingsStore::TearDown();
    }

    std::string longIniText()
    {
        HANDLE file = CreateFileW(longIni.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        char text[256];
        DWORD read = 0;
        ReadFile(file, text, sizeof text, &read, nullptr);
        CloseHandle(file);
        return std::string(text, read);
    }

    std::vector<std::wstring> created;
    std::wstring longIni;
};

TEST_F(LongDirectory, TheLoadTreatsTheSettingsFileAsAbsent)
{
    storeValue("Username", REG_SZ, std::string("FromRegistry", 13));
    loadSettings();
    EXPECT_FALSE(Settings.useIniFile);
    EXPECT_STREQ(Settings.userName, "FromRegistry");
}

// The file the program cannot name is never written: the settings go to the registry.
TEST_F(LongDirectory, ASaveGoesToTheRegistryAndLeavesTheFileAlone)
{
    loadSettings();
    ASSERT_FALSE(Settings.useIniFile);
    std::strcpy(Settings.userName, "Bob");
    saveSettings();
    EXPECT_EQ(longIniText(), "[Turnbell]\r\nUsername=FromFile\r\n");
    EXPECT_EQ(queryValue("UserName").data, std::string("Bob", 4));
    EXPECT_TRUE(wakeEventIsSet());
}

}  // namespace
