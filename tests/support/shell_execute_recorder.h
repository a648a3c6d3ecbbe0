// Sees every ShellExecuteA call of the program and passes it on to the shell. A test
// program that compiles shell_execute_recorder.cpp into itself (not through a library)
// defines the import slot of ShellExecuteA; the linker takes that definition before the
// one in shell32's import library, so every call from the program's code lands here first.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct ShellExecuteCall {
    HWND window;
    std::optional<std::string> verb;  // each text as passed; none for a null pointer
    std::optional<std::string> file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    int show;
};

// The calls so far, oldest first. While passing is off, the shell is not asked and the
// call is answered as a started one.
extern std::vector<ShellExecuteCall> shellExecuteCalls;
extern bool shellExecutePassing;
