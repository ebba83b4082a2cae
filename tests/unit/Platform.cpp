// The desktop stand-ins for the device's shell and core calls (platform/), each checked
// against what the device does.
#include "support/testing.h"
#include <atomic>
#include <map>
#include <vector>

namespace {

const WCHAR TEST_KEY[] = L"Software\\NimbraTest\\Platform";
const WCHAR TEST_CLASS[] = L"NimbraPlatformTest";
// Set in the environment of a copy of this program that runs one Platform_Child test.
const WCHAR CHILD_VARIABLE[] = L"NIMBRA_PLATFORM_CHILD";
const WCHAR CHILD_READY_EVENT[] = L"NimbraPlatformChildReady";

// What a test window saw.
struct WindowLog {
    std::vector<WPARAM> settingChanges;     // wParam of each WM_SETTINGCHANGE
    std::vector<std::wstring> settingTexts; // its lParam text ("" for none)
    int positionChanges = 0, buttonUps = 0;
    std::vector<UINT> userMessages;         // WM_USER .. WM_USER+99
    bool gestureDone = false;               // a WM_LBUTTONDOWN ran SHRecognizeGesture
    DWORD gestureAnswer = 0, gestureMs = 0;
};
std::map<HWND, WindowLog> Logs;

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowLog &log = Logs[hwnd];
    switch (msg) {
    case WM_SETTINGCHANGE:
        log.settingChanges.push_back(wParam);
        log.settingTexts.push_back(lParam ? (const WCHAR *)lParam : L"");
        SHHandleWMSettingChange(hwnd, wParam, lParam, nullptr);   // as the program's windows do
        return 0;
    case WM_WINDOWPOSCHANGED:
        log.positionChanges++;
        break;
    case WM_LBUTTONDOWN: {
        SHRGINFO info = { sizeof info, hwnd, { (short)LOWORD(lParam), (short)HIWORD(lParam) }, SHRG_RETURNCMD };
        DWORD start = GetTickCount();
        log.gestureAnswer = SHRecognizeGesture(&info);
        log.gestureMs = GetTickCount() - start;
        log.gestureDone = true;
        return 0;
    }
    case WM_LBUTTONUP:
        log.buttonUps++;
        return 0;
    }
    if (msg >= WM_USER && msg < WM_USER + 100) log.userMessages.push_back(msg);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterTestClass(const WCHAR *name = TEST_CLASS)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

// A top-level window as the program makes its main window: WS_VISIBLE alone, default place.
HWND MakeDeviceWindow(DWORD exStyle = 0)
{
    RegisterTestClass();
    return CreateWindowExW(exStyle, TEST_CLASS, L"Test", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

struct WindowGuard {
    HWND hwnd;
    explicit WindowGuard(HWND h) : hwnd(h) {}
    ~WindowGuard() { if (IsWindow(hwnd)) DestroyWindow(hwnd); Logs.erase(hwnd); PumpMessages(); }
};

RECT WindowRect(HWND hwnd)
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return r;
}

void ExpectRect(HWND hwnd, int left, int top, int right, int bottom)
{
    RECT r = WindowRect(hwnd);
    EXPECT_TRUE(r.left == left && r.top == top && r.right == right && r.bottom == bottom)
        << "window at (" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << "), expected ("
        << left << "," << top << ")-(" << right << "," << bottom << ")";
}

// The device's placement of a WS_VISIBLE-alone window: captionless and borderless, from the
// navigation bar (barHeight pixels) down to the screen's bottom, extended style kept.
void CheckDeviceWindowPlacement(int screenWidth, int screenHeight, int barHeight)
{
    WindowGuard window(MakeDeviceWindow(WS_EX_CAPTIONOKBTN));
    ASSERT_TRUE(window.hwnd);
    LONG style = GetWindowLongW(window.hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_TRUE((DWORD)GetWindowLongW(window.hwnd, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
    ExpectRect(window.hwnd, 0, barHeight, screenWidth, screenHeight);
    RECT client;
    GetClientRect(window.hwnd, &client);
    EXPECT_TRUE(client.right == screenWidth && client.bottom == screenHeight - barHeight);
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

bool ChangeScreenSize(int width, int height)
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
}

// True when a is above b in the z-order of top-level windows.
bool IsAbove(HWND a, HWND b)
{
    for (HWND w = GetWindow(a, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == b) return true;
    return false;
}

bool InChild() { return GetEnvironmentVariableW(CHILD_VARIABLE, nullptr, 0) > 0; }

// Runs one Platform_Child test in a copy of this program started in directory; its exit code.
DWORD RunChild(const WCHAR *test, const WCHAR *directory, HANDLE ready = nullptr, const std::function<void()> &whenReady = {})
{
    WCHAR exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=Platform_Child." + test;
    SetEnvironmentVariableW(CHILD_VARIABLE, L"1");
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &si, &pi);
    SetEnvironmentVariableW(CHILD_VARIABLE, nullptr);
    if (!started) return (DWORD)-2;
    HANDLE waits[2] = { ready, pi.hProcess };
    if (ready && WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0 && whenReady) whenReady();
    DWORD code = (DWORD)-3;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

// A top-level window on a thread of its own that does not pump messages until released,
// then pumps until its window heard a refresh notice (or 5 s).
std::atomic<int> BusyNotices;
struct BusyThread {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr), created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID param)
    {
        BusyThread &self = *(BusyThread *)param;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (msg == WM_SETTINGCHANGE && wParam == 0xF2) BusyNotices++;
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NimbraPlatformBusy";
        RegisterClassW(&wc);
        HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Busy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    wc.hInstance, nullptr);
        SetEvent(self.created);
        WaitForSingleObject(self.release, INFINITE);
        PumpUntil([] { return BusyNotices > 0; }, 5000);
        DestroyWindow(hwnd);
        return 0;
    }
    ~BusyThread()
    {
        if (thread) { SetEvent(release); WaitForSingleObject(thread, 10000); CloseHandle(thread); }
        CloseHandle(release);
        CloseHandle(created);
    }
};

} // namespace

TEST(Platform, RegistryStringsAreBoundedByTheirBuffer)
{
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\NimbraTest");
    const WCHAR *key = L"\\Software\\NimbraTest\\Platform";   // the device's form, leading backslash
    EXPECT_HRESULT_SUCCEEDED(RegistrySetString(HKEY_CURRENT_USER, key, L"Text", L"Phone"));
    WCHAR text[6];
    EXPECT_HRESULT_SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, key, L"Text", text, 6));   // exactly fits
    EXPECT_STREQ(text, L"Phone");
    CopyText(text, L"xxxxx");
    EXPECT_HRESULT_FAILED(RegistryGetString(HKEY_CURRENT_USER, key, L"Text", text, 5));       // one short
    EXPECT_STREQ(text, L"");

