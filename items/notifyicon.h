/*
 * Icons in Nimbra's notification strip: what a Today item plug-in or another program sends to
 * put an icon in the strip along the bottom of Nimbra's screen, change it or take it away.
 *
 * Find Nimbra's window: inside the host, a plug-in asks its parent window with
 * TODAYM_GETHOSTWINDOW (todayitem.h); another program uses FindWindowW(L"NimbraClass", title).
 *
 * In the same process (a plug-in): send HM_NOTIFYICON with wParam = the operation and lParam =
 * a pointer to a NIMBRANOTIFYICONDATA with cbSize = 152. The answer is 1 on success; 0 on
 * failure, with the thread's last-error code set (87 a missing record or owner, id, message or
 * icon; 1903 a wrong cbSize; 259 the strip already holds 20 icons; 1421 no icon of that owner
 * and id); 2 for an unknown operation. The owner keeps hIcon valid while it is registered.
 *
 * From another process: a pointer and an icon handle mean nothing in Nimbra's process, so send
 * WM_COPYDATA with dwData = HM_NOTIFYICON and as data: the operation (4 bytes), the record
 * (152 bytes), then optionally the icon's pixels: width and height (4 bytes each, 1 to 128),
 * then width x height pixels of 4 bytes each (B, G, R, A; straight alpha; top row first).
 * Nimbra makes its own icon from the pixels, replaces it on a modify with NIF_ICON and
 * destroys it on delete. cbData must be exactly 4 (no record: fails with 87), 156, or
 * 164 + 4 x width x height. The answer carries the result in its low 32 bits and the
 * last-error code Nimbra set (0 for none) in its high 32 bits.
 *
 * A tap on the icon posts uCallbackMessage to hWnd with wParam = uID and lParam =
 * WM_LBUTTONDOWN, then again with WM_LBUTTONUP; Enter on the highlighted icon posts only the
 * WM_LBUTTONUP one.
 *
 * This header is self-contained (C or C++, <windows.h> only). The record keeps the device's
 * 32-bit layout on every build: handles are stored as 32-bit values.
 */
#ifndef NIMBRA_NOTIFYICON_H
#define NIMBRA_NOTIFYICON_H

#include <windows.h>
#include <stddef.h>

#define HM_NOTIFYICON_MESSAGE (WM_USER + 301)   /* 1325; also the WM_COPYDATA dwData */

/* Operations (wParam). */
#define NIMBRA_NIM_ADD    0
#define NIMBRA_NIM_MODIFY 1
#define NIMBRA_NIM_DELETE 2

/* uFlags of a modify: which fields to take. Every other bit is ignored. */
#define NIMBRA_NIF_MESSAGE 0x01
#define NIMBRA_NIF_ICON    0x02
#define NIMBRA_NIF_TIP     0x04

#define NIMBRA_ICON_PIXELS_MAX 128   /* largest width and height of icon pixels */

typedef struct _NIMBRANOTIFYICONDATA {
    DWORD cbSize;             /* 152 */
    DWORD hWnd;               /* owner window, as a 32-bit value */
    UINT uID;                 /* the owner's id of the icon, not 0 */
    UINT uFlags;              /* modify: NIMBRA_NIF_* */
    UINT uCallbackMessage;    /* posted to hWnd when the icon is tapped */
    DWORD hIcon;              /* the icon, as a 32-bit value (ignored when pixels follow) */
    WCHAR szTip[64];          /* not kept */
} NIMBRANOTIFYICONDATA;

#ifdef __cplusplus
#define NIMBRA_STATIC_ASSERT static_assert
#else
#define NIMBRA_STATIC_ASSERT _Static_assert
#endif
NIMBRA_STATIC_ASSERT(sizeof(NIMBRANOTIFYICONDATA) == 152, "the device's record is 152 bytes");
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONDATA, hWnd) == 4, "hWnd at 4");
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONDATA, uID) == 8, "uID at 8");
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONDATA, uFlags) == 12, "uFlags at 12");
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONDATA, uCallbackMessage) == 16, "uCallbackMessage at 16");
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONDATA, hIcon) == 20, "hIcon at 20");
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONDATA, szTip) == 24, "szTip at 24");

/* WM_COPYDATA from another process: the data starts with the operation and the record; the
 * icon's size and its pixels may follow. */
typedef struct _NIMBRANOTIFYICONCOPY {
    DWORD operation;                  /* NIMBRA_NIM_* */
    NIMBRANOTIFYICONDATA record;
    /* optionally: NIMBRAICONPIXELS, then width x height pixels */
} NIMBRANOTIFYICONCOPY;
typedef struct _NIMBRAICONPIXELS {
    DWORD width, height;              /* 1 to NIMBRA_ICON_PIXELS_MAX each */
} NIMBRAICONPIXELS;
NIMBRA_STATIC_ASSERT(offsetof(NIMBRANOTIFYICONCOPY, record) == 4, "the record follows the operation");
NIMBRA_STATIC_ASSERT(sizeof(NIMBRANOTIFYICONCOPY) == 156, "the request without pixels is 156 bytes");
NIMBRA_STATIC_ASSERT(sizeof(NIMBRANOTIFYICONCOPY) + sizeof(NIMBRAICONPIXELS) == 164, "the pixels start at 164");
#undef NIMBRA_STATIC_ASSERT

/* A handle as the record stores it, and back (32-bit handle values, sign-extended). */
#define NIMBRA_HANDLE32(h) ((DWORD)(ULONG_PTR)(h))
#define NIMBRA_HANDLE64(v) ((HANDLE)(LONG_PTR)(LONG)(v))

/* An icon from width x height pixels of 4 bytes (B, G, R, A; straight alpha; top row first),
 * the form the WM_COPYDATA request carries them in. Null when it cannot be made; the caller
 * destroys it with DestroyIcon. */
static inline HICON NimbraIconFromPixels(const void *pixels, int width, int height)
{
    /* Room for the two colours of the 1-bpp mask's table, which GDI reads. */
    struct { BITMAPINFOHEADER bmiHeader; RGBQUAD bmiColors[2]; } info;
    void *bits = NULL;
    HBITMAP color, mask;
    HICON icon = NULL;
    ICONINFO parts;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; /* top row first */
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    color = CreateDIBSection(NULL, (BITMAPINFO *)&info, DIB_RGB_COLORS, &bits, NULL, 0);
    /* An all-zero mask (black, white): the colour bitmap's alpha decides what shows. */
    info.bmiHeader.biBitCount = 1;
    info.bmiColors[1].rgbBlue = info.bmiColors[1].rgbGreen = info.bmiColors[1].rgbRed = 255;
    mask = CreateDIBSection(NULL, (BITMAPINFO *)&info, DIB_RGB_COLORS, NULL, NULL, 0);
    if (color && mask && bits) {
        CopyMemory(bits, pixels, (SIZE_T)width * height * 4);
        parts.fIcon = TRUE;
        parts.xHotspot = parts.yHotspot = 0;
        parts.hbmMask = mask;
        parts.hbmColor = color;
        icon = CreateIconIndirect(&parts);
    }
    if (color) DeleteObject(color);
    if (mask) DeleteObject(mask);
    return icon;
}

#endif
