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
// place); destroyed at the end of its scope.
struct TestWindow {
    HWND hwnd;
    explicit TestWindow(DWORD exStyle = 0)
    {
        WNDCLASSW wc = {0, TestWindowProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, TEST_CLASS};
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(exStyle, TEST_CLASS, L"Test", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               nullptr, nullptr, wc.hInstance, nullptr);
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

