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
#include <algorithm>
#include <vector>

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

struct Chooser {
    OPENFILENAMEEX *ofn;
    std::wstring folder;                 // shown folder, with a trailing backslash
    std::wstring pattern;                // the files listed: "*.png;*.jpg" or "*"
    std::vector<std::wstring> folders;   // entries of the list: folders first, then files
    std::vector<std::wstring> files;
};

static int Scaled(HWND window, int length)
{
    HDC dc = GetDC(window);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(window, dc);
    return length * dpi / 96;
}

// True when name matches one of the ';'-separated patterns.
static bool Matches(const std::wstring &name, const std::wstring &patterns)
{
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(L';', start);
        std::wstring one = patterns.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!one.empty() && PathMatchSpecW(name.c_str(), one.c_str())) return true;
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return false;
}

// The pattern of the chosen filter: filters are pairs of texts (description, patterns).
static std::wstring FilterPattern(const OPENFILENAMEEX *ofn)
{
    const WCHAR *p = ofn->lpstrFilter;
    if (!p || !*p) return L"*";
    for (DWORD index = ofn->nFilterIndex ? ofn->nFilterIndex : 1; *p; index--) {
        const WCHAR *patterns = p + wcslen(p) + 1;
        if (index <= 1 || !*(patterns + wcslen(patterns) + 1)) return patterns;
        p = patterns + wcslen(patterns) + 1;
    }
    return L"*";
}

static void ShowFolder(HWND dialog, Chooser *c, const std::wstring &folder)
{
    c->folder = folder;
    c->folders.clear();
    c->files.clear();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) c->folders.push_back(name);
            else if (Matches(name, c->pattern)) c->files.push_back(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // The host's file system decides the order of a search: the chooser sorts.
    auto byName = [](const std::wstring &a, const std::wstring &b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; };
    std::sort(c->folders.begin(), c->folders.end(), byName);
    std::sort(c->files.begin(), c->files.end(), byName);
    if (folder.size() > 3) c->folders.insert(c->folders.begin(), L"..");

    HWND list = GetDlgItem(dialog, ENTRY_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::wstring &name : c->folders) SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)(L"[" + name + L"]").c_str());
    for (const std::wstring &name : c->files) SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)name.c_str());
    SetDlgItemTextW(dialog, FOLDER_TEXT, folder.c_str());
}

// The folder a path names, with a trailing backslash; empty when it is none.
static std::wstring FolderOf(const std::wstring &path)
{
    WCHAR full[MAX_PATH];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return L"";
    DWORD attributes = GetFileAttributesW(full);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return L"";
    std::wstring folder = full;
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

static std::wstring StartFolder(const OPENFILENAMEEX *ofn)
{
    std::wstring seeded = ofn->lpstrFile;
    size_t slash = seeded.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? L"" : FolderOf(seeded.substr(0, slash + 1));
    if (folder.empty() && ofn->lpstrInitialDir) folder = FolderOf(ofn->lpstrInitialDir);
    return folder.empty() ? FolderOf(L".") : folder;
}

// Opens the chosen folder, or picks the file: answers true when the dialog ends with a pick.
static bool Choose(HWND dialog, Chooser *c, std::wstring name)
{
    if (name.empty()) return false;
    if (name == L"[..]" || (name.size() > 2 && name.front() == L'[' && name.back() == L']')) name = name.substr(1, name.size() - 2);
    std::wstring path = name.size() > 1 && (name[1] == L':' || name[0] == L'\\') ? name : c->folder + name;
    std::wstring folder = FolderOf(path);
    if (!folder.empty()) {
        ShowFolder(dialog, c, folder);
        SetDlgItemTextW(dialog, NAME_BOX, L"");
        return false;
    }
    if ((c->ofn->Flags & OFN_FILEMUSTEXIST) && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    OPENFILENAMEEX *ofn = c->ofn;
    // A path longer than the caller's buffer fails the chooser, as the desktop's does.
    if (path.size() >= ofn->nMaxFile || path.size() > 0xFFFF) {
        EndDialog(dialog, IDABORT);
        return false;
    }
    CopyMemory(ofn->lpstrFile, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    size_t slash = path.find_last_of(L'\\'), dot = path.find_last_of(L'.');
    ofn->nFileOffset = (WORD)(slash == std::wstring::npos ? 0 : slash + 1);
    ofn->nFileExtension = (WORD)(dot == std::wstring::npos || dot < ofn->nFileOffset ? path.size() : dot + 1);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle) CopyText(ofn->lpstrFileTitle, ofn->nMaxFileTitle, path.c_str() + ofn->nFileOffset);
    EndDialog(dialog, IDOK);
    return true;
}

static void LayOut(HWND dialog)
{
    RECT r;
    GetClientRect(dialog, &r);
    int m = Scaled(dialog, MARGIN), row = Scaled(dialog, ROW), button = Scaled(dialog, BUTTON_WIDTH);
    int bottom = r.bottom - m - row;
    MoveWindow(GetDlgItem(dialog, FOLDER_TEXT), m, m, r.right - 2 * m, row - m, TRUE);
    MoveWindow(GetDlgItem(dialog, ENTRY_LIST), m, row, r.right - 2 * m, bottom - row - m, TRUE);
    MoveWindow(GetDlgItem(dialog, NAME_BOX), m, bottom, r.right - 4 * m - 2 * button, row, TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), r.right - 2 * m - 2 * button, bottom, button, row, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), r.right - m - button, bottom, button, row, TRUE);
}