    // A string stored without its terminator reads whole; a type mismatch fails and empties the buffer.
    HKEY hkey;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEST_KEY, 0, KEY_ALL_ACCESS, &hkey), ERROR_SUCCESS);
    RegSetValueExW(hkey, L"Bare", 0, REG_SZ, (const BYTE *)L"abc", 3 * sizeof(WCHAR));
    RegCloseKey(hkey);
    EXPECT_HRESULT_SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, key, L"Bare", text, 4));
    EXPECT_STREQ(text, L"abc");
    EXPECT_HRESULT_SUCCEEDED(RegistrySetDWORD(HKEY_CURRENT_USER, key, L"Number", 7));
    DWORD number = 0;
    EXPECT_HRESULT_FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, key, L"Text", &number));
    EXPECT_HRESULT_FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, key, L"Missing", &number));
    CopyText(text, L"xxxxx");
    EXPECT_HRESULT_FAILED(RegistryGetString(HKEY_CURRENT_USER, key, L"Number", text, 6));
    EXPECT_STREQ(text, L"");
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\NimbraTest");
}

TEST(Platform, RegistryKeysOpenWithLeadingBackslashAndAccessZero)
{
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\NimbraTest");
    HKEY hkey = nullptr;
    DWORD disposition = 0, value = 42;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software\\NimbraTest\\Platform", 0, nullptr, 0, 0, nullptr,
                              &hkey, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegSetValueExW(hkey, L"Order", 0, REG_DWORD, (const BYTE *)&value, sizeof value), ERROR_SUCCESS);
    RegCloseKey(hkey);

    // Mask 0 allows reads (the desktop's mask 0 would refuse them) and writes.
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\NimbraTest\\Platform", 0, 0, &hkey), ERROR_SUCCESS);
    DWORD read = 0, size = sizeof read;
    EXPECT_EQ(RegQueryValueExW(hkey, L"Order", nullptr, nullptr, (BYTE *)&read, &size), ERROR_SUCCESS);
    EXPECT_EQ(read, 42u);
    value = 43;
    EXPECT_EQ(RegSetValueExW(hkey, L"Order", 0, REG_DWORD, (const BYTE *)&value, sizeof value), ERROR_SUCCESS);
    RegCloseKey(hkey);
    EXPECT_HRESULT_SUCCEEDED(RegistryGetDWORD(HKEY_CURRENT_USER, TEST_KEY, L"Order", &read));
    EXPECT_EQ(read, 43u);
    // A key of the machine opens for reading with mask 0 too; a missing key still fails.
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"\\Software\\Microsoft", 0, 0, &hkey), ERROR_SUCCESS);
    DWORD subkeys = 0;
    EXPECT_EQ(RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_GT(subkeys, 0u);
    RegCloseKey(hkey);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\NimbraTest\\Missing", 0, 0, &hkey), ERROR_FILE_NOT_FOUND);
    DeleteRegTree(HKEY_CURRENT_USER, L"Software\\NimbraTest");
}

