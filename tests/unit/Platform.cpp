// The desktop stand-ins for the device's shell and core calls (platform/), each checked
// against what the device does.
#include "support/testing.h"
#include <array>
#include <atomic>
#include <map>
#include <thread>

namespace {

const WCHAR TEST_CLASS[] = L"NimbraPlatformTest";
using Notices = std::vector<std::pair<WPARAM, std::wstring>>;   // WM_SETTINGCHANGE: wParam, text

// What a test window saw: settings changes, button releases, and the gesture its last press ran.
struct WindowLog {
    Notices settingChanges;
    int buttonUps = 0;
    bool gestureDone = false;
    DWORD gestureAnswer = 0, gestureMs = 0;
};
std::map<HWND, WindowLog> Logs;
std::atomic<int> BusyNotices;   // refresh notices of the window on the thread that stops pumping

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowLog &log = Logs[hwnd];
    if (msg == WM_SETTINGCHANGE) {
        log.settingChanges.push_back({wParam, lParam ? (const WCHAR *)lParam : L""});
        SHHandleWMSettingChange(hwnd, wParam, lParam, nullptr);   // as the program's windows do
    } else if (msg == WM_LBUTTONDOWN) {
        SHRGINFO info = {sizeof info, hwnd, {(short)LOWORD(lParam), (short)HIWORD(lParam)}, SHRG_RETURNCMD};
        DWORD start = GetTickCount();
        log.gestureAnswer = SHRecognizeGesture(&info);
        log.gestureMs = GetTickCount() - start;
        log.gestureDone = true;
    }
    log.buttonUps += msg == WM_LBUTTONUP;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A top-level window made as the program makes its main window (WS_VISIBLE alone, default
// place), or of another class, style, place and owner; destroyed at the end of its scope.
struct TestWindow {
    HWND hwnd;
    explicit TestWindow(DWORD exStyle = 0, const WCHAR *cls = TEST_CLASS, DWORD style = WS_VISIBLE,
                        RECT r = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT}, HWND owner = nullptr)
    {
        WNDCLASSW wc = {0, TestWindowProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, cls};
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(exStyle, cls, L"Test", style, r.left, r.top, r.right, r.bottom, owner, nullptr, wc.hInstance, nullptr);
    }
    ~TestWindow() { DestroyWindow(hwnd), Logs.erase(hwnd), PumpMessages(); }
};

std::array<LONG, 4> Place(HWND hwnd)
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return {r.left, r.top, r.right, r.bottom};
}

// The device's placement of a WS_VISIBLE-alone window: captionless and borderless, from the
// navigation bar (bar pixels high) down to the screen's bottom, extended style kept.
void CheckDeviceWindowPlacement(LONG width, LONG height, LONG bar)
{
    TestWindow window(WS_EX_CAPTIONOKBTN);
    ASSERT_TRUE(window.hwnd);
    EXPECT_EQ(GetWindowLongW(window.hwnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_TRUE((DWORD)GetWindowLongW(window.hwnd, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
    EXPECT_EQ(Place(window.hwnd), (std::array<LONG, 4>{0, bar, width, height}));
}

// Mouse input as the stylus gives it, at a screen point.
void SendMouse(DWORD flags, int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

bool InFront(HWND hwnd) { return PumpUntil([&] { return GetForegroundWindow() == hwnd; }, 2000); }
bool BringToFront(HWND hwnd) { return SetForegroundWindow(hwnd) && InFront(hwnd); }

// True when a is above b in the z-order of top-level windows.
bool IsAbove(HWND a, HWND b)
{
    for (HWND w = GetWindow(a, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == b) return true;
    return false;
}

} // namespace

TEST(Platform, RegistryTakesTheDevicesKeyPathsAccessMaskAndBoundedStrings)
{
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\NimbraTest");
    const WCHAR *key = L"\\Software\\NimbraTest\\Platform";   // the device's form, leading backslash
    EXPECT_HRESULT_SUCCEEDED(RegistrySetString(HKEY_CURRENT_USER, key, L"Text", L"Phone"));   // makes the key
    EXPECT_HRESULT_SUCCEEDED(RegistrySetDWORD(HKEY_CURRENT_USER, key, L"Number", 7));
    // A string that fits reads whole; one that does not, or the wrong type, fails and leaves the buffer empty.
    struct Case { const WCHAR *value; UINT cap; bool ok; const WCHAR *text; };
    for (Case c : {Case{L"Text", 6, true, L"Phone"}, {L"Text", 5, false, L""}, {L"Number", 6, false, L""}}) {
        WCHAR text[6] = L"xxxxx";
        EXPECT_EQ(SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, key, c.value, text, c.cap)), c.ok) << c.cap;
        EXPECT_STREQ(text, c.text);
    }
    DWORD number = 0, size = sizeof number;
    EXPECT_HRESULT_FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, key, L"Text", &number));
    EXPECT_HRESULT_FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, key, L"Missing", &number));
    // Access mask 0, which the device's callers pass, reads and writes.
    HKEY hkey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, 0, nullptr, &hkey, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(hkey, L"Number", 0, REG_DWORD, (const BYTE *)&size, sizeof size), ERROR_SUCCESS);
    RegCloseKey(hkey);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, 0, &hkey), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(hkey, L"Number", nullptr, nullptr, (BYTE *)&number, &size), ERROR_SUCCESS);
    EXPECT_EQ(number, 4u);
    RegCloseKey(hkey);
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\NimbraTest");
}

