// The screen background held in BackgroundDC. Globals defined in look/background.cpp;
// BackgroundDC itself is created and deleted by MainWindow.
#pragma once
#include "app/nimbra.h"

extern HDC BackgroundDC;              // memory DC holding the background, MainWindow client coordinates
extern HBITMAP BackgroundBitmap;      // the bitmap selected into BackgroundDC; owned here
extern HBITMAP InitialDCBitmap;       // BackgroundDC's initial bitmap, to be put back
extern WCHAR LoadedImagePath[MAX_PATH]; // the image file now shown (cache key)
extern bool BackgroundDirty;          // the next LoadBackground reloads
extern bool CustomBackground;         // SetBackgroundBitmap composes a custom image

// Reloads the background when BackgroundDirty is set. False only when neither the custom
// image nor any watermark could be loaded.
bool LoadBackground();
// Looks for one watermark family's file (size-specific first, then any size) and loads it.
bool FindWatermark(LPCWSTR family, LPCWSTR sizeSuffix);
// Loads \Windows\<fileName> unless it is already shown.
bool LoadWatermarkFile(LPCWSTR fileName);
// Takes ownership of a freshly loaded bitmap and installs it.
void SetBackgroundBitmap(HBITMAP bitmap);
// Takes ownership of a custom image and builds the square BackgroundBitmap from it.
void ComposeBackground(HBITMAP image);
