#include "tests/support/dialog_driver.h"

#include <gtest/gtest.h>

namespace {

DialogDriver* runningDriver = nullptr;
constexpr UINT TICK_MS = 20;

bool isDialog(HWND window)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return std::string(className) == "#32770";
}

BOOL CALLBACK findInputDialog(HWND window, LPARAM found)
{
    if (isDialog(window) && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK cancelDialog(HWND window, LPARAM)
{
    if (isDialog(window)) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

HWND activeDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findInputDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

DialogDriver::DialogDriver(std::vector<DialogStep> steps, DWORD timeoutMs)
    : steps_(std::move(steps)), start_(GetTickCount()), timeoutMs_(timeoutMs)
{
    runningDriver = this;
    timer_ = SetTimer(nullptr, 0, TICK_MS, onTimer);
}

DialogDriver::~DialogDriver()
{
    KillTimer(nullptr, timer_);
    runningDriver = nullptr;
}

void CALLBACK DialogDriver::onTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (runningDriver) runningDriver->tick();
}

void DialogDriver::tick()
{
    if (busy_) return;
    busy_ = true;
    if (next_ < steps_.size()) {
        HWND dialog = activeDialog();
        if (dialog && steps_[next_].ready(dialog)) {
            steps_[next_].act(dialog);
            ++next_;
        } else if (!timedOut_ && GetTickCount() - start_ > timeoutMs_) {
            timedOut_ = true;
            ADD_FAILURE() << "dialog steps timed out at step " << next_ + 1 << " of "
                          << steps_.size() << ", dialog now \"" << windowText(dialog) << "\"";
            next_ = steps_.size();
            EnumThreadWindows(GetCurrentThreadId(), cancelDialog, 0);
        }
    }
    busy_ = false;
}

std::function<bool(HWND)> dialogWithCaption(const std::string& caption)
{
    return [caption](HWND dialog) { return windowText(dialog) == caption; };
}

std::function<bool(HWND)> dialogOtherThan(const std::string& caption)
{
    // A dialog shows before its initialisation has put the focus into one of its
    // controls; a step that types into the focus waits for that.
    return [caption](HWND dialog) {
        HWND focus = GetFocus();
        return windowText(dialog) != caption && focus && IsChild(dialog, focus);
    };
}

void clickButton(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void pressKey(HWND control, WPARAM virtualKey)
{
    PostMessageA(control, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(control, WM_KEYUP, virtualKey, 0xC0000001);
}

std::vector<std::function<void(HWND)>> closingWithoutOk(int focusId)
{
    return {
        [](HWND dialog) { clickButton(dialog, IDCANCEL); },
        [focusId](HWND dialog) { pressKey(GetDlgItem(dialog, focusId), VK_ESCAPE); },
        [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
}

std::string windowText(HWND window)
{
    if (!window) return std::string();
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string controlText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

INT_PTR runDialog(const std::function<INT_PTR()>& open, std::vector<DialogStep> steps)
{
    DialogDriver driver(std::move(steps));
    const INT_PTR result = open();
    EXPECT_TRUE(driver.allStepsDone());
    return result;
}
