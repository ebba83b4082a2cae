// Theme colours from the shell's colour scheme in the registry, and the pen and brush made
// from them.
#include "support/testing.h"
#include "look/theme.h"
#include "look/scale.h"
#include <vector>

namespace {

const wchar_t ColorKey[] = L"Software\\Microsoft\\Color";
const wchar_t BackupKey[] = L"Software\\NimbraTests\\Color";

// A recognisable colour per scheme entry.
COLORREF Entry(int index) { return RGB(index * 7, 255 - index, index * 3 + 1); }

// The colour key belongs to the test while it runs: the device's scheme is copied aside and
// put back. The theme globals are put back too, and the pen and brush the test made deleted.
class Theme : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_LOCAL_MACHINE, BackupKey);
        CopyKey(ColorKey, BackupKey);
        DeleteRegTree(HKEY_LOCAL_MACHINE, ColorKey);
    }

    void TearDown() override
    {
        DeleteRegTree(HKEY_LOCAL_MACHINE, ColorKey);
        CopyKey(BackupKey, ColorKey);
        DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\NimbraTests");
        if (SeparatorPen != savedPen) DeleteObject(SeparatorPen);
        if (HighlightBrush != savedBrush) DeleteObject(HighlightBrush);
        SeparatorPen = savedPen;
        HighlightBrush = savedBrush;
        TextColor = saved[0], SeparatorColor = saved[1], HighlightColor = saved[2], HighlightTextColor = saved[3];
    }

    static void CopyKey(LPCWSTR from, LPCWSTR to)
    {
        HKEY source, target;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) == ERROR_SUCCESS) {
            EXPECT_EQ(RegCopyTreeW(source, nullptr, target), ERROR_SUCCESS);
            RegCloseKey(target);
        }
        RegCloseKey(source);
    }

    void SetValue(LPCWSTR name, DWORD type, const void *data, size_t size)
    {
        EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, ColorKey, name, type, data, (DWORD)size), ERROR_SUCCESS);
    }

    // "SHColor" of the given size: entry i in bytes 4i..4i+3.
    void SetScheme(size_t bytes, DWORD type = REG_BINARY)
    {
        std::vector<BYTE> data(bytes);
        for (size_t i = 0; i < bytes; i++) data[i] = (BYTE)(Entry((int)(i / 4)) >> (8 * (i % 4)));
        SetValue(L"SHColor", type, data.data(), bytes);
    }

    void SetOverride(LPCWSTR name, COLORREF color) { SetValue(name, REG_DWORD, &color, sizeof color); }

    void ExpectColors(COLORREF text, COLORREF separator, COLORREF highlight, COLORREF highlightText)
    {
        EXPECT_EQ(std::vector<COLORREF>({TextColor, SeparatorColor, HighlightColor, HighlightTextColor}),
                  std::vector<COLORREF>({text, separator, highlight, highlightText}));
    }

    // The pen and brush are alive and carry the loaded colours.
    void ExpectObjectsMatchColors(int penWidth)
    {
        LOGPEN pen = {};
        ASSERT_EQ(GetObjectW(SeparatorPen, sizeof pen, &pen), (int)sizeof pen);
        EXPECT_EQ(pen.lopnStyle, (UINT)PS_SOLID);
        EXPECT_EQ(pen.lopnWidth.x, penWidth);
        EXPECT_EQ(pen.lopnColor, SeparatorColor);
        LOGBRUSH brush = {};
        ASSERT_EQ(GetObjectW(HighlightBrush, sizeof brush, &brush), (int)sizeof brush);
        EXPECT_EQ(brush.lbStyle, (UINT)BS_SOLID);
        EXPECT_EQ(brush.lbColor, HighlightColor);
    }

    const COLORREF saved[4] = {TextColor, SeparatorColor, HighlightColor, HighlightTextColor};
    const HPEN savedPen = SeparatorPen;
    const HBRUSH savedBrush = HighlightBrush;
};

class Theme_Dpi131 : public Theme {};
class Theme_Hires : public Theme {};

} // namespace

