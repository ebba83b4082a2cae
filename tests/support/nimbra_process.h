// Starting and observing Nimbra.exe from another process, as other programs do. The emulated
// device has it installed at C:\Program Files\Nimbra\Nimbra.exe.
#pragma once
#include "support/testing.h"
#include "items/notifyicon.h"

#define INSTALLED_NIMBRA L"C:\\Program Files\\Nimbra\\Nimbra.exe"

// Writes settings.ini beside the given executable, as the program writes it (UTF-16 LE, BOM, " = ",
// LF). By default one item that does not exist (no settings dialog at start) and the title "Start".
bool WriteSettingsBeside(const std::wstring &exePath, const std::wstring &plugins = L"1::NoSuchItem::", const std::wstring &title = L"Start");

class NimbraProcess {
public:
    explicit NimbraProcess(std::wstring exePath = INSTALLED_NIMBRA) : exe_(std::move(exePath)) {}
    ~NimbraProcess() { Kill(); }
    NimbraProcess(const NimbraProcess &) = delete;
    NimbraProcess &operator=(const NimbraProcess &) = delete;

    // Starts the program with the given command line words in directory (by default its own
    // folder); false when it could not start.
    bool Start(const std::wstring &words = L"", const WCHAR *directory = nullptr);
    // Waits for the process to end; answers its exit code, or STILL_ACTIVE after the time-out.
    DWORD Wait(DWORD timeoutMs);
    bool Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // Ends the process if it still runs (a test that failed half-way).
    void Kill();

private:
    std::wstring exe_;
    PROCESS_INFORMATION info_ = {};
};

// Runs the program with the words and waits for it to end; answers the exit code.
DWORD RunNimbra(const std::wstring &words, DWORD timeoutMs = 15000, const std::wstring &exe = INSTALLED_NIMBRA);
// Waits for a top-level window of class "NimbraClass" with this title.
HWND WaitForNimbraWindow(const std::wstring &title, DWORD timeoutMs = 15000);

// Runs one test ("Suite.Name") of this program in a child process: this program, or the copy of it
// at exe, started in directory (its own folder when null). Answers the child's exit code (0 when
// its test passed or was skipped).
DWORD RunTestChild(const std::wstring &test, const std::wstring &exe = L"", const WCHAR *directory = nullptr);
// True in a child started by RunTestChild: tests that only make sense there skip elsewhere.
bool InTestChild();

// The GDI objects in use of the process that owns the window, of one type (9: bitmaps) or of
// every type (0), counted in its GDI handle table, which Wine keeps in the process environment
// block as Windows does: 24-byte entries, the type in the low bits of byte 12, byte 14 cleared
// when the handle is freed. An icon made from pixels with alpha holds three bitmaps (colour,
// mask, alpha). -1 when the table cannot be read.
int GdiObjects(HWND window, int type = 0);

// An icon request as another program sends it (WM_COPYDATA, dwData HM_NOTIFYICON_MESSAGE): the
// operation and the record for owner and id, then, when side is not 0, side x side pixels of
// one colour (0xAARRGGBB).
std::vector<BYTE> IconRequest(DWORD op, HWND owner, UINT id, UINT flags, UINT message, int side, DWORD argb);
// Sends the bytes to the window as WM_COPYDATA; answers the reply's result and last-error code.
std::pair<DWORD, DWORD> SendCopy(HWND window, ULONG_PTR dwData, const std::vector<BYTE> &bytes);
