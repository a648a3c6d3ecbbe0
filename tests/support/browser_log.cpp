#include "tests/support/browser_log.h"

#include <fstream>

#include "tests/support/wait_until.h"

namespace {

const char BROWSER_KEY[] = "Software\\Wine\\WineBrowser";

}  // namespace

BrowserLog::BrowserLog()
{
    // A name no other run has: two suites side by side share /tmp, and in two prefixes
    // the same process id and tick count can meet. GetTempFileNameA creates the file.
    char path[MAX_PATH] = "";
    GetTempFileNameA("Z:\\tmp", "tbb", 0, path);
    windowsPath_ = path;
    unixPath_ = "/tmp/" + windowsPath_.substr(windowsPath_.rfind('\\') + 1);
    // winebrowser splits the value like a command line; the URL arrives as $0.
    const std::string command = "/bin/sh -c \"printf '%s\\n' \\\"$0\\\" >> " + unixPath_ + "\"";
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, BROWSER_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
        RegCloseKey(key);
    }
}

BrowserLog::~BrowserLog()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, BROWSER_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Browsers");
        RegCloseKey(key);
    }
    DeleteFileA(windowsPath_.c_str());
}

std::vector<std::string> BrowserLog::urls() const
{
    std::vector<std::string> lines;
    std::ifstream file(windowsPath_);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> BrowserLog::waitForUrls(std::size_t count, DWORD timeoutMs) const
{
    // This thread's windows keep answering while the browser process starts.
    std::vector<std::string> lines;
    waitUntil([&] { return (lines = urls()).size() >= count; }, timeoutMs);
    return lines;
}
