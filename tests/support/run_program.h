// Starts a program of the build as a user would, and collects what it prints.
#pragma once

#include <windows.h>

#include <string>

struct ProgramRun {
    DWORD exitCode;      // ~0 when the program could not be started or did not end in time
    std::string output;  // standard output and standard error, as written
};

// Runs exe with the arguments, in the folder, and waits at most a minute for it to end.
ProgramRun runProgram(const char* exe, const std::string& arguments, const std::string& folder);
