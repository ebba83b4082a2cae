#include "support/dialog.h"
#include "app/app.h"
#include "app/mainwindow.h"
#include "items/itemhost.h"
#include "look/background.h"
#include "look/scale.h"
#include "look/theme.h"
#include "res/resource.h"

void ScreenTest::OpenScreen(const Settings &settings)
{
    AppSettings = settings;
    ComputeTrayMetrics();
    LoadedImagePath[0] = 0;
    LoadThemeColors();
    ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
    PumpMessages();
}

void ScreenTest::TearDown()
{
    if (IsWindow(MainWindow)) DestroyWindow(MainWindow);
    MainWindow = ItemHost = nullptr;
    FreeBackgroundBitmap();
    PumpMessages();   // the window's quit message would end the next dialog at once
    AppSettings = SavedSettings;
    ComputeTrayMetrics();
}

namespace {

const std::function<void(HWND)> *Action;
DialogEnd End;
DWORD Deadline;
bool Appeared;
std::vector<ShownBox> *Boxes;

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    // The dialog is MainWindow's popup, the one with the tabs.
    HWND dialog = GetLastActivePopup(MainWindow);
    if (!IsWindowVisible(dialog) || !GetDlgItem(dialog, IDC_TABS)) dialog = nullptr;
    if (!dialog && GetTickCount() < Deadline) return;
    KillTimer(nullptr, timer);
    if (!dialog) return;
    Appeared = true;
    (*Action)(dialog);
    if (End == DialogEnd::Ok) SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    else if (End == DialogEnd::Close) SendMessageW(dialog, WM_CLOSE, 0, 0);
}

// A message box is a dialog with a static text of id 0xFFFF and no tabs.
LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam)
{
    HWND box = (HWND)wParam;
    WCHAR cls[8] = L"", caption[512] = L"", text[512] = L"";
    if (code == HCBT_ACTIVATE && GetClassNameW(box, cls, 8) && !wcscmp(cls, L"#32770") && !GetDlgItem(box, IDC_TABS) &&
        GetDlgItemTextW(box, 0xFFFF, text, 512)) {
        GetWindowTextW(box, caption, 512);
        Boxes->push_back({caption, text, GetWindow(box, GW_OWNER)});
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool RunSettingsDialog(const std::function<void(HWND dialog)> &act, DialogEnd end, const std::function<void()> &open)
{
    Action = &act;
    End = end;
    Appeared = false;
    Deadline = GetTickCount() + 5000;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, DriveDialog);
    open ? open() : (void)SendMessageW(MainWindow, HM_SHOWSETTINGS, 0, 0);
    KillTimer(nullptr, timer);   // when the dialog did not appear
    return Appeared;
}

void Click(HWND page, int id)
{
    SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
}

std::vector<ShownBox> BoxesShownBy(const std::function<void()> &act)
{
    std::vector<ShownBox> boxes;
    Boxes = &boxes;
    HHOOK hook = SetWindowsHookExW(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
    act();
    UnhookWindowsHookEx(hook);
    return boxes;
}

