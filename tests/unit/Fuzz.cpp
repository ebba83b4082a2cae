// Generated damage to the settings file, with a seed that is printed so that a failure can be
// replayed; pictures too large or too small for the screen.
#include "support/images.h"
#include "support/testing.h"
#include "look/background.h"
#include "settings/settingsfile.h"
#include <psapi.h>
#include <wincodec.h>
#include <random>

bool WriteSettingsFile(HANDLE file);
bool StoreSettingsWith(const Settings &next, bool (*writeContent)(HANDLE file));

namespace {

const std::wstring DIR = L"C:\\nimbra-tests\\fuzz\\", SETTINGS = DIR + SETTINGS_FILE_NAME;
std::mt19937 Seeded(unsigned seed) { return printf("[ seed     ] %u\n", seed), std::mt19937(seed); }
double Ms() { return (double)GetTickCount64(); }

class Fuzz : public testing::Test {
protected:
    void SetUp() override { CreateDirectoryW(DIR.c_str(), nullptr), CopyText(SettingsPath, SETTINGS.c_str()); }
    void TearDown() override
    {
        SetFileAttributesW(SETTINGS.c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const std::wstring &name : MoveFiles(DIR, L"*", DIR + L"..\\")) DeleteFileW((DIR + L"..\\" + name).c_str());
        RemoveDirectoryW(DIR.c_str()), FreeBackgroundDC(), FreeBackgroundBitmap();
        AppSettings = saved;
    }
    const Settings saved = AppSettings;
};

// Every field ends within its capacity and holds no half of a surrogate pair alone; answers the
// values, so that a load can be compared with the next.
std::wstring WholeFields(const Settings &s)
{
    std::wstring all;
    for (auto [field, cap] : {std::pair{s.Title, TITLE_CAPACITY}, {s.PluginList, PLUGIN_LIST_CAPACITY}, {s.Background, BACKGROUND_CAPACITY}}) {
        size_t n = wcsnlen(field, cap);
        EXPECT_LT(n, cap) << "not terminated";
        for (size_t i = 0; i < n; i += 1 + IS_SURROGATE_PAIR(field[i], field[i + 1]))
            EXPECT_TRUE(IS_SURROGATE_PAIR(field[i], field[i + 1]) || !(IS_HIGH_SURROGATE(field[i]) || IS_LOW_SURROGATE(field[i])))
                << "a lone surrogate at " << i;
        all += std::wstring(field, n) + L"|";
    }
    return all + std::to_wstring(!!s.EnableBackground) + std::to_wstring(!!s.DisableCommandBar) + std::to_wstring(!!s.BigTray);
}

// Settings as the program saves them: texts of any length with pairs, separators and CRs inside.
Settings RandomSettings(std::mt19937 &rng)
{
    Settings s = {};
    for (auto [field, cap] : {std::pair{s.Title, TITLE_CAPACITY}, {s.PluginList, PLUGIN_LIST_CAPACITY}, {s.Background, BACKGROUND_CAPACITY}}) {
        size_t n = rng() % 3 == 0 ? cap - 2 - rng() % 3 : rng() % 40;
        for (size_t i = 0; i < n; i++)
            if ((field[i] = L"aZ =:\xE9\\\r\xD83D"[rng() % 9]) == L'\xD83D') field[++i] = L'\xDE00';
        field[n + (n && IS_HIGH_SURROGATE(field[n - 1]))] = 0;
    }
    s.EnableBackground = rng() % 2, s.DisableCommandBar = rng() % 2, s.BigTray = rng() % 2;
    return s;
}

unsigned FailAt;
// The real content, then the file cut at FailAt bytes and a failure reported, as a full disk would.
bool WriteThenFailAt(HANDLE file) { return WriteSettingsFile(file), SetFilePointer(file, (LONG)FailAt, nullptr, FILE_BEGIN), !SetEndOfFile(file); }

} // namespace

