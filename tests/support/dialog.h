// The settings dialog as the tests drive it. MainWindow runs the dialog modally inside
// HM_SHOWSETTINGS, so a test's actions run from a thread timer that the dialog's own message
// loop dispatches; message boxes the dialog shows are answered the same way.
#pragma once
#include "support/testing.h"

enum class DialogEnd { Ok, Close, ByAction };

// Sends HM_SHOWSETTINGS to MainWindow. Once the dialog is up, act(dialog) runs inside its loop;
// then the dialog is ended as `end` says: Ok presses the navigation bar's OK (WM_COMMAND IDOK),
// Close sends WM_CLOSE, ByAction leaves it to act. Answers whether the dialog appeared within
// five seconds (when it did not, nothing ran).
bool RunSettingsDialog(const std::function<void(HWND dialog)> &act, DialogEnd end);
// The settings dialog of this thread that is open now, or null.
HWND OpenSettingsDialog();
// Presses a push button or clicks a check box of a page as a tap would (BM_CLICK).
void Click(HWND page, int id);
// Answers the next message box of this thread with OK once it shows; its caption and text go to
// caption and text. Pump or run the modal call that shows it after arming. Answers false when no
// box showed within timeoutMs (the wait pumps messages).
void AnswerNextMessageBox(std::wstring *caption, std::wstring *text);
bool MessageBoxAnswered(DWORD timeoutMs);
