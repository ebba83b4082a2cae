// The Soft Keys page in the real settings dialog: what each choice of target and side writes,
// the page after a re-initialisation, empty and long texts, loading, removing, the program
// chooser and the note after a change. (The menu bar after OK is held end to end.)
#include "support/chooser.h"
#include "support/dialog.h"
#include "res/resource.h"
#include "settings/settingsdialog.h"
#include "softkeys/softkeys.h"

namespace {

using Texts = std::vector<std::wstring>;
const std::wstring KEYS = L"Software\\Microsoft\\Today\\Keys", RIGHT = KEYS + L"\\113", MANILA = L"Software\\HTC\\Manila";

// A value's text, or "-" when there is none.
std::wstring Value(HKEY root, const std::wstring &key, const WCHAR *name)
{
    WCHAR text[1024];
    return SUCCEEDED(RegistryGetString(root, key.c_str(), name, text, 1024)) ? text : L"-";
}

Texts Edits() { return {WindowText(GetDlgItem(SoftKeysPage, IDC_KEY_LABEL)), WindowText(GetDlgItem(SoftKeysPage, IDC_KEY_PATH))}; }

// Fills the edits when given texts (the label as typed, as far as the edit takes it) and presses
// a button; answers the caption of the note it showed, or "-" for none. A box given a child as its owner belongs to the child's dialog.
std::wstring Press(int id, const std::wstring &label = L"?", const std::wstring &path = L"?")
{
    if (label != L"?") { SetDlgItemTextW(SoftKeysPage, IDC_KEY_LABEL, L""); for (wchar_t c : label) SendDlgItemMessageW(SoftKeysPage, IDC_KEY_LABEL, WM_CHAR, c, 0); }
    if (path != L"?") SetDlgItemTextW(SoftKeysPage, IDC_KEY_PATH, path.c_str());
    std::vector<ShownBox> boxes = BoxesShownBy([id] { Click(SoftKeysPage, id); });
    if (boxes.empty()) return L"-";
    EXPECT_EQ(boxes[0].text, L"If the setting is not applied, then please do a soft-reset!");
    EXPECT_EQ(boxes[0].owner, GetAncestor(SoftKeysPage, GA_ROOT));
    return boxes[0].caption;
}

class SoftKeysPage_Dialog : public ScreenTest {};

TEST_F(SoftKeysPage_Dialog, WritesWhereTheChoiceSays)
{
    // The test owns the keys, and the page opens without them.
    MoveRegTree(HKEY_CURRENT_USER, KEYS, KEYS + L"Saved"), MoveRegTree(HKEY_LOCAL_MACHINE, MANILA, MANILA + L"Saved");
    const std::wstring saved = QuotedExePath, quoted = L"\"C:\\" + std::wstring(256, L'p') + L"\"", label(259, L'L');
    CopyText(QuotedExePath, quoted.c_str());   // 261 characters, the longest there is
    SoftKeysEdited = false;
    OpenScreen({L"Keys Test", L"", L"", 0, 0, 0});
    struct Row { std::vector<int> clicks; HKEY root; std::wstring key; const WCHAR *label, *program; } rows[] = {
        {{IDC_LEFT_KEY}, HKEY_CURRENT_USER, KEYS + L"\\112", nullptr, L"Open"},
        {{IDC_MANILA}, HKEY_LOCAL_MACHINE, MANILA, L"HomeRSKText", L"HomeRSKPath"},
        {{IDC_LEFT_KEY, IDC_MANILA}, HKEY_LOCAL_MACHINE, MANILA, L"HomeLSKText", L"HomeLSKPath"},
        {{IDC_NIMBRA}, HKEY_LOCAL_MACHINE, MANILA, L"HomeRSKText", L"HomeRSKPath"},   // neither box ticked
        {{IDC_MANILA, IDC_NIMBRA}, HKEY_CURRENT_USER, RIGHT, nullptr, L"Open"},
    };
    EXPECT_TRUE(RunSettingsDialog([&](HWND) {
        EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, (KEYS + L"\\112").c_str()), ERROR_SUCCESS) << "the page made the key";
        DeleteRegTree(HKEY_CURRENT_USER, KEYS);   // behind the open page's back
        auto stored = [] { return Texts{Value(HKEY_CURRENT_USER, RIGHT, nullptr), Value(HKEY_CURRENT_USER, RIGHT, L"Open")}; };
        EXPECT_EQ(Press(IDC_APPLY_KEY, L"", L"\\a.exe"), L"-");
        EXPECT_EQ(Press(IDC_APPLY_KEY, L"Lbl", L""), L"-");
        EXPECT_EQ(stored(), Texts({L"Lbl", L"-"})) << "an empty label writes nothing, an empty path only the label";
        EXPECT_FALSE(SoftKeysEdited);
        Press(IDC_LOAD_KEY, L"old", L"old");
        EXPECT_EQ(Edits(), Texts({L"Lbl", L""}));
        SendMessageW(SoftKeysPage, WM_INITDIALOG, 0, 0);
        EXPECT_EQ(Press(IDC_APPLY_KEY, label).append(Edits()[0]), L"Keys Test" + label.substr(0, 31)) << "a label holds what the soft keys read";
        Press(IDC_LOAD_KEY, L"", L"");
        EXPECT_EQ(Edits(), Texts({label.substr(0, 31), quoted})) << "and is stored so";
        Press(IDC_APPLY_KEY, L"Lbl", std::wstring(400, L't'));
        EXPECT_EQ(stored(), Texts({L"Lbl", std::wstring(quoted.size(), L't')})) << "cut to the longest path the page gives";
        SoftKeysEdited = false;
        EXPECT_EQ(Press(IDC_REMOVE_KEY), L"Keys Test");
        Press(IDC_LOAD_KEY);
        EXPECT_EQ((Texts{stored()[0], stored()[1], Edits()[0], Edits()[1]}), Texts({L"-", L"-", L"", L""}));
        EXPECT_TRUE(SoftKeysEdited);
        Click(SoftKeysPage, IDC_MANILA);
        EXPECT_EQ(Press(IDC_REMOVE_KEY), L"Keys Test") << "without Manila's key";
        for (const std::wstring &pick : {ThisProgram(), std::wstring()}) {   // a pick, then a cancel
            AnswerFileChooserSoon(L"Select a Program", pick);
            SetDlgItemTextW(SoftKeysPage, IDC_KEY_PATH, L"old"), Click(SoftKeysPage, IDC_CHOOSE_PROGRAM);
            EXPECT_EQ(Edits()[1] + (FileChooserAnswered() ? L"" : L" unanswered"), pick.empty() ? L"old" : pick);
        }
        for (size_t i = 0; i < std::size(rows); i++) {
            SCOPED_TRACE(i);
            SendMessageW(SoftKeysPage, WM_INITDIALOG, 0, 0);   // as a fresh page
            std::wstring shown;
            for (int id : {IDC_LEFT_KEY, IDC_RIGHT_KEY, IDC_NIMBRA, IDC_MANILA}) shown += IsDlgButtonChecked(SoftKeysPage, id) ? L'x' : L'.';
            EXPECT_EQ((Texts{shown, Edits()[0], Edits()[1]}), (Texts{L".xx.", L"Today", quoted}));
            for (int id : rows[i].clicks) Click(SoftKeysPage, id);
            EXPECT_FALSE(IsDlgButtonChecked(SoftKeysPage, IDC_NIMBRA) && IsDlgButtonChecked(SoftKeysPage, IDC_MANILA));
            Texts written = {L"Key" + std::to_wstring(i), L"\\p" + std::to_wstring(i)};
            EXPECT_EQ(Press(IDC_APPLY_KEY, written[0], written[1]), L"Keys Test");
            EXPECT_EQ((Texts{Value(rows[i].root, rows[i].key, rows[i].label), Value(rows[i].root, rows[i].key, rows[i].program)}), written);
        }
    }, DialogEnd::Close));
    CopyText(QuotedExePath, saved.c_str());
    MoveRegTree(HKEY_CURRENT_USER, KEYS + L"Saved", KEYS), MoveRegTree(HKEY_LOCAL_MACHINE, MANILA + L"Saved", MANILA);
}

}  // namespace
