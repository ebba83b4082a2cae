// Start-up, idle and memory figures of Nimbra, measured from outside as a user would start it.
// Run from the device's C: drive with Nimbra.exe, Nimbra-bench.exe and minimal.exe installed in
// C:\Program Files\Nimbra (bench/run.sh does all of this):
//   benchrun.exe startup RUNS    process creation to the first full frame, Nimbra against the
//                                minimal program, RUNS alternating runs each (after one warm-up
//                                run each); medians, their ratio, and the median time of every
//                                start-up step of the bench build
//   benchrun.exe idle SECONDS    layout passes, item messages, moves, paints and CPU over an
//                                idle stretch with the five items; then 20 icon adds in a burst
//   benchrun.exe memory RUNS     resident memory of Nimbra.exe (shipped) and of the minimal
//                                program a few seconds after start, medians of RUNS each
// The machine's other load is not controlled: compare figures of one run with each other.
#include "base/bench.h"
#include "items/notifyicon.h"
#include <algorithm>
#include <map>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const wchar_t FOLDER[] = L"C:\\Program Files\\Nimbra\\";
const wchar_t BENCH_EXE[] = L"Nimbra-bench.exe";
const wchar_t SHIPPED_EXE[] = L"Nimbra.exe";
const wchar_t MINIMAL_EXE[] = L"minimal.exe";
const wchar_t ITEMS_KEY[] = L"Software\\Microsoft\\Today\\Items\\";
// The five items: the three samples and second copies of two of them under other names.
const wchar_t *const ITEMS[] = {L"NimbraClock", L"NimbraOwner", L"NimbraNotes", L"BenchOwner2", L"BenchNotes2"};

double Millis(LONGLONG ticks)
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    return ticks * 1000.0 / frequency.QuadPart;
}

LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A second registration of a sample item with a copy of its DLL, so that it is a module of its own.
bool RegisterCopy(const wchar_t *name, const wchar_t *sample)
{
    std::wstring from = std::wstring(FOLDER) + L"plugins\\" + sample + L".dll";
    std::wstring to = std::wstring(FOLDER) + L"plugins\\" + name + L".dll";
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) return false;
    std::wstring key = std::wstring(ITEMS_KEY) + name, sampleKey = std::wstring(ITEMS_KEY) + sample;
    HKEY source, target;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sampleKey.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    RegCopyTreeW(source, nullptr, target);
    RegSetValueExW(target, L"DLL", 0, REG_SZ, (const BYTE *)to.c_str(), (DWORD)(to.size() + 1) * 2);
    RegCloseKey(source);
    RegCloseKey(target);
    return true;
}

// settings.ini with the five items from first (1: without the clock, whose icon would take
// one of the strip's 20 places); UTF-16 with its byte-order mark.
bool WriteSettings(int first)
{
    std::wstring text = L"\xFEFFPlugins = " + std::to_wstring(5 - first) + L"::";
    for (int i = first; i < 5; i++) text += std::wstring(ITEMS[i]) + L"::";
    text += L"\nTitle = Start\n";
    std::wstring path = std::wstring(FOLDER) + L"settings.ini";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written;
    WriteFile(file, text.data(), (DWORD)text.size() * 2, &written, nullptr);
    CloseHandle(file);
    return true;
}

bool PrepareDevice()
{
    return RegisterCopy(L"BenchOwner2", L"NimbraOwner") && RegisterCopy(L"BenchNotes2", L"NimbraNotes") &&
           WriteSettings(0);
}

struct Started {
    PROCESS_INFORMATION process = {};
    LONGLONG created = 0;   // just before CreateProcessW
};

Started Start(const wchar_t *exe)
{
    Started s;
    std::wstring command = L"\"" + std::wstring(FOLDER) + exe + L"\"";
    STARTUPINFOW info = {};
    info.cb = sizeof info;
    s.created = Now();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &info, &s.process))
        fprintf(stderr, "cannot start %ls: %lu\n", exe, GetLastError());
    return s;
}

