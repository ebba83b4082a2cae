// Generated damage to what the program reads from files: settings files and pictures. Every
// case comes from a seeded generator whose seed is printed, so a failure can be replayed.
#include "support/images.h"
#include "support/testing.h"
#include "look/background.h"
#include "settings/settingsfile.h"
#include <wincodec.h>
#include <psapi.h>
#include <random>

bool WriteSettingsFile(HANDLE file);
bool StoreSettingsWith(const Settings &next, bool (*writeContent)(HANDLE file));

namespace {

const std::wstring DIR = L"C:\\nimbra-tests\\fuzz\\";

std::mt19937 Seeded(unsigned seed) { return printf("[ seed     ] %u\n", seed), std::mt19937(seed); }

double Ms() { return GetTickCount64(); }

// The process's peak resident memory in kilobytes. Wine reads its own process's from Linux
// (Z:\\proc\\self would be the Wine server's: the server opens files).
long PeakKb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? (long)(counters.PeakWorkingSetSize >> 10) : -1;
}

class Fuzz : public testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(DIR.c_str(), nullptr), CopyText(SettingsPath, path.c_str()); }
    void TearDown() override
    {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const std::wstring &name : MoveFiles(DIR, L"*", DIR + L"..\\")) DeleteFileW((DIR + L"..\\" + name).c_str());
        RemoveDirectoryW(DIR.c_str());
        AppSettings = saved;
    }
    const Settings saved = AppSettings;
    const std::wstring path = DIR + SETTINGS_FILE_NAME;
};

// A field is whole when it ends within its capacity and holds no half of a surrogate pair alone.
void ExpectWhole(const WCHAR *field, size_t cap)
{
    size_t n = wcsnlen(field, cap);
    ASSERT_LT(n, cap) << "not terminated";
    for (size_t i = 0; i < n; i++) {
        if (IS_SURROGATE_PAIR(field[i], field[i + 1])) i++;
        else ASSERT_FALSE(IS_HIGH_SURROGATE(field[i]) || IS_LOW_SURROGATE(field[i])) << "a lone surrogate at " << i;
    }
}

std::wstring Values(const Settings &s)
{
    return std::wstring(s.Title) + L"|" + s.PluginList + L"|" + s.Background + L"|" + std::to_wstring(!!s.EnableBackground) +
           std::to_wstring(!!s.DisableCommandBar) + std::to_wstring(!!s.BigTray);
}

// Random settings as the program saves them: texts of any length with pairs of surrogates and
// the separator inside.
Settings RandomSettings(std::mt19937 &rng)
{
    const WCHAR pieces[] = {L'a', L'Z', L' ', L'=', L':', L'\xE9', L'\\', L'\r', L'\xD83D'};
    Settings s = {};
    auto fill = [&](WCHAR *field, size_t cap) {
        size_t n = rng() % 3 == 0 ? cap - 2 - rng() % 3 : rng() % 40;
        for (size_t i = 0; i < n; i++)
            if ((field[i] = pieces[rng() % 9]) == L'\xD83D') field[++i] = L'\xDE00';
        field[n + (n && IS_HIGH_SURROGATE(field[n - 1]))] = 0;
    };
    fill(s.Title, TITLE_CAPACITY), fill(s.PluginList, PLUGIN_LIST_CAPACITY), fill(s.Background, BACKGROUND_CAPACITY);
    s.EnableBackground = rng() % 2, s.DisableCommandBar = rng() % 2, s.BigTray = rng() % 2;
    return s;
}

unsigned FailAt;
// The real content, then the file cut at FailAt bytes and a failure reported, as a full disk would.
bool WriteThenFailAt(HANDLE file)
{
    return WriteSettingsFile(file), SetFilePointer(file, (LONG)FailAt, nullptr, FILE_BEGIN), !SetEndOfFile(file);
}

// A 1 x 1 picture tiled over the screen's square, timed.
void ExpectQuickTiling()
{
    BackgroundDC = BackgroundDC ? BackgroundDC : CreateCompatibleDC(nullptr);
    std::vector<unsigned char> dot = {0, 0, 255, 0};
    ASSERT_TRUE(WriteEncodedImage(DIR + L"dot.bmp", GUID_ContainerFormatBmp, 1, 1, dot, 4));
    HBITMAP image = SHLoadImageFile((DIR + L"dot.bmp").c_str());
    double start = Ms();
    CustomBackground = true;
    SetBackgroundBitmap(image);
    const double compose = Ms() - start;
    const int side = std::max(GetDeviceCaps(BackgroundDC, HORZRES), GetDeviceCaps(BackgroundDC, VERTRES));
    printf("[ compose  ] 1 x 1 over %d x %d: %.1f ms\n", side, side, compose);
    EXPECT_LT(compose, 100.0);
    EXPECT_EQ(GetPixel(BackgroundDC, side - 1, side - 1), RGB(255, 0, 0));
}

} // namespace

