// The background as the user meets it at start-up: no Today watermark on the device at all.
#include "support/nimbra_process.h"

namespace {

const std::wstring Windows = L"C:\\windows\\", Hidden = L"C:\\nimbra-tests\\hidden-watermarks\\";

TEST(Background, NoWatermarkAtAllShowsBothMessagesAndEndsWithZero)
{
    // Every watermark of the device goes aside for the test and comes back afterwards.
    CreateDirectoryW(Hidden.c_str(), nullptr);
    struct Aside {
        std::vector<std::wstring> names = MoveFiles(Windows, L"*water*", Hidden);
        ~Aside() { for (auto &name : names) MoveFileW((Hidden + name).c_str(), (Windows + name).c_str()); }
    } aside;
    ASSERT_GT(aside.names.size(), 0u) << "the emulated device has no watermark to hide";
    ASSERT_TRUE(WriteSettingsBeside(INSTALLED_NIMBRA));
    NimbraProcess p;
    ASSERT_TRUE(p.Start());
    for (const wchar_t *expected : {L"Failed to load System Today-Watermark!", L"Failed to Initialize Instance!"}) {
        SCOPED_TRACE(Narrow(expected));
        HWND box = nullptr;
        WCHAR text[64] = L"";
        ASSERT_TRUE(PumpUntil([&] {
            box = FindWindowW(L"#32770", L"Nimbra");
            return box && IsWindowVisible(box) && GetDlgItemTextW(box, 0xFFFF, text, 64);   // the box's text control
        }, 10000));
        EXPECT_STREQ(text, expected);
        PumpFor(300);   // the box waits for the user
        EXPECT_TRUE(IsWindow(box) && p.Running());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
    }
    EXPECT_EQ(p.Wait(10000), 0u);
    EXPECT_EQ(FindWindowW(L"NimbraClass", nullptr), nullptr);
}

}  // namespace
