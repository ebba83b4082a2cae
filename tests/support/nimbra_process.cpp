#include "support/nimbra_process.h"

bool WriteSettingsBeside(const std::wstring &exePath, const std::wstring &plugins, const std::wstring &title)
{
    std::wstring text = L"\xFEFF" L"Plugins = " + plugins + L"\nTitle = " + title + L"\n";
    std::wstring folder = exePath.substr(0, exePath.find_last_of(L'\\') + 1);
    return WriteFileBytes(folder + L"settings.ini", text.data(), text.size() * sizeof(wchar_t));
}

bool NimbraProcess::Start(const std::wstring &words, const WCHAR *directory)
{
    Kill();
    std::wstring commandLine = L"\"" + exe_ + L"\"";
    if (!words.empty()) commandLine += L" " + words;
    std::wstring folder = exe_.substr(0, exe_.find_last_of(L'\\'));
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    return CreateProcessW(exe_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          directory ? directory : folder.c_str(), &si, &info_) != 0;
}

DWORD NimbraProcess::Wait(DWORD timeoutMs)
{
    if (!info_.hProcess) return STILL_ACTIVE;
    // Pump while waiting: the program may send this process's windows messages.
    PumpUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void NimbraProcess::Kill()
{
    if (!info_.hProcess) return;
    if (Running()) TerminateProcess(info_.hProcess, 99), WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
    info_ = {};
}

DWORD RunNimbra(const std::wstring &words, DWORD timeoutMs, const std::wstring &exe)
{
    NimbraProcess p(exe);
    return p.Start(words) ? p.Wait(timeoutMs) : (DWORD)-100;
}

HWND WaitForNimbraWindow(const std::wstring &title, DWORD timeoutMs)
{
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindWindowW(L"NimbraClass", title.c_str())) != nullptr; }, timeoutMs);
    return found;
}

// Set in the environment of a child started by RunTestChild.
static const WCHAR CHILD_VARIABLE[] = L"NIMBRA_TEST_CHILD";

bool InTestChild() { return GetEnvironmentVariableW(CHILD_VARIABLE, nullptr, 0) > 0; }

DWORD RunTestChild(const std::wstring &test, const std::wstring &exe, const WCHAR *directory)
{
    NimbraProcess child(exe.empty() ? ThisProgram() : exe);
    SetEnvironmentVariableW(CHILD_VARIABLE, L"1");
    const bool started = child.Start(L"--gtest_filter=" + test, directory);
    SetEnvironmentVariableW(CHILD_VARIABLE, nullptr);
    return started ? child.Wait(30000) : (DWORD)-2;
}

int GdiObjects(HWND window, int type)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    auto query = (LONG(WINAPI *)(HANDLE, int, void *, ULONG, ULONG *))(void *)GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQueryInformationProcess");
    ULONG_PTR basic[6] = {}, table = 0;   // PROCESS_BASIC_INFORMATION: the block's address second
    std::vector<BYTE> entries(0x10000 * 24);
    bool read = process && query && !query(process, 0, basic, sizeof basic, nullptr) &&
                ReadProcessMemory(process, (BYTE *)basic[1] + 0xF8, &table, sizeof table, nullptr) && table &&
                ReadProcessMemory(process, (void *)table, entries.data(), entries.size(), nullptr);
    if (process) CloseHandle(process);
    int live = 0;
    for (size_t at = 0; read && at < entries.size(); at += 24) live += entries[at + 14] && (!type || (entries[at + 12] & 0x7F) == type);
    return read ? live : -1;
}

std::vector<BYTE> IconRequest(DWORD op, HWND owner, UINT id, UINT flags, UINT message, int side, DWORD argb)
{
    const NIMBRANOTIFYICONCOPY head = {op, {sizeof(NIMBRANOTIFYICONDATA), NIMBRA_HANDLE32(owner), id, flags, message, 0, {}}};
    const NIMBRAICONPIXELS size = {(DWORD)side, (DWORD)side};
    std::vector<BYTE> bytes((const BYTE *)&head, (const BYTE *)(&head + 1));
    if (side) bytes.insert(bytes.end(), (const BYTE *)&size, (const BYTE *)(&size + 1));
    for (int i = 0; i < side * side; i++) bytes.insert(bytes.end(), (const BYTE *)&argb, (const BYTE *)(&argb + 1));
    return bytes;
}

std::pair<DWORD, DWORD> SendCopy(HWND window, ULONG_PTR dwData, const std::vector<BYTE> &bytes)
{
    COPYDATASTRUCT data = {dwData, (DWORD)bytes.size(), bytes.empty() ? nullptr : (void *)bytes.data()};
    ULONG64 reply = (ULONG64)SendMessageW(window, WM_COPYDATA, 0, (LPARAM)&data);
    return {(DWORD)reply, (DWORD)(reply >> 32)};
}