TEST_F(Fuzz, DamagedSettingsFilesLoadWholeFieldsAndFailedSavesKeepTheOldFile)
{
    std::mt19937 rng = Seeded(1603);
    int cases = 0;
    auto check = [&](const std::vector<unsigned char> &b, bool roundTrip) {
        ASSERT_TRUE(WriteFileBytes(path, b));
        LoadSettings();
        cases++;
        ExpectWhole(AppSettings.Title, TITLE_CAPACITY), ExpectWhole(AppSettings.PluginList, PLUGIN_LIST_CAPACITY);
        ExpectWhole(AppSettings.Background, BACKGROUND_CAPACITY);
        if (!roundTrip) return;
        const std::wstring loaded = Values(AppSettings);
        ASSERT_TRUE(StoreSettings(AppSettings));
        LoadSettings();
        ASSERT_EQ(Narrow(Values(AppSettings)), Narrow(loaded)) << "load, store, load changed it";
    };
    for (int round = 0; round < 40; round++) {
        // A real file, written by the program from random values.
        ASSERT_TRUE(StoreSettings(RandomSettings(rng)));
        const std::vector<unsigned char> real = ReadFileBytes(path);
        for (size_t n = 0; round == 0 && n < real.size(); n++) {
            SCOPED_TRACE("cut at " + std::to_string(n));
            check(std::vector<unsigned char>(real.begin(), real.begin() + n), n % 16 == 0);
        }
        for (int m = 0; m < 250; m++) {
            std::vector<unsigned char> b = real;
            switch (m % 6) {
            case 0: for (int k = 1 + rng() % 8; k--;) b[rng() % b.size()] ^= 1 << (rng() % 8); break;
            case 1: b.erase(b.begin(), b.begin() + 2); break;                       // no byte-order mark
            case 2: for (size_t i = 2; i + 1 < b.size(); i += 2)                    // CRLF
                        if (b[i] == '\n' && !b[i + 1]) b.insert(b.begin() + i, {'\r', 0}), i += 2;
                    break;
            case 3: b.push_back((unsigned char)rng()); break;                       // odd byte count
            case 4: b.insert(b.begin() + 2 + 2 * (rng() % (b.size() / 2 - 1)), {0, 0}); break;
            case 5: {                                                                // a long line
                size_t units = round < 2 && m < 12 ? (5u << 20) / 2 : rng() % 5000;
                const std::wstring line = L"TBPE"[rng() % 4] + (L" = " + std::wstring(units, L'x')) + L"\n";
                b.insert(b.begin() + 2, (const unsigned char *)line.data(), (const unsigned char *)(line.data() + line.size()));
            }
            }
            SCOPED_TRACE("round " + std::to_string(round) + " mutation " + std::to_string(m));
            check(b, m % 10 == 0);
        }
    }
    printf("[ cases    ] %d settings files\n", cases);
    // 100 MB is not the program's file: refused at once.
    HANDLE big = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_TRUE(SetFilePointerEx(big, LARGE_INTEGER{{100 << 20, 0}}, nullptr, FILE_BEGIN) && SetEndOfFile(big) && CloseHandle(big));
    double start = Ms();
    LoadSettings();
    EXPECT_LT(Ms() - start, 1000.0);
    EXPECT_STREQ(AppSettings.Title, L"Start");
    // A save that fails at any byte, onto a read-only file, or with a folder in the way of the
    // new file: the old file stays byte for byte and nothing is left beside it.
    ASSERT_TRUE(StoreSettings(RandomSettings(rng)));
    const std::vector<unsigned char> old = ReadFileBytes(path);
    const std::wstring newPath = path + L".new";
    for (FailAt = 0; FailAt < 1200; FailAt += 7) {
        SCOPED_TRACE(FailAt);
        EXPECT_FALSE(StoreSettingsWith(RandomSettings(rng), WriteThenFailAt));
        ASSERT_EQ(ReadFileBytes(path), old);
        ASSERT_EQ(GetFileAttributesW(newPath.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    for (int way : {0, 1}) {
        ASSERT_TRUE(way ? CreateDirectoryW(newPath.c_str(), nullptr) : SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(StoreSettings(RandomSettings(rng))) << (way ? "folder in the way" : "read-only file");
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_TRUE(way ? RemoveDirectoryW(newPath.c_str()) : GetFileAttributesW(newPath.c_str()) == INVALID_FILE_ATTRIBUTES);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(Fuzz, DamagedPicturesNeverCrashAndEveryBitmapMadeIsDeleted)
{
    std::mt19937 rng = Seeded(2024);
    const GUID formats[] = {GUID_ContainerFormatBmp, GUID_ContainerFormatPng, GUID_ContainerFormatGif, GUID_ContainerFormatJpeg};
    const unsigned sizes[] = {0, 1, 16384, 16385, 65535};
    BackgroundDC = CreateCompatibleDC(nullptr);
    const long peakBefore = PeakKb();
    double slowest = 0;
    int cases = 0, decoded = 0;
    // Loads a file through the image loader and as the custom background; the bitmap made is
    // gone once the background lets it go.
    auto load = [&](const std::wstring &file) {
        double start = Ms();
        HBITMAP bitmap = SHLoadImageFile(file.c_str());
        slowest = std::max(slowest, Ms() - start);
        decoded += bitmap != nullptr;
        if (bitmap) {
            ASSERT_TRUE(DeleteObject(bitmap));
        }
        if (cases++ % 8) return;
        LoadedImagePath[0] = 0, AppSettings.EnableBackground = 1, BackgroundDirty = true;
        CopyText(AppSettings.Background, file.c_str());
        LoadBackground();
        HGDIOBJ shown = BackgroundBitmap;
        FreeBackgroundDC(), FreeBackgroundBitmap();
        ASSERT_EQ(GetObjectType(shown), 0u) << "a bitmap was not deleted";
        BackgroundDC = CreateCompatibleDC(nullptr);
    };
    for (int f = 0; f < 4; f++) {
        const UINT w = 37 + rng() % 60, h = 29 + rng() % 60, stride = (w * 3 + 3) & ~3u;
        std::vector<unsigned char> px((size_t)stride * h);
        for (auto &p : px) p = (unsigned char)rng();
        std::wstring base = DIR + L"base" + std::to_wstring(f);
        // The encoder makes no GIF of these pixels: the device's GIF watermark is the GIF.
        WIN32_FIND_DATAW gif;
        HANDLE search = f == 2 ? FindFirstFileW(L"C:\\windows\\*water*.gif", &gif) : INVALID_HANDLE_VALUE;
        if (search != INVALID_HANDLE_VALUE) FindClose(search), base = L"C:\\windows\\" + std::wstring(gif.cFileName);
        ASSERT_TRUE(f == 2 ? search != INVALID_HANDLE_VALUE : WriteEncodedImage(base, formats[f], w, h, px, stride));
        const std::vector<unsigned char> real = ReadFileBytes(base);
        const size_t step = 64 * (1 + real.size() / 64 / 300);
        for (size_t m = 0; m < 460 + real.size() / step; m++) {
            std::vector<unsigned char> b = real;
            if (m < 230) {                                   // a header field of an odd size
                size_t at = rng() % std::min<size_t>(64, b.size() - 2);
                unsigned v = sizes[rng() % 5];
                b[at] = (unsigned char)v, b[at + 1] = (unsigned char)(v >> 8);
            } else if (m < 460) {
                for (int k = 1 + rng() % 16; k--;) b[rng() % b.size()] = (unsigned char)rng();
            } else {                                         // cut every 64 bytes
                b.resize((m - 460) * step);
            }
            const std::wstring file = DIR + L"m" + std::to_wstring(m);
            ASSERT_TRUE(WriteFileBytes(file, b));
            SCOPED_TRACE("format " + std::to_string(f) + " mutation " + std::to_string(m));
            load(file);
        }
    }
    // A picture of 16384 x 2048, and the 1 x 1 picture tiled over the screen's square.
    std::vector<unsigned char> wide((size_t)16384 * 3 * 2048, 0x80);
    ASSERT_TRUE(WriteEncodedImage(DIR + L"wide.png", GUID_ContainerFormatPng, 16384, 2048, wide, 16384 * 3));
    wide = {};
    // Larger than the pictures the screen takes: refused from its header, before decoding.
    double start = Ms();
    EXPECT_EQ(SHLoadImageFile((DIR + L"wide.png").c_str()), nullptr);
    EXPECT_LT(Ms() - start, 500.0);
    const long growth = (PeakKb() - peakBefore) / 1024;
    printf("[ cases    ] %d pictures, %d decoded, slowest load %.0f ms, peak memory growth %ld MB\n", cases, decoded, slowest, growth);
    EXPECT_LT(slowest, 2000.0);
    EXPECT_LT(growth, 300);
    ExpectQuickTiling();
    FreeBackgroundDC(), FreeBackgroundBitmap();
}

class Fuzz_Hires : public Fuzz {};

TEST_F(Fuzz_Hires, OnePixelTilesTheLargeScreenQuickly)
{
    ExpectQuickTiling();
    FreeBackgroundDC(), FreeBackgroundBitmap();
}
