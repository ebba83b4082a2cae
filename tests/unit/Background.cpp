// The background picture: decoding, composition of custom images into BackgroundDC and the
// watermark search. The device's own watermarks are moved aside for each test.
#include "support/images.h"
#include "support/testing.h"
#include "look/background.h"
#include "settings/settingsfile.h"
#include <psapi.h>
#include <wincodec.h>

namespace {

const COLORREF RED = RGB(255, 0, 0), GREEN = RGB(0, 255, 0), BLUE = RGB(0, 0, 255), YELLOW = RGB(255, 255, 0);
const std::wstring WINDOWS_DIR = L"C:\\windows\\";
const LPCWSTR TODAY_KEY = L"Software\\Microsoft\\Today";
const LPCWSTR FAMILIES[] = { L"tdywater", L"Default_tdywater", L"stwater", L"Default_stwater" };
using Pick = std::function<COLORREF(int x, int y)>;
using Points = std::vector<std::tuple<int, int, COLORREF>>;

// Quadrants of a w x h image: red, green on top; blue, yellow below.
Pick Quadrants(int w, int h)
{
    return [=](int x, int y) { return y < h / 2 ? (x < w / 2 ? RED : GREEN) : (x < w / 2 ? BLUE : YELLOW); };
}
Pick Solid(COLORREF c) { return [=](int, int) { return c; }; }

// 24-bit BGR rows, each padded to 4 bytes.
std::vector<unsigned char> Pixels(int w, int h, const Pick &pick, bool bottomUp)
{
    size_t stride = ((size_t)w * 3 + 3) & ~(size_t)3;
    std::vector<unsigned char> px(stride * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            COLORREF c = pick(x, y);
            unsigned char *p = &px[stride * (bottomUp ? h - 1 - y : y) + x * 3];
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return px;
}

bool WriteBmp(const std::wstring &path, int w, int h, const Pick &pick)
{
    std::vector<unsigned char> px = Pixels(w, h, pick, true);
    BITMAPFILEHEADER file = { 0x4D42, (DWORD)(54 + px.size()), 0, 0, 54 };
    BITMAPINFOHEADER info = { sizeof(info), w, h, 1, 24, BI_RGB, (DWORD)px.size(), 0, 0, 0, 0 };
    std::vector<unsigned char> bytes((unsigned char *)&file, (unsigned char *)&file + 14);
    bytes.insert(bytes.end(), (unsigned char *)&info, (unsigned char *)&info + 40);
    bytes.insert(bytes.end(), px.begin(), px.end());
    return WriteFileBytes(path, bytes);
}

// PNG and JPEG through the imaging component's encoders.
bool WriteEncoded(const std::wstring &path, const GUID &container, int w, int h, const Pick &pick)
{
    std::vector<unsigned char> px = Pixels(w, h, pick, false);
    return WriteEncodedImage(path, container, w, h, px, (UINT)(px.size() / h));
}

void ForEachFile(const std::wstring &pattern, const std::function<void(LPCWSTR)> &f)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do f(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

class Background : public testing::Test {
protected:
    std::wstring Dir = ExeFolder() + L"bg\\", Aside = ExeFolder() + L"watermarks-aside\\";
    std::vector<std::wstring> MadeWatermarks, MovedAside;
    Settings SavedSettings = AppSettings;
    DWORD SavedUseStartImage = 0;
    bool HadUseStartImage = false, HadTodayKey = false;

    void SetUp() override
    {
        CreateDirectoryW(Dir.c_str(), nullptr);
        CreateDirectoryW(Aside.c_str(), nullptr);
        for (LPCWSTR family : FAMILIES)
            ForEachFile(WINDOWS_DIR + family + L"*", [&](LPCWSTR name) {
                if (MoveFileW((WINDOWS_DIR + name).c_str(), (Aside + name).c_str())) MovedAside.push_back(name);
            });
        HKEY key;
        HadTodayKey = RegOpenKeyExW(HKEY_CURRENT_USER, TODAY_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (HadTodayKey) RegCloseKey(key);
        DWORD size = sizeof(SavedUseStartImage);
        HadUseStartImage = RegGetValueW(HKEY_CURRENT_USER, TODAY_KEY, L"UseStartImage", RRF_RT_REG_DWORD, nullptr,
                                        &SavedUseStartImage, &size) == ERROR_SUCCESS;
        SetUseStartImage(0);
        BackgroundDC = CreateCompatibleDC(nullptr);
        BackgroundBitmap = InitialDCBitmap = nullptr;
        LoadedImagePath[0] = 0;
        CustomBackground = false;
        AppSettings.EnableBackground = 0;
        AppSettings.Background[0] = 0;
    }

    void TearDown() override
    {
        if (InitialDCBitmap) SelectObject(BackgroundDC, InitialDCBitmap);
        DeleteDC(BackgroundDC);
        if (BackgroundBitmap) DeleteObject(BackgroundBitmap);
        BackgroundDC = nullptr, BackgroundBitmap = InitialDCBitmap = nullptr;
        for (const std::wstring &name : MadeWatermarks) DeleteFileW((WINDOWS_DIR + name).c_str());
        for (const std::wstring &name : MovedAside) MoveFileW((Aside + name).c_str(), (WINDOWS_DIR + name).c_str());
        if (HadUseStartImage) SetUseStartImage(SavedUseStartImage);
        else RegDeleteKeyValueW(HKEY_CURRENT_USER, TODAY_KEY, L"UseStartImage");
        if (!HadTodayKey) RegDeleteKeyW(HKEY_CURRENT_USER, TODAY_KEY);
        AppSettings = SavedSettings;
        ForEachFile(Dir + L"*.*", [&](LPCWSTR name) { DeleteFileW((Dir + name).c_str()); });
        RemoveDirectoryW(Dir.c_str());
        RemoveDirectoryW(Aside.c_str());
    }

    void SetUseStartImage(DWORD value)
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, TODAY_KEY, L"UseStartImage", REG_DWORD, &value, sizeof(value));
    }
    void PutWatermark(const std::wstring &name, COLORREF colour)
    {
        ASSERT_TRUE(WriteBmp(WINDOWS_DIR + name, 24, 32, Solid(colour)));
        MadeWatermarks.push_back(name);
    }
    bool Reload() { BackgroundDirty = true; return LoadBackground(); }
    bool UseCustom(const std::wstring &path)
    {
        AppSettings.EnableBackground = 1;
        CopyText(AppSettings.Background, path.c_str());
        return Reload();
    }
    void ExpectPixels(const Points &points)
    {
        for (auto [x, y, c] : points) EXPECT_EQ(GetPixel(BackgroundDC, x, y), c) << "at " << x << "," << y;
    }
    // Composes a quadrant image of w x h as the custom background: a square of the longer screen side.
    void ComposeQuadrants(int w, int h, const Points &points)
    {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        std::wstring path = Dir + L"q" + std::to_wstring(w) + L"x" + std::to_wstring(h) + L".bmp";
        ASSERT_TRUE(WriteBmp(path, w, h, Quadrants(w, h)));
        ASSERT_TRUE(UseCustom(path));
        ASSERT_EQ(GetCurrentObject(BackgroundDC, OBJ_BITMAP), BackgroundBitmap);
        BITMAP bm = {};
        GetObjectW(BackgroundBitmap, sizeof(bm), &bm);
        int side = std::max(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        EXPECT_TRUE(bm.bmWidth == side && bm.bmHeight == side) << bm.bmWidth << " x " << bm.bmHeight;
        ExpectPixels(points);
    }
};

class Background_Hires : public Background {};
class Background_Landscape : public Background {};

TEST_F(Background, DecodesEachFormatAndRefusesDamagedFiles)
{
    // A 1 x 1 GIF whose only palette colour is red.
    const unsigned char gif[] = { 'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0,
                                  0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B };
    ASSERT_TRUE(WriteFileBytes(Dir + L"q.gif", gif, sizeof(gif)));
    ASSERT_TRUE(WriteBmp(Dir + L"q.bmp", 64, 48, Quadrants(64, 48)));
    ASSERT_TRUE(WriteEncoded(Dir + L"q.png", GUID_ContainerFormatPng, 64, 48, Quadrants(64, 48)));
    ASSERT_TRUE(WriteEncoded(Dir + L"q.jpg", GUID_ContainerFormatJpeg, 64, 48, Quadrants(64, 48)));
    for (auto [ext, w, h, tolerance] : { std::tuple{ L"bmp", 64, 48, 0 }, { L"png", 64, 48, 0 }, { L"jpg", 64, 48, 40 },
                                         { L"gif", 1, 1, 0 } }) {
        SCOPED_TRACE(Narrow(ext));
        HBITMAP bitmap = SHLoadImageFile((Dir + L"q." + ext).c_str());
        BITMAP bm = {};
        ASSERT_EQ(GetObjectW(bitmap, sizeof(bm), &bm), (int)sizeof(bm));
        EXPECT_TRUE(bm.bmWidth == w && bm.bmHeight == h) << bm.bmWidth << " x " << bm.bmHeight;
        EXPECT_EQ(bm.bmBits, nullptr) << "a device-dependent bitmap, not a DIB section";
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        Pick expected = w == 1 ? Solid(RED) : Quadrants(w, h);
        for (POINT p : { POINT{ 0, 0 }, POINT{ w - 1, 0 }, POINT{ 0, h - 1 }, POINT{ w - 1, h - 1 } }) {
            COLORREF got = GetPixel(dc, p.x, p.y), want = expected(p.x, p.y);
            EXPECT_TRUE(abs(GetRValue(got) - GetRValue(want)) <= tolerance && abs(GetGValue(got) - GetGValue(want)) <= tolerance &&
                        abs(GetBValue(got) - GetBValue(want)) <= tolerance) << p.x << "," << p.y;
        }
        DeleteObject(SelectObject(dc, old));
        DeleteDC(dc);
    }

    // Damaged files decode to nothing; the screen shows the watermark and does not remember the file.
    PutWatermark(L"tdywater.bmp", BLUE);
    std::vector<unsigned char> png = ReadFileBytes(Dir + L"q.png"), bmp = ReadFileBytes(Dir + L"q.bmp"),
                               jpg = ReadFileBytes(Dir + L"q.jpg"), garbage(4096);
    for (size_t i = 0; i < garbage.size(); i++) garbage[i] = (unsigned char)(i * 7919 >> 3);
    std::vector<unsigned char> huge(bmp.begin(), bmp.begin() + 54);   // claims 60000 x 60000, no pixels
    *(LONG *)&huge[18] = 60000, *(LONG *)&huge[22] = 60000;
    std::pair<LPCWSTR, std::vector<unsigned char>> files[] = {
        { L"empty.png", {} }, { L"garbage.jpg", garbage }, { L"huge.bmp", huge },
        { L"half.png", std::vector<unsigned char>(png.begin(), png.begin() + png.size() / 2) },
        { L"half.jpg", std::vector<unsigned char>(jpg.begin(), jpg.begin() + jpg.size() / 2) },
        { L"half.bmp", std::vector<unsigned char>(bmp.begin(), bmp.begin() + bmp.size() / 2) },
        { L"header.bmp", std::vector<unsigned char>(bmp.begin(), bmp.begin() + 20) } };
    for (auto &[name, bytes] : files) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(WriteFileBytes(Dir + name, bytes));
        EXPECT_EQ(SHLoadImageFile((Dir + name).c_str()), nullptr);
        EXPECT_TRUE(UseCustom(Dir + name));
        EXPECT_STREQ(LoadedImagePath, L"\\Windows\\tdywater.bmp");
        EXPECT_EQ(GetPixel(BackgroundDC, 5, 5), BLUE);
    }
    // Repaired in place, the same path is tried again at the next reload.
    ASSERT_TRUE(WriteFileBytes(Dir + L"half.png", png));
    EXPECT_TRUE(UseCustom(Dir + L"half.png"));
    EXPECT_STREQ(LoadedImagePath, (Dir + L"half.png").c_str());
    ExpectPixels({ { 10, 10, RED }, { 50, 10, GREEN } });
}

TEST_F(Background, TilesAnImageThatFitsTheSquareAndStretchesALargerOne)
{
    // 100 x 60 on a 320 square: 4 columns, 6 rows, the last of each 20 pixels.
    ComposeQuadrants(100, 60, { { 10, 10, RED }, { 75, 10, GREEN }, { 10, 45, BLUE }, { 275, 285, YELLOW },
                                { 210, 280, BLUE }, { 319, 10, RED }, { 319, 45, BLUE }, { 75, 319, GREEN }, { 319, 319, RED } });
    ComposeQuadrants(320, 320, { { 159, 159, RED }, { 160, 0, GREEN }, { 0, 160, BLUE }, { 319, 319, YELLOW } });
    ComposeQuadrants(1, 1, { { 0, 0, YELLOW }, { 319, 319, YELLOW } });   // its one pixel is in the yellow quadrant
    // Larger: the top-left square is stretched. 200 x 500 has only red and green in its top 200 x 200.
    ComposeQuadrants(200, 500, { { 80, 40, RED }, { 240, 40, GREEN }, { 80, 300, RED }, { 240, 300, GREEN } });
    // 800 x 600: the left 600 x 600; x 190 maps to image column 356, still left of 400.
    ComposeQuadrants(800, 600, { { 190, 100, RED }, { 230, 100, GREEN }, { 100, 300, BLUE }, { 300, 300, YELLOW } });
    ComposeQuadrants(4000, 4000, { { 80, 80, RED }, { 240, 80, GREEN }, { 80, 240, BLUE }, { 240, 240, YELLOW } });
}

TEST_F(Background, WatermarkFamiliesAreTriedInTheOrderOfUseStartImage)
{
    const COLORREF colours[] = { RED, GREEN, BLUE, YELLOW };
    const int orders[2][4] = { { 0, 1, 2, 3 }, { 2, 3, 0, 1 } };
    for (DWORD useStartImage : { 0u, 1u }) {
        SCOPED_TRACE(useStartImage);
        SetUseStartImage(useStartImage);
        for (int i = 0; i < 4; i++) PutWatermark(std::wstring(FAMILIES[i]) + L".bmp", colours[i]);
        HBITMAP shown = nullptr;
        for (int family : orders[useStartImage]) {
            ASSERT_TRUE(Reload());
            EXPECT_STREQ(LoadedImagePath, (L"\\Windows\\" + std::wstring(FAMILIES[family]) + L".bmp").c_str());
            EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), colours[family]);
            DeleteFileW((WINDOWS_DIR + FAMILIES[family] + L".bmp").c_str());
            shown = BackgroundBitmap;
        }
        // Nothing left: the search fails and the last picture stays.
        EXPECT_FALSE(Reload());
        EXPECT_EQ(BackgroundBitmap, shown);
        EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), colours[orders[useStartImage][3]]);
    }
}