TEST(Platform, RootedPathsNameTheProgramsDriveWhereverItStarts)
{
    WCHAR exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ASSERT_EQ(exe[1], L':') << "the test program runs from a drive letter path";
    ASSERT_NE(towupper(exe[0]), L'Z') << "the test program must not be installed on Z:";
    ASSERT_NE(GetFileAttributesW(L"Z:\\tmp"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RunChild(L"RootedPathsResolveOnProgramDrive", L"Z:\\tmp"), 0u);
}

TEST(Platform_Child, RootedPathsResolveOnProgramDrive)
{
    if (!InChild()) GTEST_SKIP() << "runs in a copy started by Platform.RootedPathsNameTheProgramsDriveWhereverItStarts";
    WCHAR exe[MAX_PATH], full[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_NE(GetFileAttributesW(exe + 2), INVALID_FILE_ATTRIBUTES) << Narrow(exe + 2);
    ASSERT_TRUE(GetFullPathNameW(L"\\Windows\\x.png", MAX_PATH, full, nullptr));
    EXPECT_EQ(towupper(full[0]), towupper(exe[0])) << Narrow(full);
    EXPECT_STREQ(full + 1, L":\\Windows\\x.png");
}

TEST(Platform, DeviceWindowIsCaptionlessBelowTheNavigationBar)
{
    CheckDeviceWindowPlacement(240, 320, 26);
    // Windows that ask for a place, and child windows, are left as they are.
    WindowGuard placed(CreateWindowExW(0, TEST_CLASS, L"Placed", WS_VISIBLE, 10, 40, 100, 50, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
    ExpectRect(placed.hwnd, 10, 40, 110, 90);
    HWND child = CreateWindowExW(0, TEST_CLASS, L"Child", WS_CHILD | WS_VISIBLE | WS_BORDER, 5, 6, 30, 20,
                                 placed.hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    ExpectRect(child, 15, 46, 45, 66);
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_BORDER);
}

TEST(Platform_Hires, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(480, 640, 52); }
TEST(Platform_Landscape, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(320, 240, 26); }
TEST(Platform_Dpi131, DeviceWindowIsCaptionlessBelowTheNavigationBar) { CheckDeviceWindowPlacement(240, 320, 35); }

TEST(Platform, RotationResizesFullScreenWindowsTheShellsWay)
{
    WindowGuard full(MakeDeviceWindow()), plain(MakeDeviceWindow());
    ASSERT_TRUE(full.hwnd && plain.hwnd);
    ASSERT_TRUE(SHFullScreen(full.hwnd, SHFS_HIDESIPBUTTON));
    PumpMessages();
    Logs[full.hwnd] = Logs[plain.hwnd] = WindowLog();

    struct Restore { ~Restore() { ChangeScreenSize(240, 320); PumpMessages(); } } restore;
    ASSERT_TRUE(ChangeScreenSize(320, 240));
    // The shell's notice comes later, as from another process, not inside the rotation call.
    EXPECT_TRUE(Logs[full.hwnd].settingChanges.empty());
    EXPECT_TRUE(PumpUntil([&] { return WindowRect(full.hwnd).right == 320; }, 3000));
    ExpectRect(full.hwnd, 0, 26, 320, 240);
    EXPECT_EQ(Logs[full.hwnd].settingChanges, std::vector<WPARAM>{ SETTINGCHANGE_RESET });
    EXPECT_GE(Logs[full.hwnd].positionChanges, 1);
    // A window that is not full screen hears of it but keeps its place.
    EXPECT_TRUE(PumpUntil([&] { return !Logs[plain.hwnd].settingChanges.empty(); }, 3000));
    EXPECT_EQ(Logs[plain.hwnd].settingChanges, std::vector<WPARAM>{ SETTINGCHANGE_RESET });
    ExpectRect(plain.hwnd, 0, 26, 240, 320);

    ASSERT_TRUE(ChangeScreenSize(240, 320));
    EXPECT_TRUE(PumpUntil([&] { return WindowRect(full.hwnd).right == 240; }, 3000));
    ExpectRect(full.hwnd, 0, 26, 240, 320);
    EXPECT_EQ(Logs[full.hwnd].settingChanges.size(), 2u);
}

TEST(Platform, FullScreenRequestsAreRememberedPerWindow)
{
    WindowGuard a(MakeDeviceWindow()), b(MakeDeviceWindow());
    EXPECT_TRUE(SHFullScreen(a.hwnd, SHFS_HIDESIPBUTTON));
    EXPECT_TRUE(SHFullScreen(a.hwnd, SHFS_HIDETASKBAR));
    EXPECT_TRUE(SHFullScreen(a.hwnd, SHFS_SHOWSIPBUTTON));   // a later request about a part replaces it
    EXPECT_EQ(SHFullScreenState(a.hwnd), (DWORD)(SHFS_SHOWSIPBUTTON | SHFS_HIDETASKBAR));
    EXPECT_EQ(SHFullScreenState(b.hwnd), 0u);
    // A window that hid the navigation bar fills the screen from the top after a settings reset.
    SendMessageW(a.hwnd, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
    ExpectRect(a.hwnd, 0, 0, 240, 320);
}

TEST(Platform, ForegroundFormsForWindowsAndTheDesktop)
{
    WindowGuard main(MakeDeviceWindow());
    WindowGuard owned(CreateWindowExW(0, TEST_CLASS, L"Owned", WS_POPUP, 20, 60, 80, 40, main.hwnd, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
    ShowWindow(owned.hwnd, SW_SHOWNOACTIVATE);
    WindowGuard other(MakeDeviceWindow());
    auto bringToFront = [](HWND hwnd) {
        SetForegroundWindow(hwnd);
        return PumpUntil([&] { return GetForegroundWindow() == hwnd; }, 2000);
    };
    ASSERT_TRUE(bringToFront(other.hwnd));
    ASSERT_TRUE(IsAbove(other.hwnd, owned.hwnd));

    // The desktop window, plain or with bit 0: no program of ours stays in front.
    for (ULONG_PTR bit : { (ULONG_PTR)0, (ULONG_PTR)1 }) {
        SCOPED_TRACE(bit ? "desktop with bit 0" : "desktop");
        ASSERT_TRUE(bringToFront(other.hwnd));
        EXPECT_TRUE(SetForegroundWindow((HWND)((ULONG_PTR)GetDesktopWindow() | bit)));
        EXPECT_TRUE(PumpUntil([&] {
            HWND front = GetForegroundWindow();
            return front != other.hwnd && front != main.hwnd && front != owned.hwnd;
        }, 2000));
    }
    // Bit 0 on a window: it comes to the front with the window it owns.
    EXPECT_TRUE(SetForegroundWindow((HWND)((ULONG_PTR)main.hwnd | 1)));
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main.hwnd; }, 2000));
    EXPECT_TRUE(IsAbove(main.hwnd, other.hwnd));
    EXPECT_TRUE(IsAbove(owned.hwnd, other.hwnd));

    // With the system Today screen stand-in running, the desktop form brings it to the front.
    RegisterTestClass(L"DesktopExplorerWindow");
    WindowGuard today(CreateWindowExW(0, L"DesktopExplorerWindow", L"Desktop", WS_POPUP | WS_VISIBLE, 0, 26, 240,
                                      294, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(bringToFront(main.hwnd));
    EXPECT_TRUE(SetForegroundWindow(GetDesktopWindow()));
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == today.hwnd; }, 2000));
    DestroyWindow(today.hwnd);
    UnregisterClassW(L"DesktopExplorerWindow", GetModuleHandleW(nullptr));
}

TEST(Platform, TodayRefreshBroadcastArrivesLaterAndSkipsNoOne)
{
    WindowGuard mine(MakeDeviceWindow());
    BusyThread busy;   // a window on a thread that stops pumping until released
    BusyNotices = 0;
    busy.thread = CreateThread(nullptr, 0, BusyThread::Run, &busy, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(busy.created, 5000), WAIT_OBJECT_0);

    DWORD start = GetTickCount();
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0xF2, 0));
    EXPECT_LT(GetTickCount() - start, 500u) << "the poster never waits";
    EXPECT_TRUE(Logs[mine.hwnd].settingChanges.empty()) << "the device posts: nothing arrives during the call";
    EXPECT_TRUE(PumpUntil([&] { return !Logs[mine.hwnd].settingChanges.empty(); }, 2000))
        << "a busy window elsewhere does not hold up ours";
    EXPECT_EQ(Logs[mine.hwnd].settingChanges, std::vector<WPARAM>{ 0xF2 });
    EXPECT_EQ(Logs[mine.hwnd].settingTexts, std::vector<std::wstring>{ L"" });
    EXPECT_EQ(BusyNotices, 0);
    SetEvent(busy.release);
    EXPECT_EQ(WaitForSingleObject(busy.thread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(BusyNotices, 1) << "the busy window gets it once it pumps again";

    // The section text travels along; other messages pass through unchanged.
    PostTodayRefresh(0xF2, (LPARAM)L"Today");
    EXPECT_TRUE(PumpUntil([&] { return Logs[mine.hwnd].settingChanges.size() == 2; }, 2000));
    EXPECT_EQ(Logs[mine.hwnd].settingTexts.back(), L"Today");
    EXPECT_TRUE(PostMessageW(mine.hwnd, WM_USER + 5, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return !Logs[mine.hwnd].userMessages.empty(); }, 2000));
    EXPECT_EQ(Logs[mine.hwnd].userMessages, std::vector<UINT>{ WM_USER + 5 });
}

TEST(Platform, TodayRefreshReachesOtherProcesses)
{
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, CHILD_READY_EVENT);
    ASSERT_TRUE(ready);
    DWORD code = RunChild(L"WaitsForTodayRefresh", nullptr, ready, [] { PostMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0xF2, 0); });
    CloseHandle(ready);
    EXPECT_EQ(code, 0u);
}

