// settings.ini: reading, the first-letter key rule, damaged files, long values, and the save
// that never destroys the old file.
#include "support/testing.h"
#include "settings/settingsfile.h"
#include "app/app.h"
#include "app/mainwindow.h"
#include "look/scale.h"
#include <string>
#include <vector>

using namespace std::string_literals;

// Internal to the settings file: the writer of the file's content, and the save with a given
// writer, so that a write failure after the new file exists can be made on purpose.
bool WriteSettingsFile(HANDLE file);
void SaveSettingsWith(HWND pluginsPage, HWND settingsPage, bool (*writeContent)(HANDLE file));

namespace {

// UTF-16 LE bytes of text, with the byte-order mark in front when bom is set.
std::vector<unsigned char> Utf16(const std::wstring &text, bool bom = true)
{
    std::vector<unsigned char> bytes;
    if (bom) bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back((unsigned char)(c & 0xFF));
        bytes.push_back((unsigned char)(c >> 8));
    }
    return bytes;
}

// Every test gets its own folder and SettingsPath, and leaves the program's globals as found.
class Settings_Load : public testing::Test {
protected:
    void SetUp() override
    {
        savedSettings = AppSettings;
        CopyText(savedPath, SettingsPath);
        savedMainWindow = MainWindow;
        MainWindow = nullptr;

        WCHAR temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"nimbra-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        path = folder + SETTINGS_FILE_NAME;
        newPath = path + L".new";
        CopyText(SettingsPath, path.c_str());
        AppSettings = Settings{L"Start", L"", L"", 0, 0, 0};
    }

    void TearDown() override
    {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        DeleteFileW(newPath.c_str());
        RemoveDirectoryW(newPath.c_str());
        RemoveDirectoryW(folder.c_str());
        AppSettings = savedSettings;
        CopyText(SettingsPath, savedPath);
        MainWindow = savedMainWindow;
        ComputeTrayMetrics();
    }

    void LoadText(const std::wstring &text, bool bom = true)
    {
        LoadBytes(Utf16(text, bom));
    }

    void LoadBytes(const std::vector<unsigned char> &bytes)
    {
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        LoadSettings();
    }

