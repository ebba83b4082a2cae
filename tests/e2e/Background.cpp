// The background as the user meets it at start-up: no Today watermark on the device at all.
#include "support/nimbra_process.h"

namespace {

const wchar_t *const HiddenFolder = L"C:\\nimbra-tests\\hidden-watermarks";

// Moves every watermark of the device aside for the test's life, and back afterwards.
class WatermarksHidden {
public:
    WatermarksHidden()
    {
        CreateDirectoryW(HiddenFolder, nullptr);
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW(L"C:\\windows\\*water*", &found);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            std::wstring from = std::wstring(L"C:\\windows\\") + found.cFileName;
            std::wstring to = std::wstring(HiddenFolder) + L"\\" + found.cFileName;
            if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) moved_.push_back(found.cFileName);
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    ~WatermarksHidden()
    {
        for (const std::wstring &name : moved_) {
            std::wstring from = std::wstring(HiddenFolder) + L"\\" + name;
            std::wstring to = L"C:\\windows\\" + name;
            MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    size_t Count() const { return moved_.size(); }

private:
    std::vector<std::wstring> moved_;
};

// The message box of the process with the title "Nimbra" that is showing now, if any.
HWND FindMessageBox(DWORD processId)
{
    for (HWND w : WindowsOfProcess(processId)) {
        WCHAR cls[32] = {}, title[32] = {};
        GetClassNameW(w, cls, 32);
        GetWindowTextW(w, title, 32);
        if (wcscmp(cls, L"#32770") == 0 && wcscmp(title, L"Nimbra") == 0 && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

std::wstring MessageBoxText(HWND box)
{
    WCHAR text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);   // the message box's text control
    return text;
}

TEST(Background, NoWatermarkAtAllShowsBothMessagesAndEndsWithZero)
{
    WatermarksHidden hidden;
    ASSERT_GT(hidden.Count(), 0u) << "the emulated device has no watermark to hide";
    SettingsFileValues values;
    values.title = L"Start";
    ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA, values));

    NimbraProcess p;
    ASSERT_TRUE(p.Start());
    const wchar_t *expected[] = {L"Failed to load System Today-Watermark!", L"Failed to Initialize Instance!"};
    for (const wchar_t *text : expected) {
        SCOPED_TRACE(Narrow(text));
        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = FindMessageBox(p.Id())) && !MessageBoxText(box).empty(); }, 10000));
        EXPECT_EQ(MessageBoxText(box), text);
        // The box waits for the user: it is still there a moment later.
        PumpFor(300);
        EXPECT_TRUE(IsWindow(box));
        EXPECT_TRUE(p.Running());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
    }
    EXPECT_EQ(p.Wait(10000), 0u);
    EXPECT_EQ(FindWindowW(L"NimbraClass", nullptr), nullptr);
}

}  // namespace
