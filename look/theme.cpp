// placeholder until the theme work lands
#include "look/theme.h"
COLORREF TextColor, SeparatorColor, HighlightColor, HighlightTextColor;
HPEN SeparatorPen;
HBRUSH HighlightBrush;
bool LoadThemeColors() { return false; }
