// settings.ini: reading, the first-letter key rule, damaged files, long values, and the save
// that never destroys the old file.
#include "support/testing.h"
#include "settings/settingsfile.h"
#include <string>
#include <vector>

using namespace std::string_literals;

// Internal to the settings file: the content writer, and the save with a given writer.
bool WriteSettingsFile(HANDLE file);
bool StoreSettingsWith(const Settings &next, bool (*writeContent)(HANDLE file));

namespace {

// UTF-16 LE bytes of text, with the byte-order mark in front when bom is set.
std::vector<unsigned char> Utf16(const std::wstring &text, bool bom = true)
{
    const std::wstring all = bom ? L"\xFEFF" + text : text;
    return {(const unsigned char *)all.data(), (const unsigned char *)(all.data() + all.size())};
}

void ExpectSettings(const Settings &want)
{
    EXPECT_STREQ(AppSettings.Title, want.Title);
    EXPECT_STREQ(AppSettings.PluginList, want.PluginList);
    EXPECT_STREQ(AppSettings.Background, want.Background);
    EXPECT_EQ(AppSettings.EnableBackground, want.EnableBackground);
    EXPECT_EQ(AppSettings.DisableCommandBar, want.DisableCommandBar);
    EXPECT_EQ(AppSettings.BigTray, want.BigTray);
}

// Every test gets its own folder and SettingsPath, and leaves the program's globals as found.
class Settings_Load : public testing::Test {
protected:
    void SetUp() override
    {
        CopyText(savedPath, SettingsPath);
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
        DeleteFileW(path.c_str());
        DeleteFileW(newPath.c_str());
        RemoveDirectoryW(newPath.c_str());
        RemoveDirectoryW(folder.c_str());
        AppSettings = savedSettings;
        CopyText(SettingsPath, savedPath);
    }

