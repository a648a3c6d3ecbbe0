// Sees which URLs the shell hands to the browser, without mocking the shell: Wine's
// winebrowser runs the first command of HKCU\Software\Wine\WineBrowser "Browsers" with
// the URL appended as its last argument. This points it at a one-line shell script
// that appends that argument to a log file under /tmp, read back through drive Z:.
// Tests that use it share the Wine prefix's registry, so they take the CTest resource
// lock "winebrowser".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class BrowserLog {
public:
    BrowserLog();   // sets the browser command; the log starts empty
    ~BrowserLog();  // removes the command and the log file
    BrowserLog(const BrowserLog&) = delete;
    BrowserLog& operator=(const BrowserLog&) = delete;

    // The URLs logged so far, one per browser start, in the order they arrived.
    std::vector<std::string> urls() const;
    // Polls until at least count URLs are logged or timeoutMs passes; returns them.
    std::vector<std::string> waitForUrls(std::size_t count, DWORD timeoutMs = 20000) const;

private:
    std::string unixPath_;
    std::string windowsPath_;
};