TEST(Platform_Child, WaitsForTodayRefresh)
{
    if (!InChild()) GTEST_SKIP() << "runs in a copy started by Platform.TodayRefreshReachesOtherProcesses";
    WindowGuard window(MakeDeviceWindow());
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, CHILD_READY_EVENT);
    ASSERT_TRUE(ready);
    SetEvent(ready);
    CloseHandle(ready);
    EXPECT_TRUE(PumpUntil([&] { return !Logs[window.hwnd].settingChanges.empty(); }, 10000));
    EXPECT_EQ(Logs[window.hwnd].settingChanges, std::vector<WPARAM>{ 0xF2 });
}

TEST(Platform, MessageTextIsCopiedWithoutTrustingThePointer)
{
    WCHAR text[6];
    EXPECT_TRUE(ReadMessageText((LPARAM)L"Phone", text, 6));
    EXPECT_STREQ(text, L"Phone");
    // Too long, null, never mapped, the kernel half: refused, and the buffer left empty.
    for (LPARAM bad : { (LPARAM)L"Phones", (LPARAM)0, (LPARAM)0x10, (LPARAM)0xFFFF800000000000ull }) {
        CopyText(text, L"xxxxx");
        EXPECT_FALSE(ReadMessageText(bad, text, 6)) << std::hex << bad;
        EXPECT_STREQ(text, L"");
    }
}

