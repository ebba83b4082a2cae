// Theme colours from the shell's colour scheme in the registry, and the pen and brush made
// from them.
#include "support/testing.h"
#include "look/theme.h"
#include "look/scale.h"
#include <string>
#include <vector>

namespace {

const wchar_t ColorKey[] = L"Software\\Microsoft\\Color";
const wchar_t BackupKey[] = L"Software\\NimbraTests\\Color";

// A recognisable colour per scheme entry.
COLORREF Entry(int index)
{
    return RGB(index * 7, 255 - index, index * 3 + 1);
}

std::vector<BYTE> SchemeBytes(size_t bytes)
{
    std::vector<BYTE> data(bytes);
    for (size_t i = 0; i < bytes; i++) {
        COLORREF c = Entry((int)(i / 4));
        data[i] = (BYTE)(c >> (8 * (i % 4)));
    }
    return data;
}

// The colour key belongs to the test while it runs: the device's scheme is copied aside and
// put back. The theme globals are put back too, and the pen and brush the test made deleted.
class Theme : public testing::Test {
protected:
    void SetUp() override
    {
        saved = {TextColor, SeparatorColor, HighlightColor, HighlightTextColor};
        savedPen = SeparatorPen;
        savedBrush = HighlightBrush;
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
        TextColor = saved[0];
        SeparatorColor = saved[1];
        HighlightColor = saved[2];
        HighlightTextColor = saved[3];
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

    void SetValue(LPCWSTR name, DWORD type, const std::vector<BYTE> &data)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ColorKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), (DWORD)data.size()), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void SetScheme(size_t bytes, DWORD type = REG_BINARY) { SetValue(L"SHColor", type, SchemeBytes(bytes)); }

    void SetOverride(LPCWSTR name, COLORREF color)
    {
        std::vector<BYTE> data(4);
        memcpy(data.data(), &color, 4);
        SetValue(name, REG_DWORD, data);
    }

    void ExpectColors(COLORREF text, COLORREF separator, COLORREF highlight, COLORREF highlightText)
    {
        EXPECT_EQ(TextColor, text);
        EXPECT_EQ(SeparatorColor, separator);
        EXPECT_EQ(HighlightColor, highlight);
        EXPECT_EQ(HighlightTextColor, highlightText);
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

    std::vector<COLORREF> saved;
    HPEN savedPen;
    HBRUSH savedBrush;
};

} // namespace

TEST_F(Theme, EntriesAndOverrides)
{
    SetScheme(144);
    ASSERT_TRUE(LoadThemeColors());
    ExpectColors(Entry(4), Entry(6), Entry(34), Entry(35));
    ExpectObjectsMatchColors(1);

    {
        SCOPED_TRACE("override 6 alone");
        SetOverride(L"6", RGB(1, 2, 3));
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(Entry(4), RGB(1, 2, 3), Entry(34), Entry(35));
        ExpectObjectsMatchColors(1);
    }
    {
        SCOPED_TRACE("all four overrides");
        SetOverride(L"4", RGB(4, 4, 4));
        SetOverride(L"34", RGB(34, 0, 0));
        SetOverride(L"35", RGB(0, 35, 0));
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(RGB(4, 4, 4), RGB(1, 2, 3), RGB(34, 0, 0), RGB(0, 35, 0));
        ExpectObjectsMatchColors(1);
    }
    {
        SCOPED_TRACE("an override longer than a colour falls back to the scheme");
        SetValue(L"34", REG_BINARY, std::vector<BYTE>(8, 0x11));
        ASSERT_TRUE(LoadThemeColors());
        EXPECT_EQ(HighlightColor, Entry(34));
    }
}

TEST_F(Theme, WithoutTheSchemeNothingChanges)
{
    TextColor = SeparatorColor = HighlightColor = HighlightTextColor = RGB(9, 9, 9);
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(9, 9, 9));
    HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
    SeparatorPen = pen;
    HighlightBrush = brush;

    EXPECT_FALSE(LoadThemeColors());   // no key at all
    SetOverride(L"4", RGB(4, 4, 4));
    SetOverride(L"6", RGB(6, 6, 6));
    EXPECT_FALSE(LoadThemeColors());   // overrides, but no "SHColor"

    ExpectColors(RGB(9, 9, 9), RGB(9, 9, 9), RGB(9, 9, 9), RGB(9, 9, 9));
    EXPECT_EQ(SeparatorPen, pen);
    EXPECT_EQ(HighlightBrush, brush);
    EXPECT_EQ(GetObjectType(pen), (DWORD)OBJ_PEN);
    EXPECT_EQ(GetObjectType(brush), (DWORD)OBJ_BRUSH);
}

TEST_F(Theme, SchemeOfUnusualSizeOrType)
{
    {
        SCOPED_TRACE("short: entries beyond its end are black");
        SetScheme(30);   // entries 0..6 and half of 7
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(Entry(4), Entry(6), 0, 0);
        ExpectObjectsMatchColors(1);
    }
    {
        SCOPED_TRACE("long: its first 144 bytes are the entries");
        SetScheme(4000);
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(Entry(4), Entry(6), Entry(34), Entry(35));
    }
    {
        SCOPED_TRACE("text instead of binary: the bytes count as they are");
        SetScheme(144, REG_SZ);
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(Entry(4), Entry(6), Entry(34), Entry(35));
    }
    {
        SCOPED_TRACE("empty");
        SetScheme(0);
        ASSERT_TRUE(LoadThemeColors());
        ExpectColors(0, 0, 0, 0);
        ExpectObjectsMatchColors(1);
    }
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

class Theme_Dpi131 : public Theme {};
class Theme_Hires : public Theme {};

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
