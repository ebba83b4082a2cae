#include "support/device.h"
#include <cwctype>

// Where the stand-in programs record their starts: "PATH\tPARAMETERS\tCOMMAND LINE" lines.
static const WCHAR STARTS_FILE[] = L"C:\\nimbra-device\\starts.txt";

void Tap(int x, int y)
{
    INPUT input[3] = {};
    for (DWORD i = 0; i < 3; i++) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input[i].mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input[i].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | (i == 1 ? MOUSEEVENTF_LEFTDOWN : i == 2 ? MOUSEEVENTF_LEFTUP : 0);
    }
    SendInput(3, input, sizeof input[0]);
    PumpMessages();
}

void PressKey(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
    PumpMessages();
}

std::vector<std::wstring> ProgramStarts()
{
    std::vector<unsigned char> bytes = ReadFileBytes(STARTS_FILE);
    std::vector<std::wstring> starts;
    std::wstring line;
    for (unsigned char c : bytes) {   // the paths and parameters the tests use are ASCII
        if (c != '\n') line += towlower(c);
        else starts.push_back(line.substr(0, line.rfind(L'\t'))), line.clear();
    }
    return starts;
}

void ResetProgramStarts()
{
    for (HWND program; (program = FindWindowW(L"NimbraDeviceProgram", nullptr)) != nullptr;) {
        PostMessageW(program, WM_CLOSE, 0, 0);
        if (!PumpUntil([&] { return !IsWindow(program); }, 5000)) break;
    }
    DeleteFileW(STARTS_FILE);
}
