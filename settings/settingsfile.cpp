// settings.ini: UTF-16 LE with a byte-order mark, one "key = value" line per setting, each
// ended by a lone line feed. Read once at start-up, rewritten whole when the dialog's OK saves.
#include "settings/settingsfile.h"
#include <stdlib.h>
#include <wchar.h>

Settings AppSettings = {L"Start", L"", L"", 0, 0, 0};

#define DEFAULT_TITLE L"Start"
// The replacement file is written beside the old one, so the final move never crosses volumes.
#define NEW_FILE_SUFFIX L".new"
constexpr size_t NEW_FILE_SUFFIX_LENGTH = 4;

constexpr DWORD MAX_SETTINGS_FILE_BYTES = 16u << 20;

static const WCHAR KeyValueSeparator[] = L" = ";
static const BYTE ByteOrderMark[] = {0xFF, 0xFE};

// Copies a text value into a settings field, cut to its capacity. Half of a surrogate pair
// without its other half (a damaged file, or a cut through a pair) is dropped, never kept.
static void CopySettingText(WCHAR *field, size_t cap, LPCWSTR value)
{
    size_t out = 0;
    for (size_t i = 0; value[i] && out + 1 < cap; i++) {
        bool pair = IS_HIGH_SURROGATE(value[i]) && IS_LOW_SURROGATE(value[i + 1]);
        if (pair && out + 2 >= cap) break;
        if (pair) field[out++] = value[i++];
        if (pair || !(IS_HIGH_SURROGATE(value[i]) || IS_LOW_SURROGATE(value[i]))) field[out++] = value[i];
    }
    field[out] = 0;
}

// Numbers convert like the platform's wide-text to long: leading blanks, a sign, digits up to
// the first other character; no digits give 0.
static int SettingInteger(LPCWSTR value)
{
    return (int)wcstol(value, nullptr, 10);
}

void ApplySetting(LPCWSTR key, LPCWSTR value)
{
    switch (key[0]) {
    case L'P':
        CopySettingText(AppSettings.PluginList, PLUGIN_LIST_CAPACITY, value);
        break;
    case L'T':
        CopySettingText(AppSettings.Title, TITLE_CAPACITY, value);
        break;
    case L'E':
        AppSettings.EnableBackground = SettingInteger(value);
        break;
    case L'D':
        AppSettings.DisableCommandBar = SettingInteger(value);
        break;
    case L'B':
        if (key[1] == L'a') {
            CopySettingText(AppSettings.Background, BACKGROUND_CAPACITY, value);
        } else if (key[1] == L'i') {
            AppSettings.BigTray = SettingInteger(value);
        }
        break;
    }
}

// Splits text[0..length) into lines and applies each "key = value" line. text[length] must be
// writable; it becomes the terminator. The first unit is the byte-order mark and is skipped
// unexamined; text after the last line feed is ignored.
static void ParseSettingsText(WCHAR *text, size_t length)
{
    text[length] = 0;
    size_t pos = 1;
    while (pos < length) {
        WCHAR *lineFeed = wmemchr(text + pos, L'\n', length - pos);
        if (!lineFeed) break;
        *lineFeed = 0;
        WCHAR *line = text + pos;
        // The line is searched as terminated text: a stray zero inside it ends it early.
        WCHAR *separator = wcsstr(line, KeyValueSeparator);
        if (separator) {
            *separator = 0;
            ApplySetting(line, separator + 3);
        }
        pos = (size_t)(lineFeed - text) + 1;
    }
}