TEST_F(Background, ScreenSizedFileWinsAndAShownFileIsNotLoadedAgain)
{
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    PutWatermark(L"tdywater_" + std::to_wstring(cx) + L"_" + std::to_wstring(cy) + L".bmp", GREEN);
    PutWatermark(L"tdywater.bmp", RED);
    ASSERT_TRUE(Reload());
    EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), GREEN);
    HBITMAP first = BackgroundBitmap;
    ASSERT_TRUE(Reload());
    EXPECT_EQ(BackgroundBitmap, first);
    EXPECT_EQ(GetObjectType(first), (DWORD)OBJ_BITMAP);
    // Nor is the custom image composed again for the same path.
    ASSERT_TRUE(WriteBmp(Dir + L"c.bmp", 50, 50, Solid(YELLOW)));
    ASSERT_TRUE(UseCustom(Dir + L"c.bmp"));
    HBITMAP custom = BackgroundBitmap;
    ASSERT_TRUE(Reload());
    EXPECT_EQ(BackgroundBitmap, custom);
    EXPECT_EQ(GetPixel(BackgroundDC, 300, 300), YELLOW);
}

TEST_F(Background, FailedCompositionIsForgottenAndRetried)
{
    PutWatermark(L"tdywater.bmp", BLUE);
    ASSERT_TRUE(Reload());
    HBITMAP watermark = BackgroundBitmap;
    HGDIOBJ initial = InitialDCBitmap;
    std::wstring path = Dir + L"retry.bmp";
    ASSERT_TRUE(WriteBmp(path, 100, 60, Quadrants(100, 60)));
    // A handle whose BITMAP record cannot be read makes the composition fail part-way.
    CopyText(LoadedImagePath, path.c_str());
    CustomBackground = true;
    SetBackgroundBitmap((HBITMAP)CreateSolidBrush(RED));
    EXPECT_EQ(BackgroundBitmap, nullptr);
    EXPECT_STREQ(LoadedImagePath, L"");
    EXPECT_EQ(GetCurrentObject(BackgroundDC, OBJ_BITMAP), initial);
    EXPECT_EQ(InitialDCBitmap, nullptr);
    EXPECT_EQ(GetObjectType(watermark), 0u);

    ASSERT_TRUE(UseCustom(path));
    EXPECT_STREQ(LoadedImagePath, path.c_str());
    ExpectPixels({ { 10, 10, RED }, { 75, 45, YELLOW } });
}