    // The settings the dialog hands over: AppSettings with the title and the three flags.
    void SetPages(LPCWSTR title, bool background, bool noCommandBar, bool bigTray)
    {
        pending = AppSettings;
        CopyText(pending.Title, title);
        pending.EnableBackground = background;
        pending.DisableCommandBar = noCommandBar;
        pending.BigTray = bigTray;
    }
    void Save() { EXPECT_TRUE(StoreSettings(pending)); }
    void LoadBytes(const std::vector<unsigned char> &bytes)
    {
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        LoadSettings();
    }
    void LoadText(const std::wstring &text) { LoadBytes(Utf16(text)); }
    bool Exists(const std::wstring &p) const { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

    const Settings savedSettings = AppSettings;
    WCHAR savedPath[MAX_PATH];
    Settings pending = {};
    std::wstring folder, path, newPath;
    const std::vector<unsigned char> old = Utf16(L"Plugins = 1::Old::\nTitle = Old\n");
};
class Settings_Save : public Settings_Load {};

TEST_F(Settings_Load, KeysMatchOnFirstLettersAndNumbersConvert)
{
    // Case matters; the later of two lines wins; a value keeps everything after the first " = ".
    LoadText(L"bigtray = 1\nBox = 1\nBanner = b.png\nPx = 1::Q::\nTitle = One\nTime = a = b\nEnd = 3\n"
             L"Dull = yes\nXylophone = 1\nTitle=NoSpaces\nno separator here\nBigger =   -12abc\n");
    EXPECT_STREQ(AppSettings.Background, L"b.png");
    EXPECT_STREQ(AppSettings.PluginList, L"1::Q::");
    EXPECT_STREQ(AppSettings.Title, L"a = b");
    EXPECT_EQ(AppSettings.EnableBackground, 3);
    EXPECT_EQ(AppSettings.DisableCommandBar, 0);
    EXPECT_EQ(AppSettings.BigTray, -12);   // from "Bigger", not from "bigtray" or "Box"

    LoadText(L"Title = \nPlugins = \nBigTray = 0\n");   // empty values are taken as such
    EXPECT_STREQ(AppSettings.Title, L"");
    EXPECT_STREQ(AppSettings.PluginList, L"");
    EXPECT_EQ(AppSettings.BigTray, 0);
}

TEST_F(Settings_Load, DamagedFilesGiveDefaultsOrTheLinesBeforeTheDamage)
{
    std::vector<unsigned char> odd = Utf16(L"Title = Odd\n"), halfLineFeed = Utf16(L"Title = Whole\nTitle = Half");
    odd.push_back('Z');
    halfLineFeed.push_back(0x0A);   // the final line feed cut in half: the last line has none
    struct Case { const char *name; bool write; std::vector<unsigned char> bytes; const wchar_t *title, *plugins; int enable; };
    const Case cases[] = {
        {"missing", false, {}, L"Start", L"old", 0},
        {"empty", true, {}, L"Start", L"old", 0},
        {"byte-order mark only", true, {0xFF, 0xFE}, L"Start", L"old", 0},
        {"one byte", true, {0xFF}, L"Start", L"old", 0},
        {"no byte-order mark: the first line loses its first character", true,
         Utf16(L"Plugins = 1::A::\nTitle = Second\n", false), L"Second", L"old", 0},
        {"CR stays in text values, numbers ignore it", true, Utf16(L"Title = Crlf\r\nEnableBackground = 1\r\n"),
         L"Crlf\r", L"old", 1},
        {"last line without a line feed", true, Utf16(L"Title = Kept\nTitle = Dropped"), L"Kept", L"old", 0},
        {"odd length", true, odd, L"Odd", L"old", 0},
        {"odd length through the last line feed", true, halfLineFeed, L"Whole", L"old", 0},
        {"a zero ends its line", true, Utf16(L"Title = ab\0cd\nBack\0ground = y\nPlugins = 1::A::\n"s), L"ab",
         L"1::A::", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings = Settings{L"Old", L"old", L"old.jpg", 1, 1, 0};
        DeleteFileW(path.c_str());
        if (c.write) {
            ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        }
        LoadSettings();
        EXPECT_STREQ(AppSettings.Title, c.title);
        EXPECT_STREQ(AppSettings.PluginList, c.plugins);
        EXPECT_STREQ(AppSettings.Background, L"");
        EXPECT_EQ(AppSettings.EnableBackground, c.enable);
        EXPECT_EQ(AppSettings.DisableCommandBar, 1);   // a load resets only Title, Background, EnableBackground
    }
}

TEST_F(Settings_Load, SurvivesGarbageAndHugeFiles)
{
    // Random bytes, some rounds with line feeds and " = " mixed in: only survival matters.
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

    // Several megabytes: thousands of lines, one very long line, then the title.
    std::wstring text;
    for (int i = 0; i < 40000; i++) text += L"Comment line " + std::to_wstring(i) + L" of filler text\n";
    text += L"Plugins = " + std::wstring(1500000, L'p') + L"\nTitle = After the flood\n";
    ASSERT_GT(text.size() * 2, 4000000u);
    LoadText(text);
    EXPECT_STREQ(AppSettings.Title, L"After the flood");
    EXPECT_EQ(std::wstring(AppSettings.PluginList), std::wstring(PLUGIN_LIST_CAPACITY - 1, L'p'));
}

TEST_F(Settings_Load, LongValuesAreCutToTheirField)
{
    const std::wstring title259(259, L't'), path259(259, L'b'), list2047(2047, L'p');
    for (const std::wstring &extra : {L""s, L"XYZ"s + std::wstring(5000, L'c')}) {
        SCOPED_TRACE(extra.size());
        LoadText(L"Title = " + title259 + extra + L"\nBackground = " + path259 + extra + L"\nPlugins = " +
                 list2047 + extra + L"\nEnableBackground = 1\n");
        EXPECT_EQ(std::wstring(AppSettings.Title), title259);
        EXPECT_EQ(std::wstring(AppSettings.Background), path259);
        EXPECT_EQ(std::wstring(AppSettings.PluginList), list2047);
        EXPECT_EQ(AppSettings.EnableBackground, 1);   // the lines after a long one still count
    }
    // A cut through a surrogate pair drops its first half instead of keeping it alone.
    LoadText(L"Title = " + std::wstring(258, L'a') + L"\xD83D\xDE00\n");
    EXPECT_EQ(std::wstring(AppSettings.Title), std::wstring(258, L'a'));
    LoadText(L"Title = " + std::wstring(257, L'a') + L"\xD83D\xDE00\n");
    EXPECT_EQ(std::wstring(AppSettings.Title), std::wstring(257, L'a') + L"\xD83D\xDE00");
}

TEST_F(Settings_Save, WritesTheFileFormat)
{
    // Flags that are on in AppSettings but off on the pages are not written.
    CopyText(AppSettings.PluginList, L"0::");
    AppSettings.EnableBackground = AppSettings.DisableCommandBar = AppSettings.BigTray = 1;
    SetPages(L"Mine", false, false, false);
    Save();
    EXPECT_EQ(ReadFileBytes(path), Utf16(L"Plugins = 0::\nTitle = Mine\n"));

    CopyText(AppSettings.PluginList, L"2::A::B::");
    CopyText(AppSettings.Background, L"\\My Documents\\sky.jpg");
    SetPages(L"Full", true, true, true);
    Save();
    EXPECT_EQ(ReadFileBytes(path), Utf16(L"Plugins = 2::A::B::\nTitle = Full\nBackground = \\My Documents\\sky.jpg\n"
                                         L"EnableBackground = 1\nDisableCommandBar = 1\nBigTray = 1\n"));
    EXPECT_FALSE(Exists(newPath));
}

TEST_F(Settings_Save, SavedFileLoadsBackAndSavesIdentically)
{
    Settings want = {L"", L"", L"\\Storage Card\\a = b.png", 1, 1, 1};
    CopyText(want.Title, std::wstring(259, L'T').c_str());
    CopyText(want.PluginList, (L"30::" + std::wstring(990, L'n')).c_str());
    CopyText(AppSettings.PluginList, want.PluginList);
    CopyText(AppSettings.Background, want.Background);
    SetPages(want.Title, true, true, true);
    Save();
    const std::vector<unsigned char> first = ReadFileBytes(path);
    ASSERT_FALSE(first.empty());

    AppSettings = Settings{L"x", L"", L"", 0, 0, 0};
    LoadSettings();
    ExpectSettings(want);
    Save();
    EXPECT_EQ(ReadFileBytes(path), first);
}

// The real writer, reporting a failure at the very end (as if the last byte did not reach disk).
bool WriteAllThenFail(HANDLE file) { return !WriteSettingsFile(file); }

// The old file survives every failure. A create failure changes nothing; after a failed write
// or replace the running screen still follows the user's choices.
TEST_F(Settings_Save, FailedSaveKeepsTheOldFile)
{
    for (const char *failure : {"create", "write", "replace"}) {
        SCOPED_TRACE(failure);
        const bool create = failure[0] == 'c', write = failure[0] == 'w';
        ASSERT_TRUE(WriteFileBytes(path, old));
        AppSettings = Settings{L"Old", L"1::Old::", L"", 0, 0, 0};
        const Settings before = AppSettings;
        SetPages(L"New", true, true, true);
        if (create) {
            ASSERT_TRUE(CreateDirectoryW(newPath.c_str(), nullptr));   // in the way of the new file
        }
        // Open without delete sharing, the old file cannot be replaced.
        HANDLE holder = failure[0] != 'r' ? INVALID_HANDLE_VALUE
                                          : CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(StoreSettingsWith(pending, write ? WriteAllThenFail : WriteSettingsFile), !create);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        EXPECT_EQ(ReadFileBytes(path), old);
        if (create) {
            EXPECT_TRUE(RemoveDirectoryW(newPath.c_str()));
            ExpectSettings(before);
        } else {
            EXPECT_FALSE(Exists(newPath));
            ExpectSettings(Settings{L"New", L"1::Old::", L"", 1, 1, 1});
        }
    }

    // The real writer reports a failed write: here the handle has no write access.
    ASSERT_TRUE(WriteFileBytes(newPath, nullptr, 0));
    HANDLE readOnly = CreateFileW(newPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteSettingsFile(readOnly));
    CloseHandle(readOnly);
}

} // namespace
