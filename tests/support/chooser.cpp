#include "support/chooser.h"
#include <windows.h>
#include <dlgs.h>

static std::wstring Title, Path;
static std::vector<std::wstring> Entries;   // the chooser's list (control 102) when answered
static DWORD Armed;   // tick count when armed, then when answered; either gives up five seconds later
static UINT_PTR Timer;
static bool Answered;

// Runs inside the chooser's modal loop, or any other one of this thread. After the answer it
// watches on: a chooser still open five seconds later is cancelled, so that a chooser that
// refuses to close fails the test instead of hanging it.
static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD)
{
    HWND chooser = FindWindowW(L"#32770", Title.c_str());
    if (chooser && (GetWindowThreadProcessId(chooser, nullptr) != GetCurrentThreadId() || !IsWindowVisible(chooser))) chooser = nullptr;
    if (chooser && !Answered) {
        Entries.assign(SendDlgItemMessageW(chooser, 102, LB_GETCOUNT, 0, 0), std::wstring(MAX_PATH, L'\0'));
        for (size_t i = 0; i < Entries.size(); i++)
            Entries[i].resize(SendDlgItemMessageW(chooser, 102, LB_GETTEXT, i, (LPARAM)&Entries[i][0]));
        // The file-name box: edt1, or the combo box cmb13 of Explorer-style choosers.
        if (!Path.empty()) SetDlgItemTextW(chooser, GetDlgItem(chooser, edt1) ? edt1 : cmb13, Path.c_str());
        PostMessageW(chooser, WM_COMMAND, Path.empty() ? IDCANCEL : IDOK, 0);
        Answered = true, Armed = GetTickCount();
        return;
    }
    if ((chooser || !Answered) && GetTickCount() - Armed < 5000) return;
    if (chooser) {
        PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    } else if (HWND other = Answered ? nullptr : GetActiveWindow()) {   // a modal dialog that is not the chooser
        WCHAR cls[8] = L"";
        if (GetClassNameW(other, cls, 8) && !wcscmp(cls, L"#32770")) PostMessageW(other, WM_COMMAND, IDCANCEL, 0);
    }
    KillTimer(nullptr, Timer);
    Timer = 0;
}

void AnswerFileChooserSoon(const std::wstring &title, const std::wstring &path)
{
    KillTimer(nullptr, Timer);
    Title = title, Path = path, Answered = false, Armed = GetTickCount();
    Timer = SetTimer(nullptr, 0, 50, Look);
}

bool FileChooserAnswered() { return Answered; }
std::vector<std::wstring> FileChooserEntries() { return Entries; }