// Reads the whole open file and parses it. Only whole 16-bit units are parsed: a file of odd
// length loses its last byte.
static void ReadSettingsFile(HANDLE file)
{
    // The program writes a few kilobytes; a file of more than 16 MB is not its own and is not
    // read at all, so a damaged disk cannot make the start slow or take its memory.
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size == 0 || size == INVALID_FILE_SIZE || high || size > MAX_SETTINGS_FILE_BYTES) return;
    size_t units = size / sizeof(WCHAR);
    // One unit more than the file holds, for the terminator of the last line.
    WCHAR *text = (WCHAR *)malloc((units + 1) * sizeof(WCHAR));
    if (!text) return;
    DWORD got = 0;
    if (ReadFile(file, text, (DWORD)(units * sizeof(WCHAR)), &got, nullptr))
        ParseSettingsText(text, got / sizeof(WCHAR));
    free(text);
}

void LoadSettings()
{
    AppSettings.Background[0] = 0;
    AppSettings.EnableBackground = 0;
    CopyText(AppSettings.Title, DEFAULT_TITLE);

    HANDLE file = CreateFileW(SettingsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ReadSettingsFile(file);
        CloseHandle(file);
    }
}

// One piece of the file, its whole length in one write. False when the write fell short.
static bool WriteBytes(HANDLE file, const void *data, DWORD bytes)
{
    DWORD written = 0;
    return WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

static bool WriteText(HANDLE file, LPCWSTR text, size_t cap)
{
    return WriteBytes(file, text, (DWORD)(TextLength(text, cap) * sizeof(WCHAR)));
}

// "key = value\n" as three writes; key is given with its " = ".
static bool WriteLine(HANDLE file, LPCWSTR keyAndSeparator, LPCWSTR value, size_t cap)
{
    return WriteText(file, keyAndSeparator, MAX_PATH) && WriteText(file, value, cap) &&
           WriteText(file, L"\n", 2);
}

static bool WriteFlagLine(HANDLE file, LPCWSTR keyAndSeparator, int flag)
{
    // A flag that is off is left out; on is always written as 1.
    return !flag || WriteLine(file, keyAndSeparator, L"1", 2);
}

// The file's complete content from AppSettings, in its fixed line order. Stops at the first
// write that fails and answers false. Not static: the tests drive it with handles that fail.
bool WriteSettingsFile(HANDLE file)
{
    return WriteBytes(file, ByteOrderMark, sizeof ByteOrderMark) &&
           WriteLine(file, L"Plugins = ", AppSettings.PluginList, PLUGIN_LIST_CAPACITY) &&
           WriteLine(file, L"Title = ", AppSettings.Title, TITLE_CAPACITY) &&
           (!AppSettings.Background[0] ||
            WriteLine(file, L"Background = ", AppSettings.Background, BACKGROUND_CAPACITY)) &&
           WriteFlagLine(file, L"EnableBackground = ", AppSettings.EnableBackground) &&
           WriteFlagLine(file, L"DisableCommandBar = ", AppSettings.DisableCommandBar) &&
           WriteFlagLine(file, L"BigTray = ", AppSettings.BigTray);
}

// The old file is replaced only by a complete new one: the new content goes to
// settings.ini.new, which is moved over settings.ini once every write has succeeded. Any
// failure leaves the old file untouched, removes the new one and answers false; the running
// screen follows the user's choices all the same.
// writeContent fills the new file; StoreSettings passes WriteSettingsFile, the tests a writer
// that fails part-way, as a full disk would.
bool StoreSettingsWith(const Settings &next, bool (*writeContent)(HANDLE file))
{
    WCHAR newPath[MAX_PATH + NEW_FILE_SUFFIX_LENGTH];
    CopyText(newPath, SettingsPath);
    AppendText(newPath, NEW_FILE_SUFFIX);

    AppSettings = next;
    HANDLE file = CreateFileW(newPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool whole = writeContent(file);
    whole = FlushFileBuffers(file) && whole;
    whole = CloseHandle(file) && whole;

    // A read-only file is the owner's wish that it stays (Wine would replace it all the same).
    DWORD attributes = GetFileAttributesW(SettingsPath);
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (whole && !readOnly && MoveFileExW(newPath, SettingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(newPath);
    return false;
}

bool StoreSettings(const Settings &next)
{
    return StoreSettingsWith(next, WriteSettingsFile);
}
