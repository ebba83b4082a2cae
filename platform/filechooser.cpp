// The device's file chooser. The desktop's open-file dialog does not fit a Pocket PC screen
// (under Wine it is 496 x 292 pixels on the 240 x 320 screen, its Open and Cancel buttons off
// the right edge, and with the Explorer style it cannot be made smaller than 252 x 332), so this
// is a chooser of the device's kind: a full-screen dialog below the navigation bar (OK there, as
// for every full-screen dialog) with the folder at the top, its sub-folders and files in a list,
// the chosen name, and OK and Cancel buttons. A tap selects, a double tap (or Enter) opens a
// folder or picks a file. The caller's buffer changes only when a file is picked.
#define PLATFORM_IMPLEMENTATION
#include "platform/internal.h"
#include <dlgs.h>
#include <shlwapi.h>
#include <wchar.h>

// The device's record, field by field as the device lays it out (84 bytes for 32-bit code).
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(OPENFILENAMEEX) == 84, "the device's 32-bit file chooser record");
#else
static_assert(offsetof(OPENFILENAMEEX, lpstrFile) == 48 && offsetof(OPENFILENAMEEX, Flags) == 96 &&
              offsetof(OPENFILENAMEEX, ExFlags) == 140 && sizeof(OPENFILENAMEEX) == 144,
              "the device's field order with 64-bit pointers");
#endif

// Controls; the name box has the desktop chooser's id of its file-name box.
constexpr int FOLDER_TEXT = 101, ENTRY_LIST = 102, NAME_BOX = edt1;
// Layout in 96-dpi units.
constexpr int MARGIN = 4, ROW = 20, BUTTON_WIDTH = 60;
// A list entry: a file name, or a folder name in brackets.
constexpr size_t ENTRY_CHARS = MAX_PATH + 2;

struct Chooser {
    OPENFILENAMEEX *ofn;
    WCHAR folder[MAX_PATH];   // shown folder, with a trailing backslash
    const WCHAR *pattern;     // the files listed: "*.png;*.jpg" or "*"
    int folderCount;          // the list holds the folders first, then the files
};

// True when name matches one of the ';'-separated patterns.
static bool Matches(const WCHAR *name, const WCHAR *patterns)
{
    for (;;) {
        const WCHAR *end = wcschr(patterns, L';');
        size_t length = end ? (size_t)(end - patterns) : wcslen(patterns);
        WCHAR one[MAX_PATH];
        if (length && length < MAX_PATH && CopyTextN(one, MAX_PATH, patterns, length) && PathMatchSpecW(name, one))
            return true;
        if (!end) return false;
        patterns = end + 1;
    }
}

// The pattern of the chosen filter: filters are pairs of texts (description, patterns). A pair
// without patterns ends the filter there: the chooser then lists every file. Not static: the
// tests read it.
const WCHAR *FilterPattern(const OPENFILENAMEEX *ofn)
{
    const WCHAR *p = ofn->lpstrFilter;
    if (!p || !*p) return L"*";
    for (DWORD index = ofn->nFilterIndex ? ofn->nFilterIndex : 1; *p; index--) {
        const WCHAR *patterns = p + wcslen(p) + 1;
        if (!*patterns) break;
        if (index <= 1 || !*(patterns + wcslen(patterns) + 1)) return patterns;
        p = patterns + wcslen(patterns) + 1;
    }
    return L"*";
}

// Puts a file's name, or a folder's name with a backslash after it (which no file name holds),
// into the list in name order among the entries first to end - 1 (all files, or all folders).
static void InsertSorted(HWND list, const WCHAR *name, bool folder, int first, int end)
{
    WCHAR entry[ENTRY_CHARS] = L"";
    CopyText(entry, name);
    if (folder) AppendText(entry, L"\\");
    while (first < end) {
        int middle = (first + end) / 2;
        WCHAR text[ENTRY_CHARS] = L"";
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, middle, 0);
        if (length > 0 && length < (LRESULT)ENTRY_CHARS) {
            SendMessageW(list, LB_GETTEXT, middle, (LPARAM)text);
            if (folder) text[length - 1] = 0;   // the backslash
        }
        if (lstrcmpiW(text, name) <= 0) first = middle + 1;
        else end = middle;
    }
    SendMessageW(list, LB_INSERTSTRING, first, (LPARAM)entry);
}

