#include "support/device.h"
#include <algorithm>
#include <cwctype>

// Where the stand-in programs record their starts: "PATH\tPARAMETERS\tCOMMAND LINE" lines.
static const WCHAR STARTS_FILE[] = L"C:\\nimbra-device\\starts.txt";

void Tap(int x, int y)
{
    MovePointerTo(x, y);   // a press lands where the X server's pointer is
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    PumpMessages();
}

void Hold(int x, int y, DWORD ms)
{
    MovePointerTo(x, y);
    // The window under the pointer sees it arrive first: a move it sees during the hold would
    // end the hold.
    PumpFor(300);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    // The stylus trembles by the drag tolerance, the most a hold may move.
    PumpFor(100), MovePointerTo(x + GetSystemMetrics(SM_CXDRAG), y - GetSystemMetrics(SM_CYDRAG)), PumpFor(ms - 100);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    PumpMessages();
}

void PressKey(WORD key)
{
    keybd_event((BYTE)key, 0, 0, 0);
    keybd_event((BYTE)key, 0, KEYEVENTF_KEYUP, 0);
    PumpMessages();
}

std::vector<std::wstring> ProgramStarts(size_t count)
{
    PumpUntil([&] { std::vector<unsigned char> b = ReadFileBytes(STARTS_FILE); return std::count(b.begin(), b.end(), '\n') >= (ptrdiff_t)count; }, 10000);
    PumpFor(500);
    std::vector<std::wstring> starts;
    std::wstring line;
    for (unsigned char c : ReadFileBytes(STARTS_FILE))   // the paths and parameters the tests use are ASCII
        if (c != '\n') line += towlower(c);
        else starts.push_back(line.substr(0, line.rfind(L'\t'))), line.clear();
    return starts;
}

void ResetProgramStarts()
{
    HWND program;   // each stand-in in turn, until one does not close
    while ((program = FindWindowW(L"NimbraDeviceProgram", nullptr)) && PostMessageW(program, WM_CLOSE, 0, 0) &&
           PumpUntil([&] { return !IsWindow(program); }, 5000)) {}
    DeleteFileW(STARTS_FILE);
}
