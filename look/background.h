// The screen background held in BackgroundDC. Globals defined in look/background.cpp and
// owned there: MainWindow's creation and destruction and the end of the message loop call the
// routines below that make and free them.
#pragma once
#include "base/nimbra.h"

// The Today screen's settings key (HKEY_CURRENT_USER for its own values, HKEY_LOCAL_MACHINE
// for the items' registrations below it).
#define TODAY_KEY L"Software\\Microsoft\\Today"

extern HDC BackgroundDC;              // memory DC holding the background, MainWindow client coordinates
extern HBITMAP BackgroundBitmap;      // the bitmap selected into BackgroundDC; owned here
extern HBITMAP InitialDCBitmap;       // BackgroundDC's initial bitmap, to be put back
extern WCHAR LoadedImagePath[MAX_PATH]; // the image file now shown (cache key)
extern bool BackgroundDirty;          // the next LoadBackground reloads
extern bool CustomBackground;         // SetBackgroundBitmap composes a custom image

// Makes BackgroundDC, compatible with window's device context; false when it cannot.
bool CreateBackgroundDC(HWND window);
// Gives BackgroundDC its initial bitmap back and deletes it (BackgroundBitmap stays).
void FreeBackgroundDC();
// Deletes BackgroundBitmap; called once the context that held it is gone.
void FreeBackgroundBitmap();
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