static void ShowFolder(HWND dialog, Chooser *c, const WCHAR *folder)
{
    CopyText(c->folder, folder);
    c->folderCount = 0;
    HWND list = GetDlgItem(dialog, ENTRY_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    WCHAR search[MAX_PATH + 1];
    CopyText(search, c->folder);
    AppendText(search, L"*");
    // The host's file system decides the order of a search: the chooser sorts.
    WIN32_FIND_DATAW found;
    HANDLE searching = FindFirstFileW(search, &found);
    if (searching != INVALID_HANDLE_VALUE) {
        do {
            const WCHAR *name = found.cFileName;
            if (!wcscmp(name, L".") || !wcscmp(name, L"..")) continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                InsertSorted(list, name, true, 0, c->folderCount++);
            else if (Matches(name, c->pattern))
                InsertSorted(list, name, false, c->folderCount, (int)SendMessageW(list, LB_GETCOUNT, 0, 0));
        } while (FindNextFileW(searching, &found));
        FindClose(searching);
    }
    if (wcslen(c->folder) > 3) {
        SendMessageW(list, LB_INSERTSTRING, 0, (LPARAM)L"..\\");
        c->folderCount++;
    }
    SetDlgItemTextW(dialog, FOLDER_TEXT, c->folder);
}

// The folder a path names, with a trailing backslash, into folder; false when it is none.
static bool FolderOf(const WCHAR *path, WCHAR (&folder)[MAX_PATH])
{
    DWORD n = GetFullPathNameW(path, MAX_PATH, folder, nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return folder[n - 1] == L'\\' || AppendText(folder, L"\\");
}

static void StartFolder(const OPENFILENAMEEX *ofn, WCHAR (&folder)[MAX_PATH])
{
    const WCHAR *seeded = ofn->lpstrFile, *slash = wcsrchr(seeded, L'\\');
    WCHAR head[MAX_PATH];
    if (slash && slash - seeded + 1 < MAX_PATH && CopyTextN(head, MAX_PATH, seeded, slash - seeded + 1) &&
        FolderOf(head, folder))
        return;
    if (ofn->lpstrInitialDir && FolderOf(ofn->lpstrInitialDir, folder)) return;
    if (!FolderOf(L".", folder)) folder[0] = 0;
}

// Opens the named folder, or picks the named file: answers true when the dialog ends with a
// pick. The name is the file system's, as typed or as a row of the list stands for it.
static bool Choose(HWND dialog, Chooser *c, const WCHAR *name)
{
    if (!*name) return false;
    WCHAR path[MAX_PATH + ENTRY_CHARS] = L"";
    if (!(wcslen(name) > 1 && (name[1] == L':' || name[0] == L'\\'))) CopyText(path, c->folder);
    AppendText(path, name);
    WCHAR folder[MAX_PATH];
    if (FolderOf(path, folder)) {
        ShowFolder(dialog, c, folder);
        SetDlgItemTextW(dialog, NAME_BOX, L"");
        return false;
    }
    if ((c->ofn->Flags & OFN_FILEMUSTEXIST) && GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return false;
    OPENFILENAMEEX *ofn = c->ofn;
    // A path longer than the caller's buffer fails the chooser, as the desktop's does.
    size_t length = wcslen(path);
    if (length >= ofn->nMaxFile) {
        EndDialog(dialog, IDABORT);
        return false;
    }
    CopyMemory(ofn->lpstrFile, path, (length + 1) * sizeof(WCHAR));
    const WCHAR *slash = wcsrchr(path, L'\\'), *dot = wcsrchr(path, L'.');
    ofn->nFileOffset = (WORD)(slash ? slash - path + 1 : 0);
    ofn->nFileExtension = (WORD)(!dot || dot - path < ofn->nFileOffset ? length : dot - path + 1);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle) CopyText(ofn->lpstrFileTitle, ofn->nMaxFileTitle, path + ofn->nFileOffset);
    EndDialog(dialog, IDOK);
    return true;
}

static void LayOut(HWND dialog)
{
    RECT r;
    GetClientRect(dialog, &r);
    int m = ScreenScaled(MARGIN), row = ScreenScaled(ROW), button = ScreenScaled(BUTTON_WIDTH);
    int bottom = r.bottom - m - row;
    MoveWindow(GetDlgItem(dialog, FOLDER_TEXT), m, m, r.right - 2 * m, row - m, TRUE);
    MoveWindow(GetDlgItem(dialog, ENTRY_LIST), m, row, r.right - 2 * m, bottom - row - m, TRUE);
    MoveWindow(GetDlgItem(dialog, NAME_BOX), m, bottom, r.right - 4 * m - 2 * button, row, TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), r.right - 2 * m - 2 * button, bottom, button, row, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), r.right - m - button, bottom, button, row, TRUE);
}

