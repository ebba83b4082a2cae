// The Pocket PC shell library (aygshell) and the few CE-only core calls, as the program uses
// them. The program includes this header where the device build includes the SDK's aygshell.h.
//
// On the device these come from the shell; on the desktop build platform/*.cpp supplies
// stand-ins with the same names and signatures. Every difference between the device and the
// desktop lives behind this header and is listed in platform/README.md. Nothing outside
// platform/ knows which of the two it runs on.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

// ---- Window styles and shell geometry -------------------------------------------------
#ifndef WS_EX_CAPTIONOKBTN
#define WS_EX_CAPTIONOKBTN 0x80000000L  // the navigation bar shows OK for this window
#endif

// Height of the shell's navigation bar (top) and menu bar (bottom) in 96-dpi units.
constexpr int SHELL_BAR_HEIGHT = 26;

// ---- Full screen and activation bookkeeping -------------------------------------------
#define SHFS_SHOWTASKBAR    0x0001
#define SHFS_HIDETASKBAR    0x0002
#define SHFS_SHOWSIPBUTTON  0x0004
#define SHFS_HIDESIPBUTTON  0x0008
#define SHFS_SHOWSTARTICON  0x0010
#define SHFS_HIDESTARTICON  0x0020

struct SHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
};
typedef SHACTIVATEINFO *PSHACTIVATEINFO;

// wParam of the settings change the shell sends every top-level window after a rotation.
#define SETTINGCHANGE_RESET 0x3002

BOOL WINAPI SHFullScreen(HWND hwnd, DWORD state);
// The SHFullScreen requests recorded for a window (0 when none), merged per shell part (a later
// show or hide of a part replaces the earlier one): the desktop's answer to "which shell parts
// did this window hide".
DWORD SHFullScreenState(HWND hwnd);
BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO *sai, DWORD flags);
BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO *sai);

// ---- Extra controls ---------------------------------------------------------------------
BOOL WINAPI SHInitExtraControls(void);

// ---- Gestures ---------------------------------------------------------------------------
#define SHRG_RETURNCMD      0x00000001
#define SHRG_NOTIFYPARENT   0x00000002
#define SHRG_LONGDELAY      0x00000008
#define GN_CONTEXTMENU      1000

struct SHRGINFO {
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown;
    DWORD dwFlags;
};
typedef SHRGINFO *PSHRGINFO;

// After a stylus-down: GN_CONTEXTMENU when the press is held still for the hold time,
// 0 when it is released or moved first.
DWORD WINAPI SHRecognizeGesture(SHRGINFO *shrg);

// ---- Menu bar ---------------------------------------------------------------------------
#define SHCMBF_EMPTYBAR       0x0001
#define SHCMBF_HIDDEN         0x0002
#define SHCMBF_HIDESIPBUTTON  0x0004
#define SHCMBF_COLORBK        0x0008
#define SHCMBF_HMENU          0x0010
#define I_IMAGENONE           (-2)

struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
};
typedef SHMENUBARINFO *PSHMENUBARINFO;

// Makes the menu bar of hwndParent from the menu-bar resource nToolBarId of hInstRes (or an
// empty bar with SHCMBF_EMPTYBAR): a toolbar along the bottom of the screen whose buttons
// send WM_COMMAND to hwndParent, and which the soft keys (VK_F1, VK_F2) press. hwndMB is the
// toolbar itself; destroying it removes the whole bar.
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO *mbi);

// ---- Dialogs ----------------------------------------------------------------------------
#define SHIDIM_FLAGS        0x0001
#define SHIDIF_DONEBUTTON   0x0001
#define SHIDIF_SIZEDLG      0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN      0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU    0x0020

struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};
typedef SHINITDLGINFO *PSHINITDLGINFO;

// Called from a dialog's WM_INITDIALOG. With SHIDIM_FLAGS: SHIDIF_EMPTYMENU gives the dialog an
// empty menu bar (SHCreateMenuBar, SHCMBF_EMPTYBAR); SHIDIF_SIZEDLG or SHIDIF_SIZEDLGFULLSCREEN
// drops its caption and frame and sizes it, before this returns (its WM_SIZE comes inside the
// call), full width from the navigation bar's bottom to the menu bar's top (the screen's bottom
// without one), and again after every rotation once the rotation call has returned;
// SHIDIF_DONEBUTTON sets WS_EX_CAPTIONOKBTN, for which the navigation bar shows OK (posting
// WM_COMMAND IDOK); SHIDIF_SIPDOWN is accepted (there is no input panel). FALSE with
// ERROR_INVALID_PARAMETER for a null record or a handle that is no window.
BOOL WINAPI SHInitDialog(SHINITDLGINFO *sidi);

// ---- File chooser -----------------------------------------------------------------------
#define OFN_SHOW_ALL            0x01000000   // list every file, system files too
#define OFN_EXFLAG_DETAILSVIEW  0x00000001   // open in the details view

// The device's file chooser record, in the device's field order (84 bytes on a 32-bit build).
struct OPENFILENAMEEX {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    DWORD dwSortOrder;
    DWORD ExFlags;
};
typedef OPENFILENAMEEX *LPOPENFILENAMEEX;

