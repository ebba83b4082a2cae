// The shell's colour scheme: four of its entries, and the pen and brush painted with them.
#include "look/theme.h"
#include "look/scale.h"
#include <stdlib.h>
#include <string.h>

COLORREF TextColor;
COLORREF SeparatorColor;
COLORREF HighlightColor;
COLORREF HighlightTextColor;
HPEN SeparatorPen;
HBRUSH HighlightBrush;

// An entry of the scheme that the program uses. A value in the scheme's key named after the
// entry's index wins over the entry in "SHColor".
struct ThemeEntry {
    LPCWSTR overrideName;
    DWORD index;
    COLORREF *color;
};

static const ThemeEntry ThemeEntries[] = {
    {L"4", 4, &TextColor},
    {L"6", 6, &SeparatorColor},
    {L"34", 34, &HighlightColor},
    {L"35", 35, &HighlightTextColor},
};

// Fills scheme with the first 144 bytes of "SHColor"; a shorter value leaves the rest 0.
// False when the value is missing or unreadable. The type is not checked.
static bool ReadColorScheme(HKEY key, COLORREF (&scheme)[COLOR_SCHEME_ENTRIES])
{
    memset(scheme, 0, sizeof scheme);
    DWORD size = sizeof scheme;
    LSTATUS status = RegQueryValueExW(key, COLOR_SCHEME_VALUE, nullptr, nullptr, (BYTE *)scheme, &size);
    if (status == ERROR_SUCCESS) return true;
    if (status != ERROR_MORE_DATA) return false;
    // A longer value: the platform need not leave anything in a buffer that is too small, so
    // read the whole value and keep its head. A huge one keeps the buffer as it is (all 0), as
    // the desktop leaves it: reading it would take seconds.
    for (int attempt = 0; attempt < 3 && size <= REGISTRY_VALUE_LIMIT; attempt++) {
        BYTE *whole = (BYTE *)malloc(size);
        if (!whole) return true;   // found all the same; the entries stay 0
        DWORD got = size;
        status = RegQueryValueExW(key, COLOR_SCHEME_VALUE, nullptr, nullptr, whole, &got);
        if (status == ERROR_SUCCESS) memcpy(scheme, whole, got < sizeof scheme ? got : sizeof scheme);
        free(whole);
        if (status != ERROR_MORE_DATA) return true;
        size = got;   // the value grew between the two reads
    }
    return true;
}

// Replaces the pen and the brush. The old ones go first; a failed create leaves the handle
// null until the next successful load.
static void ReplaceThemeObjects()
{
    if (SeparatorPen) DeleteObject(SeparatorPen);
    SeparatorPen = CreatePen(PS_SOLID, ScaleY(1), SeparatorColor);
    if (HighlightBrush) DeleteObject(HighlightBrush);
    HighlightBrush = CreateSolidBrush(HighlightColor);
}

void FreeThemeObjects()
{
    if (SeparatorPen) DeleteObject(SeparatorPen);
    SeparatorPen = nullptr;
    if (HighlightBrush) DeleteObject(HighlightBrush);
    HighlightBrush = nullptr;
}

bool LoadThemeColors()
{
    HKEY key = nullptr;
    // The device ignores the access mask and wants 0; the platform layer supplies read access.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, COLOR_SCHEME_KEY, 0, 0, &key) != ERROR_SUCCESS || !key)
        return false;

    COLORREF scheme[COLOR_SCHEME_ENTRIES];
    if (!ReadColorScheme(key, scheme)) {
        RegCloseKey(key);
        return false;
    }
    for (const ThemeEntry &entry : ThemeEntries) {
        DWORD value = 0, size = sizeof value;
        // A value of another size is no colour: a short one would fill only its low bytes.
        if (RegQueryValueExW(key, entry.overrideName, nullptr, nullptr, (BYTE *)&value, &size) == ERROR_SUCCESS && size == sizeof value)
            *entry.color = value;
        else
            *entry.color = scheme[entry.index];
    }
    ReplaceThemeObjects();
    RegCloseKey(key);
    return true;
}
