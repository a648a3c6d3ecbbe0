#include "tests/support/shell_execute_recorder.h"
#include "tests/support/import_slot.h"

std::vector<ShellExecuteCall> shellExecuteCalls;
bool shellExecutePassing = true;

namespace {

using ShellExecute = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

std::optional<std::string> textOf(const char* text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}

HINSTANCE WINAPI recordShellExecute(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                    LPCSTR directory, INT show)
{
    static const auto shell = systemFunction<ShellExecute>("shell32.dll", "ShellExecuteA");
    shellExecuteCalls.push_back(
        {window, textOf(verb), textOf(file), textOf(parameters), textOf(directory), show});
    if (!shellExecutePassing) return reinterpret_cast<HINSTANCE>(42);
    return shell(window, verb, file, parameters, directory, show);
}

}  // namespace

extern "C" ShellExecute shellExecuteImportSlot IMPORT_SLOT(ShellExecuteA, 24);
ShellExecute shellExecuteImportSlot = recordShellExecute;