TEST_F(Fuzz, DamagedSettingsFilesLoadWholeFieldsAndFailedSavesKeepTheOldFile)
{
    std::mt19937 rng = Seeded(1603);
    int cases = 0;
    auto check = [&](std::vector<unsigned char> b, bool roundTrip) {
        ASSERT_TRUE(WriteFileBytes(SETTINGS, b));
        LoadSettings(), cases++;
        const std::wstring loaded = WholeFields(AppSettings);
        if (!roundTrip) return;
        ASSERT_TRUE(StoreSettings(AppSettings));
        LoadSettings();
        ASSERT_EQ(Narrow(WholeFields(AppSettings)), Narrow(loaded)) << "load, store, load changed it";
    };
    for (int round = 0; round < 40; round++) {
        ASSERT_TRUE(StoreSettings(RandomSettings(rng)));   // a real file
        const std::vector<unsigned char> real = ReadFileBytes(SETTINGS);
        for (size_t n = 0; round == 0 && n < real.size(); n++) check({real.begin(), real.begin() + n}, n % 16 == 0);
        for (int m = 0; m < 250; m++) {
            std::vector<unsigned char> b = real;
            const std::wstring line = L"TBPE"[rng() % 4] + (L" = " + std::wstring(round < 2 && m < 12 ? 5 << 19 : rng() % 5000, L'x')) + L"\n";
            // (A missing byte-order mark and CRLF line ends are the settings file test's own cases.)
            switch (m % 4) {
            case 0: for (int k = 1 + rng() % 8; k--;) b[rng() % b.size()] ^= 1 << (rng() % 8); break;
            case 1: b.push_back((unsigned char)rng()); break;                       // odd byte count
            case 2: b.insert(b.begin() + 2 + 2 * (rng() % (b.size() / 2 - 1)), {0, 0}); break;
            case 3: b.insert(b.begin() + 2, (const unsigned char *)line.data(), (const unsigned char *)(line.data() + line.size()));
            }
            check(b, m % 10 == 0);
            ASSERT_FALSE(HasFailure()) << "round " << round << " mutation " << m;
        }
    }
    printf("[ cases    ] %d settings files\n", cases);
    // 100 MB is not the program's file: refused at once.
    HANDLE big = CreateFileW(SETTINGS.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_TRUE(SetFilePointerEx(big, LARGE_INTEGER{{100 << 20, 0}}, nullptr, FILE_BEGIN) && SetEndOfFile(big) && CloseHandle(big));
    const double start = Ms();
    LoadSettings();
    EXPECT_LT(Ms() - start, 1000.0);
    EXPECT_STREQ(AppSettings.Title, L"Start");
    // A save that fails at any byte, onto a read-only file, or with a folder in the way of the
    // new file: the old file stays byte for byte and nothing is left beside it.
    ASSERT_TRUE(StoreSettings(RandomSettings(rng)));
    const std::vector<unsigned char> old = ReadFileBytes(SETTINGS);
    const std::wstring newPath = SETTINGS + L".new";
    for (int way = 0; way < 175; way++) {
        FailAt = way * 7;
        ASSERT_TRUE(way != 173 || CreateDirectoryW(newPath.c_str(), nullptr));
        ASSERT_TRUE(way != 174 || (RemoveDirectoryW(newPath.c_str()) && SetFileAttributesW(SETTINGS.c_str(), FILE_ATTRIBUTE_READONLY)));
        EXPECT_FALSE(StoreSettingsWith(RandomSettings(rng), way < 173 ? WriteThenFailAt : WriteSettingsFile)) << way;
        ASSERT_EQ(ReadFileBytes(SETTINGS), old) << way;
        ASSERT_EQ(GetFileAttributesW(newPath.c_str()) == INVALID_FILE_ATTRIBUTES, way != 173) << way;
    }
}

// Damaged BMP, PNG, GIF (the device's watermark) and JPEG files through the image loader, every
// 8th also as the custom background: no crash, each load under 2 s, every bitmap made deleted,
// the process's peak memory growth under 300 MB. A picture larger than the screen takes (16 M
// pixels) is refused from its header, before decoding.
TEST_F(Fuzz, DamagedAndOversizedPicturesLeaveNoBitmapAndTinyOnesTileQuickly)
{
    std::mt19937 rng = Seeded(2024);
    PROCESS_MEMORY_COUNTERS memory = {};   // read from Linux for the own process
    auto peakMb = [&] { return GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory), (long)(memory.PeakWorkingSetSize >> 20); };
    const long peakBefore = peakMb();
    const GUID formats[] = {GUID_ContainerFormatBmp, GUID_ContainerFormatPng, GUID_ContainerFormatGif, GUID_ContainerFormatJpeg};
    const unsigned fields[] = {0, 1, 16384, 16385, 65535};
    double slowest = 0;
    int cases = 0, decoded = 0;
    WIN32_FIND_DATAW gif;   // the encoder makes no GIF of random pixels
    FindClose(FindFirstFileW(L"C:\\windows\\*water*.gif", &gif));
    BackgroundDC = CreateCompatibleDC(nullptr), CustomBackground = true;
    for (int f = 0; f < 4; f++) {
        const UINT w = 37 + rng() % 60, h = 29 + rng() % 60, stride = (w * 3 + 3) & ~3u;
        std::vector<unsigned char> px((size_t)stride * h);
        for (auto &p : px) p = (unsigned char)rng();
        const std::wstring base = f == 2 ? L"C:\\windows\\" + std::wstring(gif.cFileName) : DIR + L"base";
        ASSERT_TRUE(f == 2 || WriteEncodedImage(base, formats[f], w, h, px, stride));
        const std::vector<unsigned char> real = ReadFileBytes(base);
        const size_t step = 64 * (1 + real.size() / 64 / 300);
        for (size_t m = 0; m < 460 + real.size() / step; m++, cases++) {
            std::vector<unsigned char> b = real;
            const size_t at = rng() % std::min<size_t>(64, b.size() - 2);
            if (m < 230) b[at] = (unsigned char)fields[m % 5], b[at + 1] = (unsigned char)(fields[m % 5] >> 8);   // a header field
            else if (m < 460) for (int k = 1 + rng() % 16; k--;) b[rng() % b.size()] = (unsigned char)rng();
            else b.resize((m - 460) * step);   // cut every 64 bytes, or coarser
            ASSERT_TRUE(WriteFileBytes(DIR + L"m", b));
            const double start = Ms();
            HBITMAP bitmap = SHLoadImageFile((DIR + L"m").c_str());
            slowest = std::max(slowest, Ms() - start), decoded += bitmap != nullptr;
            if (m % 8 == 0 && bitmap) SetBackgroundBitmap(bitmap);   // composed, and the picture let go
            else if (bitmap) DeleteObject(bitmap);
            HGDIOBJ shown = BackgroundBitmap;
            FreeBackgroundDC(), FreeBackgroundBitmap(), BackgroundDC = CreateCompatibleDC(nullptr);
            ASSERT_TRUE(GetObjectType(bitmap) == 0 && GetObjectType(shown) == 0) << "a bitmap is left: format " << f << " mutation " << m;
        }
    }
    std::vector<unsigned char> wide((size_t)16384 * 3 * 2048, 0x80);
    ASSERT_TRUE(WriteEncodedImage(DIR + L"wide.png", GUID_ContainerFormatPng, 16384, 2048, wide, 16384 * 3));
    const double start = Ms();
    EXPECT_EQ(SHLoadImageFile((DIR + L"wide.png").c_str()), nullptr);
    EXPECT_LT(Ms() - start, 500.0);
    printf("[ cases    ] %d pictures, %d decoded, slowest %.0f ms, peak growth %ld MB\n", cases, decoded, slowest, peakMb() - peakBefore);
    EXPECT_LT(slowest, 2000.0);
    EXPECT_LT(peakMb() - peakBefore, 300);
}

// A 1 x 1 picture tiled over the screen's square, timed, on the largest screen (a tiling that
// copies once per pixel shows best there).
class Fuzz_Hires : public Fuzz {};
TEST_F(Fuzz_Hires, OnePixelTilesTheLargeScreenQuickly)
{
    BackgroundDC = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(WriteEncodedImage(DIR + L"dot.bmp", GUID_ContainerFormatBmp, 1, 1, {0, 0, 255, 0}, 4));
    HBITMAP dot = SHLoadImageFile((DIR + L"dot.bmp").c_str());
    const double start = Ms();
    CustomBackground = true;
    SetBackgroundBitmap(dot);
    const int side = std::max(GetDeviceCaps(BackgroundDC, HORZRES), GetDeviceCaps(BackgroundDC, VERTRES));
    printf("[ compose  ] 1 x 1 over %d x %d: %.0f ms\n", side, side, Ms() - start);
    EXPECT_LT(Ms() - start, 50.0);   // one copy per pixel took 139 ms at 640 x 640
    EXPECT_EQ(GetPixel(BackgroundDC, side - 1, side - 1), RGB(255, 0, 0));
}

