// Messages the device allows and the desktop does not: the posted Today refresh broadcast,
// and text pointers that arrive in messages.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <stddef.h>

// How long a refresh sender waits for one window before giving up on it. Wine drops a sent
// message whose wait ran out, so this is generous; a hung window is skipped at once anyway
// (SMTO_ABORTIFHUNG), and each receiving thread has its own sender.
constexpr UINT REFRESH_SEND_TIMEOUT_MS = 5000;
// Longest section name a refresh notice carries in its lParam (characters, terminator included).
constexpr size_t REFRESH_TEXT_CHARS = 260;
// Text pointers are read in pieces that never cross this boundary, so a text that ends just
// before unreadable memory is still read whole.
constexpr ULONG_PTR READ_PIECE_BYTES = 4096;

bool ReadMessageText(LPARAM pointer, WCHAR *text, size_t cap)
{
    if (!text || cap == 0) return false;
    text[0] = 0;
    if (!pointer) return false;
    // ReadProcessMemory on the own process copies what is mapped and fails on an address that
    // is not, where touching the pointer would fault.
    const BYTE *source = (const BYTE *)pointer;
    size_t got = 0;
    while (got < cap) {
        ULONG_PTR at = (ULONG_PTR)(source + got * sizeof(WCHAR));
        size_t pieceChars = (READ_PIECE_BYTES - at % READ_PIECE_BYTES) / sizeof(WCHAR);
        if (pieceChars == 0) pieceChars = 1;               // odd address, one byte before the boundary
        if (pieceChars > cap - got) pieceChars = cap - got;
        SIZE_T read = 0;
        if (!ReadProcessMemory(GetCurrentProcess(), (LPCVOID)at, text + got, pieceChars * sizeof(WCHAR), &read)
            || read != pieceChars * sizeof(WCHAR)) {
            text[0] = 0;
            return false;
        }
        for (size_t i = got; i < got + pieceChars; i++)
            if (text[i] == 0) return true;
        got += pieceChars;
    }
    text[0] = 0;                                           // no terminator within the capacity
    return false;
}

bool ReadMessageRecord(LPARAM pointer, void *record, size_t bytes)
{
    SIZE_T read = 0;
    if (pointer && ReadProcessMemory(GetCurrentProcess(), (LPCVOID)pointer, record, bytes, &read) && read == bytes)
        return true;
    ZeroMemory(record, bytes);
    return false;
}

// One receiving thread's share of a refresh notice, on the process heap; its thread frees it.
struct RefreshDelivery {
    WPARAM wParam;
    bool hasText;
    WCHAR text[REFRESH_TEXT_CHARS];
    UINT count;
    HWND windows[1];   // count of them
};

static DWORD WINAPI DeliverRefresh(LPVOID param)
{
    RefreshDelivery *delivery = (RefreshDelivery *)param;
    LPARAM lParam = delivery->hasText ? (LPARAM)delivery->text : 0;
    for (UINT i = 0; i < delivery->count; i++) {
        DWORD_PTR result;
        SendMessageTimeoutW(delivery->windows[i], WM_SETTINGCHANGE, delivery->wParam, lParam,
                            SMTO_ABORTIFHUNG | SMTO_NORMAL, REFRESH_SEND_TIMEOUT_MS, &result);
    }
    HeapFree(GetProcessHeap(), 0, delivery);
    return 0;
}

// The top-level windows: counted first (windows null), then listed up to that count.
struct TopLevelList {
    HWND *windows;
    UINT count, capacity;
};

static BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lParam)
{
    TopLevelList *list = (TopLevelList *)lParam;
    if (!list->windows) list->count++;
    else if (list->count < list->capacity) list->windows[list->count++] = hwnd;
    return TRUE;
}

// A delivery for the windows of thread that are still in windows (taken out: set to null).
static RefreshDelivery *TakeThreadWindows(DWORD thread, HWND *windows, const DWORD *threads, UINT count)
{
    UINT mine = 0;
    for (UINT i = 0; i < count; i++) mine += windows[i] && threads[i] == thread;
    SIZE_T bytes = offsetof(RefreshDelivery, windows) + mine * sizeof(HWND);
    RefreshDelivery *delivery = (RefreshDelivery *)HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!delivery) return nullptr;
    delivery->count = 0;
    for (UINT i = 0; i < count; i++) {
        if (!windows[i] || threads[i] != thread) continue;
        delivery->windows[delivery->count++] = windows[i];
        windows[i] = nullptr;
    }
    return delivery;
}

// The device posts WM_SETTINGCHANGE to HWND_BROADCAST. The desktop refuses to post or
// notify-send it anywhere (ERROR_MESSAGE_SYNC_ONLY: its lParam is a text pointer); only a
// sent message reaches other processes. So a short-lived thread per receiving thread sends
// it: the caller never waits, a hung or slow receiver delays only its own windows, and the
// caller's own windows get it as a sent message from another thread, that is, when the
// caller next pumps messages, after this returns, as with the device's post.
void PostTodayRefresh(WPARAM wParam, LPARAM lParam)
{
    TopLevelList list = {};
    EnumWindows(CollectTopLevel, (LPARAM)&list);
    list.capacity = list.count;
    list.count = 0;
    HANDLE heap = GetProcessHeap();
    list.windows = (HWND *)HeapAlloc(heap, 0, list.capacity * (sizeof(HWND) + sizeof(DWORD)) + 1);
    if (!list.windows) return;
    EnumWindows(CollectTopLevel, (LPARAM)&list);
    DWORD *threads = (DWORD *)(list.windows + list.capacity);
    for (UINT i = 0; i < list.count; i++) {
        threads[i] = GetWindowThreadProcessId(list.windows[i], nullptr);
        if (!threads[i]) list.windows[i] = nullptr;
    }
    for (UINT i = 0; i < list.count; i++) {
        if (!list.windows[i]) continue;
        RefreshDelivery *delivery = TakeThreadWindows(threads[i], list.windows, threads, list.count);
        if (!delivery) break;
        delivery->wParam = wParam;
        delivery->hasText = ReadMessageText(lParam, delivery->text, REFRESH_TEXT_CHARS);
        HANDLE thread = CreateThread(nullptr, 0, DeliverRefresh, delivery, 0, nullptr);
        if (thread) CloseHandle(thread);
        else HeapFree(heap, 0, delivery);
    }
    HeapFree(heap, 0, list.windows);
}

BOOL PlatformPostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == HWND_BROADCAST && msg == WM_SETTINGCHANGE) {
        PostTodayRefresh(wParam, lParam);
        return TRUE;
    }
    return PostMessageW(hwnd, msg, wParam, lParam);
}
