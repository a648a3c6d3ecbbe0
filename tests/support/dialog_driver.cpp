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

struct CaptionSearch {
    const std::string& caption;
    std::vector<HWND> found;
};

BOOL CALLBACK findDialogWithCaption(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<CaptionSearch*>(search);
    if (isDialog(window) && windowText(window) == s->caption) s->found.push_back(window);
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

std::vector<HWND> dialogsWithCaption(const std::string& caption)
{
    CaptionSearch search = {caption, {}};
    EnumThreadWindows(GetCurrentThreadId(), findDialogWithCaption,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void cancelEveryDialog() { EnumThreadWindows(GetCurrentThreadId(), cancelDialog, 0); }

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
    HWND dialog = activeDialog();
    const bool stepsLeft = next_ < steps_.size();
    if (stepsLeft && dialog && steps_[next_].ready(dialog)) {
        steps_[next_].act(dialog);
        ++next_;
    } else if ((stepsLeft || dialog) && GetTickCount() - start_ > timeoutMs_) {
        // Steps left undone, or a dialog still open after the last step: either way
        // the dialog's loop would never return.
        if (!timedOut_) {
            ADD_FAILURE() << (stepsLeft
                                  ? "dialog steps timed out at step " + std::to_string(next_ + 1) +
                                        " of " + std::to_string(steps_.size())
                                  : std::string("a dialog is still open after the last step"))
                          << ", dialog now \"" << windowText(dialog) << "\"";
        }
        timedOut_ = true;
        next_ = steps_.size();
        cancelEveryDialog();
    }
    busy_ = false;
}

std::function<bool(HWND)> dialogWithCaption(const std::string& caption)
{
    return [caption](HWND dialog) { return windowText(dialog) == caption; };
}

std::function<bool(HWND)> dialogWithCaptionOnceHandled(const std::string& caption, HWND window)
{
    return [caption, window](HWND dialog) {
        MSG pending;
        return windowText(dialog) == caption && !PeekMessageA(&pending, window, 0, 0, PM_NOREMOVE);
    };
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