TEST_F(Background, OverlongWatermarkNamesAreSkipped)
{
    // \Windows\ + 250 characters is the longest path that fits.
    std::wstring fits = L"tdywater." + std::wstring(241, L'x');
    PutWatermark(fits, GREEN);
    EXPECT_FALSE(LoadWatermarkFile((fits + L"y").c_str())) << "must not load the name cut to fit";
    EXPECT_STREQ(LoadedImagePath, L"");
    EXPECT_TRUE(LoadWatermarkFile(fits.c_str()));
    EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), GREEN);
    DeleteFileW((WINDOWS_DIR + fits).c_str());
    PutWatermark(fits + L"y", RED);
    PutWatermark(L"Default_tdywater.bmp", BLUE);
    EXPECT_TRUE(Reload());
    EXPECT_STREQ(LoadedImagePath, L"\\Windows\\Default_tdywater.bmp");
}

TEST_F(Background, ThousandReloadsDeleteEveryReplacedBitmap)
{
    PutWatermark(L"tdywater.bmp", BLUE);
    ASSERT_TRUE(WriteBmp(Dir + L"cycle.bmp", 100, 60, Quadrants(100, 60)));
    CopyText(AppSettings.Background, (Dir + L"cycle.bmp").c_str());
    PROCESS_MEMORY_COUNTERS before = {}, after = {};   // Wine reports the working set, not private bytes
    HBITMAP previous = nullptr;
    for (int i = 0; i < 1000; i++) {
        AppSettings.EnableBackground = i % 2 == 0;   // the custom image, then the watermark
        ASSERT_TRUE(Reload()) << i;
        ASSERT_NE(BackgroundBitmap, previous);
        if (previous) {
            ASSERT_EQ(GetObjectType(previous), 0u) << "reload " << i;
        }
        previous = BackgroundBitmap;
        if (i == 50) GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before));
    }
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after));
    EXPECT_EQ(GetPixel(BackgroundDC, 10, 10), BLUE);
    ASSERT_GT(before.WorkingSetSize, 0u);
    // One leaked square would be 400 KB a reload, 380 MB in all.
    EXPECT_LT(after.WorkingSetSize, before.WorkingSetSize + 8 * 1024 * 1024);
}

