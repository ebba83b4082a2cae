// The background as the user meets it at start-up: no Today watermark on the device at all.
#include "support/nimbra_process.h"

namespace {

const std::wstring Windows = L"C:\\windows\\", Hidden = L"C:\\nimbra-tests\\hidden-watermarks\\";

// The visible message box titled "Nimbra" of the process, with its text; null when none.
HWND FindMessageBox(DWORD processId, std::wstring &text)
{
    for (HWND w : WindowsOfProcess(processId)) {
        WCHAR cls[32] = {}, title[32] = {}, body[256] = {};
        GetClassNameW(w, cls, 32);
        GetWindowTextW(w, title, 32);
        GetDlgItemTextW(w, 0xFFFF, body, 256);   // the message box's text control
        text = body;
        if (wcscmp(cls, L"#32770") == 0 && wcscmp(title, L"Nimbra") == 0 && IsWindowVisible(w) && body[0]) return w;
    }
    return nullptr;
}

TEST(Background, NoWatermarkAtAllShowsBothMessagesAndEndsWithZero)
{
    // Every watermark of the device goes aside for the test and comes back afterwards.
    std::vector<std::wstring> moved;
    CreateDirectoryW(L"C:\\nimbra-tests", nullptr);
    CreateDirectoryW(Hidden.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Windows + L"*water*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        if (MoveFileExW((Windows + found.cFileName).c_str(), (Hidden + found.cFileName).c_str(), MOVEFILE_REPLACE_EXISTING))
            moved.push_back(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    struct Restore {
        std::vector<std::wstring> &names;
        ~Restore() { for (auto &n : names) MoveFileExW((Hidden + n).c_str(), (Windows + n).c_str(), MOVEFILE_REPLACE_EXISTING); }
    } restore{moved};
    ASSERT_GT(moved.size(), 0u) << "the emulated device has no watermark to hide";
    SettingsFileValues values;
    ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, values));

    NimbraProcess p;
    ASSERT_TRUE(p.Start());
    for (const wchar_t *expected : {L"Failed to load System Today-Watermark!", L"Failed to Initialize Instance!"}) {
        SCOPED_TRACE(Narrow(expected));
        HWND box = nullptr;
        std::wstring text;
        ASSERT_TRUE(PumpUntil([&] { return (box = FindMessageBox(p.Id(), text)) != nullptr; }, 10000));
        EXPECT_EQ(text, expected);
        PumpFor(300);   // the box waits for the user
        EXPECT_TRUE(IsWindow(box) && p.Running());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
    }
    EXPECT_EQ(p.Wait(10000), 0u);
    EXPECT_EQ(FindWindowW(L"NimbraClass", nullptr), nullptr);
}

}  // namespace
