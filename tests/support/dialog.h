// The screen and its settings dialog as the tests drive them. MainWindow runs the dialog modally
// inside HM_SHOWSETTINGS, so a test's actions run from a thread timer that the dialog's own
// message loop dispatches.
#pragma once
#include "support/testing.h"
#include "settings/settingsfile.h"

// MainWindow as start-up makes it, with the given settings (the strip metrics and the colours
// computed from them); at the end the window goes and the settings are as they were.
class ScreenTest : public testing::Test {
protected:
    const Settings SavedSettings = AppSettings;
    static void OpenScreen(const Settings &settings);
    void TearDown() override;
};

enum class DialogEnd { Ok, Close, ByAction };

// Sends HM_SHOWSETTINGS to MainWindow (or runs open, which makes it open the dialog). Once the
// dialog is up, act(dialog) runs inside its loop;
// then the dialog is ended as `end` says: Ok presses the navigation bar's OK (WM_COMMAND IDOK),
// Close sends WM_CLOSE, ByAction leaves it to act. Answers whether the dialog appeared within
// five seconds (when it did not, nothing ran).
bool RunSettingsDialog(const std::function<void(HWND dialog)> &act, DialogEnd end, const std::function<void()> &open = nullptr);
// Presses a push button or clicks a check box of a page as a tap would (BM_CLICK).
void Click(HWND page, int id);
// Runs act and answers the message boxes it showed on this thread, each answered with OK as
// soon as it was activated.
struct ShownBox { std::wstring caption, text; HWND owner; };
std::vector<ShownBox> BoxesShownBy(const std::function<void()> &act);
