// Theme colours of the shell's colour scheme and the GDI objects made from them.
// Globals defined in look/theme.cpp; replaced only by LoadThemeColors, deleted by
// FreeThemeObjects when MainWindow goes.
#pragma once
#include "base/nimbra.h"

extern COLORREF TextColor;           // scheme entry 4
extern COLORREF SeparatorColor;      // scheme entry 6
extern COLORREF HighlightColor;      // scheme entry 34
extern COLORREF HighlightTextColor;  // scheme entry 35
extern HPEN SeparatorPen;            // solid, ScaleY(1) wide, SeparatorColor
extern HBRUSH HighlightBrush;        // solid HighlightColor

#define COLOR_SCHEME_KEY L"\\Software\\Microsoft\\Color"
#define COLOR_SCHEME_VALUE L"SHColor"
constexpr DWORD COLOR_SCHEME_ENTRIES = 36;

// Reads "SHColor" and its overrides; replaces pen and brush. False when nothing was read.
bool LoadThemeColors();
// Deletes the pen and the brush.
void FreeThemeObjects();
