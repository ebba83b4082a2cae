// The icon table: HM_NOTIFYICON's checks, add, modify and delete, the WM_COPYDATA form other
// processes use, and the strip's creation and removal. Owns IconTable and IconCount.
#include "tray/tray.h"
#include "base/bench.h"
#include "items/navigation.h"
#include "items/notifyicon.h"
#include "look/scale.h"
#include <algorithm>

IconEntry IconTable[MAX_ICONS];
UINT IconCount;
// Whether the strip does not show the table yet, and since when (GetTickCount).
static bool ChangePending;
static DWORD PendingSince;

constexpr DWORD DEVICE_RECORD_SIZE = sizeof(NIMBRANOTIFYICONDATA);   // 152
// WM_COPYDATA layout: operation, record, then optionally width, height and the pixels.
constexpr DWORD COPY_OPERATION_BYTES = offsetof(NIMBRANOTIFYICONCOPY, record);
constexpr DWORD COPY_RECORD_END = sizeof(NIMBRANOTIFYICONCOPY);
constexpr DWORD COPY_PIXELS_START = COPY_RECORD_END + sizeof(NIMBRAICONPIXELS);

// The answer to a request: the result, and the last-error code to set (0: leave it alone).
struct IconAnswer {
    LRESULT result;
    DWORD error;
};

static IconAnswer Rejected(DWORD error)
{
    return {0, error};
}

// The first entry of the owner's icon id, or -1.
static int FindIcon(HWND owner, UINT id)
{
    for (UINT i = 0; i < IconCount; i++)
        if (IconTable[i].hWnd == owner && IconTable[i].uID == id) return (int)i;
    return -1;
}

static void DropIcon(IconEntry &entry)
{
    if (entry.OwnIcon && entry.hIcon) DestroyIcon(entry.hIcon);
    entry.hIcon = nullptr;
    entry.OwnIcon = false;
}

// A highlighted icon keeps pointing at the same icon when an earlier one goes, and points at
// none when its own icon goes.
static void RemoveIcon(UINT index)
{
    DropIcon(IconTable[index]);
    for (UINT i = index; i + 1 < IconCount; i++) IconTable[i] = IconTable[i + 1];
    IconCount--;
    IconTable[IconCount] = {};
    if (SelectedIcon == (int)index) SelectedIcon = -1;
    else if (SelectedIcon > (int)index) SelectedIcon--;
}

static void IconTableChanged();

// The checks and the change, for a record already copied into the host. ownIcon: hIcon is the
// host's own copy; it is stored or destroyed here.
static IconAnswer ApplyIconRecord(WPARAM operation, const NIMBRANOTIFYICONDATA *record, bool ownIcon)
{
    HICON icon = (HICON)NIMBRA_HANDLE64(record ? record->hIcon : 0);
    bool iconStored = false;
    IconAnswer answer = {1, 0};
    HWND owner = record ? (HWND)NIMBRA_HANDLE64(record->hWnd) : nullptr;
    if (operation > NIMBRA_NIM_DELETE) answer = {2, 0};
    else if (!record) answer = Rejected(ERROR_INVALID_PARAMETER);
    else if (record->cbSize != DEVICE_RECORD_SIZE) answer = Rejected(ERROR_INVALID_FORM_SIZE);
    else if (!owner || record->uID == 0) answer = Rejected(ERROR_INVALID_PARAMETER);
    else if (operation == NIMBRA_NIM_ADD) {
        // An owner that is no window (HWND_BROADCAST, say) would turn a tap into a broadcast.
        if (!IsWindow(owner)) answer = Rejected(ERROR_INVALID_PARAMETER);
        else if (IconCount == MAX_ICONS && !DropOrphanIcons()) answer = Rejected(ERROR_NO_MORE_ITEMS);
        else if (!record->uCallbackMessage || !icon) answer = Rejected(ERROR_INVALID_PARAMETER);
        else {
            IconTable[IconCount++] = {owner, record->uID, record->uCallbackMessage, icon, ownIcon};
            iconStored = true;
        }
    } else {
        int found = FindIcon(owner, record->uID);
        if (found < 0) answer = Rejected(ERROR_CONTROL_ID_NOT_FOUND);
        else if (operation == NIMBRA_NIM_DELETE) RemoveIcon((UINT)found);
        else {
            IconEntry &entry = IconTable[found];
            if (record->uFlags & NIMBRA_NIF_MESSAGE) entry.uCallbackMessage = record->uCallbackMessage;
            if (record->uFlags & NIMBRA_NIF_ICON) {
                DropIcon(entry);
                entry.hIcon = icon;
                entry.OwnIcon = ownIcon;
                iconStored = true;
            }
        }
    }
    if (ownIcon && icon && !iconStored) DestroyIcon(icon);
    if (answer.result == 1) IconTableChanged();
    return answer;
}

// One strip update 500 ms after the last of a burst of changes, but no later than 1 s after
// the first change it does not show yet: a program that changes its icon all the time cannot
// keep the strip from ever showing anyone's.
static void IconTableChanged()
{
    DWORD now = GetTickCount();
    if (!ChangePending) ChangePending = true, PendingSince = now;
    // From the latest moment on, the timer set before is due: setting it again would put the
    // update off for as long as changes keep coming faster than the timer's shortest period.
    DWORD waited = now - PendingSince;
    if (waited < ICONSTRIP_LATEST)
        SetTimer(MainWindow, ICONSTRIP_TIMER, std::min<DWORD>(ICONSTRIP_LATEST - waited, ICONSTRIP_INTERVAL), nullptr);
    UpdateLastVisibleIcon();
}

