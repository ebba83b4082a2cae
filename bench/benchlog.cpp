// The bench build's record of base/bench.h's notes: every note with its time stamp
// (QueryPerformanceCounter, shared by all processes), written to bench.log beside the
// executable when the first full frame is up and again when the program quits. The first full
// frame is the first moment after the items were loaded at which ItemHost (the background)
// and every item window have painted; then the named event NimbraBenchFrame is set, which
// tells bench/benchrun.cpp that the start is over.
#include "base/bench.h"
#include "items/itemhost.h"
#include "items/items.h"

// Plain arrays and Win32 calls only: the bench build must load and start as the shipped
// program does, without a C++ runtime library that Nimbra.exe does not have.
namespace {

struct Note {
    LONGLONG time;
    BenchEvent event;
    const char *what;
    UINT_PTR value;
};

constexpr int MAX_NOTES = 200000;
Note *Notes;   // committed at the first note; untouched pages cost nothing
int NoteCount;
HWND Painted[64];                   // windows painted since the items were loaded
int PaintedCount;
bool ItemsLoaded, FrameDone;

bool HasPainted(HWND window)
{
    for (int i = 0; i < PaintedCount; i++)
        if (Painted[i] == window) return true;
    return false;
}

char *Decimal(char *out, unsigned long long value)
{
    char digits[24];
    int n = 0;
    do digits[n++] = (char)('0' + value % 10); while (value /= 10);
    while (n) *out++ = digits[--n];
    return out;
}

// One line per note: time stamp, event, what (or "-"), value.
void WriteLog()
{
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length && path[length - 1] != L'\\') length--;
    lstrcpyW(path + length, L"bench.log");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    for (int i = 0; i < NoteCount; i++) {
        const Note &n = Notes[i];
        char line[128], *p = Decimal(line, (unsigned long long)n.time);
        *p++ = ' ';
        p = Decimal(p, (unsigned)n.event);
        *p++ = ' ';
        for (const char *w = n.what[0] ? n.what : "-"; *w && p < line + 100; w++) *p++ = *w;
        *p++ = ' ';
        p = Decimal(p, n.value);
        *p++ = '\n';
        DWORD written;
        WriteFile(file, line, (DWORD)(p - line), &written, nullptr);
    }
    CloseHandle(file);
}

void CheckFrame()
{
    if (FrameDone || !ItemsLoaded || !HasPainted(ItemHost) || ItemCount == 0) return;
    for (UINT i = 0; i < ItemCount; i++)
        if (Items[i].hwndCustom && !HasPainted(Items[i].hwndCustom)) return;
    FrameDone = true;
    BenchNote(BENCH_STEP, "frame");
    WriteLog();
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"NimbraBenchFrame");
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
}

}   // namespace

void BenchNote(BenchEvent event, const char *what, UINT_PTR value)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (!Notes) Notes = (Note *)VirtualAlloc(nullptr, MAX_NOTES * sizeof(Note), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (Notes && NoteCount < MAX_NOTES) Notes[NoteCount++] = {now.QuadPart, event, what, value};
    if (event == BENCH_STEP && !lstrcmpA(what, "items")) ItemsLoaded = true;
    if (event == BENCH_STEP && !lstrcmpA(what, "quit")) WriteLog();
    if (event == BENCH_PAINT && ItemsLoaded) {
        if (!HasPainted((HWND)value) && PaintedCount < 64) Painted[PaintedCount++] = (HWND)value;
        CheckFrame();
    }
}
