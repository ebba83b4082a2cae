// Long use of the real screen with the four sample items: unloads and reloads, settings dialogs
// and icon changes by the hundred, and eight hours of its timers compressed into seconds,
// leave no window, GDI object, icon copy, item DLL or memory behind.
#include "support/dialog.h"
#include "support/images.h"
#include "support/nimbra_process.h"
#include "items/itemhost.h"
#include "items/items.h"
#include "items/notifyicon.h"
#include "plugins/probe/probe.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "softkeys/softkeys.h"
#include "tray/tray.h"
#include <psapi.h>
#include <wincodec.h>

namespace {

const std::wstring Names[] = {L"NimbraClock", L"NimbraOwner", L"NimbraNotes", L"NimbraProbe"}, KeysAside = L"Software\\NimbraTests\\Keys";

BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++*(int *)count, EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

// What the process holds once the strip shows the table (as its timer makes it): its windows,
// its GDI objects (counted in its GDI handle table), the host's own icon copies, and its resident
// memory in KB (Wine answers Linux's figure for the own process).
struct Census {
    int windows = 0, gdi = 0, icons = 0;
    long kb = 0;
    Census()
    {
        UpdateIconStrip(), EnumWindows(CountWindow, (LPARAM)&windows);
        gdi = GdiObjects(MainWindow);
        PROCESS_MEMORY_COUNTERS memory = {};
        icons = (int)std::count_if(IconTable, IconTable + IconCount, [](const IconEntry &e) { return e.OwnIcon; });
        kb = K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory) ? (long)(memory.WorkingSetSize >> 10) : 0;
    }
    // The same counts, and memory grown by less than limitKB.
    void ExpectSame(const Census &later, long limitKB, const std::string &when) const
    {
        EXPECT_EQ((std::array<int, 3>{later.windows, later.gdi, later.icons}), (std::array<int, 3>{windows, gdi, icons})) << when << ": windows, GDI objects, icon copies";
        EXPECT_LT(later.kb - kb, limitKB) << when << ": KB more resident memory";
    }
};

// A request as another program sends it: an icon operation with side x side pixels of one shade, or a name.
LRESULT Send(UINT kind, DWORD operation, HWND owner = nullptr, UINT id = 0, int side = 0, BYTE shade = 0)
{
    const std::wstring name = operation % 2 ? Names[operation % 4] : L"";   // with its terminator; none for every item
    if (kind == HM_UNLOADITEMS) return SendCopy(MainWindow, kind, std::vector<BYTE>((BYTE *)name.c_str(), (BYTE *)(name.c_str() + name.size() + !name.empty()))).first;
    return SendCopy(MainWindow, kind, IconRequest(operation, owner, id, NIMBRA_NIF_ICON, WM_APP, side, shade * 0x01010101u)).first;
}

// Between two messages the program's own loop frees the DLLs that unloads let go of.
void Settle() { PumpMessages(), FreeRetiredLibraries(); }

// Another program unloads every item, or one by name (odd cycles), and the items are reloaded;
// the selection moves through them.
void UnloadReload(int cycle)
{
    Send(HM_UNLOADITEMS, cycle), Settle(), PostMessageW(MainWindow, HM_RELOADITEMS, 0, 0), Settle();
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_UP}) SendMessageW(MainWindow, WM_KEYDOWN, key, 0);
    if (cycle % 100 == 0) DeleteFileW(PROBE_LOG_PATH);
}

// Ticks the custom background, big icons and the command bar, applies a soft key (its note
// is answered), turns the screen every tenth time, and ends with OK or by closing.
void SettingsCycle(int cycle)
{
    EXPECT_EQ(BoxesShownBy([cycle] {
        EXPECT_TRUE(RunSettingsDialog([cycle](HWND) {
            Click(PluginsPage, IDC_USE_BACKGROUND), Click(SettingsPage, IDC_BIG_TRAY), Click(SettingsPage, IDC_NO_COMMAND_BAR);
            SetDlgItemTextW(SoftKeysPage, IDC_KEY_LABEL, (L"Key" + std::to_wstring(cycle)).c_str());
            SetDlgItemTextW(SoftKeysPage, IDC_KEY_PATH, L"\\Windows\\cprog.exe"), Click(SoftKeysPage, IDC_APPLY_KEY);
            if (cycle % 10 == 9) Rotate(cycle % 20 == 9 ? 320 : 240, cycle % 20 == 9 ? 240 : 320);
        }, cycle % 2 ? DialogEnd::Close : DialogEnd::Ok));
    }).size(), 1u);
    Settle();
}

