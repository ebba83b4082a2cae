#include "support/device.h"
#include <cwctype>

// Where the stand-in programs record their starts: "PATH\tCOMMAND LINE\tPARAMETERS" lines.
static const WCHAR STARTS_FILE[] = L"C:\\nimbra-device\\starts.txt";

static void SendMouse(DWORD flags, int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

void Tap(int x, int y)
{
    SendMouse(0, x, y);
    SendMouse(MOUSEEVENTF_LEFTDOWN, x, y);
    SendMouse(MOUSEEVENTF_LEFTUP, x, y);
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
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, (const char *)bytes.data(), (int)bytes.size(), &text[0], (int)text.size()));
    std::vector<std::wstring> starts;
    for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1) {
        std::wstring line = text.substr(at, end - at);
        size_t tab = line.find(L'\t');
        std::wstring path = line.substr(0, tab);
        for (WCHAR &c : path) c = towlower(c);
        starts.push_back(path + L" " + line.substr(line.rfind(L'\t') + 1));
    }
    return starts;
}

void ResetProgramStarts()
{
    HWND program;
    while ((program = FindWindowW(L"NimbraDeviceProgram", nullptr)) != nullptr) {
        PostMessageW(program, WM_CLOSE, 0, 0);
        if (!PumpUntil([&] { return !IsWindow(program); }, 5000)) break;
    }
    DeleteFileW(STARTS_FILE);
}