bool DropOrphanIcons()
{
    UINT before = IconCount;
    for (UINT i = IconCount; i-- > 0;)
        if (!IsWindow(IconTable[i].hWnd)) RemoveIcon(i);
    if (IconCount == before) return false;
    IconTableChanged();
    return true;
}

LRESULT HandleNotifyIcon(WPARAM operation, LPARAM record)
{
    // The record is copied once; a pointer that cannot be read counts as none. Its size comes
    // first: a shorter record (88 bytes, say) at the end of readable memory is a wrong size.
    NIMBRANOTIFYICONDATA copy = {};
    bool readable = operation <= NIMBRA_NIM_DELETE && ReadMessageRecord(record, &copy.cbSize, sizeof copy.cbSize) &&
                    (copy.cbSize != DEVICE_RECORD_SIZE || ReadMessageRecord(record, &copy, sizeof copy));
    IconAnswer answer = ApplyIconRecord(operation, readable ? &copy : nullptr, false);
    if (answer.error) SetLastError(answer.error);
    return answer.result;
}

// Reads the request in data; *icon receives the icon made from pixels that follow the record.
static IconAnswer ReadIconData(const COPYDATASTRUCT *data, WPARAM *operation,
                               NIMBRANOTIFYICONDATA *record, bool *hasRecord, HICON *icon)
{
    const BYTE *bytes = (const BYTE *)data->lpData;
    DWORD size = data->cbData;
    *hasRecord = false;
    *icon = nullptr;
    if (size < COPY_OPERATION_BYTES || !bytes) return Rejected(ERROR_INVALID_PARAMETER);
    DWORD op;
    memcpy(&op, bytes, sizeof op);
    *operation = op;
    if (op > NIMBRA_NIM_DELETE) return {2, 0};
    if (size == COPY_OPERATION_BYTES) return {1, 0};   // no record: the checks refuse it
    if (size < COPY_RECORD_END) return Rejected(ERROR_INVALID_PARAMETER);
    memcpy(record, bytes + COPY_OPERATION_BYTES, sizeof *record);
    if (size == COPY_RECORD_END) {
        *hasRecord = true;
        return {1, 0};
    }
    DWORD width, height;
    if (size < COPY_PIXELS_START) return Rejected(ERROR_INVALID_PARAMETER);
    memcpy(&width, bytes + COPY_RECORD_END, 4);
    memcpy(&height, bytes + COPY_RECORD_END + 4, 4);
    if (width < 1 || width > NIMBRA_ICON_PIXELS_MAX || height < 1 || height > NIMBRA_ICON_PIXELS_MAX ||
        size != COPY_PIXELS_START + 4 * width * height)
        return Rejected(ERROR_INVALID_PARAMETER);
    *hasRecord = true;
    *icon = NimbraIconFromPixels(bytes + COPY_PIXELS_START, (int)width, (int)height);
    // An icon the host could not make counts as none: an add then fails with 87.
    record->hIcon = NIMBRA_HANDLE32(*icon);
    return {1, 0};
}

LRESULT HandleNotifyIconData(const COPYDATASTRUCT *data)
{
    WPARAM operation = 0;
    NIMBRANOTIFYICONDATA record = {};
    bool hasRecord;
    HICON icon;
    IconAnswer answer = ReadIconData(data, &operation, &record, &hasRecord, &icon);
    if (answer.result == 1) answer = ApplyIconRecord(operation, hasRecord ? &record : nullptr, icon != nullptr);
    // The last-error code does not cross processes: it travels in the answer's high half.
    return (LRESULT)(((ULONG64)answer.error << 32) | (ULONG32)answer.result);
}

// ItemHost takes what the strip leaves of MainWindow's client area.
static void FitItemHost(int width, int height)
{
    MoveWindow(ItemHost, 0, 0, width, height, FALSE);
}

static void ShowIconStrip()
{
    HWND strip = CreateWindowExW(0, ICON_STRIP_CLASS, L"", WS_CHILD | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, MainWindow, nullptr, AppInstance, nullptr);
    // Not made: nothing changes, and the next change of the table tries again.
    if (!strip) return;
    IconStrip = strip;
    IconStripShown = true;
    RECT client;
    GetClientRect(MainWindow, &client);
    FitItemHost(client.right, client.bottom - TrayHeight);
    MoveWindow(IconStrip, 0, ViewHeight, client.right, TrayHeight, FALSE);
    UpdateScrollBar(true);
}

static void HideIconStrip()
{
    IconStripShown = false;
    HWND strip = IconStrip;
    IconStrip = nullptr;
    DestroyWindow(strip);
    RECT client;
    GetClientRect(MainWindow, &client);
    FitItemHost(client.right, client.bottom);
    UpdateScrollBar(true);
}

void RefitIconStrip()
{
    if (!IconStrip) return;
    RECT client;
    GetClientRect(MainWindow, &client);
    FitItemHost(client.right, client.bottom - TrayHeight);
    MoveWindow(IconStrip, 0, ViewHeight, client.right, TrayHeight, FALSE);
    UpdateScrollBar(true);
    InvalidateRect(IconStrip, nullptr, TRUE);
}

void UpdateIconStrip()
{
    ChangePending = false;
    BenchNote(BENCH_STRIP_UPDATE, "");
    if (IconCount) {
        if (!IconStripShown) ShowIconStrip();
        // The layout above runs the items' code, which may have changed the table or the strip.
        if (IconStrip) InvalidateRect(IconStrip, nullptr, TRUE);
    } else if (IconStripShown) {
        HideIconStrip();
    }
}

void ReleaseIconStrip()
{
    ChangePending = false;   // the timer goes with the window
    if (IconStrip) DestroyWindow(IconStrip);
    IconStrip = nullptr;
    IconStripShown = false;
    while (IconCount) DropIcon(IconTable[--IconCount]);
    SelectedIcon = -1;
}