TEST(Platform, TapAndHoldIsRecognisedFromTheMouse)
{
    WindowGuard window(MakeDeviceWindow());
    SetForegroundWindow(window.hwnd);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window.hwnd; }, 2000));
    const int x = 120, y = 170;
    WindowLog &log = Logs[window.hwnd];
    // A press at (x, y), then a move, or the release before the gesture has answered.
    struct Case { const char *name; int moveX, moveY; bool release; DWORD answer, minMs, maxMs; };
    for (Case c : { Case{ "held still", 0, 0, false, GN_CONTEXTMENU, 450, 1000 },
                    Case{ "held with a tremble inside the drag tolerance", 1, 1, false, GN_CONTEXTMENU, 450, 1000 },
                    Case{ "moved away", 40, 0, false, 0, 0, 400 }, Case{ "released", 0, 0, true, 0, 0, 400 } }) {
        SCOPED_TRACE(c.name);
        log = WindowLog();
        ASSERT_TRUE(MovePointerTo(x, y));
        SendMouse(0, x, y);
        SendMouse(MOUSEEVENTF_LEFTDOWN, x, y);
        if (c.moveX || c.moveY) SendMouse(0, x + c.moveX, y + c.moveY);
        if (c.release) SendMouse(MOUSEEVENTF_LEFTUP, x, y);
        ASSERT_TRUE(PumpUntil([&] { return log.gestureDone; }, 3000));
        if (!c.release) SendMouse(MOUSEEVENTF_LEFTUP, x, y);
        PumpUntil([&] { return log.buttonUps > 0; }, 2000);
        EXPECT_EQ(log.buttonUps, 1) << "the release reaches the window";
        EXPECT_EQ(log.gestureAnswer, c.answer);
        EXPECT_TRUE(log.gestureMs >= c.minMs && log.gestureMs <= c.maxMs) << log.gestureMs << " ms";
    }
    EXPECT_EQ(GetCapture(), nullptr);

    // Without a press there is nothing to follow.
    SHRGINFO info = { sizeof info, window.hwnd, { x, y - 26 }, SHRG_RETURNCMD };
    DWORD start = GetTickCount();
    EXPECT_EQ(SHRecognizeGesture(&info), 0u);
    EXPECT_LT(GetTickCount() - start, 100u);
}