    bool Exists(const std::wstring &p) const
    {
        return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    Settings savedSettings;
    WCHAR savedPath[MAX_PATH];
    HWND savedMainWindow;
    std::wstring folder, path, newPath;
};

TEST_F(Settings_Load, ReadsEveryKey)
{
    AppSettings.BigTray = 0;
    LoadText(L"Plugins = 2::A::B::\nTitle = My Today\nBackground = \\My Documents\\sky.jpg\n"
             L"EnableBackground = 1\nDisableCommandBar = 1\nBigTray = 1\n");
    EXPECT_STREQ(AppSettings.PluginList, L"2::A::B::");
    EXPECT_STREQ(AppSettings.Title, L"My Today");
    EXPECT_STREQ(AppSettings.Background, L"\\My Documents\\sky.jpg");
    EXPECT_EQ(AppSettings.EnableBackground, 1);
    EXPECT_EQ(AppSettings.DisableCommandBar, 1);
    EXPECT_EQ(AppSettings.BigTray, 1);
    EXPECT_EQ(TrayHeight, ScaleY(37));
    EXPECT_EQ(IconSize, ScaleX(32));

    // The later of two lines wins; a value keeps everything after the first " = ";
    // an empty value is taken as such.
    LoadText(L"Title = One\nTitle = a = b\nPlugins = \nBigTray = 0\n");
    EXPECT_STREQ(AppSettings.Title, L"a = b");
    EXPECT_STREQ(AppSettings.PluginList, L"");
    EXPECT_EQ(AppSettings.BigTray, 0);
    EXPECT_EQ(TrayHeight, ScaleY(21));
    LoadText(L"Title = \n");
    EXPECT_STREQ(AppSettings.Title, L"");
}

TEST_F(Settings_Load, MissingOrEmptyFileGivesDefaults)
{
    struct Case { const char *name; std::vector<unsigned char> bytes; bool write; };
    const Case cases[] = {
        {"missing", {}, false},
        {"empty", {}, true},
        {"byte-order mark only", {0xFF, 0xFE}, true},
        {"one byte", {0xFF}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(path.c_str());
        CopyText(AppSettings.Title, L"Old");
        CopyText(AppSettings.Background, L"old.jpg");
        AppSettings.EnableBackground = 1;
        AppSettings.DisableCommandBar = 1;
        if (c.write) {
            ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        }
        LoadSettings();
        EXPECT_STREQ(AppSettings.Title, L"Start");
        EXPECT_STREQ(AppSettings.Background, L"");
        EXPECT_EQ(AppSettings.EnableBackground, 0);
        // Only Title, Background and EnableBackground are reset by a load.
        EXPECT_EQ(AppSettings.DisableCommandBar, 1);
    }
}

TEST_F(Settings_Load, KeysMatchOnFirstLettersAndNumbersConvert)
{
    LoadText(L"bigtray = 1\nBox = 1\nBanner = b.png\nPx = 1::Q::\nTime = T\nEnd = 3\nDull = yes\n"
             L"Xylophone = 1\nTitle=NoSpaces\nno separator here\nBigger =   -12abc\n");
    EXPECT_STREQ(AppSettings.Background, L"b.png");
    EXPECT_STREQ(AppSettings.PluginList, L"1::Q::");
    EXPECT_STREQ(AppSettings.Title, L"T");
    EXPECT_EQ(AppSettings.EnableBackground, 3);
    EXPECT_EQ(AppSettings.DisableCommandBar, 0);
    EXPECT_EQ(AppSettings.BigTray, -12);   // from "Bigger", not from "bigtray" or "Box"
    EXPECT_EQ(TrayHeight, ScaleY(37));
}

TEST_F(Settings_Load, OddlyShapedFiles)
{
    {
        SCOPED_TRACE("no byte-order mark: the first line loses its first character");
        LoadText(L"Plugins = 1::A::\nTitle = Second\n", false);
        EXPECT_STREQ(AppSettings.PluginList, L"");
        EXPECT_STREQ(AppSettings.Title, L"Second");
    }
    {
        SCOPED_TRACE("carriage returns stay in text values, numbers ignore them");
        LoadText(L"Title = Crlf\r\nEnableBackground = 1\r\n");
        EXPECT_STREQ(AppSettings.Title, L"Crlf\r");
        EXPECT_EQ(AppSettings.EnableBackground, 1);
    }
    {
        SCOPED_TRACE("last line without a line feed");
        LoadText(L"Title = Kept\nTitle = Dropped");
        EXPECT_STREQ(AppSettings.Title, L"Kept");
    }
    {
        SCOPED_TRACE("odd length: a stray last byte is not part of the text");
        std::vector<unsigned char> bytes = Utf16(L"Title = Odd\n");
        bytes.push_back('Z');
        LoadBytes(bytes);
        EXPECT_STREQ(AppSettings.Title, L"Odd");
        // Here the final line feed is cut in half, so the last line has none.
        bytes = Utf16(L"Title = Whole\nTitle = Half");
        bytes.push_back(0x0A);
        LoadBytes(bytes);
        EXPECT_STREQ(AppSettings.Title, L"Whole");
    }
    {
        SCOPED_TRACE("a zero inside a line ends it");
        LoadText(L"Title = ab\0cd\nBack\0ground = y\nPlugins = 1::A::\n"s);
        EXPECT_STREQ(AppSettings.Title, L"ab");
        EXPECT_STREQ(AppSettings.Background, L"");
        EXPECT_STREQ(AppSettings.PluginList, L"1::A::");
    }
}

TEST_F(Settings_Load, SurvivesGarbageAndHugeFiles)
{
    // Random bytes, with and without line feeds and " = " in them: only survival matters.
    unsigned seed = 12345;
    for (int round = 0; round < 20; round++) {
        std::vector<unsigned char> bytes(1 + round * 517);
        for (auto &b : bytes) {
            seed = seed * 1103515245 + 12345;
            b = (unsigned char)(seed >> 16);
            if (round % 2 && (seed & 0x700) == 0) b = "\n = "[seed & 3];
        }
        LoadBytes(bytes);
        EXPECT_LT(TextLength(AppSettings.Title, TITLE_CAPACITY), TITLE_CAPACITY);
        EXPECT_LT(TextLength(AppSettings.PluginList, PLUGIN_LIST_CAPACITY), PLUGIN_LIST_CAPACITY);
        EXPECT_LT(TextLength(AppSettings.Background, BACKGROUND_CAPACITY), BACKGROUND_CAPACITY);
    }

    // Several megabytes: a few thousand lines, then one very long line, then the title.
    std::wstring text;
    for (int i = 0; i < 40000; i++) text += L"Comment line " + std::to_wstring(i) + L" of filler text\n";
    text += L"Plugins = " + std::wstring(1500000, L'p') + L"\n";
    text += L"Title = After the flood\n";
    ASSERT_GT(text.size() * 2, 4000000u);
    LoadText(text);
    EXPECT_STREQ(AppSettings.Title, L"After the flood");
    EXPECT_EQ(std::wstring(AppSettings.PluginList), std::wstring(PLUGIN_LIST_CAPACITY - 1, L'p'));
}

TEST_F(Settings_Load, LongValuesAreCutToTheirField)
{
    const std::wstring title259(259, L't'), path259(259, L'b'), list2047(2047, L'p');
    LoadText(L"Title = " + title259 + L"\nBackground = " + path259 + L"\nPlugins = " + list2047 + L"\n");
    EXPECT_EQ(std::wstring(AppSettings.Title), title259);
    EXPECT_EQ(std::wstring(AppSettings.Background), path259);
    EXPECT_EQ(std::wstring(AppSettings.PluginList), list2047);

    LoadText(L"Title = " + title259 + L"XYZ\nBackground = " + path259 + std::wstring(5000, L'c') +
             L"\nPlugins = " + list2047 + L"ZZ\nEnableBackground = 1\n");
    EXPECT_EQ(std::wstring(AppSettings.Title), title259);
    EXPECT_EQ(std::wstring(AppSettings.Background), path259);
    EXPECT_EQ(std::wstring(AppSettings.PluginList), list2047);
    EXPECT_EQ(AppSettings.EnableBackground, 1);   // the lines after a long one still count

    // A cut through a surrogate pair drops its first half instead of keeping it alone.
    LoadText(L"Title = " + std::wstring(258, L'a') + L"\xD83D\xDE00\n");
    EXPECT_EQ(std::wstring(AppSettings.Title), std::wstring(258, L'a'));
    LoadText(L"Title = " + std::wstring(257, L'a') + L"\xD83D\xDE00\n");
    EXPECT_EQ(std::wstring(AppSettings.Title), std::wstring(257, L'a') + L"\xD83D\xDE00");
}

TEST_F(Settings_Load, LoadSetsTheMainWindowCaption)
{
    MainWindow = CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(MainWindow);
    WCHAR caption[TITLE_CAPACITY];
    LoadText(L"Title = Renamed\n");
    GetWindowTextW(MainWindow, caption, TITLE_CAPACITY);
    EXPECT_STREQ(caption, L"Renamed");
    LoadText(L"Title = \n");
    GetWindowTextW(MainWindow, caption, TITLE_CAPACITY);
    EXPECT_STREQ(caption, L"");
    DestroyWindow(MainWindow);
}

// Two plain windows standing in for the dialog's pages, with the four controls SaveSettings reads.
class Settings_Save : public Settings_Load {
protected:
    void SetUp() override
    {
        Settings_Load::SetUp();
        pluginsPage = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        settingsPage = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(pluginsPage && settingsPage);
        Control(pluginsPage, L"BUTTON", BS_AUTOCHECKBOX, IDC_USE_BACKGROUND);
        Control(settingsPage, L"EDIT", ES_AUTOHSCROLL, IDC_TITLE);
        Control(settingsPage, L"BUTTON", BS_AUTOCHECKBOX, IDC_DISABLE_COMMANDBAR);
        Control(settingsPage, L"BUTTON", BS_AUTOCHECKBOX, IDC_BIG_TRAY);
    }

    void TearDown() override
    {
        DestroyWindow(pluginsPage);
        DestroyWindow(settingsPage);
        Settings_Load::TearDown();
    }

    void Control(HWND page, LPCWSTR cls, DWORD style, int id)
    {
        ASSERT_TRUE(CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 100, 20, page,
                                    (HMENU)(INT_PTR)id, nullptr, nullptr));
    }

    void SetPages(LPCWSTR title, bool background, bool noCommandBar, bool bigTray)
    {
        SetDlgItemTextW(settingsPage, IDC_TITLE, title);
        CheckDlgButton(pluginsPage, IDC_USE_BACKGROUND, background ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(settingsPage, IDC_DISABLE_COMMANDBAR, noCommandBar ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(settingsPage, IDC_BIG_TRAY, bigTray ? BST_CHECKED : BST_UNCHECKED);
    }

    void Save() { SaveSettings(pluginsPage, settingsPage); }

    HWND pluginsPage = nullptr, settingsPage = nullptr;
};

TEST_F(Settings_Save, WritesTheFileFormat)
{
    CopyText(AppSettings.PluginList, L"0::");
    AppSettings.EnableBackground = AppSettings.DisableCommandBar = AppSettings.BigTray = 1;
    SetPages(L"Mine", false, false, false);
    Save();
    EXPECT_EQ(ReadFileBytes(path), Utf16(L"Plugins = 0::\nTitle = Mine\n"));
    EXPECT_STREQ(AppSettings.Title, L"Mine");
    EXPECT_EQ(AppSettings.EnableBackground, 0);
    EXPECT_EQ(AppSettings.DisableCommandBar, 0);
    EXPECT_EQ(AppSettings.BigTray, 0);
    EXPECT_EQ(TrayHeight, ScaleY(21));
    EXPECT_FALSE(Exists(newPath));

    CopyText(AppSettings.PluginList, L"2::A::B::");
    CopyText(AppSettings.Background, L"\\My Documents\\sky.jpg");
    SetPages(L"Full", true, true, true);
    Save();
    EXPECT_EQ(ReadFileBytes(path), Utf16(L"Plugins = 2::A::B::\nTitle = Full\nBackground = \\My Documents\\sky.jpg\n"
                                         L"EnableBackground = 1\nDisableCommandBar = 1\nBigTray = 1\n"));
    EXPECT_EQ(AppSettings.EnableBackground, 1);
    EXPECT_EQ(AppSettings.DisableCommandBar, 1);
    EXPECT_EQ(AppSettings.BigTray, 1);
    EXPECT_EQ(TrayHeight, ScaleY(37));
    EXPECT_EQ(IconPitch, ScaleX(34));
    EXPECT_FALSE(Exists(newPath));
}

TEST_F(Settings_Save, SavedFileLoadsBackAndSavesIdentically)
{
    const std::wstring longTitle(259, L'T');
    CopyText(AppSettings.PluginList, (L"30::" + std::wstring(990, L'n')).c_str());
    CopyText(AppSettings.Background, L"\\Storage Card\\a = b.png");
    SetPages(longTitle.c_str(), true, false, true);
    Save();
    const Settings saved = AppSettings;
    const std::vector<unsigned char> first = ReadFileBytes(path);
    ASSERT_FALSE(first.empty());

    AppSettings = Settings{L"x", L"", L"", 0, 0, 0};
    LoadSettings();
    EXPECT_STREQ(AppSettings.Title, longTitle.c_str());
    EXPECT_STREQ(AppSettings.PluginList, saved.PluginList);
    EXPECT_STREQ(AppSettings.Background, L"\\Storage Card\\a = b.png");
    EXPECT_EQ(AppSettings.EnableBackground, 1);
    EXPECT_EQ(AppSettings.DisableCommandBar, 0);
    EXPECT_EQ(AppSettings.BigTray, 1);

    Save();
    EXPECT_EQ(ReadFileBytes(path), first);
}

TEST_F(Settings_Save, CreateFailureChangesNothing)
{
    const std::vector<unsigned char> old = Utf16(L"Plugins = 1::Old::\nTitle = Old\n");
    ASSERT_TRUE(WriteFileBytes(path, old));
    CopyText(AppSettings.Title, L"Old");
    CopyText(AppSettings.PluginList, L"1::New::");
    AppSettings.BigTray = 0;
    ComputeTrayMetrics();
    SetPages(L"New", true, true, true);

    // A folder in the way of the new file: it cannot be created.
    ASSERT_TRUE(CreateDirectoryW(newPath.c_str(), nullptr));
    Save();
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_STREQ(AppSettings.Title, L"Old");
    EXPECT_EQ(AppSettings.EnableBackground, 0);
    EXPECT_EQ(AppSettings.DisableCommandBar, 0);
    EXPECT_EQ(AppSettings.BigTray, 0);
    EXPECT_EQ(TrayHeight, ScaleY(21));
    RemoveDirectoryW(newPath.c_str());

    // A settings folder that does not exist.
    std::wstring gone = folder + L"missing\\" SETTINGS_FILE_NAME;
    CopyText(SettingsPath, gone.c_str());
    Save();
    EXPECT_STREQ(AppSettings.Title, L"Old");
    EXPECT_FALSE(Exists(gone));
}

// Writes the start of the file, then fails as a full disk would.
bool WriteHalfThenFail(HANDLE file)
{
    DWORD written;
    const WCHAR part[] = L"\xFEFFPlugins = ";
    WriteFile(file, part, sizeof part - sizeof(WCHAR), &written, nullptr);
    return false;
}

// The real writer, with a failure at the very end (the last byte would not go to disk).
bool WriteAllThenFail(HANDLE file)
{
    return !WriteSettingsFile(file);
}

TEST_F(Settings_Save, WriteFailureKeepsTheOldFile)
{
    const std::vector<unsigned char> old = Utf16(L"Plugins = 1::Old::\nTitle = Old\n");
    for (auto writer : {WriteHalfThenFail, WriteAllThenFail}) {
        SCOPED_TRACE(writer == WriteHalfThenFail ? "fails half-way" : "fails at the end");
        ASSERT_TRUE(WriteFileBytes(path, old));
        AppSettings = Settings{L"Old", L"", L"", 0, 0, 0};
        ComputeTrayMetrics();
        SetPages(L"New", true, false, true);
        SaveSettingsWith(pluginsPage, settingsPage, writer);
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_FALSE(Exists(newPath));
        // The running screen still follows the user's choices.
        EXPECT_STREQ(AppSettings.Title, L"New");
        EXPECT_EQ(AppSettings.EnableBackground, 1);
        EXPECT_EQ(AppSettings.BigTray, 1);
        EXPECT_EQ(TrayHeight, ScaleY(37));
    }
}

TEST_F(Settings_Save, WriterChecksEveryWrite)
{
    // A handle without write access: the very first write fails, and so does the writer.
    ASSERT_TRUE(WriteFileBytes(newPath, nullptr, 0));
    HANDLE readOnly = CreateFileW(newPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteSettingsFile(readOnly));
    CloseHandle(readOnly);
}

TEST_F(Settings_Save, ReplaceFailureKeepsTheOldFile)
{
    const std::vector<unsigned char> old = Utf16(L"Plugins = 1::Old::\nTitle = Old\n");
    ASSERT_TRUE(WriteFileBytes(path, old));
    // The old file is open without delete sharing: it cannot be replaced.
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    SetPages(L"New", false, true, false);
    Save();
    CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_FALSE(Exists(newPath));
    EXPECT_STREQ(AppSettings.Title, L"New");
    EXPECT_EQ(AppSettings.DisableCommandBar, 1);

    // Without the holder the same save goes through, and creates a missing file too.
    DeleteFileW(path.c_str());
    Save();
    EXPECT_EQ(ReadFileBytes(path), Utf16(L"Plugins = \nTitle = New\nDisableCommandBar = 1\n"));
}

} // namespace
