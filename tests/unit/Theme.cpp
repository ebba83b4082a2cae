// Theme colours from the shell's colour scheme in the registry, and the pen and brush made
// from them.
#include "support/testing.h"
#include "look/theme.h"
#include <array>
#include <tuple>

namespace {

const wchar_t ColorKey[] = L"Software\\Microsoft\\Color", BackupKey[] = L"Software\\NimbraTests\\Color";

// A recognisable colour per scheme entry.
COLORREF Entry(int index) { return RGB(index * 7, 255 - index, index * 3 + 1); }

// The colour key belongs to the test while it runs: the device's scheme is moved aside and back.
class Theme : public testing::Test {
protected:
    void SetUp() override { MoveKey(ColorKey, BackupKey); }
    void TearDown() override
    {
        MoveKey(BackupKey, ColorKey);
        LoadThemeColors();
    }
    static void MoveKey(LPCWSTR from, LPCWSTR to)
    {
        DeleteRegTree(HKEY_LOCAL_MACHINE, to);
        HKEY source, target;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(RegCopyTreeW(source, nullptr, target), ERROR_SUCCESS);
        RegCloseKey(target);
        RegCloseKey(source);
        DeleteRegTree(HKEY_LOCAL_MACHINE, from);
    }
    static void Set(LPCWSTR name, DWORD type, const void *data, size_t size)
    {
        EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, ColorKey, name, type, data, (DWORD)size), ERROR_SUCCESS);
    }
    // "SHColor" of the given size: entry i in bytes 4i..4i+3.
    static void SetScheme(size_t bytes, DWORD type = REG_BINARY)
    {
        std::vector<BYTE> data(bytes);
        for (size_t i = 0; i < bytes; i++) data[i] = (BYTE)(Entry((int)(i / 4)) >> (8 * (i % 4)));
        Set(L"SHColor", type, data.data(), bytes);
    }
    // The four colours, and the pen and brush painted with them.
    static void ExpectColors(std::array<COLORREF, 4> colors, int penWidth = 1)
    {
        EXPECT_EQ((std::array<COLORREF, 4>{TextColor, SeparatorColor, HighlightColor, HighlightTextColor}), colors);
        LOGPEN pen = {};
        LOGBRUSH brush = {};
        ASSERT_EQ(GetObjectW(SeparatorPen, sizeof pen, &pen), (int)sizeof pen);
        ASSERT_EQ(GetObjectW(HighlightBrush, sizeof brush, &brush), (int)sizeof brush);
        EXPECT_EQ(std::make_tuple(pen.lopnWidth.x, pen.lopnColor, brush.lbColor), std::make_tuple((LONG)penWidth, colors[1], colors[2]));
    }
};
class Theme_Hires : public Theme {};

} // namespace

TEST_F(Theme, EntriesOfTheSchemeAndTheirOverrides)
{
    const DWORD eight[2] = {0x111111, 0x111111};
    struct Case { const char *name; size_t bytes; DWORD type; bool overrides; std::array<COLORREF, 4> colors; };
    const Case cases[] = {
        {"entries 4, 6, 34 and 35", 144, REG_BINARY, false, {Entry(4), Entry(6), Entry(34), Entry(35)}},
        {"a value named after the entry wins, unless longer than a colour", 144, REG_BINARY, true,
         {Entry(4), RGB(1, 2, 3), Entry(34), RGB(0, 35, 0)}},
        {"short: entries beyond its end are black", 30, REG_BINARY, false, {Entry(4), Entry(6), 0, 0}},
        {"long: its first 144 bytes are the entries", 4000, REG_BINARY, false, {Entry(4), Entry(6), Entry(34), Entry(35)}},
        {"text instead of binary: the bytes count as they are", 144, REG_SZ, false, {Entry(4), Entry(6), Entry(34), Entry(35)}},
    };
    std::vector<HGDIOBJ> replaced;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteRegTree(HKEY_LOCAL_MACHINE, ColorKey);
        SetScheme(c.bytes, c.type);
        if (c.overrides) {
            const COLORREF six = RGB(1, 2, 3), thirtyFive = RGB(0, 35, 0);
            Set(L"6", REG_DWORD, &six, 4);
            Set(L"35", REG_DWORD, &thirtyFive, 4);
            Set(L"34", REG_BINARY, eight, sizeof eight);
        }
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(c.colors);
        for (HGDIOBJ gone : replaced) EXPECT_EQ(GetObjectType(gone), 0u) << "a replaced pen or brush was not deleted";
        replaced.insert(replaced.end(), {SeparatorPen, HighlightBrush});
    }
}

TEST_F(Theme, WithoutTheSchemeNothingChanges)
{
    SetScheme(144);
    ASSERT_TRUE(LoadThemeColors());
    const HGDIOBJ pen = SeparatorPen, brush = HighlightBrush;
    DeleteRegTree(HKEY_LOCAL_MACHINE, ColorKey);
    EXPECT_FALSE(LoadThemeColors());   // no key at all
    const COLORREF four = RGB(4, 4, 4);
    Set(L"4", REG_DWORD, &four, 4);
    EXPECT_FALSE(LoadThemeColors());   // overrides, but no "SHColor"
    ExpectColors({Entry(4), Entry(6), Entry(34), Entry(35)});
    EXPECT_TRUE(SeparatorPen == pen && HighlightBrush == brush);
}

TEST_F(Theme_Hires, PenIsTwoPixelsWide)
{
    SetScheme(144);
    ASSERT_TRUE(LoadThemeColors());
    ExpectColors({Entry(4), Entry(6), Entry(34), Entry(35)}, 2);
}