// Lets the user pick a file: TRUE with the chosen path in lpstrFile (nMaxFile characters) and
// nFileOffset / nFileExtension set; FALSE when the chooser is cancelled or fails (a path longer
// than the buffer, say), and lpstrFile is then left exactly as it was. lStructSize must be
// sizeof(OPENFILENAMEEX), else FALSE with ERROR_INVALID_PARAMETER. The desktop shows a chooser
// of the device's kind (filechooser.cpp) with the same owner, title, filter and initial folder;
// OFN_SHOW_ALL, dwSortOrder and ExFlags are ignored, and the current directory stays where it was.
BOOL WINAPI GetOpenFileNameEx(OPENFILENAMEEX *ofn);

// ---- Images -----------------------------------------------------------------------------
// Loads a BMP, JPEG, GIF or PNG file into a device-dependent bitmap; null on any failure.
HBITMAP WINAPI SHLoadImageFile(LPCWSTR fileName);

// ---- Registry helpers (answer S_OK or a failure HRESULT) --------------------------------
// Key paths may start with a backslash ("\Software\Microsoft\Color"), as on the device. A value
// longer than REGISTRY_VALUE_LIMIT bytes fails unread: nothing the program keeps in the registry
// comes near it, and reading a value of 100 MB takes the desktop's registry seconds.
constexpr DWORD REGISTRY_VALUE_LIMIT = 64 * 1024;
HRESULT WINAPI RegistryGetDWORD(HKEY root, LPCWSTR key, LPCWSTR value, DWORD *data);
// A string longer than cch characters (terminator included) fails and leaves an empty text.
HRESULT WINAPI RegistryGetString(HKEY root, LPCWSTR key, LPCWSTR value, LPWSTR data, UINT cch);
HRESULT WINAPI RegistrySetDWORD(HKEY root, LPCWSTR key, LPCWSTR value, DWORD data);
HRESULT WINAPI RegistrySetString(HKEY root, LPCWSTR key, LPCWSTR value, LPCWSTR data);
HRESULT WINAPI RegistryDeleteValue(HKEY root, LPCWSTR key, LPCWSTR value);

// ---- Shortcuts and files ----------------------------------------------------------------
BOOL WINAPI SHCreateShortcut(LPWSTR shortcut, LPWSTR target);

// ---- CE core calls ----------------------------------------------------------------------
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);

// ---- Messages from other processes ------------------------------------------------------
// Copies a terminated UTF-16 text that arrived as a message pointer into text (capacity cap
// characters). False when the pointer is null, cannot be read, or names a text that does not
// fit; never faults on a bad pointer.
bool ReadMessageText(LPARAM pointer, WCHAR *text, size_t cap);
// Copies bytes bytes of a record that arrived as a message pointer; false (and a zeroed record)
// when the pointer is null or the memory cannot be read. Never faults on a bad pointer.
bool ReadMessageRecord(LPARAM pointer, void *record, size_t bytes);

// Delivers the Today refresh notice (WM_SETTINGCHANGE, wParam 242) to every top-level window
// without waiting for, or blocking on, any of them. The device posts it to HWND_BROADCAST.
void PostTodayRefresh(WPARAM wParam, LPARAM lParam);

// ---- The device's record sizes -----------------------------------------------------------
// The device is a 32-bit platform; where pointers are 32 bits wide (a 32-bit build, which the
// test command compiles) the records the shell reads have the device's sizes.
#ifndef _WIN64
static_assert(sizeof(SHACTIVATEINFO) == 12, "the activation record is 12 bytes");
static_assert(sizeof(SHRGINFO) == 20, "the gesture record is 20 bytes");
static_assert(sizeof(SHMENUBARINFO) == 36, "the menu-bar record is 36 bytes");
static_assert(sizeof(SHINITDLGINFO) == 12, "the dialog record is 12 bytes");
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the launch record is 60 bytes");
static_assert(sizeof(OPENFILENAMEEX) == 84 && FIELD_OFFSET(OPENFILENAMEEX, ExFlags) == 80,
              "the file chooser record is 84 bytes, its extended flags last");
#endif

// ---- Desktop differences that the device's own calls hide -------------------------------
// These keep the device's call names in the program's code (see platform/README.md).
HWND PlatformCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                             int x, int y, int width, int height, HWND parent, HMENU menu,
                             HINSTANCE instance, LPVOID param);
BOOL PlatformSetForegroundWindow(HWND hwnd);
BOOL PlatformPostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LSTATUS PlatformRegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS PlatformRegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition);
BOOL PlatformShellExecuteEx(SHELLEXECUTEINFOW *info);
HWND PlatformCreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent, DLGPROC proc,
                                        LPARAM param);

#ifndef PLATFORM_IMPLEMENTATION
#undef CreateWindowExW
#define CreateWindowExW PlatformCreateWindowExW
#undef CreateWindowW
#define CreateWindowW(c, n, s, x, y, w, h, p, m, i, a) PlatformCreateWindowExW(0, c, n, s, x, y, w, h, p, m, i, a)
#define SetForegroundWindow PlatformSetForegroundWindow
#define PostMessageW PlatformPostMessageW
#define RegOpenKeyExW PlatformRegOpenKeyExW
#define RegCreateKeyExW PlatformRegCreateKeyExW
#undef ShellExecuteEx
#define ShellExecuteEx PlatformShellExecuteEx
#define ShellExecuteExW PlatformShellExecuteEx
#undef CreateDialogIndirectParamW
#define CreateDialogIndirectParamW PlatformCreateDialogIndirectParamW
#endif