TEST(Platform, RootedPathsNameTheProgramsDriveWhereverItStarts)
{
    ASSERT_NE(GetFileAttributesW(L"Z:\\tmp"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RunTestChild(L"Platform_Child.RootedPathsResolveOnProgramDrive", L"", L"Z:\\tmp"), 0u);
}

TEST(Platform_Child, RootedPathsResolveOnProgramDrive)
{
    if (!InTestChild()) GTEST_SKIP() << "runs in a copy started by Platform.RootedPathsNameTheProgramsDriveWhereverItStarts";
    WCHAR exe[MAX_PATH], full[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ASSERT_NE(towupper(exe[0]), L'Z') << "the test program must not be installed on Z:";
    ASSERT_TRUE(GetFullPathNameW(L"\\Windows\\x.png", MAX_PATH, full, nullptr));
    EXPECT_EQ(std::wstring(full), exe[0] + std::wstring(L":\\Windows\\x.png"));
}

TEST(Platform, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(240, 320, 26); }
TEST(Platform_Hires, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(480, 640, 52); }
TEST(Platform_Landscape, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(320, 240, 26); }
TEST(Platform_Dpi131, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(240, 320, 35); }

TEST(Platform, ForegroundFormsForWindowsAndTheDesktop)
{
    TestWindow main, other;
    TestWindow owned(0, TEST_CLASS, WS_POPUP, {20, 60, 80, 40}, main.hwnd);
    ShowWindow(owned.hwnd, SW_SHOWNOACTIVATE);
    // The desktop window, plain or with bit 0: no program of ours stays in front.
    for (ULONG_PTR bit : {0, 1}) {
        ASSERT_TRUE(BringToFront(other.hwnd));
        EXPECT_TRUE(SetForegroundWindow((HWND)((ULONG_PTR)GetDesktopWindow() | bit)));
        EXPECT_TRUE(PumpUntil([&] {
            HWND front = GetForegroundWindow();
            return front != other.hwnd && front != main.hwnd && front != owned.hwnd;
        }, 2000)) << "bit " << bit;
    }
    // Bit 0 on a window: it comes to the front with the window it owns.
    ASSERT_TRUE(BringToFront(other.hwnd) && IsAbove(other.hwnd, owned.hwnd));
    EXPECT_TRUE(SetForegroundWindow((HWND)((ULONG_PTR)main.hwnd | 1)));
    EXPECT_TRUE(InFront(main.hwnd));
    EXPECT_TRUE(IsAbove(owned.hwnd, other.hwnd));
    // With the system Today screen stand-in running, the desktop form brings it to the front.
    {
        TestWindow today(0, L"DesktopExplorerWindow", WS_POPUP | WS_VISIBLE, {0, 26, 240, 294});
        EXPECT_TRUE(SetForegroundWindow(GetDesktopWindow()));
        EXPECT_TRUE(InFront(today.hwnd));
    }
    UnregisterClassW(L"DesktopExplorerWindow", GetModuleHandleW(nullptr));
}

TEST(Platform, TodayRefreshBroadcastArrivesLaterAndSkipsNoOne)
{
    TestWindow mine;
    // A window on a thread of its own that stops pumping messages until released.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> made{false};
    BusyNotices = 0;
    std::thread busy([&] {
        WNDCLASSW wc = {0, [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            BusyNotices += m == WM_SETTINGCHANGE && w == TODAY_REFRESH_CODE;
                            return DefWindowProcW(h, m, w, l);
                        }, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"NimbraPlatformBusy"};
        RegisterClassW(&wc);
        HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Busy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        made = true;
        WaitForSingleObject(release, INFINITE);
        PumpUntil([] { return BusyNotices > 0; }, 5000);
        DestroyWindow(hwnd);
    });
    EXPECT_TRUE(PumpUntil([&] { return made.load(); }, 5000));
    DWORD start = GetTickCount();
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, TODAY_REFRESH_CODE, 0));
    EXPECT_LT(GetTickCount() - start, 500u) << "the poster never waits";
    EXPECT_TRUE(Logs[mine.hwnd].settingChanges.empty()) << "the device posts: nothing arrives during the call";
    EXPECT_TRUE(PumpUntil([&] { return !Logs[mine.hwnd].settingChanges.empty(); }, 2000)) << "the busy window holds ours up";
    EXPECT_EQ(BusyNotices, 0);
    SetEvent(release);
    busy.join();
    CloseHandle(release);
    EXPECT_EQ(BusyNotices, 1) << "the busy window gets it once it pumps again";
    // The section text travels along.
    PostTodayRefresh(TODAY_REFRESH_CODE, (LPARAM)L"Today");
    EXPECT_TRUE(PumpUntil([&] { return Logs[mine.hwnd].settingChanges.size() == 2; }, 2000));
    EXPECT_EQ(Logs[mine.hwnd].settingChanges, (Notices{{TODAY_REFRESH_CODE, L""}, {TODAY_REFRESH_CODE, L"Today"}}));
}