static void OnListCommand(HWND dialog, Chooser *c, WORD code)
{
    LRESULT index = SendDlgItemMessageW(dialog, ENTRY_LIST, LB_GETCURSEL, 0, 0);
    WCHAR entry[ENTRY_CHARS];
    if (index < 0 || SendDlgItemMessageW(dialog, ENTRY_LIST, LB_GETTEXTLEN, index, 0) >= (LRESULT)ENTRY_CHARS ||
        SendDlgItemMessageW(dialog, ENTRY_LIST, LB_GETTEXT, index, (LPARAM)entry) < 0)
        return;
    if (code == LBN_SELCHANGE && index >= c->folderCount) SetDlgItemTextW(dialog, NAME_BOX, entry);
    if (code == LBN_DBLCLK) Choose(dialog, c, entry);
}

static INT_PTR CALLBACK ChooserProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Chooser *c = (Chooser *)GetWindowLongPtrW(dialog, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG: {
        if (!lParam) return FALSE;   // the record comes only with the dialog's creation
        c = (Chooser *)lParam;
        SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)c);
        SetWindowTextW(dialog, c->ofn->lpstrTitle ? c->ofn->lpstrTitle : L"Open");
        SendDlgItemMessageW(dialog, NAME_BOX, EM_LIMITTEXT, MAX_PATH - 1, 0);
        SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
        SHInitDialog(&init);
        WCHAR folder[MAX_PATH];
        StartFolder(c->ofn, folder);
        ShowFolder(dialog, c, folder);
        return TRUE;
    }
    case WM_SIZE:
        LayOut(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == ENTRY_LIST) {
            OnListCommand(dialog, c, HIWORD(wParam));
        } else if (LOWORD(wParam) == IDOK) {
            // A typed or selected name counts; without one, the selected folder opens.
            WCHAR name[MAX_PATH] = L"";
            GetDlgItemTextW(dialog, NAME_BOX, name, MAX_PATH);
            if (name[0]) Choose(dialog, c, name);
            else OnListCommand(dialog, c, LBN_DBLCLK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

// Words of the chooser's template (a little more than it needs).
constexpr size_t TEMPLATE_WORDS = 256;

// The dialog's template: a pop-up with the five controls, placed by LayOut. t is DWORD-aligned.
static void ChooserTemplate(WORD (&t)[TEMPLATE_WORDS])
{
    size_t n = 0;
    auto add = [&t, &n](const void *data, size_t bytes) {
        CopyMemory(t + n, data, bytes);
        n += bytes / 2;
    };
    auto text = [&t, &n](const WCHAR *s) {
        do t[n++] = *s; while (*s++);
    };
    DLGTEMPLATE head = {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 5, 0, 0, 160, 160};
    add(&head, sizeof head);
    const WORD fontHead[] = {0, 0, 0, 8};   // no menu, standard class, empty title, 8-point font
    add(fontHead, sizeof fontHead);
    text(L"MS Shell Dlg");
    struct Item { DWORD style; WORD id, cls; } items[] = {
        {WS_CHILD | WS_VISIBLE | SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX, FOLDER_TEXT, 0x0082},
        {WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, ENTRY_LIST, 0x0083},
        {WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, NAME_BOX, 0x0081},
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 0x0080},
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 0x0080},
    };
    for (const Item &item : items) {
        if (n % 2) t[n++] = 0;
        DLGITEMTEMPLATE it = {item.style, 0, 0, 0, 10, 10, item.id};
        add(&it, sizeof it);
        const WORD cls[] = {0xFFFF, item.cls};
        add(cls, sizeof cls);
        text(item.id == IDOK ? L"OK" : item.id == IDCANCEL ? L"Cancel" : L"");
        t[n++] = 0;                     // no creation data
    }
}

BOOL WINAPI GetOpenFileNameEx(OPENFILENAMEEX *ofn)
{
    if (!ofn || ofn->lStructSize != sizeof *ofn || !ofn->lpstrFile || !ofn->nMaxFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Chooser chooser = {ofn, L"", FilterPattern(ofn), 0};
    alignas(4) WORD dialogTemplate[TEMPLATE_WORDS];
    ChooserTemplate(dialogTemplate);
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)dialogTemplate, ofn->hwndOwner,
                                             ChooserProc, (LPARAM)&chooser);
    return result == IDOK;
}