TEST_F(Theme, EntriesAndOverrides)
{
    SetScheme(144);
    ASSERT_TRUE(LoadThemeColors());
    ExpectColors(Entry(4), Entry(6), Entry(34), Entry(35));
    ExpectObjectsMatchColors(1);

    SetOverride(L"6", RGB(1, 2, 3));
    ASSERT_TRUE(LoadThemeColors());
    ExpectColors(Entry(4), RGB(1, 2, 3), Entry(34), Entry(35));
    ExpectObjectsMatchColors(1);

    SetOverride(L"4", RGB(4, 4, 4));
    SetOverride(L"34", RGB(34, 0, 0));
    SetOverride(L"35", RGB(0, 35, 0));
    ASSERT_TRUE(LoadThemeColors());
    ExpectColors(RGB(4, 4, 4), RGB(1, 2, 3), RGB(34, 0, 0), RGB(0, 35, 0));
    ExpectObjectsMatchColors(1);

    const DWORD eight[2] = {0x111111, 0x111111};   // longer than a colour: the scheme's entry counts
    SetValue(L"34", REG_BINARY, eight, sizeof eight);
    ASSERT_TRUE(LoadThemeColors());
    EXPECT_EQ(HighlightColor, Entry(34));
}

TEST_F(Theme, WithoutTheSchemeNothingChanges)
{
    const COLORREF nine = RGB(9, 9, 9);
    TextColor = SeparatorColor = HighlightColor = HighlightTextColor = nine;
    HPEN pen = SeparatorPen = CreatePen(PS_SOLID, 3, nine);
    HBRUSH brush = HighlightBrush = CreateSolidBrush(nine);
    EXPECT_FALSE(LoadThemeColors());   // no key at all
    SetOverride(L"4", RGB(4, 4, 4));
    EXPECT_FALSE(LoadThemeColors());   // overrides, but no "SHColor"
    ExpectColors(nine, nine, nine, nine);
    EXPECT_TRUE(SeparatorPen == pen && GetObjectType(pen) == OBJ_PEN);
    EXPECT_TRUE(HighlightBrush == brush && GetObjectType(brush) == OBJ_BRUSH);
}

TEST_F(Theme, SchemeOfUnusualSizeOrType)
{
    const struct {
        const char *name;
        size_t bytes;
        DWORD type;
        COLORREF highlight, highlightText;
    } cases[] = {
        {"short: entries beyond its end are black", 30, REG_BINARY, 0, 0},   // entries 0..6, half of 7
        {"long: its first 144 bytes are the entries", 4000, REG_BINARY, Entry(34), Entry(35)},
        {"text instead of binary: the bytes count as they are", 144, REG_SZ, Entry(34), Entry(35)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetScheme(c.bytes, c.type);
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(Entry(4), Entry(6), c.highlight, c.highlightText);
        ExpectObjectsMatchColors(1);
    }
    SetScheme(0);
    ASSERT_TRUE(LoadThemeColors());
    ExpectColors(0, 0, 0, 0);
}

TEST_F(Theme, ReloadsReplaceThePenAndBrush)
{
    SetScheme(144);
    std::vector<HGDIOBJ> old;
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        SetOverride(L"6", RGB(i, 0, 0));
        SetOverride(L"34", RGB(0, i, 0));
        ASSERT_TRUE(LoadThemeColors());
        ExpectObjectsMatchColors(1);
        for (HGDIOBJ gone : old) EXPECT_EQ(GetObjectType(gone), 0u);
        old.push_back(SeparatorPen);
        old.push_back(HighlightBrush);
    }
}

TEST_F(Theme_Dpi131, PenIsOnePixelWide)
{
    SetScheme(144);
    ASSERT_TRUE(LoadThemeColors());
    ExpectObjectsMatchColors(1);
}

TEST_F(Theme_Hires, PenIsTwoPixelsWide)
{
    SetScheme(144);
    ASSERT_TRUE(LoadThemeColors());
    ExpectObjectsMatchColors(2);
}
