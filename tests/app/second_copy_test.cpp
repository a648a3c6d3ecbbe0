// A second Turnbell.exe on the settings of one already running ends at once, without a
// window, a request or a save; a copy on settings of its own runs beside it, and so does
// one started right after Exit. The real program is started in folders of this test's
// own, one of them reached through a symbolic link that tests/app/with-linked-folder.sh
// makes. The copies of the first test have an empty user name, so none of them polls.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/read_file.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/stored_value.h"
#include "tests/support/wait_until.h"

namespace {

const char SETTINGS_FILE[] = "[Turnbell]\r\nUsername=\r\n";

BOOL CALLBACK countMainWindow(HWND window, LPARAM count)
{
    char name[64];
    if (GetClassNameA(window, name, sizeof name) && std::string(name) == "WC_Turnbell_Main")
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int mainWindows()
{
    int count = 0;
    EnumWindows(countMainWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool waitForWindows(int count, DWORD timeoutMs)
{
    return waitUntil([count] { return mainWindows() == count; }, timeoutMs);
}

// A site that takes every request and never answers, as the copies reach it: their
// requests go through it as their proxy (WinINet's preconfigured proxy is http_proxy).
class SilentSite {
public:
    SilentSite()
    {
        WSADATA winsock;
        WSAStartup(MAKEWORD(2, 2), &winsock);
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener, 8);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        const std::string proxy = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        SetEnvironmentVariableA("http_proxy", proxy.c_str());
    }
    ~SilentSite()
    {
        SetEnvironmentVariableA("http_proxy", nullptr);
        for (SOCKET s : held) closesocket(s);
        closesocket(listener);
        WSACleanup();
    }
    // True when a request has come within the time; its connection is held open.
    bool requestWithin(DWORD timeoutMs)
    {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        timeval wait = {static_cast<long>(timeoutMs / 1000), 0};
        if (select(0, &ready, nullptr, nullptr, &wait) != 1) return false;
        const SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) return false;
        held.push_back(connection);
        char bytes[4];
        return recv(connection, bytes, sizeof bytes, 0) == 4 && std::string(bytes, 4) == "POST";
    }

private:
    SOCKET listener;
    std::vector<SOCKET> held;
};

class Copies : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (HANDLE process : running) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }

    HANDLE start(const std::string& folder)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::string commandLine = "\"" TURNBELL_EXE "\"";
        EXPECT_TRUE(CreateProcessA(TURNBELL_EXE, &commandLine[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, folder.c_str(), &startup, &process))
            << "cannot start " TURNBELL_EXE;
        CloseHandle(process.hThread);
        running.push_back(process.hProcess);
        return process.hProcess;
    }

    std::vector<HANDLE> running;
};