BOOL CALLBACK CloseWindowOf(HWND window, LPARAM pid)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == (DWORD)pid) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void Stop(Started &s)
{
    if (!s.process.hProcess) return;
    EnumWindows(CloseWindowOf, s.process.dwProcessId);
    if (WaitForSingleObject(s.process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(s.process.hProcess, 1);
        WaitForSingleObject(s.process.hProcess, 5000);
    }
    CloseHandle(s.process.hProcess);
    CloseHandle(s.process.hThread);
    s.process = {};
}

struct LogLine {
    LONGLONG time;
    int event;
    std::string what;
    unsigned long long value;
};

std::vector<LogLine> ReadBenchLog()
{
    std::vector<LogLine> lines;
    std::wstring path = std::wstring(FOLDER) + L"bench.log";
    FILE *file = _wfopen(path.c_str(), L"r");
    if (!file) return lines;
    long long time;
    int event;
    char what[64];
    unsigned long long value;
    while (fscanf(file, "%lld %d %63s %llu", &time, &event, what, &value) == 4) lines.push_back({time, event, what, value});
    fclose(file);
    return lines;
}

// The Linux process whose command line (a Wine process shows its Windows one) names exe.
std::wstring LinuxProcess(const wchar_t *exe)
{
    std::wstring found;
    char wanted[MAX_PATH];
    snprintf(wanted, sizeof wanted, "%ls", exe);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
        std::wstring path = std::wstring(L"Z:\\proc\\") + entry.cFileName + L"\\cmdline";
        FILE *file = _wfopen(path.c_str(), L"rb");
        if (!file) continue;
        char text[1024] = {};
        size_t got = fread(text, 1, sizeof text - 1, file);
        fclose(file);
        for (size_t i = 0; i < got; i++)
            if (!text[i]) text[i] = ' ';
        if (strstr(text, wanted)) found = entry.cFileName;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

std::string ProcText(const std::wstring &pid, const wchar_t *file)
{
    std::wstring path = L"Z:\\proc\\" + pid + L"\\" + file;
    FILE *f = _wfopen(path.c_str(), L"rb");
    if (!f) return "";
    char text[8192] = {};
    fread(text, 1, sizeof text - 1, f);
    fclose(f);
    return text;
}

// User and system CPU time in clock ticks (1/100 s), fields 14 and 15 of /proc/PID/stat.
long long CpuTicks(const std::wstring &pid)
{
    std::string stat = ProcText(pid, L"stat");
    size_t end = stat.rfind(')');
    if (end == std::string::npos) return -1;
    long long utime = 0, stime = 0;
    // After the name: state (field 3) ... utime is field 14.
    const char *p = stat.c_str() + end + 2;
    for (int field = 3; field < 14 && *p; field++) p = strchr(p, ' ') + 1;
    sscanf(p, "%lld %lld", &utime, &stime);
    return utime + stime;
}

long ResidentKB(const std::wstring &pid)
{
    std::string status = ProcText(pid, L"status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : atol(status.c_str() + at + 6);
}

HANDLE FrameEvent()
{
    static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"NimbraBenchFrame");
    return event;
}

// Starts exe and answers the milliseconds to its frame event (-1: none within 60 s).
double RunToFrame(const wchar_t *exe, Started &s)
{
    ResetEvent(FrameEvent());
    s = Start(exe);
    if (WaitForSingleObject(FrameEvent(), 60000) != WAIT_OBJECT_0) return -1;
    return Millis(Now() - s.created);
}

int StartupFigures(int runs)
{
    std::vector<double> nimbra, minimal;
    std::map<std::string, std::vector<double>> steps;
    std::vector<std::string> order;
    for (int run = -1; run < runs; run++) {   // run -1 warms the file cache for both
        for (int which = 0; which < 2; which++) {
            const wchar_t *exe = which == 0 ? BENCH_EXE : MINIMAL_EXE;
            if (run % 2) exe = which == 0 ? MINIMAL_EXE : BENCH_EXE;   // alternate who goes first
            Started s;
            double ms = RunToFrame(exe, s);
            Stop(s);
            if (ms < 0) {
                fprintf(stderr, "%ls showed no frame within 60 s\n", exe);
                return 1;
            }
            if (run < 0) continue;
            if (exe == MINIMAL_EXE) {
                minimal.push_back(ms);
                continue;
            }
            nimbra.push_back(ms);
            std::map<std::string, int> seen;   // a step that comes again is named with its count
            for (const LogLine &line : ReadBenchLog()) {
                if (line.event != BENCH_STEP || line.what == "quit") continue;
                std::string name = line.what;
                if (seen[line.what]++) name += "." + std::to_string(seen[line.what]);
                if (!steps.count(name)) order.push_back(name);
                steps[name].push_back(Millis(line.time - s.created));
            }
        }
    }
    printf("start-up: process creation to the first full frame, %d alternating runs each\n", runs);
    printf("  Nimbra (5 items) ms:");
    for (double ms : nimbra) printf(" %.0f", ms);
    printf("\n  minimal program ms: ");
    for (double ms : minimal) printf(" %.0f", ms);
    printf("\n  medians: Nimbra %.1f ms, minimal %.1f ms, ratio %.2f\n", Median(nimbra), Median(minimal),
           Median(nimbra) / Median(minimal));
    printf("  Nimbra's steps, median ms after process creation:\n");
    for (const std::string &step : order) printf("    %-12s %7.1f\n", step.c_str(), Median(steps[step]));
    return 0;
}

// Sends a burst of 20 icon adds from a window of this process, as another program would.
bool AddIcons(HWND nimbra, HWND owner, int count)
{
    std::vector<BYTE> data(4 + sizeof(NIMBRANOTIFYICONDATA) + 8 + 16 * 16 * 4, 0);
    NIMBRANOTIFYICONDATA record = {};
    record.cbSize = sizeof record;
    record.hWnd = NIMBRA_HANDLE32(owner);
    record.uCallbackMessage = WM_APP;
    int size[2] = {16, 16};
    memcpy(&data[4 + sizeof record], size, sizeof size);
    for (size_t i = 4 + sizeof record + 8; i < data.size(); i += 4) data[i + 3] = 255;   // opaque black
    for (int id = 1; id <= count; id++) {
        record.uID = id;
        memcpy(&data[4], &record, sizeof record);
        COPYDATASTRUCT copy = {HM_NOTIFYICON_MESSAGE, (DWORD)data.size(), data.data()};
        if ((DWORD)SendMessageW(nimbra, WM_COPYDATA, (WPARAM)owner, (LPARAM)&copy) != 1) return false;
    }
    return true;
}

void PumpFor(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    for (DWORD now; (now = GetTickCount()) < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

int IdleFigures(int seconds)
{
    Started s;
    if (RunToFrame(BENCH_EXE, s) < 0) {
        fprintf(stderr, "no frame within 60 s\n");
        Stop(s);
        return 1;
    }
    std::wstring pid = LinuxProcess(BENCH_EXE);
    PumpFor(3000);   // the clock's strip icon arrives 500 ms after its load; let it settle
    LONGLONG from = Now();
    long long cpuFrom = CpuTicks(pid);
    PumpFor(seconds * 1000);
    LONGLONG to = Now();
    long long cpuTo = CpuTicks(pid);
    long rss = ResidentKB(pid);
    Stop(s);

    int passes = 0, messages = 0, moves = 0, paints = 0;
    for (const LogLine &line : ReadBenchLog()) {
        if (line.time < from || line.time >= to) continue;
        passes += line.event == BENCH_PASS;
        messages += line.event == BENCH_ITEM_MESSAGE;
        moves += line.event == BENCH_MOVE;
        paints += line.event == BENCH_PAINT;
    }
    double secondsMeasured = Millis(to - from) / 1000;
    printf("idle: %.1f s with 5 items (bench build)\n", secondsMeasured);
    printf("  layout passes %d (one per %.2f s), item messages %d (%.2f per pass per item), moves %d, paints %d\n",
           passes, passes ? secondsMeasured / passes : 0.0, messages, passes ? messages / 5.0 / passes : 0.0, moves,
           paints);
    printf("  CPU %.2f s of one core = %.3f %%, resident %ld KB (bench build)\n", (cpuTo - cpuFrom) / 100.0,
           (cpuTo - cpuFrom) / secondsMeasured, rss);
    return 0;
}

// 20 icon adds in a burst from another process, to a Nimbra whose items add none.
int BurstFigures()
{
    WriteSettings(1);
    Started s;
    double ms = RunToFrame(BENCH_EXE, s);
    WriteSettings(0);
    if (ms < 0) {
        fprintf(stderr, "no frame within 60 s\n");
        Stop(s);
        return 1;
    }
    PumpFor(1000);
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    HWND nimbra = FindWindowW(L"NimbraClass", nullptr);
    LONGLONG burst = Now();
    bool added = AddIcons(nimbra, owner, 20);
    LONGLONG burstEnd = Now();
    PumpFor(2000);
    Stop(s);
    DestroyWindow(owner);
    int strips = 0;
    LONGLONG firstUpdate = 0;
    for (const LogLine &line : ReadBenchLog()) {
        if (line.time < burst || line.event != BENCH_STRIP_UPDATE) continue;
        if (!strips++) firstUpdate = line.time;
    }
    printf("icon burst: 20 adds %s in %.1f ms; strip updates after it %d, the first %.0f ms after the last add\n",
           added ? "accepted" : "REFUSED", Millis(burstEnd - burst), strips,
           strips ? Millis(firstUpdate - burstEnd) : 0.0);
    return 0;
}

// Resident memory a few seconds after start, when the items have loaded and painted.
long SettledResidentKB(const wchar_t *exe)
{
    Started s = Start(exe);
    PumpFor(4000);
    long kb = ResidentKB(LinuxProcess(exe));
    Stop(s);
    return kb;
}

int MemoryFigures(int runs)
{
    std::vector<double> nimbra, minimal;
    for (int run = 0; run < runs; run++) {
        nimbra.push_back(SettledResidentKB(SHIPPED_EXE));
        minimal.push_back(SettledResidentKB(MINIMAL_EXE));
    }
    double n = Median(nimbra), m = Median(minimal);
    printf("resident memory 4 s after start, median of %d: Nimbra.exe %.0f KB, minimal %.0f KB, difference %.1f MB\n",
           runs, n, m, (n - m) / 1024);
    return 0;
}

}   // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: benchrun startup RUNS | idle SECONDS | memory RUNS\n");
        return 2;
    }
    if (!PrepareDevice()) {
        fprintf(stderr, "cannot register the items or write settings.ini\n");
        return 1;
    }
    int n = _wtoi(argv[2]);
    std::wstring mode = argv[1];
    if (mode == L"startup") return StartupFigures(n);
    if (mode == L"idle") return IdleFigures(n) || BurstFigures();
    if (mode == L"memory") return MemoryFigures(n);
    return 2;
}
