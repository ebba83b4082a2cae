// The remaining shell and core calls: extra controls, dialogs, starting programs, DLL exports.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <wchar.h>

// The device's shell registers its own controls; the program's dialogs use the common
// controls, which the desktop makes available only after this.
BOOL WINAPI SHInitExtraControls(void)
{
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                             ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES };
    return InitCommonControlsEx(&icc);
}

// Called from a dialog's WM_INITDIALOG. The device's shell gives the dialog an empty menu bar,
// fills the screen between the navigation bar and that bar with it, and shows OK for it in the
// navigation bar. The input panel it lowers does not exist here.
BOOL WINAPI SHInitDialog(SHINITDLGINFO *sidi)
{
    if (!sidi || !IsWindow(sidi->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(sidi->dwMask & SHIDIM_FLAGS)) return TRUE;
    HWND dialog = sidi->hDlg;
    DWORD flags = sidi->dwFlags;
    if (flags & SHIDIF_DONEBUTTON)   // the navigation bar stand-in (device/) shows OK for this bit
        SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) | WS_EX_CAPTIONOKBTN);
    if (flags & SHIDIF_EMPTYMENU) {  // first, so that the dialog's work area ends at the bar
        SHMENUBARINFO bar = {sizeof bar, dialog, SHCMBF_EMPTYBAR, 0, nullptr, 0, 0, nullptr, 0};
        if (!SHCreateMenuBar(&bar)) return FALSE;
    }
    if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) FitDialogToWorkArea(dialog);
    return TRUE;
}

// Starts a program or opens a document as the device does: a rooted path names the program's
// drive, a quoted path is taken without its quotes (the text after it as parameters), and a
// failure is silent. The desktop would
// show a blocking error box for a failure, open a file manager for a directory, and resolve a
// rooted path on whatever drive the current directory is on.
BOOL PlatformShellExecuteEx(SHELLEXECUTEINFOW *info)
{
    if (!info || info->cbSize != sizeof *info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const WCHAR *given = info->lpFile ? info->lpFile : L"", *rest = L"";
    const WCHAR *parameters = info->lpParameters ? info->lpParameters : L"";
    size_t length = wcslen(given);
    if (length >= 2 && given[0] == L'"') {   // up to the closing quote, or to the end
        given++;
        const WCHAR *quote = wcschr(given, L'"');
        length = quote ? quote - given : length - 1;
        // What follows the quoted path are parameters, before the ones given.
        for (rest = quote ? quote + 1 : L""; *rest == L' '; rest++) {}
    }
    // One block: the path with room for the program's root before a rooted one, then the
    // parameters.
    size_t restLength = wcslen(rest), all = restLength + wcslen(parameters) + 2;
    WCHAR *file = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (length + MAX_PATH + all) * sizeof(WCHAR));
    if (!file) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    file[0] = 0;
    if (length >= 2 && given[0] == L'\\' && given[1] != L'\\') {
        WCHAR root[MAX_PATH];
        ProgramRoot(root);
        size_t rootLength = wcslen(root);
        if (rootLength) CopyTextN(file, MAX_PATH, root, rootLength - 1);
    }
    size_t at = wcslen(file);
    CopyTextN(file + at, length + 1, given, length);
    WCHAR *arguments = file + length + MAX_PATH;
    CopyText(arguments, all, rest);
    if (restLength && *parameters) AppendText(arguments, all, L" ");
    AppendText(arguments, all, parameters);
    BOOL started = FALSE;
    DWORD attributes = GetFileAttributesW(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        info->hInstApp = (HINSTANCE)SE_ERR_FNF;
        SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
        SHELLEXECUTEINFOW desktop = *info;
        desktop.lpFile = file;
        desktop.lpParameters = *arguments ? arguments : nullptr;
        desktop.fMask |= SEE_MASK_FLAG_NO_UI;
        started = ShellExecuteExW(&desktop);
        info->hInstApp = desktop.hInstApp;
        info->hProcess = desktop.hProcess;
    }
    DWORD error = GetLastError();
    HeapFree(GetProcessHeap(), 0, file);
    SetLastError(error);
    return started;
}

// The device looks exports up by wide name or by ordinal (MAKEINTRESOURCE(240)); the
// desktop's lookup takes an ordinal the same way and a name in 8-bit text.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName)
{
    if (IS_INTRESOURCE(procName)) return GetProcAddress(module, (LPCSTR)procName);
    int bytes = WideCharToMultiByte(CP_ACP, 0, procName, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    char *name = (char *)HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!name) return nullptr;
    WideCharToMultiByte(CP_ACP, 0, procName, -1, name, bytes, nullptr, nullptr);
    FARPROC found = GetProcAddress(module, name);
    HeapFree(GetProcessHeap(), 0, name);
    return found;
}
