// The remaining shell and core calls: extra controls, dialogs, starting programs, DLL exports.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <vector>

// The device's shell registers its own controls; the program's dialogs use the common
// controls, which the desktop makes available only after this.
BOOL WINAPI SHInitExtraControls(void)
{
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                             ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES };
    return InitCommonControlsEx(&icc);
}

// Not yet: full-screen dialogs come with the settings dialog.
BOOL WINAPI SHInitDialog(SHINITDLGINFO *)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

// Starts a program or opens a document as the device does: a rooted path names the program's
// drive, a quoted path is taken without its quotes, and a failure is silent. The desktop would
// show a blocking error box for a failure, open a file manager for a directory, and resolve a
// rooted path on whatever drive the current directory is on.
BOOL PlatformShellExecuteEx(SHELLEXECUTEINFOW *info)
{
    if (!info || info->cbSize != sizeof *info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring file = info->lpFile ? info->lpFile : L"";
    if (file.size() >= 2 && file[0] == L'"') file = file.substr(1, file.find(L'"', 1) - 1);
    if (file.size() >= 2 && file[0] == L'\\' && file[1] != L'\\') {
        std::wstring root = ProgramRoot();
        if (!root.empty()) file = root.substr(0, root.size() - 1) + file;
    }
    DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        info->hInstApp = (HINSTANCE)SE_ERR_FNF;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    SHELLEXECUTEINFOW desktop = *info;
    desktop.lpFile = file.c_str();
    desktop.fMask |= SEE_MASK_FLAG_NO_UI;
    BOOL started = ShellExecuteExW(&desktop);
    info->hInstApp = desktop.hInstApp;
    info->hProcess = desktop.hProcess;
    return started;
}

// The device looks exports up by wide name or by ordinal (MAKEINTRESOURCE(240)); the
// desktop's lookup takes an ordinal the same way and a name in 8-bit text.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName)
{
    if (IS_INTRESOURCE(procName)) return GetProcAddress(module, (LPCSTR)procName);
    int bytes = WideCharToMultiByte(CP_ACP, 0, procName, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    std::vector<char> name(bytes);
    WideCharToMultiByte(CP_ACP, 0, procName, -1, name.data(), bytes, nullptr, nullptr);
    return GetProcAddress(module, name.data());
}
