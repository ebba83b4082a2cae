// Hosted items as other programs see them: the items are switched off on the system Today
// screen, and another process unloads and reloads them through WM_COPYDATA and HM_RELOADITEMS.
#include "support/nimbra_process.h"
#include "items/todayitem.h"
#include "plugins/probe/probe.h"
#include <algorithm>
#include <string>

namespace {

const wchar_t *const LogPath = L"C:\\nimbra-tests\\e2e-probe.log";
const UINT HmUnloadItems = WM_USER + 310;
const UINT HmReloadItems = WM_USER + 311;

std::wstring ItemKey(const std::wstring &name)
{
    return L"Software\\Microsoft\\Today\\Items\\" + name;
}

void RegisterProbe(const std::wstring &name, DWORD height)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ItemKey(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    auto setDword = [&](const wchar_t *value, DWORD data) { RegSetValueExW(key, value, 0, REG_DWORD, (const BYTE *)&data, 4); };
    auto setText = [&](const wchar_t *value, const std::wstring &data) {
        RegSetValueExW(key, value, 0, REG_SZ, (const BYTE *)data.c_str(), (DWORD)((data.size() + 1) * 2));
    };
    setText(L"DLL", PROBE_DLL_PATH);
    setDword(L"Type", 4);
    setDword(L"Enabled", 1);   // shown on the system Today screen until Nimbra hosts it
    setDword(PROBE_HEIGHT, height);
    setText(PROBE_LOG_FILE, LogPath);
    RegCloseKey(key);
}

DWORD ItemEnabled(const std::wstring &name)
{
    DWORD value = 99, size = 4;
    RegGetValueW(HKEY_LOCAL_MACHINE, ItemKey(name).c_str(), L"Enabled", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::string LogText()
{
    std::vector<unsigned char> bytes = ReadFileBytes(LogPath);
    return std::string(bytes.begin(), bytes.end());
}

size_t CountOf(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

std::vector<HWND> ItemWindows(HWND main)
{
    std::vector<HWND> found;
    HWND host = FindWindowExW(main, nullptr, L"NimbraWorker", nullptr);
    for (HWND w = host ? GetWindow(host, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) found.push_back(w);
    return found;
}

LRESULT SendCopyData(HWND main, ULONG_PTR number, const void *data, DWORD size)
{
    COPYDATASTRUCT cds = {number, size, const_cast<void *>(data)};
    return SendMessageW(main, WM_COPYDATA, 0, (LPARAM)&cds);
}

class Items : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileW(LogPath);
        RegisterProbe(L"E2EAlpha", 30);
        RegisterProbe(L"E2EBeta", 40);
        SettingsFileValues values;
        values.plugins = L"2::E2EAlpha::E2EBeta::";
        ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, values));
    }
    void TearDown() override
    {
        if (HWND w = FindWindowW(L"NimbraClass", L"Start")) PostMessageW(w, WM_CLOSE, 0, 0);
        nimbra.Wait(5000);
        nimbra.Kill();
        DeleteRegTree(HKEY_LOCAL_MACHINE, ItemKey(L"E2EAlpha"));
        DeleteRegTree(HKEY_LOCAL_MACHINE, ItemKey(L"E2EBeta"));
    }
    NimbraProcess nimbra;
};

TEST_F(Items, AnotherProgramUnloadsAndReloadsTheItems)
{
    ASSERT_TRUE(nimbra.Start());
    HWND main = WaitForNimbraWindow(L"Start");
    ASSERT_TRUE(main);
    ASSERT_TRUE(PumpUntil([&] { return ItemWindows(main).size() == 2; }, 10000));
    EXPECT_EQ(ItemEnabled(L"E2EAlpha"), 0u) << "a hosted item stays on the system Today screen";
    EXPECT_EQ(ItemEnabled(L"E2EBeta"), 0u);

    // Payloads that are not a terminated UTF-16 name unload nothing.
    EXPECT_EQ(SendCopyData(main, HmUnloadItems, "E2EA", 3), 1);
    const wchar_t unterminated[] = {L'E', L'2', L'E', L'B', L'e', L't', L'a'};
    EXPECT_EQ(SendCopyData(main, HmUnloadItems, unterminated, sizeof(unterminated)), 1);
    EXPECT_EQ(SendCopyData(main, HmUnloadItems, L"NoSuchItem", sizeof(L"NoSuchItem")), 1);
    // A raw pointer from another process is not valid there: the request fails safely.
    EXPECT_EQ(SendMessageW(main, HmUnloadItems, 0, (LPARAM)0x10), 1);
    EXPECT_EQ(ItemWindows(main).size(), 2u);

    // By name: only that item goes, after clearing its cache.
    EXPECT_EQ(SendCopyData(main, HmUnloadItems, L"E2EAlpha", sizeof(L"E2EAlpha")), 1);
    std::vector<HWND> left = ItemWindows(main);
    ASSERT_EQ(left.size(), 1u);
    RECT r;
    GetWindowRect(left[0], &r);
    EXPECT_EQ(r.bottom - r.top, 40) << "the wrong item was unloaded";
    std::string log = LogText();
    EXPECT_EQ(CountOf(log, "E2EAlpha#1 destroy"), 1u) << log;
    EXPECT_EQ(CountOf(log, "E2EBeta#1 destroy"), 0u) << log;

    // No data: every item goes.
    EXPECT_EQ(SendCopyData(main, HmUnloadItems, nullptr, 0), 1);
    EXPECT_TRUE(ItemWindows(main).empty());

    // Reload gives every record a new window, laid out again.
    EXPECT_EQ(SendMessageW(main, HmReloadItems, 0, 0), 0);
    std::vector<HWND> again = ItemWindows(main);
    ASSERT_EQ(again.size(), 2u);
    HWND host = FindWindowExW(main, nullptr, L"NimbraWorker", nullptr);
    std::vector<int> tops;
    for (HWND w : again) {
        GetWindowRect(w, &r);
        POINT p = {r.left, r.top};
        ScreenToClient(host, &p);
        tops.push_back(p.y);
    }
    std::sort(tops.begin(), tops.end());
    EXPECT_EQ(tops[0], 0);
    EXPECT_EQ(tops[1], 31);
    log = LogText();
    // The DLL was freed and loaded again, so its items are numbered from 1 anew.
    EXPECT_EQ(CountOf(log, "E2EAlpha#1 show 1"), 2u) << log;
    EXPECT_EQ(CountOf(log, "E2EBeta#1 show 1"), 2u) << log;
    EXPECT_TRUE(nimbra.Running());
}

}  // namespace
