// The desktop stand-ins for the device's shell and core calls (platform/), each checked
// against what the device does.
#include "support/testing.h"
#include <atomic>
#include <map>
#include <thread>

namespace {

const WCHAR TEST_CLASS[] = L"NimbraPlatformTest";
using Notices = std::vector<std::pair<WPARAM, std::wstring>>;   // WM_SETTINGCHANGE: wParam, text

std::map<HWND, Notices> Logs;   // what each test window heard
std::atomic<int> BusyNotices;   // refresh notices of the window on the thread that stops pumping

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SETTINGCHANGE) Logs[hwnd].push_back({wParam, lParam ? (const WCHAR *)lParam : L""});
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

// The device's placement of a WS_VISIBLE-alone window: captionless and borderless, from the
// navigation bar (bar pixels high) down to the screen's bottom, extended style kept.
void CheckDeviceWindowPlacement(LONG width, LONG height, LONG bar)
{
    TestWindow window(WS_EX_CAPTIONOKBTN);
    ASSERT_TRUE(window.hwnd);
    EXPECT_EQ(GetWindowLongW(window.hwnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_TRUE((DWORD)GetWindowLongW(window.hwnd, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
    EXPECT_EQ(WindowPlace(window.hwnd), (std::array<LONG, 4>{0, bar, width, height}));
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
    EXPECT_TRUE(Logs[mine.hwnd].empty()) << "the device posts: nothing arrives during the call";
    EXPECT_TRUE(PumpUntil([&] { return !Logs[mine.hwnd].empty(); }, 2000)) << "the busy window holds ours up";
    EXPECT_EQ(BusyNotices, 0);
    SetEvent(release);
    busy.join();
    CloseHandle(release);
    EXPECT_EQ(BusyNotices, 1) << "the busy window gets it once it pumps again";
    // The section text travels along.
    PostTodayRefresh(TODAY_REFRESH_CODE, (LPARAM)L"Today");
    EXPECT_TRUE(PumpUntil([&] { return Logs[mine.hwnd].size() == 2; }, 2000));
    EXPECT_EQ(Logs[mine.hwnd], (Notices{{TODAY_REFRESH_CODE, L""}, {TODAY_REFRESH_CODE, L"Today"}}));
}

