/*
 * The Today item interface: what a Today item plug-in and its host exchange.
 *
 * A Today item is a DLL registered under HKLM "Software\Microsoft\Today\Items\<name>" with the
 * values "DLL" (path), "Type" (4 or more for a plug-in), "Enabled", "Flags", "Options",
 * "Order" and "Selectability". The host loads the DLL, calls the export at ordinal 240 with the
 * item's TODAYLISTITEM and its own window as parent, and expects the item's child window back.
 * It then talks to that window with the WM_TODAYCUSTOM_* messages below; the item talks to its
 * parent with the TODAYM_* messages.
 *
 * This header is self-contained (C or C++, <windows.h> only) and may be used by outside
 * plug-in authors. The record layout is the platform's published one.
 */
#ifndef NIMBRA_TODAYITEM_H
#define NIMBRA_TODAYITEM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MAX_ITEMNAME 32

/* Kinds of Today item; the built-in kinds 0-3 have no DLL. */
typedef enum _TODAYLISTITEMTYPE {
    tlitOwnerInfo = 0,
    tlitAppointments,
    tlitMail,
    tlitTasks,
    tlitCustom,
    tlitNil
} TODAYLISTITEMTYPE;

typedef struct _TODAYLISTITEM {
    WCHAR szName[MAX_ITEMNAME];   /* registry key name of the item */
    TODAYLISTITEMTYPE tlit;       /* "Type" */
    DWORD dwOrder;                /* "Order" */
    DWORD cyp;                    /* the item's height in pixels; written by the item */
    BOOL fEnabled;
    BOOL fOptions;                /* "Options": the item has an options dialog */
    DWORD grfFlags;               /* "Flags": the item's own */
    WCHAR szDLLPath[MAX_PATH];    /* "DLL" */
    HINSTANCE hinstDLL;
    HWND hwndCustom;              /* the item's window */
    BOOL fSizeOnDraw;             /* the cache fields belong to the item */
    BYTE *prgbCachedData;
    DWORD cbCachedData;
} TODAYLISTITEM, *PTODAYLISTITEM;

/* Host to item (sent to the item window). */
#define WM_TODAYCUSTOM_CLEARCACHE         (WM_USER + 242) /* wParam = TODAYLISTITEM*; after showing, before destroying */
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE  (WM_USER + 243) /* wParam = TODAYLISTITEM*; non-zero: cyp may have changed */
#define WM_TODAYCUSTOM_RECEIVEDSELECTION  (WM_USER + 244) /* wParam = VK_DOWN or VK_UP; non-zero: item takes the selection */
#define WM_TODAYCUSTOM_LOSTSELECTION      (WM_USER + 245) /* wParam 0, lParam 0 */
#define WM_TODAYCUSTOM_USERNAVIGATION     (WM_USER + 246) /* wParam = arrow key; non-zero: handled inside the item */
#define WM_TODAYCUSTOM_ACTION             (WM_USER + 247) /* wParam = VK_RETURN */

/* Item to host (sent to the parent window). */
#define TODAYM_GETCOLOR        (WM_USER + 100) /* wParam = TODAYCOLOR_*; answers the colour */
#define TODAYM_DRAWWATERMARK   (WM_USER + 101) /* lParam = TODAYDRAWWATERMARKINFO*; answers 1 */
#define TODAYM_TOOKSELECTION   (WM_USER + 102) /* wParam = the item window */
#define TODAYM_REQUESTREFRESH  (WM_USER + 103) /* the host runs a layout pass */

/* The host's own queries. */
#define TODAYM_GETTRAYSTYLE    (WM_USER + 222) /* answers 7 with large strip icons, else 3 */
#define TODAYM_GETHOSTWINDOW   (WM_USER + 223) /* answers the host's top-level window */

/* Colour indices for TODAYM_GETCOLOR. */
#define TODAYCOLOR_TEXT             0x10000004
#define TODAYCOLOR_HIGHLIGHT        0x10000022
#define TODAYCOLOR_HIGHLIGHTEDTEXT  0x10000023

/* TODAYM_DRAWWATERMARK: paint the background behind rc of hwnd into hdc (item client coordinates). */
typedef struct _TODAYDRAWWATERMARKINFO {
    HDC hdc;
    RECT rc;
    HWND hwnd;
} TODAYDRAWWATERMARKINFO;

/* Export ordinal 240: create the item window as a child of hwndParent, or answer NULL. */
#define ORDINAL_INITIALIZEITEM 240
typedef HWND (*PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM *ptli, HWND hwndParent);

/* Export ordinal 241: the item's options dialog procedure. The host does not call it. */
#define ORDINAL_CUSTOMOPTIONSDLGPROC 241
typedef BOOL (CALLBACK *PFNCUSTOMOPTIONSDLGPROC)(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);

/* The device is a 32-bit platform: there both records have the layout every item is built
 * against. A 32-bit build of the program checks it (64-bit builds widen the handles). */
#if !defined(_WIN64)
#ifdef __cplusplus
#define NIMBRA_CHECK(cond, what) static_assert(cond, what)
#else
#define NIMBRA_CHECK(cond, what) _Static_assert(cond, what)
#endif
#define NIMBRA_AT(type, field, at) NIMBRA_CHECK(FIELD_OFFSET(type, field) == at, #type "." #field " at " #at)
NIMBRA_AT(TODAYLISTITEM, tlit, 64);
NIMBRA_AT(TODAYLISTITEM, dwOrder, 68);
NIMBRA_AT(TODAYLISTITEM, cyp, 72);
NIMBRA_AT(TODAYLISTITEM, fEnabled, 76);
NIMBRA_AT(TODAYLISTITEM, fOptions, 80);
NIMBRA_AT(TODAYLISTITEM, grfFlags, 84);
NIMBRA_AT(TODAYLISTITEM, szDLLPath, 88);
NIMBRA_AT(TODAYLISTITEM, hinstDLL, 608);
NIMBRA_AT(TODAYLISTITEM, hwndCustom, 612);
NIMBRA_AT(TODAYLISTITEM, fSizeOnDraw, 616);
NIMBRA_AT(TODAYLISTITEM, prgbCachedData, 620);
NIMBRA_AT(TODAYLISTITEM, cbCachedData, 624);
NIMBRA_CHECK(sizeof(TODAYLISTITEM) == 628, "TODAYLISTITEM is 628 bytes");
NIMBRA_AT(TODAYDRAWWATERMARKINFO, rc, 4);
NIMBRA_AT(TODAYDRAWWATERMARKINFO, hwnd, 20);
NIMBRA_CHECK(sizeof(TODAYDRAWWATERMARKINFO) == 24, "TODAYDRAWWATERMARKINFO is 24 bytes");
#undef NIMBRA_AT
#undef NIMBRA_CHECK
#endif

#ifdef __cplusplus
}
#endif

#endif
