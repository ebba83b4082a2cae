// The remaining shell and core calls: extra controls, dialogs and menu bars, DLL exports.
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

// Not yet: the menu bar stand-in comes with the soft keys.
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO *mbi)
{
    if (mbi) mbi->hwndMB = nullptr;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

// Not yet: full-screen dialogs come with the settings dialog.
BOOL WINAPI SHInitDialog(SHINITDLGINFO *)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
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