TEST_F(Background_Hires, ComposesASquareOfTheLongerSide)
{
    // 640 square: 100 x 60 gives 7 columns and 11 rows, the last of each 40 pixels.
    ComposeQuadrants(100, 60, { { 610, 10, RED }, { 639, 10, RED }, { 639, 45, BLUE }, { 75, 610, GREEN },
                                { 639, 639, BLUE }, { 575, 585, YELLOW } });
    PutWatermark(L"tdywater_480_640.bmp", GREEN);
    PutWatermark(L"tdywater_240_320.bmp", RED);
    AppSettings.EnableBackground = 0;
    ASSERT_TRUE(Reload());
    EXPECT_STREQ(LoadedImagePath, L"\\Windows\\tdywater_480_640.bmp");
}

TEST_F(Background_Landscape, RotatedScreenPicksItsOwnSize)
{
    PutWatermark(L"tdywater_240_320.bmp", RED);
    PutWatermark(L"tdywater.bmp", GREEN);
    ASSERT_TRUE(Reload());
    EXPECT_STREQ(LoadedImagePath, L"\\Windows\\tdywater.bmp");
    PutWatermark(L"tdywater_320_240.bmp", BLUE);
    ASSERT_TRUE(Reload());
    EXPECT_STREQ(LoadedImagePath, L"\\Windows\\tdywater_320_240.bmp");
    // The custom square covers both orientations: 320 a side here too.
    ComposeQuadrants(200, 500, { { 80, 300, RED }, { 240, 300, GREEN } });
}
