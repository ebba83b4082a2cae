// The Soft Keys page: every button reads the page's controls and goes straight to the registry;
// the page keeps nothing between presses. A change sets SoftKeysEdited, so that MainWindow
// rebuilds its menu bar once the dialog has closed.
#include "softkeys/softkeyspage.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"

// Characters, terminator included. A label holds what the soft keys read (a longer one would
// give way to the default key); the path edit starts with QuotedExePath, which is two quotes
// longer than a path: reading it back into a path-sized buffer would cut it.
constexpr size_t LABEL_CHARS = KEY_TEXT_CHARS;
constexpr size_t PROGRAM_CHARS = ARRAYSIZE(QuotedExePath);

static const WCHAR MANILA_KEY[] = L"Software\\HTC\\Manila";   // HTC's home screen
static const WCHAR SOFT_RESET_NOTE[] = L"If the setting is not applied, then please do a soft-reset!";

enum KeyField { KEY_LABEL, KEY_PROGRAM };

struct SoftKeyPlace {
    HKEY root;
    LPCWSTR key;
    LPCWSTR values[2];   // by KeyField; null names the key's default value
};

// By target (Today keys, Manila) and side (right, left). The Today keys are named after the
// soft keys' virtual keys, VK_F1 (left) and VK_F2 (right).
static const SoftKeyPlace SoftKeyPlaces[2][2] = {
    {{HKEY_CURRENT_USER, TODAY_RIGHT_KEY, {nullptr, L"Open"}},
     {HKEY_CURRENT_USER, TODAY_LEFT_KEY, {nullptr, L"Open"}}},
    {{HKEY_LOCAL_MACHINE, MANILA_KEY, {L"HomeRSKText", L"HomeRSKPath"}},
     {HKEY_LOCAL_MACHINE, MANILA_KEY, {L"HomeLSKText", L"HomeLSKPath"}}},
};

static bool Ticked(HWND page, int id)
{
    return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The place the controls choose now: the Today keys only while "Nimbra" is ticked, so with
// both boxes unticked the target is Manila.
static const SoftKeyPlace &SoftKeyLocation(HWND page)
{
    return SoftKeyPlaces[Ticked(page, IDC_NIMBRA) ? 0 : 1][Ticked(page, IDC_LEFT_KEY) ? 1 : 0];
}

void EnsureSubkey(HKEY root, LPCWSTR key, LPCWSTR name)
{
    HKEY parent, subkey;
    if (RegOpenKeyExW(root, key, 0, 0, &parent) != ERROR_SUCCESS) return;
    DWORD disposition = 0;
    if (RegCreateKeyExW(parent, name, 0, nullptr, 0, 0, nullptr, &subkey, &disposition) == ERROR_SUCCESS) {
        // A key that existed is in the store already: only a new one is written out.
        if (disposition == REG_CREATED_NEW_KEY) RegFlushKey(subkey);
        RegCloseKey(subkey);
    }
    RegCloseKey(parent);
}

static void OnInitDialog(HWND page)
{
    FitPageToTab(page);
    // The page opens ready to make the Today screen's right soft key start this program.
    CheckRadioButton(page, IDC_LEFT_KEY, IDC_RIGHT_KEY, IDC_RIGHT_KEY);
    CheckDlgButton(page, IDC_NIMBRA, BST_CHECKED);
    CheckDlgButton(page, IDC_MANILA, BST_UNCHECKED);
    SendDlgItemMessageW(page, IDC_KEY_LABEL, EM_LIMITTEXT, LABEL_CHARS - 1, 0);
    SetDlgItemTextW(page, IDC_KEY_LABEL, L"Today");
    SetDlgItemTextW(page, IDC_KEY_PATH, QuotedExePath);
    EnsureSubkey(HKEY_CURRENT_USER, TODAY_KEY, L"Keys");
    EnsureSubkey(HKEY_CURRENT_USER, TODAY_SOFT_KEYS, L"112");
    EnsureSubkey(HKEY_CURRENT_USER, TODAY_SOFT_KEYS, L"113");
}

static void ReportEdited(HWND page)
{
    SoftKeysEdited = true;
    MessageBoxW(page, SOFT_RESET_NOTE, AppSettings.Title, MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
}

// A label without a program is written all the same, but counts as no change yet. The string
// writer makes a missing key (Manila's, say); the page itself makes none.
static void ApplyKey(HWND page)
{
    const SoftKeyPlace &place = SoftKeyLocation(page);
    WCHAR label[LABEL_CHARS], program[PROGRAM_CHARS];
    if (!GetDlgItemTextW(page, IDC_KEY_LABEL, label, LABEL_CHARS)) return;
    RegistrySetString(place.root, place.key, place.values[KEY_LABEL], label);
    if (!GetDlgItemTextW(page, IDC_KEY_PATH, program, PROGRAM_CHARS)) return;
    RegistrySetString(place.root, place.key, place.values[KEY_PROGRAM], program);
    ReportEdited(page);
}

// A missing value (or one too long for the edit's buffer) empties its edit.
static void LoadKey(HWND page)
{
    const SoftKeyPlace &place = SoftKeyLocation(page);
    WCHAR label[LABEL_CHARS], program[PROGRAM_CHARS];
    if (FAILED(RegistryGetString(place.root, place.key, place.values[KEY_LABEL], label, LABEL_CHARS))) label[0] = 0;
    if (FAILED(RegistryGetString(place.root, place.key, place.values[KEY_PROGRAM], program, PROGRAM_CHARS))) program[0] = 0;
    SetDlgItemTextW(page, IDC_KEY_LABEL, label);
    SetDlgItemTextW(page, IDC_KEY_PATH, program);
}

static void RemoveKey(HWND page)
{
    const SoftKeyPlace &place = SoftKeyLocation(page);
    RegistryDeleteValue(place.root, place.key, place.values[KEY_LABEL]);
    RegistryDeleteValue(place.root, place.key, place.values[KEY_PROGRAM]);
    ReportEdited(page);
}

// The chosen file only fills the path edit; nothing is written until "Apply to Registry".
static void ChooseProgram(HWND page)
{
    WCHAR file[MAX_PATH] = L"";
    if (ChooseFile(page, L"Select a Program", file, ARRAYSIZE(file))) SetDlgItemTextW(page, IDC_KEY_PATH, file);
}

// At most one target box is ticked; both may be unticked.
static void OnTargetClicked(HWND page, int clicked, int other)
{
    if (Ticked(page, clicked)) CheckDlgButton(page, other, BST_UNCHECKED);
}

static void OnCommand(HWND page, int id, int code)
{
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_APPLY_KEY: ApplyKey(page); break;
    case IDC_LOAD_KEY: LoadKey(page); break;
    case IDC_REMOVE_KEY: RemoveKey(page); break;
    case IDC_CHOOSE_PROGRAM: ChooseProgram(page); break;
    case IDC_NIMBRA: OnTargetClicked(page, IDC_NIMBRA, IDC_MANILA); break;
    case IDC_MANILA: OnTargetClicked(page, IDC_MANILA, IDC_NIMBRA); break;
    }
}

INT_PTR CALLBACK SoftKeysPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog(page);
        break;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        break;
    }
    return DefWindowProcW(page, msg, wParam, lParam);
}