TEST(Platform, MessageTextIsCopiedWithoutTrustingThePointer)
{
    WCHAR text[6];
    EXPECT_TRUE(ReadMessageText((LPARAM)L"Phone", text, 6));
    EXPECT_STREQ(text, L"Phone");
    // Too long, null, never mapped, the kernel half: refused, and the buffer left empty.
    for (LPARAM bad : {(LPARAM)L"Phones", (LPARAM)0, (LPARAM)0x10, (LPARAM)0xFFFF800000000000ull}) {
        CopyText(text, L"xxxxx");
        EXPECT_FALSE(ReadMessageText(bad, text, 6)) << std::hex << bad;
        EXPECT_STREQ(text, L"");
    }
}

TEST(Platform, TapAndHoldIsRecognisedFromTheMouse)
{
    TestWindow window;
    ASSERT_TRUE(BringToFront(window.hwnd));
    const int x = 120, y = 170;
    WindowLog &log = Logs[window.hwnd];
    // A press at (x, y), then a move, or the release before the gesture has answered.
    struct Case { const char *name; int moveX, moveY; bool release; DWORD answer, minMs, maxMs; };
    for (Case c : {Case{"held still", 0, 0, false, GN_CONTEXTMENU, 450, 1000},
                   Case{"held with a tremble inside the drag tolerance", 1, 1, false, GN_CONTEXTMENU, 450, 1000},
                   Case{"moved away", 40, 0, false, 0, 0, 400}, Case{"released", 0, 0, true, 0, 0, 400}}) {
        SCOPED_TRACE(c.name);
        log = WindowLog();
        ASSERT_TRUE(MovePointerTo(x, y));
        SendMouse(0, x, y);
        SendMouse(MOUSEEVENTF_LEFTDOWN, x, y);
        if (c.moveX) SendMouse(0, x + c.moveX, y + c.moveY);
        if (c.release) SendMouse(MOUSEEVENTF_LEFTUP, x, y);
        ASSERT_TRUE(PumpUntil([&] { return log.gestureDone; }, 3000));
        if (!c.release) SendMouse(MOUSEEVENTF_LEFTUP, x, y);
        PumpUntil([&] { return log.buttonUps > 0; }, 2000);
        EXPECT_EQ(log.buttonUps, 1) << "the release reaches the window";
        EXPECT_EQ(log.gestureAnswer, c.answer);
        EXPECT_TRUE(log.gestureMs >= c.minMs && log.gestureMs <= c.maxMs) << log.gestureMs << " ms";
    }
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Platform, ShortcutFileHasTheDevicesFormat)
{
    std::wstring path = ExeFolder() + L"platform-test.lnk";
    DeleteFileW(path.c_str());
    WCHAR target[] = L"\"\\Program Files\\Nimbra\\Nimbra.exe\" background", other[] = L"\\Windows\\x.exe",
          foreign[] = L"\\Windows\\\x4E2D.exe";
    ASSERT_TRUE(SHCreateShortcut(&path[0], target));
    const std::string expected = "45#\"\\Program Files\\Nimbra\\Nimbra.exe\" background";
    EXPECT_EQ(ReadFileBytes(path), std::vector<unsigned char>(expected.begin(), expected.end()));
    EXPECT_FALSE(SHCreateShortcut(&path[0], other)) << "an existing shortcut is not replaced";
    EXPECT_EQ(ReadFileBytes(path).size(), expected.size());
    DeleteFileW(path.c_str());
    // A target the code page cannot hold is refused rather than written changed.
    EXPECT_TRUE(GetACP() == CP_UTF8 ||
                (!SHCreateShortcut(&path[0], foreign) && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES));
    DeleteFileW(path.c_str());
}
