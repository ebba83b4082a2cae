// Hosted items as other programs see them: the items are switched off on the system Today
// screen, items may ask for their own unloading from inside their code, and another process
// unloads and reloads them through WM_COPYDATA and HM_RELOADITEMS.
#include "support/nimbra_process.h"
#include "plugins/probe/probe.h"
#include <algorithm>

namespace {

const UINT HmUnloadItems = WM_USER + 310, HmReloadItems = WM_USER + 311;

std::wstring ItemKey(const wchar_t *name)
{
    return L"Software\\Microsoft\\Today\\Items\\" + std::wstring(name);
}

// A probe item that the system Today screen shows until Nimbra hosts it, and that asks Nimbra
// once to unload every item from inside the call given by at (see probe.h).
void RegisterProbe(const wchar_t *name, DWORD height, DWORD at)
{
    std::wstring key = ItemKey(name);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DLL", REG_SZ, PROBE_DLL_PATH, sizeof PROBE_DLL_PATH);
    const std::pair<const wchar_t *, DWORD> values[] = {
        {L"Type", 4}, {L"Enabled", 1}, {PROBE_HEIGHT, height}, {PROBE_HOST_CALL, HmUnloadItems}, {PROBE_HOST_CALL_AT, at}};
    for (auto [value, data] : values) RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, REG_DWORD, &data, 4);
}

DWORD ItemEnabled(const wchar_t *name)
{
    DWORD value = 99, size = 4;
    RegGetValueW(HKEY_LOCAL_MACHINE, ItemKey(name).c_str(), L"Enabled", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

size_t LogCount(const std::string &what)
{
    std::vector<unsigned char> bytes = ReadFileBytes(PROBE_LOG_PATH);
    std::string text(bytes.begin(), bytes.end());
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// Top edges of the item windows in ItemHost, from the top.
std::vector<int> ItemTops(HWND main)
{
    std::vector<int> tops;
    HWND host = FindWindowExW(main, nullptr, L"NimbraWorker", nullptr);
    for (HWND w = host ? GetWindow(host, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, host, (POINT *)&r, 2);
        tops.push_back(r.top);
    }
    std::sort(tops.begin(), tops.end());
    return tops;
}

LRESULT SendCopyData(HWND main, const void *data, DWORD size)
{
    COPYDATASTRUCT cds = {HmUnloadItems, size, const_cast<void *>(data)};
    return SendMessageW(main, WM_COPYDATA, 0, (LPARAM)&cds);
}

class Items : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileW(PROBE_LOG_PATH);
        RegisterProbe(L"E2EAlpha", 30, 1);   // from inside InitializeCustomItem
        RegisterProbe(L"E2EBeta", 40, 2);    // from inside its height query
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

TEST_F(Items, ItemsUnloadedFromInsideTheirOwnCodeAndByAnotherProgram)
{
    ASSERT_TRUE(nimbra.Start());
    HWND main = WaitForNimbraWindow(L"Start");
    ASSERT_TRUE(main);
    // Each item's code goes on after its request: the host keeps its DLL until it returns.
    ASSERT_TRUE(PumpUntil([] { return LogCount("hostcall 1334 -> 1") == 2; }, 10000));
    EXPECT_TRUE(nimbra.Running());
    EXPECT_EQ(ItemTops(main), std::vector<int>{});
    EXPECT_EQ(ItemEnabled(L"E2EAlpha") + ItemEnabled(L"E2EBeta"), 0u) << "a hosted item stays on the system Today screen";

    // Reload gives every record a new window, laid out again.
    EXPECT_EQ(SendMessageW(main, HmReloadItems, 0, 0), 0);
    EXPECT_EQ(ItemTops(main), (std::vector<int>{0, 31}));

    // Payloads that are not a terminated UTF-16 name unload nothing; nor does a raw pointer,
    // which means nothing in another process.
    const wchar_t unterminated[] = {L'E', L'2', L'E', L'B', L'e', L't', L'a'};
    EXPECT_EQ(SendCopyData(main, "E2EA", 3), 1);
    EXPECT_EQ(SendCopyData(main, unterminated, sizeof unterminated), 1);
    EXPECT_EQ(SendCopyData(main, L"NoSuchItem", sizeof L"NoSuchItem"), 1);
    EXPECT_EQ(SendMessageW(main, HmUnloadItems, 0, (LPARAM)0x10), 1);
    EXPECT_EQ(ItemTops(main).size(), 2u);

    // By name only that item goes; with no data every item goes.
    EXPECT_EQ(SendCopyData(main, L"E2EAlpha", sizeof L"E2EAlpha"), 1);
    EXPECT_EQ(ItemTops(main), (std::vector<int>{31}));
    EXPECT_EQ(SendCopyData(main, nullptr, 0), 1);
    EXPECT_EQ(ItemTops(main), std::vector<int>{});
    EXPECT_TRUE(nimbra.Running());
}

}  // namespace
