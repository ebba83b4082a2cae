// The desktop stand-ins for the device's shell and core calls (platform/) that no other test
// guards, each checked against what the device does.
#include "support/chooser.h"
#include "support/nimbra_process.h"

const WCHAR *FilterPattern(const OPENFILENAMEEX *ofn);   // the file chooser's, internal

// A dialog that asks SHInitDialog for the Done button gets the navigation bar's OK (the file
// chooser's way; the settings dialog's template carries the flag itself).
TEST(Platform, FullScreenDialogAskingForDoneGetsTheNavigationBarsOk)
{
    struct { DLGTEMPLATE head; WORD menu, windowClass, title; } bare = {{WS_POPUP, 0, 0, 0, 0, 100, 80}, 0, 0, 0};
    HWND dialog = CreateDialogIndirectParamW(nullptr, &bare.head, nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
    EXPECT_TRUE(SHInitDialog(&info) && (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN));
    DestroyWindow(dialog);
}

// Under multithreaded COM on this thread, as the program runs (main() sets it up so).
TEST(Platform, FileChooserAnswersThePickedPathAndOtherwiseLeavesTheBufferAsItWas)
{
    const std::wstring title = L"Select your Background-Image", folder = ExeFolder() + L"choose\\", picked = folder + L"Sky.png";
    // Listed: the parent, the folders and then the files of the filter, each by name whatever the case.
    for (const wchar_t *sub : {L"", L"b", L"A"}) CreateDirectoryW((folder + sub).c_str(), nullptr);
    for (const wchar_t *name : {L"Sky.png", L"cloud.JPG", L"note.txt"}) ASSERT_TRUE(WriteFileBytes(folder + name, "x", 1));
    WCHAR file[MAX_PATH], directory[MAX_PATH] = L"";
    OPENFILENAMEEX ofn = {};
    ofn.lpstrFile = file, ofn.lpstrTitle = title.c_str(), ofn.lpstrFilter = L"Pictures\0*.png;*.jpg\0", ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = OFN_SHOW_ALL | OFN_FILEMUSTEXIST, ofn.ExFlags = OFN_EXFLAG_DETAILSVIEW;
    // Cancelled; a pick that leaves the buffer no room for its terminator; the desktop's
    // record size instead of the device's (no chooser opens).
    struct { const wchar_t *answer; DWORD capacity, recordSize; } refusals[] = {
        {L"", MAX_PATH, sizeof ofn}, {picked.c_str(), (DWORD)picked.size(), sizeof ofn}, {picked.c_str(), MAX_PATH, sizeof(OPENFILENAMEW)}};
    for (auto refusal : refusals) {
        SCOPED_TRACE(testing::Message() << "answer '" << Narrow(refusal.answer) << "' capacity " << refusal.capacity);
        CopyText(file, L"\\Windows\\old.png"), ofn.nMaxFile = refusal.capacity, ofn.lStructSize = refusal.recordSize;
        AnswerFileChooserSoon(title, refusal.answer);   // also when none should open: never hang
        EXPECT_FALSE(GetOpenFileNameEx(&ofn));
        EXPECT_EQ(FileChooserAnswered(), refusal.recordSize == sizeof ofn);
        EXPECT_STREQ(file, L"\\Windows\\old.png");
    }
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    ofn.lStructSize = sizeof ofn, ofn.nMaxFile = MAX_PATH, file[0] = 0;   // starts in the initial folder
    AnswerFileChooserSoon(title, picked);
    EXPECT_TRUE(GetOpenFileNameEx(&ofn) && FileChooserAnswered());
    EXPECT_EQ(std::wstring(file), picked);
    EXPECT_TRUE(!wcscmp(file + ofn.nFileOffset, L"Sky.png") && !wcscmp(file + ofn.nFileExtension, L"png"));
    EXPECT_EQ(FileChooserEntries(), (std::vector<std::wstring>{L"..\\", L"A\\", L"b\\", L"cloud.JPG", L"Sky.png"}));
    GetCurrentDirectoryW(MAX_PATH, directory);
    EXPECT_EQ(std::wstring(directory), ThisProgram().substr(0, 3)) << "the root of rooted paths moved";
    DeleteFileW(picked.c_str());
    // A file named like a folder's row is itself (no must-exist: a wrong pick ends the chooser too).
    ASSERT_TRUE(WriteFileBytes(folder + L"[tool]", "x", 1));
    ofn.Flags = OFN_SHOW_ALL, AnswerFileChooserSoon(title, L"[tool]");
    EXPECT_TRUE(GetOpenFileNameEx(&ofn) && file == folder + L"[tool]") << Narrow(file);
    DeleteFileW((folder + L"[tool]").c_str());
    // A filter pair without patterns ends the filter: every file is listed.
    for (auto [filter, want] : {std::pair{L"A\0*.a\0B\0*.b\0", L"*.b"}, {L"Pictures\0\0X\0*.txt\0", L"*"}})
        EXPECT_EQ((ofn.lpstrFilter = filter, ofn.nFilterIndex = 2, std::wstring(FilterPattern(&ofn))), want);
    for (const wchar_t *name : {L"Sky.png", L"cloud.JPG", L"note.txt"}) DeleteFileW((folder + name).c_str());
    for (const wchar_t *sub : {L"b", L"A", L""}) RemoveDirectoryW((folder + sub).c_str());
}

TEST(Platform, RootedPathsNameTheProgramsDriveWhereverItStarts)
{
    ASSERT_NE(GetFileAttributesW(L"Z:\\tmp"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RunTestChild(L"Platform_Child.RootedPathsResolveOnProgramDrive", L"", L"Z:\\tmp"), 0u);
}

TEST(Platform_Child, RootedPathsResolveOnProgramDrive)
{
    if (!InTestChild()) GTEST_SKIP() << "runs in a copy started by Platform.RootedPathsNameTheProgramsDriveWhereverItStarts";
    WCHAR exe[MAX_PATH], full[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ASSERT_NE(towupper(exe[0]), L'Z') << "the test program must not be installed on Z:";
    ASSERT_TRUE(GetFullPathNameW(L"\\Windows\\x.png", MAX_PATH, full, nullptr));
    EXPECT_EQ(std::wstring(full), exe[0] + std::wstring(L":\\Windows\\x.png"));
}

TEST(Platform, TextsThatDoNotFitAreRefusedNotCut)
{
    // A text a message points to one character too long fails and leaves the buffer empty; a
    // pointer that cannot be read fails too, without a fault.
    WCHAR text[6];
    for (LPARAM bad : {(LPARAM)L"Phones", (LPARAM)0x10, (LPARAM)0xFFFF800000000000ull}) {
        CopyText(text, L"xxxxx");
        EXPECT_FALSE(ReadMessageText(bad, text, 6)) << std::hex << bad;
        EXPECT_STREQ(text, L"");
    }
    EXPECT_TRUE(ReadMessageText((LPARAM)L"Phone", text, 6) && wcscmp(text, L"Phone") == 0);
}

// Only a 4-byte DWORD is a number and only a string that fits is a text, whatever the value's
// type and size; a value of 100 MB fails unread. The key is volatile, so that the huge value
// never reaches the registry's files.
TEST(Platform, RegistryValuesOfAnyTypeAndSizeAreReadQuicklyOrRefused)
{
    const WCHAR *name = L"Software\\NimbraVolatile";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    std::vector<BYTE> bytes(100 << 20, 'a');
    for (DWORD type : {REG_DWORD, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_QWORD, REG_MULTI_SZ})
        for (DWORD size : {0u, 2u, 3u, 4u, 8u, 518u, 519u, 520u, 2000u, 100u << 20}) {
            if (size > 2000 && type > REG_EXPAND_SZ) continue;   // seconds to write; both readers meet it as a text
            ASSERT_EQ(RegSetValueExW(key, L"V", 0, type, bytes.data(), size), 0);
            DWORD number = 7;
            WCHAR text[MAX_PATH] = L"x";
            ULONGLONG start = ThreadMs();
            bool isNumber = SUCCEEDED(RegistryGetDWORD(HKEY_CURRENT_USER, name, L"V", &number));
            bool isText = SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, name, L"V", text, MAX_PATH));
            EXPECT_LT(ThreadMs() - start, 50u) << type << " " << size;
            EXPECT_EQ(number, type == REG_DWORD && size == 4 ? 0x61616161u : 7u) << type << " " << size;
            EXPECT_EQ(isNumber, number != 7);
            EXPECT_EQ(isText, (type == REG_SZ || type == REG_EXPAND_SZ) && size / 2 < MAX_PATH) << type << " " << size;
            EXPECT_EQ(wcslen(text), isText ? size / 2 : 0) << type << " " << size;
        }
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, name);
}
