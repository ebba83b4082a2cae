// settings.ini: reading, the first-letter key rule, damaged files, long values, and the format
// of a save. (Saves that fail are generated cases of the fuzz test; that the screen follows the
// user's choices all the same, the settings dialog's test.)
#include "support/testing.h"
#include "settings/settingsfile.h"

using namespace std::string_literals;

namespace {

// UTF-16 LE bytes of text, with the byte-order mark in front when bom is set.
std::vector<unsigned char> Utf16(const std::wstring &text, bool bom = true)
{
    const std::wstring all = bom ? L"\xFEFF" + text : text;
    return {(const unsigned char *)all.data(), (const unsigned char *)(all.data() + all.size())};
}

// Every field in one line, so that one comparison shows them all.
std::wstring Fields(const Settings &s)
{
    return L"Title=" + std::wstring(s.Title) + L"|Plugins=" + s.PluginList + L"|Background=" + s.Background + L"|" +
           std::to_wstring(s.EnableBackground) + L"," + std::to_wstring(s.DisableCommandBar) + L"," + std::to_wstring(s.BigTray);
}

// Every test gets its own folder and SettingsPath, and leaves AppSettings as found.
class Settings_File : public testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(folder.c_str(), nullptr), CopyText(SettingsPath, path.c_str()); }
    void TearDown() override
    {
        DeleteFileW(path.c_str()), RemoveDirectoryW(newPath.c_str()), RemoveDirectoryW(folder.c_str());
        AppSettings = savedSettings;
    }
    void LoadBytes(const std::vector<unsigned char> &bytes)
    {
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        LoadSettings();
    }

    const Settings savedSettings = AppSettings;
    const std::wstring folder = ExeFolder() + L"settings-test\\", path = folder + SETTINGS_FILE_NAME, newPath = path + L".new";
};

TEST_F(Settings_File, LoadsKeysDamagedFilesAndLongValuesAndSavesInTheFormat)
{
    std::vector<unsigned char> odd = Utf16(L"Title = Whole\nTitle = Half");
    odd.push_back(0x0A);   // the final line feed cut in half: the last line has none
    // A load resets Title, Background and EnableBackground only; before each: Old, old, old.jpg, 1, 1, 0.
    struct Case { const char *name; std::vector<unsigned char> bytes; Settings want; };
    const Case cases[] = {
        {"empty", {}, {L"Start", L"old", L"", 0, 1, 0}},
        {"first letters; case matters; the later line wins; the value is all after the first \" = \"",
         Utf16(L"Banner = b.png\nPx = 1::Q::\nTitle = One\nTime = a = b\nEnd = 3\nDull = yes\nXylophone = 1\n"
               L"Title=NoSpaces\nno separator here\nBigger =   -12abc\nbigtray = 1\nBox = 1\n"),
         {L"a = b", L"1::Q::", L"b.png", 3, 0, -12}},
        {"empty values are taken as such", Utf16(L"Title = \nPlugins = \n"), {L"", L"", L"", 0, 1, 0}},
        {"no byte-order mark: the first line loses its first character",
         Utf16(L"Plugins = 1::A::\nTitle = Second\n", false), {L"Second", L"old", L"", 0, 1, 0}},
        {"CR stays in text values, numbers ignore it", Utf16(L"Title = Crlf\r\nEnableBackground = 1\r\n"),
         {L"Crlf\r", L"old", L"", 1, 1, 0}},
        {"odd length, and the last line without a line feed", odd, {L"Whole", L"old", L"", 0, 1, 0}},
        {"a zero ends its line", Utf16(L"Title = ab\0cd\nBack\0ground = y\nPlugins = 1::A::\n"s),
         {L"ab", L"1::A::", L"", 0, 1, 0}},
    };
    for (const Case &c : cases) {
        AppSettings = Settings{L"Old", L"old", L"old.jpg", 1, 1, 0};
        LoadBytes(c.bytes);
        EXPECT_EQ(Fields(AppSettings), Fields(c.want)) << c.name;
    }
    // Long values are cut to their field.
    const std::wstring title259(259, L't'), path259(259, L'b'), list2047(2047, L'p');
    // The second round is a file of several megabytes; the line after the long ones still counts.
    for (const std::wstring &extra : {L""s, L"XYZ"s + std::wstring(1500000, L'c')}) {
        LoadBytes(Utf16(L"Title = " + title259 + extra + L"\nBackground = " + path259 + extra + L"\nPlugins = " +
                        list2047 + extra + L"\nEnableBackground = 1\n"));
        EXPECT_EQ(std::wstring(AppSettings.Title) + L"|" + AppSettings.Background + L"|" + AppSettings.PluginList + L"|" +
                      std::to_wstring(AppSettings.EnableBackground), title259 + L"|" + path259 + L"|" + list2047 + L"|1") << extra.size();
    }
    // A cut through a surrogate pair drops its first half instead of keeping it alone.
    for (size_t before : {258, 257}) {
        LoadBytes(Utf16(L"Title = " + std::wstring(before, L'a') + L"\xD83D\xDE00\n"));
        EXPECT_EQ(std::wstring(AppSettings.Title), std::wstring(before, L'a') + (before == 258 ? L"" : L"\xD83D\xDE00"));
    }
    // The saved file has the format (load, store and load again are the fuzz test's).
    Settings full = {L"", L"", L"\\Storage Card\\a = b.png", 1, 1, 1};
    CopyText(full.Title, std::wstring(259, L'T').c_str());
    CopyText(full.PluginList, (L"30::" + std::wstring(990, L'n')).c_str());
    const std::pair<Settings, std::wstring> saves[] = {
        {{L"Mine", L"0::", L"", 0, 0, 0}, L"Plugins = 0::\nTitle = Mine\n"},   // flags that are off are left out
        {full, L"Plugins = " + std::wstring(full.PluginList) + L"\nTitle = " + full.Title +
                   L"\nBackground = \\Storage Card\\a = b.png\nEnableBackground = 1\nDisableCommandBar = 1\nBigTray = 1\n"}};
    for (const auto &[settings, text] : saves) {
        SCOPED_TRACE(Narrow(text.substr(0, 20)));
        EXPECT_TRUE(StoreSettings(settings));
        EXPECT_EQ(ReadFileBytes(path), Utf16(text));
        EXPECT_EQ(GetFileAttributesW(newPath.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

} // namespace
