// The Soft Keys page in the real settings dialog: where each choice of target and side writes,
// the page after a re-initialisation, what an empty label or path leaves, loading, removing,
// long texts, the note after a change, and the menu bar after OK.
#include "support/dialog.h"
#include "app/app.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "settings/settingsfile.h"
#include "softkeys/softkeys.h"

namespace {

using Texts = std::vector<std::wstring>;
const std::wstring KEYS = L"Software\\Microsoft\\Today\\Keys", MANILA = L"Software\\HTC\\Manila", TITLE = L"Keys Test";
HWND BoxOwner;   // the owner of the first window activated after a press

// A value's text, or "-" when there is none.
std::wstring Value(HKEY root, const std::wstring &key, const WCHAR *name)
{
    WCHAR text[1024];
    return SUCCEEDED(RegistryGetString(root, key.c_str(), name, text, 1024)) ? text : L"-";
}

bool KeyExists(const std::wstring &key)
{
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    return RegCloseKey(opened), true;
}

std::wstring Text(int id)
{
    WCHAR text[1024] = L"";
    GetDlgItemTextW(SoftKeysPage, id, text, 1024);
    return text;
}

void Put(const std::wstring &label, const std::wstring &path)
{
    SetDlgItemTextW(SoftKeysPage, IDC_KEY_LABEL, label.c_str()), SetDlgItemTextW(SoftKeysPage, IDC_KEY_PATH, path.c_str());
}

// Presses a button of the page; answers the caption of the note it showed, or "-" for none.
std::wstring Press(int id)
{
    std::wstring caption = L"-", text;
    BoxOwner = nullptr;
    HHOOK hook = SetWindowsHookExW(WH_CBT, [](int code, WPARAM window, LPARAM lParam) -> LRESULT {
        if (code == HCBT_ACTIVATE && !BoxOwner) BoxOwner = GetWindow((HWND)window, GW_OWNER);
        return CallNextHookEx(nullptr, code, window, lParam);
    }, nullptr, GetCurrentThreadId());
    AnswerNextMessageBox(&caption, &text);
    Click(SoftKeysPage, id);
    MessageBoxAnswered(0);
    UnhookWindowsHookEx(hook);
    if (caption != L"-") {   // a box given a child as its owner belongs to the child's dialog
        EXPECT_EQ(text, L"If the setting is not applied, then please do a soft-reset!");
        EXPECT_EQ(BoxOwner, GetAncestor(SoftKeysPage, GA_ROOT));
    }
    return caption;
}

class SoftKeysPage_Dialog : public testing::Test {
protected:
    void SetUp() override
    {
        // The tests own the soft-key keys; the page opens without them.
        MoveRegTree(HKEY_CURRENT_USER, KEYS, KEYS + L"Saved"), MoveRegTree(HKEY_LOCAL_MACHINE, MANILA, MANILA + L"Saved");
        AppSettings = Settings{L"Keys Test", L"", L"", 0, 0, 0};
        SoftKeysEdited = false;
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOW));
    }
    void TearDown() override
    {
        DestroyWindow(MainWindow);
        PumpMessages();   // the window's quit message would end the next test's dialog at once
        MoveRegTree(HKEY_CURRENT_USER, KEYS + L"Saved", KEYS), MoveRegTree(HKEY_LOCAL_MACHINE, MANILA + L"Saved", MANILA);
    }
};