class Cycles : public ScreenTest {
protected:
    const std::wstring folder = ExeFolder() + L"cycles\\";
    DWORD Enabled[4] = {};
    HWND Owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);   // another program's
    static std::wstring Key(int i) { return TODAY_ITEMS_KEY L"\\" + Names[i]; }
    void SetUp() override
    {
        Settings settings = {L"Cycles", L"4::NimbraClock::NimbraOwner::NimbraNotes::NimbraProbe::", L"", 0, 0, 0};
        CreateDirectoryW(folder.c_str(), nullptr), CopyText(SettingsPath, (folder + SETTINGS_FILE_NAME).c_str()), CopyText(settings.Background, (folder + L"picture.png").c_str());
        for (int i = 0; i < 4; i++) RegistryGetDWORD(HKEY_LOCAL_MACHINE, Key(i).c_str(), L"Enabled", &Enabled[i]);
        MoveRegTree(HKEY_CURRENT_USER, TODAY_SOFT_KEYS, KeysAside);
        ASSERT_TRUE(WriteEncodedImage(settings.Background, GUID_ContainerFormatPng, 60, 40, std::vector<unsigned char>(60 * 40 * 3, 0x80), 180));
        OpenScreen(settings), PluginListChanged = true, ReloadItems();
        ASSERT_EQ(ItemCount, 4u);
    }
    void TearDown() override
    {
        DestroyWindow(Owner), ScreenTest::TearDown();
        MoveRegTree(HKEY_CURRENT_USER, KeysAside, TODAY_SOFT_KEYS), DeleteFileW(PROBE_LOG_PATH);
        for (int i = 0; i < 4; i++) RegistrySetDWORD(HKEY_LOCAL_MACHINE, Key(i).c_str(), L"Enabled", Enabled[i]);
    }
};

TEST_F(Cycles, UnloadsSettingsAndIconsByTheHundredLeaveNothingBehind)
{
    // The census sees one GDI object more.
    HBRUSH brush = CreateSolidBrush(0);
    const int gdi = Census().gdi;
    ASSERT_EQ((DeleteObject(brush), Census().gdi), gdi - 1);
    // Another program adds an icon with pixels, changes them and deletes it.
    auto icons = [this](int cycle) {
        const UINT id = 1 + cycle % 3;
        EXPECT_EQ(Send(HM_NOTIFYICON_MESSAGE, NIMBRA_NIM_ADD, Owner, id, 16, (BYTE)cycle), 1) << cycle;
        UpdateIconStrip(), UpdateWindow(IconStrip);
        EXPECT_EQ(Send(HM_NOTIFYICON_MESSAGE, NIMBRA_NIM_MODIFY, Owner, id, 8 + cycle % 9, (BYTE)~cycle) + Send(HM_NOTIFYICON_MESSAGE, NIMBRA_NIM_DELETE, Owner, id), 2) << cycle;
    };
    // The dialogs first, so that the caches they fill are full when the unloaded screen is
    // counted; a count that keeps the dialog's changes even (the screen as it was) and ends
    // upright.
    const std::pair<int, std::function<void(int)>> phases[] = {{1000, SettingsCycle}, {1000, UnloadReload}, {1000, icons}};
    std::optional<Census> unloaded;   // after the reloads
    for (int phase = 0; phase < 3; phase++) {
        std::optional<Census> start;
        for (int i = 0; i < phases[phase].first; phases[phase].second(i++)) if (i == 100) start.emplace();   // the first hundred fill the caches
        start->ExpectSame(Census(), 2048, "phase " + std::to_string(phase));
        if (phase == 1) Send(HM_UNLOADITEMS, 0), Settle(), unloaded.emplace(), ReloadAllItems();
    }
    // After a final unload no item DLL is mapped, and the counts are those of the first unload.
    MEMORY_BASIC_INFORMATION image[4] = {}, now[4] = {};
    for (int i = 0; i < 4; i++) VirtualQuery(Items[i].hinstDLL, &image[i], sizeof image[i]);
    Send(HM_UNLOADITEMS, 0), Settle();
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(VirtualQuery(image[i].AllocationBase, &now[i], sizeof now[i]) && image[i].Type == MEM_IMAGE && now[i].Type != MEM_IMAGE) << Narrow(Names[i]) << " still mapped";
    unloaded->ExpectSame(Census(), 2048, "after the final unload");
}

// Eight hours of the screen's timers in their order: the poll every 2 s (the clock and the
// notes redraw through it), the sample icon program's animation every 3 s, a repaint and a
// rotation every minute. Then the poll's own timer, for real.
TEST_F(Cycles, EightHoursOfTimersStayFlatAndThePollKeepsTwoSeconds)
{
    Send(HM_UNLOADITEMS, 3), Settle(), Send(HM_NOTIFYICON_MESSAGE, NIMBRA_NIM_ADD, Owner, 1, 16, 0);   // without the probe
    std::optional<Census> hour;
    for (int s = 0; s <= 8 * 3600; s++) {
        if (s == 3601) hour.emplace();   // upright, as at the end
        if (s % 2 == 0) SendMessageW(ItemHost, WM_TIMER, REFRESH_TIMER, 0);
        if (s % 3 == 0) Send(HM_NOTIFYICON_MESSAGE, NIMBRA_NIM_MODIFY, Owner, 1, 16, (BYTE)s), SendMessageW(MainWindow, WM_TIMER, ICONSTRIP_TIMER, 0);
        if (s % 60 == 0) Rotate(s % 120 ? 320 : 240, s % 120 ? 240 : 320), RedrawWindow(MainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        if (s % 2 == 0 || s % 3 == 0) Settle();
    }
    hour->ExpectSame(Census(), hour->kb / 100, "hours 1 to 8");
    std::vector<DWORD> polls;
    for (DWORD end = GetTickCount() + 7000; polls.size() < 3 && GetTickCount() < end; MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, 0))
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); DispatchMessageW(&msg))
            if (msg.message == WM_TIMER && msg.hwnd == ItemHost && msg.wParam == REFRESH_TIMER) polls.push_back(msg.time);
    ASSERT_GE(polls.size(), 3u);
    for (size_t i = 1; i < polls.size(); i++) EXPECT_NEAR(polls[i] - polls[i - 1], 2000, 200) << i;
}

}  // namespace
