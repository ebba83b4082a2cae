// The screen background: the user's own image composed into a square, or the system Today
// watermark from \Windows\. Everything is drawn into BackgroundDC, which the painters copy from.
#include "look/background.h"
#include "look/scale.h"
#include "settings/settingsfile.h"
#include <algorithm>
#include <cwchar>

HDC BackgroundDC;
HBITMAP BackgroundBitmap;
HBITMAP InitialDCBitmap;
WCHAR LoadedImagePath[MAX_PATH];
bool BackgroundDirty;
bool CustomBackground;

#define WATERMARK_FOLDER L"\\Windows\\"
#define USE_START_IMAGE_VALUE L"UseStartImage"
#define ANY_SIZE_SUFFIX L".*"

// The watermark families in the order they are tried: row 0 for the Today image, row 1 when
// "UseStartImage" asks for the start image first.
static const LPCWSTR WatermarkOrder[2][4] = {
    { L"tdywater", L"Default_tdywater", L"stwater", L"Default_stwater" },
    { L"stwater", L"Default_stwater", L"tdywater", L"Default_tdywater" },
};

// Puts the context's initial bitmap back and deletes the background bitmap, so that the
// context never holds a deleted bitmap.
static void ReleaseBackgroundBitmap()
{
    if (InitialDCBitmap) {
        SelectObject(BackgroundDC, InitialDCBitmap);
        InitialDCBitmap = nullptr;
    }
    FreeBackgroundBitmap();
}

bool CreateBackgroundDC(HWND window)
{
    HDC windowDC = GetDC(window);
    if (!windowDC) return false;
    BackgroundDC = CreateCompatibleDC(windowDC);
    ReleaseDC(window, windowDC);
    return BackgroundDC != nullptr;
}

void FreeBackgroundDC()
{
    if (!BackgroundDC) return;
    if (InitialDCBitmap) {
        SelectObject(BackgroundDC, InitialDCBitmap);
        InitialDCBitmap = nullptr;
    }
    DeleteDC(BackgroundDC);
    BackgroundDC = nullptr;
}

void FreeBackgroundBitmap()
{
    if (!BackgroundBitmap) return;
    DeleteObject(BackgroundBitmap);
    BackgroundBitmap = nullptr;
}

// A square that could not be built shows nothing usable: drop it and forget the image's
// path, so that the next reload tries the image again instead of taking it as shown.
static void AbandonComposition(HBITMAP image)
{
    DeleteObject(image);
    ReleaseBackgroundBitmap();
    LoadedImagePath[0] = 0;
}

static int ScreenSquareSide()
{
    return std::max(ScreenCaps(HORZRES), ScreenCaps(VERTRES));
}

bool LoadBackground()
{
    if (!BackgroundDirty) return true;
    CustomBackground = false;
    BackgroundDirty = false;

    if (AppSettings.EnableBackground && AppSettings.Background[0]) {
        if (wcscmp(AppSettings.Background, LoadedImagePath) == 0) return true;
        HBITMAP image = SHLoadImageFile(AppSettings.Background);
        if (image) {
            CopyText(LoadedImagePath, AppSettings.Background);
            CustomBackground = true;
            SetBackgroundBitmap(image);
            if (BackgroundBitmap) return true;
            // The square could not be built (no memory for it): show the watermark instead.
            CustomBackground = false;
        }
    }

    DWORD useStartImage = 0;
    if (FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, TODAY_KEY, USE_START_IMAGE_VALUE, &useStartImage)))
        useStartImage = 0;
    WCHAR sizeSuffix[40];
    wsprintfW(sizeSuffix, L"_%d_%d.*", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    for (LPCWSTR family : WatermarkOrder[useStartImage ? 1 : 0]) {
        if (FindWatermark(family, sizeSuffix)) return true;
    }
    return false;
}

bool FindWatermark(LPCWSTR family, LPCWSTR sizeSuffix)
{
    const LPCWSTR suffixes[] = { sizeSuffix, ANY_SIZE_SUFFIX };
    for (LPCWSTR suffix : suffixes) {
        WCHAR pattern[MAX_PATH];
        if (!CopyText(pattern, WATERMARK_FOLDER) || !AppendText(pattern, family) ||
            !AppendText(pattern, suffix))
            continue;
        // Only the first match is tried: which of several matches comes first is the file
        // system's choice, so a folder should hold one file per pattern.
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        FindClose(search);
        if (LoadWatermarkFile(found.cFileName)) return true;
    }
    return false;
}