TEST_F(SoftKeysPage_Dialog, EachChoiceWritesItsPlaceAReInitShowsTheChoiceActedOnAndOkRelabelsTheMenuBar)
{
    struct Row { std::vector<int> clicks; HKEY root; std::wstring key; const WCHAR *label, *program; } rows[] = {
        {{}, HKEY_CURRENT_USER, KEYS + L"\\113", nullptr, L"Open"},
        {{IDC_LEFT_KEY}, HKEY_CURRENT_USER, KEYS + L"\\112", nullptr, L"Open"},
        {{IDC_MANILA}, HKEY_LOCAL_MACHINE, MANILA, L"HomeRSKText", L"HomeRSKPath"},   // a missing key is made
        {{IDC_LEFT_KEY, IDC_MANILA}, HKEY_LOCAL_MACHINE, MANILA, L"HomeLSKText", L"HomeLSKPath"},
        {{IDC_NIMBRA}, HKEY_LOCAL_MACHINE, MANILA, L"HomeRSKText", L"HomeRSKPath"},   // neither box ticked
        {{IDC_MANILA, IDC_NIMBRA}, HKEY_CURRENT_USER, KEYS + L"\\113", nullptr, L"Open"},
    };
    ASSERT_TRUE(RunSettingsDialog([&](HWND) {
        EXPECT_EQ((std::vector<bool>{KeyExists(KEYS + L"\\112"), KeyExists(KEYS + L"\\113")}), (std::vector<bool>{true, true}));
        for (size_t i = 0; i < std::size(rows); i++) {
            const Row &row = rows[i];
            SCOPED_TRACE(i);
            if (i) SendMessageW(SoftKeysPage, WM_INITDIALOG, 0, 0);   // as after a rotation
            std::wstring shown;
            for (int id : {IDC_LEFT_KEY, IDC_RIGHT_KEY, IDC_NIMBRA, IDC_MANILA}) shown += IsDlgButtonChecked(SoftKeysPage, id) ? L'x' : L'.';
            EXPECT_EQ((Texts{shown, Text(IDC_KEY_LABEL), Text(IDC_KEY_PATH)}), (Texts{L".xx.", L"Today", QuotedExePath}));
            for (int id : row.clicks) Click(SoftKeysPage, id);
            EXPECT_FALSE(IsDlgButtonChecked(SoftKeysPage, IDC_NIMBRA) && IsDlgButtonChecked(SoftKeysPage, IDC_MANILA));
            Texts written = {i + 1 < std::size(rows) ? L"Key" + std::to_wstring(i) : L"Xyz", L"\\p" + std::to_wstring(i) + L".exe"};
            Put(written[0], written[1]);
            EXPECT_EQ(Press(IDC_APPLY_KEY), TITLE);
            EXPECT_EQ((Texts{Value(row.root, row.key, row.label), Value(row.root, row.key, row.program)}), written);
        }
    }, DialogEnd::Ok));
    WCHAR label[32] = L"";
    SendMessageW(MenuBar, TB_GETBUTTONTEXTW, IDM_RIGHTKEY, (LPARAM)label);
    EXPECT_EQ(std::wstring(label), L"Xyz");
}

TEST_F(SoftKeysPage_Dialog, ApplyWantsLabelAndPathLoadAndRemoveFollowTheRegistryAndLongTextsStayWhole)
{
    // 261 and 259 characters: the longest QuotedExePath and the longest label.
    const std::wstring quoted = L"\"C:\\" + std::wstring(256, L'p') + L"\"", long_label(259, L'L'), typed(400, L't');
    const std::wstring saved = QuotedExePath;
    CopyText(QuotedExePath, quoted.c_str());
    auto stored = [] { return Texts{Value(HKEY_CURRENT_USER, KEYS + L"\\113", nullptr), Value(HKEY_CURRENT_USER, KEYS + L"\\113", L"Open")}; };
    auto edits = [] { return Texts{Text(IDC_KEY_LABEL), Text(IDC_KEY_PATH)}; };
    ASSERT_TRUE(RunSettingsDialog([&](HWND) {
        DeleteRegTree(HKEY_CURRENT_USER, KEYS);   // behind the open page's back
        Put(L"", L"\\a.exe");
        EXPECT_EQ(Press(IDC_APPLY_KEY), L"-");
        EXPECT_EQ(stored(), Texts({L"-", L"-"}));
        Put(L"Lbl", L"");
        EXPECT_EQ(Press(IDC_APPLY_KEY), L"-");
        EXPECT_EQ(stored(), Texts({L"Lbl", L"-"}));
        EXPECT_FALSE(SoftKeysEdited);
        Put(L"old", L"old");
        Press(IDC_LOAD_KEY);
        EXPECT_EQ(edits(), Texts({L"Lbl", L""}));

        SendMessageW(SoftKeysPage, WM_INITDIALOG, 0, 0);
        SetDlgItemTextW(SoftKeysPage, IDC_KEY_LABEL, long_label.c_str());
        EXPECT_EQ(Press(IDC_APPLY_KEY), TITLE);
        EXPECT_TRUE(SoftKeysEdited);
        Put(L"", L"");
        Press(IDC_LOAD_KEY);
        EXPECT_EQ(edits(), Texts({long_label, quoted}));
        Put(L"Lbl", typed);
        Press(IDC_APPLY_KEY);
        EXPECT_EQ(stored(), Texts({L"Lbl", typed.substr(0, quoted.size())})) << "cut to the longest path the page gives";

        SoftKeysEdited = false;
        EXPECT_EQ(Press(IDC_REMOVE_KEY), TITLE);
        EXPECT_TRUE(SoftKeysEdited);
        Press(IDC_LOAD_KEY);
        EXPECT_EQ(edits(), Texts({L"", L""}));
        EXPECT_TRUE(KeyExists(KEYS + L"\\113"));
        Click(SoftKeysPage, IDC_MANILA);
        EXPECT_EQ(Press(IDC_REMOVE_KEY), TITLE) << "without Manila's key";
    }, DialogEnd::Close));
    CopyText(QuotedExePath, saved.c_str());
}

}  // namespace
