#include "support/dialog.h"
#include "res/resource.h"

namespace {

const std::function<void(HWND)> *Action;
DialogEnd End;
DWORD Deadline;
bool Appeared;

bool IsSettingsDialog(HWND window)
{
    WCHAR cls[16] = L"";
    GetClassNameW(window, cls, 16);
    return wcscmp(cls, L"#32770") == 0 && IsWindowVisible(window) && GetDlgItem(window, IDC_TABS);
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    if (!IsSettingsDialog(window)) return TRUE;
    *(HWND *)found = window;
    return FALSE;
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = OpenSettingsDialog();
    if (!dialog) {
        if (GetTickCount() > Deadline) KillTimer(nullptr, timer);
        return;
    }
    KillTimer(nullptr, timer);
    Appeared = true;
    (*Action)(dialog);
    if (End == DialogEnd::Ok) SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    else if (End == DialogEnd::Close) SendMessageW(dialog, WM_CLOSE, 0, 0);
}

std::wstring *BoxCaption, *BoxText;
bool BoxAnswered;
UINT_PTR BoxTimer;

BOOL CALLBACK FindBox(HWND window, LPARAM found)
{
    WCHAR cls[16] = L"";
    GetClassNameW(window, cls, 16);
    // A message box is a dialog with a static text (id 0xFFFF) and no tab control.
    if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(window) || GetDlgItem(window, IDC_TABS) || !GetDlgItem(window, 0xFFFF))
        return TRUE;
    *(HWND *)found = window;
    return FALSE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, (LPARAM)&box);
    if (!box) return;
    KillTimer(nullptr, BoxTimer);
    WCHAR text[512] = L"";
    GetWindowTextW(box, text, 512);
    if (BoxCaption) *BoxCaption = text;
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    if (BoxText) *BoxText = text;
    BoxAnswered = true;
    SendMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

HWND OpenSettingsDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&found);
    return found;
}

bool RunSettingsDialog(const std::function<void(HWND dialog)> &act, DialogEnd end)
{
    Action = &act;
    End = end;
    Appeared = false;
    Deadline = GetTickCount() + 5000;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, DriveDialog);
    SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0);
    KillTimer(nullptr, timer);
    Action = nullptr;
    return Appeared;
}

void Click(HWND page, int id)
{
    SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
}

void AnswerNextMessageBox(std::wstring *caption, std::wstring *text)
{
    BoxCaption = caption, BoxText = text;
    BoxAnswered = false;
    if (BoxTimer) KillTimer(nullptr, BoxTimer);
    BoxTimer = SetTimer(nullptr, 0, 20, AnswerBox);
}

bool MessageBoxAnswered(DWORD timeoutMs)
{
    bool answered = PumpUntil([] { return BoxAnswered; }, timeoutMs);
    KillTimer(nullptr, BoxTimer);
    BoxTimer = 0;
    return answered;
}