static void OnListCommand(HWND dialog, Chooser *c, WORD code)
{
    LRESULT i = SendDlgItemMessageW(dialog, ENTRY_LIST, LB_GETCURSEL, 0, 0);
    if (i < 0) return;
    size_t index = (size_t)i;
    bool isFolder = index < c->folders.size();
    std::wstring name = isFolder ? L"[" + c->folders[index] + L"]" : c->files[index - c->folders.size()];
    if (code == LBN_SELCHANGE && !isFolder) SetDlgItemTextW(dialog, NAME_BOX, name.c_str());
    if (code == LBN_DBLCLK) Choose(dialog, c, name);
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
        ShowFolder(dialog, c, StartFolder(c->ofn));
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

// The dialog's template: a pop-up with the five controls, placed by LayOut.
static std::vector<WORD> ChooserTemplate()
{
    std::vector<WORD> t;
    auto add = [&t](const void *data, size_t bytes) {
        const WORD *w = (const WORD *)data;
        t.insert(t.end(), w, w + bytes / 2);
    };
    auto align = [&t] { if (t.size() % 2) t.push_back(0); };
    DLGTEMPLATE head = {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 5, 0, 0, 160, 160};
    add(&head, sizeof head);
    t.insert(t.end(), {0, 0, 0, 8});   // no menu, standard class, empty title, 8-point font
    for (WCHAR ch : std::wstring(L"MS Shell Dlg")) t.push_back(ch);
    t.push_back(0);
    struct Item { DWORD style; WORD id, cls; } items[] = {
        {WS_CHILD | WS_VISIBLE | SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX, FOLDER_TEXT, 0x0082},
        {WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, ENTRY_LIST, 0x0083},
        {WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, NAME_BOX, 0x0081},
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 0x0080},
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 0x0080},
    };
    for (const Item &item : items) {
        align();
        DLGITEMTEMPLATE it = {item.style, 0, 0, 0, 10, 10, item.id};
        add(&it, sizeof it);
        t.insert(t.end(), {0xFFFF, item.cls});
        const WCHAR *text = item.id == IDOK ? L"OK" : item.id == IDCANCEL ? L"Cancel" : L"";
        for (; *text; text++) t.push_back(*text);
        t.insert(t.end(), {0, 0});       // end of text, no creation data
    }
    return t;
}

BOOL WINAPI GetOpenFileNameEx(OPENFILENAMEEX *ofn)
{
    if (!ofn || ofn->lStructSize != sizeof *ofn || !ofn->lpstrFile || !ofn->nMaxFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Chooser chooser = {ofn, L"", FilterPattern(ofn), {}, {}};
    std::vector<WORD> dialogTemplate = ChooserTemplate();
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)dialogTemplate.data(), ofn->hwndOwner,
                                             ChooserProc, (LPARAM)&chooser);
    return result == IDOK;
}