TEST_F(Copies, ASecondCopyOnTheSameSettingsEndsAtOnceAndOneOnOtherSettingsRuns)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\_Fenwold");
    const ScratchFolder registry("copies-registry"), otherRegistry("copies-registry-2");
    const ScratchFolder file("copies-file"), otherFile("copies-other-file");
    const std::string& fileFolder = file.path;
    std::ofstream(fileFolder + "\\Turnbell.ini", std::ios::binary) << SETTINGS_FILE;
    std::ofstream(otherFile.path + "\\Turnbell.ini", std::ios::binary) << SETTINGS_FILE;
    std::string fileFolderUpper = fileFolder;
    CharUpperA(&fileFolderUpper[0]);
    char fileFolderShort[MAX_PATH] = "";
    GetShortPathNameA(fileFolder.c_str(), fileFolderShort, sizeof fileFolderShort);
    ASSERT_STRNE(fileFolderShort, "") << "no short name for " << fileFolder;
    // A folder named Turnbell.ini selects file mode too, but cannot be opened as a file.
    const ScratchFolder folders("copies-folder");
    const std::string& folderFolder = folders.path;
    CreateDirectoryA((folderFolder + "\\Turnbell.ini").c_str(), nullptr);
    char linked[MAX_PATH] = "";
    ASSERT_NE(GetEnvironmentVariableA("TURNBELL_LINKED_FOLDER", linked, sizeof linked), 0u)
        << "run through tests/app/with-linked-folder.sh";
    const std::string linkedFileFolder = std::string(linked) + "\\store";
    std::ofstream(linkedFileFolder + "\\Turnbell.ini", std::ios::binary) << SETTINGS_FILE;
    const int before = mainWindows();

    // The first copies: one on the registry, two on settings files, one on a folder
    // named as the settings file.
    start(registry.path);
    start(fileFolder);
    start(linkedFileFolder);
    start(folderFolder);
    ASSERT_TRUE(waitForWindows(before + 4, 30000));

    const struct {
        const char* what;
        std::string folder;
        bool ends;
    } cases[] = {
        {"the registry, from another folder with no settings file", otherRegistry.path, true},
        {"the same settings file, its folder named in upper case", fileFolderUpper, true},
        {"the same settings file, its folder reached through a symbolic link",
         std::string(linked) + "\\link", true},
        {"the same settings file, reached by its folder's short name", fileFolderShort, true},
        {"the same folder named as the settings file", folderFolder, true},
        {"a settings file of its own", otherFile.path, false},
    };
    int expected = before + 4;
    for (const auto& c : cases) {
        const HANDLE copy = start(c.folder);
        if (c.ends) {
            ASSERT_EQ(WaitForSingleObject(copy, 20000), WAIT_OBJECT_0)
                << c.what << ": still running";
            DWORD exitCode = 1;
            GetExitCodeProcess(copy, &exitCode);
            EXPECT_EQ(exitCode, 0u) << c.what;
            EXPECT_EQ(mainWindows(), expected) << c.what;
        } else {
            ++expected;
            EXPECT_TRUE(waitForWindows(expected, 30000)) << c.what << ": no window";
            EXPECT_EQ(WaitForSingleObject(copy, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << c.what;
        }
    }
    // The copies that ended saved nothing: the settings are as the test wrote them.
    EXPECT_EQ(readFile(fileFolder + "\\Turnbell.ini"), SETTINGS_FILE);
    EXPECT_EQ(readFile(linkedFileFolder + "\\Turnbell.ini"), SETTINGS_FILE);
    EXPECT_FALSE(queryValue("UserName").present);
}

// Exit while a poll hangs: the first copy waits up to 10 s for its poller, but has
// already saved its settings and given up the one-copy name, so a copy started then on
// the same settings runs, and goes on running once the first has ended. That wait begins
// after the save, so the save may come late on a busy machine and the first still waits.
TEST_F(Copies, ACopyStartedRightAfterExitRunsWhileAPollHangs)
{
    SilentSite site;
    const ScratchFolder scratch("copies-exit");
    const std::string& folder = scratch.path;
    const std::string settings = folder + "\\Turnbell.ini";
    std::ofstream(settings, std::ios::binary) << "[Turnbell]\r\nUsername=Ann\r\n";
    const int before = mainWindows();
    const HANDLE first = start(folder);
    ASSERT_TRUE(site.requestWithin(30000)) << "the first copy never polled";
    ASSERT_TRUE(waitForWindows(before + 1, 10000));
    const HWND window = FindWindowA("WC_Turnbell_Main", nullptr);

    ASSERT_TRUE(PostMessageA(window, WM_COMMAND, ID_EXIT, 0));
    // Its save at Exit fills the file with all four settings, while its poll still hangs.
    EXPECT_TRUE(waitUntil(
        [&] { return readFile(settings).find("NotifySound=") != std::string::npos; }, 30000))
        << "nothing saved at Exit: " << readFile(settings);
    const HANDLE second = start(folder);
    ASSERT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the first copy did not wait for its poll";
    EXPECT_TRUE(site.requestWithin(30000)) << "the copy started after Exit never polled";
    EXPECT_EQ(WaitForSingleObject(first, 20000), WAIT_OBJECT_0) << "the first copy never ended";
    EXPECT_EQ(WaitForSingleObject(second, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the copy started after Exit has ended";
    EXPECT_EQ(mainWindows(), before + 1);
}

}  // namespace