TEST(Platform, ShortcutFileHasTheDevicesFormat)
{
    std::wstring path = ExeFolder() + L"platform-test.lnk";
    DeleteFileW(path.c_str());
    WCHAR target[] = L"\"\\Program Files\\Nimbra\\Nimbra.exe\" background";
    ASSERT_TRUE(SHCreateShortcut(&path[0], target));
    std::string expected = "45#\"\\Program Files\\Nimbra\\Nimbra.exe\" background";
    EXPECT_EQ(ReadFileBytes(path), std::vector<unsigned char>(expected.begin(), expected.end()));
    // An existing shortcut is not replaced.
    WCHAR other[] = L"\\Windows\\x.exe";
    EXPECT_FALSE(SHCreateShortcut(&path[0], other));
    EXPECT_EQ(ReadFileBytes(path).size(), expected.size());
    DeleteFileW(path.c_str());
    // A target the code page cannot hold is refused rather than written changed.
    WCHAR foreign[] = L"\\Windows\\\x4E2D.exe";
    if (GetACP() != CP_UTF8) {
        EXPECT_FALSE(SHCreateShortcut(&path[0], foreign));
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    DeleteFileW(path.c_str());
}

TEST(Platform, ExportsAreFoundByWideNameAndByOrdinal)
{
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_TRUE(comctl);
    FARPROC byName = GetProcAddress(comctl, "InitCommonControls");
    ASSERT_TRUE(byName);
    EXPECT_EQ(GetProcAddressW(comctl, L"InitCommonControls"), byName);
    EXPECT_EQ(GetProcAddressW(comctl, MAKEINTRESOURCEW(17)), byName);   // its ordinal
    EXPECT_EQ(GetProcAddressW(comctl, L"NoSuchExport"), nullptr);
    FreeLibrary(comctl);
}
