// Files the device's way: rooted paths on the program's own drive, and shortcut files.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <string>
#include <vector>

// Longest path the desktop's wide calls take.
constexpr DWORD LONG_PATH_CHARS = 32768;

std::wstring ProgramRoot()
{
    std::vector<WCHAR> exe(LONG_PATH_CHARS);
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), LONG_PATH_CHARS);
    if (n == 0 || n >= LONG_PATH_CHARS) return L"";
    std::wstring path(exe.data(), n);
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return path.substr(0, 3);    // C:\ .
    if (path.compare(0, 2, L"\\\\") != 0) return L"";
    size_t server = path.find(L'\\', 2);                                                    // \\server\share\ .
    size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? L"" : path.substr(0, share + 1);
}

// The device has one file system, so "\Windows\x" has one meaning; the desktop resolves a
// path without a drive on the current directory's drive. Making the current directory the
// root of the executable's drive gives rooted paths the device's meaning wherever the
// program was started from, and relative paths too (the device takes them from the root).
// Run during static initialisation (windows.cpp), before the program's own code.
bool AnchorRootedPaths()
{
    std::wstring root = ProgramRoot();
    return !root.empty() && SetCurrentDirectoryW(root.c_str()) != FALSE;
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
    std::vector<char> text(prefix + bytes);
    CopyMemory(text.data(), count, prefix);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, target, chars, text.data() + prefix, bytes, nullptr, nullptr);

    HANDLE file = CreateFileW(shortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr) && written == text.size();
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(shortcut);
        SetLastError(error ? error : ERROR_WRITE_FAULT);
    }
    return ok;
}
