// placeholder until the background work lands
#include "look/background.h"
HDC BackgroundDC;
HBITMAP BackgroundBitmap, InitialDCBitmap;
WCHAR LoadedImagePath[MAX_PATH];
bool BackgroundDirty, CustomBackground;
bool LoadBackground() { BackgroundDirty = false; return true; }
bool FindWatermark(LPCWSTR, LPCWSTR) { return false; }
bool LoadWatermarkFile(LPCWSTR) { return false; }
void SetBackgroundBitmap(HBITMAP bitmap) { DeleteObject(bitmap); }
void ComposeBackground(HBITMAP image) { DeleteObject(image); }
