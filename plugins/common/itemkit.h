// Small helpers shared by Nimbra's own Today items: registry access to the item's key,
// density scaling, class registration and the host-drawn background. Linked statically
// into every item DLL, so each DLL has its own copy of the state below.
#pragma once
#include "items/todayitem.h"
#include <string>
#include <vector>

// Key of every Today item registration under HKEY_LOCAL_MACHINE.
#define TODAY_ITEMS_KEY L"Software\\Microsoft\\Today\\Items"

// A length in 96-dpi units scaled to the screen's LOGPIXELSY, truncated toward zero.
int ItemScaleY(int length);

// Registers a window class of this DLL; an existing class of the same name (a second item
// of this kind in the same process) counts as success.
bool RegisterItemClass(HINSTANCE instance, const wchar_t *className, WNDPROC proc);

// Values of HKLM "Software\Microsoft\Today\Items\<item>"; missing values give the fallback.
DWORD ReadItemDword(const wchar_t *item, const wchar_t *value, DWORD fallback);
bool HasItemValue(const wchar_t *item, const wchar_t *value);
std::wstring ReadItemString(const wchar_t *item, const wchar_t *value);
// A REG_MULTI_SZ (or a single REG_SZ) as a list of strings.
std::vector<std::wstring> ReadItemStrings(const wchar_t *item, const wchar_t *value);
bool WriteItemDword(const wchar_t *item, const wchar_t *value, DWORD data);

// A string value of any HKCU key; empty when missing.
std::wstring ReadUserString(const wchar_t *key, const wchar_t *value);

// Asks the host for one of its TODAYCOLOR_* colours.
COLORREF HostColor(HWND item, DWORD index);

// Paints the item's background into hdc over rc (item client coordinates): the host's
// watermark, or the highlight colour when the item is selected. Answers the colour the text
// must be drawn in. watermarkResult receives the host's answer to TODAYM_DRAWWATERMARK
// (0 when the selected fill was used instead).
COLORREF PaintItemBackground(HWND item, HDC hdc, const RECT &rc, bool selected,
                             LRESULT *watermarkResult = nullptr);

// The Today screen's item font at the given 96-dpi pixel height (caller deletes it).
HFONT CreateItemFont(int height96, bool bold);

// One line of a text item: its text, the height of its band and its font, in 96-dpi pixels.
struct ItemLine {
    std::wstring Text;
    int Height96;
    int FontSize96;
    bool Bold;
};

// Height in pixels of an item that shows these lines, with a small margin above and below.
int ItemLinesHeight(const std::vector<ItemLine> &lines);

// Handles WM_PAINT for an item that shows lines of text over the host's background.
void PaintItemLines(HWND item, bool selected, const std::vector<ItemLine> &lines);

// Tells the host that a tapped item took the selection.
void AnnounceSelection(HWND item);

// Draws one line of text left-aligned at y, clipped to the item's width. Transparent
// background; the caller has selected font and text colour.
void DrawItemLine(HDC hdc, const RECT &client, int y, const std::wstring &text);

// The item's name from its record, which need not hold a terminator.
std::wstring ItemName(const TODAYLISTITEM *item);

// Creates an item's window: a visible child as wide as the parent and height pixels high,
// the height also written to the record's cyp. record travels with the window (see
// ItemRecord). Null when the window could not be made.
HWND CreateItemWindow(HINSTANCE module, const wchar_t *className, const wchar_t *title, TODAYLISTITEM *ptli,
                      HWND parent, int height, void *record);

// The record given to CreateItemWindow, for a window procedure: kept from WM_NCCREATE on
// (null before). At WM_NCDESTROY the window lets go of it and it is answered a last time,
// for the caller to free.
void *ItemRecord(HWND hwnd, UINT msg, LPARAM lParam);

// Writes height into the record a height query carries in wParam (if any).
void ReportItemHeight(WPARAM wParam, int height);

// The messages a text item answers alike: the host giving the selection (answered TRUE) or
// taking it, a tap (takes the selection and tells the host) and WM_ERASEBKGND (WM_PAINT
// draws the background). A change of *selected repaints the window. Answers true, with
// the message's *result, when msg was one of these.
bool HandleItemSelection(HWND hwnd, UINT msg, bool *selected, LRESULT *result);

// Closes an options dialog on OK or Cancel; answers whether it did.
bool EndItemOptions(HWND dialog, UINT msg, WPARAM wParam);

// The options dialog procedure of an item without options: any dialog closes on OK or Cancel.
BOOL NoItemOptions(HWND dialog, UINT msg, WPARAM wParam);

// DllMain of an item DLL with one window class: keeps the module in *module and, when the
// DLL is freed (not at process exit, where the class goes with the process), unregisters
// the class and gives back what the C++ library reserved at load.
BOOL ItemDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved, HINSTANCE *module, const wchar_t *className);
