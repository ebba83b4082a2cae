// Theme colours from the shell's colour scheme in the registry, and the pen and brush made
// from them.
#include "support/testing.h"
#include "look/theme.h"
#include <tuple>

namespace {

const wchar_t ColorKey[] = L"Software\\Microsoft\\Color", BackupKey[] = L"Software\\NimbraTests\\Color";

// A recognisable colour per scheme entry.
COLORREF Entry(int index) { return RGB(index * 7, 255 - index, index * 3 + 1); }

} // namespace

// The device's scheme is moved aside while the test writes its own.
TEST(Theme, EntriesOfTheSchemeAndTheirOverrides)
{
    MoveRegTree(HKEY_LOCAL_MACHINE, ColorKey, BackupKey);
    const DWORD six = RGB(1, 2, 3), thirtyFive = RGB(0, 35, 0), eight[2] = {0x111111, 0x111111};
    struct Case { const char *name; size_t bytes; DWORD type; bool overrides; std::array<COLORREF, 4> colors; };
    const Case cases[] = {
        {"entries 4, 6, 34 and 35", 144, REG_BINARY, false, {Entry(4), Entry(6), Entry(34), Entry(35)}},
        {"a value named after the entry wins, unless longer or shorter than a colour", 144, REG_BINARY, true,
         {Entry(4), RGB(1, 2, 3), Entry(34), RGB(0, 35, 0)}},
        {"100 MB: found, but not read", 100 << 20, REG_BINARY, false, {0, 0, 0, 0}},
        {"short: entries beyond its end are black", 30, REG_BINARY, false, {Entry(4), Entry(6), 0, 0}},
        {"long: its first 144 bytes are the entries", 4000, REG_BINARY, false, {Entry(4), Entry(6), Entry(34), Entry(35)}},
        {"text instead of binary: the bytes count as they are", 144, REG_SZ, false, {Entry(4), Entry(6), Entry(34), Entry(35)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> scheme(c.bytes);   // entry i in bytes 4i..4i+3
        for (size_t i = 0; i < c.bytes; i++) scheme[i] = (BYTE)(Entry((int)(i / 4)) >> (8 * (i % 4)));
        HKEY key;   // volatile: a huge value never reaches the registry's files
        DeleteRegTree(HKEY_LOCAL_MACHINE, ColorKey), RegCreateKeyExW(HKEY_LOCAL_MACHINE, ColorKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, L"SHColor", 0, c.type, scheme.data(), (DWORD)c.bytes), RegSetValueExW(key, L"4", 0, REG_BINARY, (const BYTE *)eight, 2), RegCloseKey(key);
        if (c.overrides)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, ColorKey, L"6", REG_DWORD, &six, 4), RegSetKeyValueW(HKEY_LOCAL_MACHINE, ColorKey, L"35", REG_DWORD, &thirtyFive, 4),
                RegSetKeyValueW(HKEY_LOCAL_MACHINE, ColorKey, L"34", REG_BINARY, eight, sizeof eight);
        ULONGLONG start = ThreadMs();
        ASSERT_TRUE(LoadThemeColors());
        EXPECT_LT(ThreadMs() - start, 50u);
        EXPECT_EQ((std::array<COLORREF, 4>{TextColor, SeparatorColor, HighlightColor, HighlightTextColor}), c.colors);
        // The pen and the brush carry the new colours (that the ones they replace are deleted,
        // the GDI census of the cycles test shows).
        LOGPEN pen = {};
        LOGBRUSH brush = {};
        GetObjectW(SeparatorPen, sizeof pen, &pen), GetObjectW(HighlightBrush, sizeof brush, &brush);
        EXPECT_EQ(std::make_tuple(pen.lopnWidth.x, pen.lopnColor, brush.lbColor), std::make_tuple(1L, c.colors[1], c.colors[2]));
    }
    // Without "SHColor", or without the key, nothing is read and nothing changes.
    EXPECT_FALSE((RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ColorKey, L"SHColor"), LoadThemeColors()));
    EXPECT_FALSE((DeleteRegTree(HKEY_LOCAL_MACHINE, ColorKey), LoadThemeColors()));
    EXPECT_TRUE(SeparatorColor == Entry(6) && GetObjectType(SeparatorPen) == OBJ_PEN);
    MoveRegTree(HKEY_LOCAL_MACHINE, BackupKey, ColorKey), LoadThemeColors();
}
