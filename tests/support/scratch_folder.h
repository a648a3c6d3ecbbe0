// A folder of the test's own under the temporary folder, named by the test's word for it
// and the process id, so that test programs running side by side never share one. Made at
// once, by its long name; it goes with the Turnbell.ini in it.
#pragma once

#include <windows.h>

#include <string>

struct ScratchFolder {
    explicit ScratchFolder(const std::string& name)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        path = std::string(temp) + "turnbell-" + name + "-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path.c_str(), nullptr);
        if (GetLongPathNameA(path.c_str(), temp, sizeof temp)) path = temp;
    }
    ~ScratchFolder()
    {
        DeleteFileA((path + "\\Turnbell.ini").c_str());
        RemoveDirectoryA(path.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
};
