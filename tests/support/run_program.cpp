#include "tests/support/run_program.h"

#include <gtest/gtest.h>

ProgramRun runProgram(const char* exe, const std::string& arguments, const std::string& folder)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + std::string(exe) + "\" " + arguments;
    const BOOL started = CreateProcessA(exe, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    ProgramRun run = {~0u, ""};
    if (!started) {
        ADD_FAILURE() << "cannot start " << exe;
        CloseHandle(readEnd);
        return run;
    }
    char chunk[4096];
    DWORD n;
    while (ReadFile(readEnd, chunk, sizeof chunk, &n, nullptr) && n > 0)
        run.output.append(chunk, n);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return run;
}
