// The device's file chooser over the desktop's open-file dialog. The program's GUI thread is in
// the multithreaded COM apartment, as on the device; Wine's dialog (Explorer style) opens, lists,
// picks and cancels there as on a single-threaded thread (platform/README.md).
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <vector>

// The device's record, field by field as the device lays it out (84 bytes for 32-bit code).
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(OPENFILENAMEEX) == 84, "the device's 32-bit file chooser record");
#else
static_assert(offsetof(OPENFILENAMEEX, lpstrFile) == 48 && offsetof(OPENFILENAMEEX, Flags) == 96 &&
              offsetof(OPENFILENAMEEX, ExFlags) == 140 && sizeof(OPENFILENAMEEX) == 144,
              "the device's field order with 64-bit pointers");
#endif

BOOL WINAPI GetOpenFileNameEx(OPENFILENAMEEX *ofn)
{
    if (!ofn || ofn->lStructSize != sizeof *ofn || !ofn->lpstrFile || !ofn->nMaxFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The desktop may write into the buffer when the user cancels or the dialog fails (a size
    // for a buffer too small, say): it chooses into a copy, which replaces the caller's text
    // only on success.
    std::vector<WCHAR> file(ofn->lpstrFile, ofn->lpstrFile + ofn->nMaxFile);
    file.back() = 0;
    OPENFILENAMEW desktop = {};
    desktop.lStructSize = sizeof desktop;
    desktop.hwndOwner = ofn->hwndOwner;
    desktop.hInstance = ofn->hInstance;
    desktop.lpstrFilter = ofn->lpstrFilter;
    desktop.lpstrCustomFilter = ofn->lpstrCustomFilter;
    desktop.nMaxCustFilter = ofn->nMaxCustFilter;
    desktop.nFilterIndex = ofn->nFilterIndex;
    desktop.lpstrFile = file.data();
    desktop.nMaxFile = ofn->nMaxFile;
    desktop.lpstrFileTitle = ofn->lpstrFileTitle;
    desktop.nMaxFileTitle = ofn->nMaxFileTitle;
    desktop.lpstrInitialDir = ofn->lpstrInitialDir;
    desktop.lpstrTitle = ofn->lpstrTitle;
    // OFN_SHOW_ALL, the sort order and ExFlags have no desktop counterpart. Without
    // OFN_NOCHANGEDIR the dialog leaves the current directory in the last folder it showed,
    // even when cancelled, and rooted paths resolve on the current directory's drive.
    desktop.Flags = (ofn->Flags & ~OFN_SHOW_ALL) | OFN_NOCHANGEDIR;
    desktop.lpstrDefExt = ofn->lpstrDefExt;
    desktop.lCustData = ofn->lCustData;
    desktop.lpfnHook = ofn->lpfnHook;
    desktop.lpTemplateName = ofn->lpTemplateName;

    if (!GetOpenFileNameW(&desktop)) return FALSE;
    CopyMemory(ofn->lpstrFile, file.data(), ofn->nMaxFile * sizeof(WCHAR));
    ofn->nFilterIndex = desktop.nFilterIndex;
    ofn->nFileOffset = desktop.nFileOffset;
    ofn->nFileExtension = desktop.nFileExtension;
    return TRUE;
}
