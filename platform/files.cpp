// Files the device's way: rooted paths on the program's own drive, and shortcut files.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <wchar.h>

// Longest path the desktop's wide calls take.
constexpr DWORD LONG_PATH_CHARS = 32768;

void ProgramRoot(WCHAR (&root)[MAX_PATH])
{
    root[0] = 0;
    WCHAR path[LONG_PATH_CHARS];
    DWORD n = GetModuleFileNameW(nullptr, path, LONG_PATH_CHARS);
    if (n == 0 || n >= LONG_PATH_CHARS) return;
    size_t end = 0;   // characters of the root
    if (n >= 3 && path[1] == L':' && path[2] == L'\\') {                       // C:\ .
        end = 3;
    } else if (path[0] == L'\\' && path[1] == L'\\') {                      // \\server\share\ .
        const WCHAR *server = wcschr(path + 2, L'\\');
        const WCHAR *share = server ? wcschr(server + 1, L'\\') : nullptr;
        if (share) end = share - path + 1;
    }
    if (end < MAX_PATH) CopyTextN(root, MAX_PATH, path, end);
}

// The device has one file system, so "\Windows\x" has one meaning; the desktop resolves a
// path without a drive on the current directory's drive. Making the current directory the
// root of the executable's drive gives rooted paths the device's meaning wherever the
// program was started from, and relative paths too (the device takes them from the root).
// Run during static initialisation (windows.cpp), before the program's own code.
bool AnchorRootedPaths()
{
    WCHAR root[MAX_PATH];
    ProgramRoot(root);
    return root[0] && SetCurrentDirectoryW(root) != FALSE;
}

// A device shortcut is a small text file: the target's length in characters, '#', the
// target ("23#\"\Windows\poutlook.exe\" x"). The device writes it as 8-bit text in the
// system code page, without a line end; so does this, and it refuses a target that the code
// page cannot hold rather than write a different one. Like the device it does not replace
// an existing file.
BOOL WINAPI SHCreateShortcut(LPWSTR shortcut, LPWSTR target)
{
    if (!shortcut || !target || !target[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int chars = lstrlenW(target);
    BOOL lossy = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, target, chars, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return FALSE;
    }
    char count[16];
    int prefix = wsprintfA(count, "%d#", chars);
    DWORD size = prefix + bytes;
    char *text = (char *)HeapAlloc(GetProcessHeap(), 0, size);
    if (!text) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    CopyMemory(text, count, prefix);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, target, chars, text + prefix, bytes, nullptr, nullptr);

    HANDLE file = CreateFileW(shortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    BOOL ok = file != INVALID_HANDLE_VALUE && WriteFile(file, text, size, &written, nullptr) && written == size;
    DWORD error = GetLastError();
    HeapFree(GetProcessHeap(), 0, text);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(shortcut);
        SetLastError(error ? error : ERROR_WRITE_FAULT);
    }
    return ok;
}
