// Drives modal dialogs from inside their own message loops. A thread timer, which
// every modal loop of this thread dispatches, looks for the dialog that currently
// takes input (the visible, enabled "#32770" window of this thread: a nested modal
// dialog disables its owner) and runs the next step once that dialog satisfies the
// step's condition. Steps post their button clicks and keys rather than send them, so
// a nested modal loop never runs inside the timer callback.
//
// If the steps are not all done within the time limit, or a dialog is still open after
// it, the test fails and every dialog of the thread is cancelled, so a broken dialog
// cannot hang the test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct DialogStep {
    std::function<bool(HWND)> ready;  // may this step act on that dialog now?
    std::function<void(HWND)> act;
};

class DialogDriver {
public:
    explicit DialogDriver(std::vector<DialogStep> steps, DWORD timeoutMs = 15000);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    bool allStepsDone() const { return next_ == steps_.size(); }

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD);
    void tick();

    std::vector<DialogStep> steps_;
    std::size_t next_ = 0;
    DWORD start_;
    DWORD timeoutMs_;
    UINT_PTR timer_;
    bool busy_ = false;
    bool timedOut_ = false;
};

// Runs open, which opens a modal dialog and returns when it has closed, with the steps
// driving the dialog meanwhile; returns what open returns. The test fails when a step
// was left undone.
INT_PTR runDialog(const std::function<INT_PTR()>& open, std::vector<DialogStep> steps);

// The dialog of this thread that takes input now, or null.
HWND activeDialog();
// The dialogs of this thread with that caption: on screen or not (one not shown yet, or
// ended and waiting for a dialog opened from its loop to close), taking input or not.
std::vector<HWND> dialogsWithCaption(const std::string& caption);
// Cancels every dialog of this thread: a step that finds the dialogs in a state it
// cannot go on from ends them all, so that the test fails instead of hanging.
void cancelEveryDialog();

// Step conditions.
std::function<bool(HWND)> dialogWithCaption(const std::string& caption);
// That dialog, once the messages posted to window have all been handled (requests
// that a step posted to the program's window, say).
std::function<bool(HWND)> dialogWithCaptionOnceHandled(const std::string& caption, HWND window);
// Another dialog (a common dialog opened from ours), once the focus is in one of its controls.
std::function<bool(HWND)> dialogOtherThan(const std::string& caption);

// Actions: clicking a button by id, and a key pressed in a control (posted, so the
// dialog manager of the modal loop sees it as the user's key).
void clickButton(HWND dialog, int id);
void pressKey(HWND control, WPARAM virtualKey);
// The three ways a user closes a dialog without OK, as actions: its IDCANCEL button,
// Escape pressed in the control focusId, and the caption's close button.
std::vector<std::function<void(HWND)>> closingWithoutOk(int focusId);

std::string windowText(HWND window);
std::string controlText(HWND dialog, int id);