bool LoadWatermarkFile(LPCWSTR fileName)
{
    WCHAR path[MAX_PATH];
    // A name too long to follow the folder in a path cannot be opened: no match.
    if (!CopyText(path, WATERMARK_FOLDER) || !AppendText(path, fileName)) return false;
    if (wcscmp(path, LoadedImagePath) == 0) return true;
    HBITMAP bitmap = SHLoadImageFile(path);
    if (!bitmap) return false;
    CopyText(LoadedImagePath, path);
    CustomBackground = false;   // a watermark is shown at its own pixel size
    SetBackgroundBitmap(bitmap);
    return true;
}

void SetBackgroundBitmap(HBITMAP bitmap)
{
    ReleaseBackgroundBitmap();
    if (CustomBackground) {
        ComposeBackground(bitmap);
        return;
    }
    BackgroundBitmap = bitmap;
    InitialDCBitmap = (HBITMAP)SelectObject(BackgroundDC, bitmap);
}

// Copies the image from its top-left corner again and again over the S x S square; the last
// column and row are cut to what is left of the square. After the first copy each step copies
// everything drawn so far beside (then below) itself, so a 1 x 1 picture takes about twenty
// copies instead of one per pixel.
static void TileImage(HDC image, int width, int height, int side)
{
    int w = std::min(width, side), h = std::min(height, side);
    BitBlt(BackgroundDC, 0, 0, w, h, image, 0, 0, SRCCOPY);
    for (int done = w; done < side; done += std::min(done, side - done))
        BitBlt(BackgroundDC, done, 0, std::min(done, side - done), h, BackgroundDC, 0, 0, SRCCOPY);
    for (int done = h; done < side; done += std::min(done, side - done))
        BitBlt(BackgroundDC, 0, done, side, std::min(done, side - done), BackgroundDC, 0, 0, SRCCOPY);
}

void ComposeBackground(HBITMAP image)
{
    int side = ScreenSquareSide();

    // The square takes the format of the image: select it for a moment so that
    // CreateCompatibleBitmap sees it rather than the context's one-bit initial bitmap.
    HGDIOBJ displaced = SelectObject(BackgroundDC, image);
    BackgroundBitmap = CreateCompatibleBitmap(BackgroundDC, side, side);
    if (displaced) SelectObject(BackgroundDC, displaced);
    if (!BackgroundBitmap) {
        AbandonComposition(image);
        return;
    }
    InitialDCBitmap = (HBITMAP)SelectObject(BackgroundDC, BackgroundBitmap);

    BITMAP info;
    if (GetObjectW(image, sizeof(info), &info) != sizeof(info)) {
        AbandonComposition(image);
        return;
    }
    HDC scratch = CreateCompatibleDC(BackgroundDC);
    if (!scratch) {
        AbandonComposition(image);
        return;
    }
    HGDIOBJ scratchInitial = SelectObject(scratch, image);
    if (!scratchInitial) {
        // The image is held by another context and cannot be read.
        DeleteDC(scratch);
        AbandonComposition(image);
        return;
    }

    int width = info.bmWidth, height = info.bmHeight;
    if (width <= side && height <= side) {
        TileImage(scratch, width, height, side);
    } else {
        // The square cut from the top-left corner has the image's shorter side, so the
        // picture is scaled uniformly and covers the whole square.
        int cut = std::min(width, height);
        int oldMode = SetStretchBltMode(BackgroundDC, HALFTONE);
        SetBrushOrgEx(BackgroundDC, 0, 0, nullptr);
        StretchBlt(BackgroundDC, 0, 0, side, side, scratch, 0, 0, cut, cut, SRCCOPY);
        if (oldMode) SetStretchBltMode(BackgroundDC, oldMode);
    }

    SelectObject(scratch, scratchInitial);
    DeleteDC(scratch);
    DeleteObject(image);
}
