// The background picture: decoding, composition of custom images into BackgroundDC and the
// watermark search. The device's own watermarks are moved aside for each test.
#include "support/images.h"
#include "support/testing.h"
#include "look/background.h"
#include "settings/settingsfile.h"
#include <wincodec.h>

namespace {

const COLORREF RED = RGB(255, 0, 0), GREEN = RGB(0, 255, 0), BLUE = RGB(0, 0, 255), YELLOW = RGB(255, 255, 0);
const std::wstring WINDOWS_DIR = L"C:\\windows\\", DIR = L"C:\\nimbra-tests\\bg\\", ASIDE = L"C:\\nimbra-tests\\aside\\";
using Points = std::vector<std::tuple<int, int, COLORREF>>;

// A w x h picture in quadrants (red, green on top; blue, yellow below), or of one colour.
bool WriteImage(const std::wstring &path, int w, int h, COLORREF solid = CLR_INVALID, const GUID &format = GUID_ContainerFormatBmp)
{
    const UINT stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> px((size_t)stride * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            COLORREF c = solid != CLR_INVALID ? solid : y < h / 2 ? (x < w / 2 ? RED : GREEN) : (x < w / 2 ? BLUE : YELLOW);
            unsigned char *p = &px[(size_t)stride * y + x * 3];
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return WriteEncodedImage(path, format, w, h, px, stride);
}

class Background : public testing::Test {
protected:
    Settings SavedSettings = AppSettings;

    void SetUp() override
    {
        CreateDirectoryW(DIR.c_str(), nullptr), CreateDirectoryW(ASIDE.c_str(), nullptr);
        MoveFiles(WINDOWS_DIR, L"*water*", ASIDE);   // the device's own, back at the end
        BackgroundDC = CreateCompatibleDC(nullptr), LoadedImagePath[0] = 0, AppSettings.EnableBackground = 0;
    }
    void TearDown() override
    {
        FreeBackgroundDC(), FreeBackgroundBitmap();
        MoveFiles(WINDOWS_DIR, L"*water*", DIR), MoveFiles(ASIDE, L"*", WINDOWS_DIR);   // the test's own go with the rest below
        RegistrySetDWORD(HKEY_CURRENT_USER, TODAY_KEY, L"UseStartImage", 0);   // the device's value
        AppSettings = SavedSettings;
        for (const std::wstring &name : MoveFiles(DIR, L"*.*", ASIDE)) DeleteFileW((ASIDE + name).c_str());
    }
    static void PutWatermark(const std::wstring &name, COLORREF colour) { EXPECT_TRUE(WriteImage(WINDOWS_DIR + name, 24, 32, colour)); }
    bool Reload() { return BackgroundDirty = true, LoadBackground(); }
    bool UseCustom(const std::wstring &path) { return AppSettings.EnableBackground = 1, CopyText(AppSettings.Background, path.c_str()), Reload(); }
    static void ExpectPixels(const Points &points) { for (auto [x, y, c] : points) EXPECT_EQ(GetPixel(BackgroundDC, x, y), c) << x << "," << y; }
    // Composes a quadrant image of w x h as the custom background: a square of 320 pixels (the
    // longer screen side), so that nothing is found just outside it.
    void ComposeQuadrants(int w, int h, Points points)
    {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        std::wstring path = DIR + L"q" + std::to_wstring(w) + L"x" + std::to_wstring(h) + L".bmp";
        ASSERT_TRUE(WriteImage(path, w, h) && UseCustom(path));
        points.insert(points.end(), {{320, 0, CLR_INVALID}, {0, 320, CLR_INVALID}});
        ExpectPixels(points);
    }
};

} // namespace

TEST_F(Background, CustomImagesDecodeTileAndStretchAndWatermarksAreSearchedByFamily)
{
    // A 1 x 1 GIF whose only palette colour is red.
    const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0,
                                 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B};
    ASSERT_TRUE(WriteFileBytes(DIR + L"q.gif", gif, sizeof(gif)) && WriteImage(DIR + L"q.bmp", 64, 48) &&
                WriteImage(DIR + L"q.png", 64, 48, CLR_INVALID, GUID_ContainerFormatPng) &&
                WriteImage(DIR + L"q.jpg", 64, 48, CLR_INVALID, GUID_ContainerFormatJpeg));
    // The corners of each, as the screen shows it (JPEG only near the colour).
    for (auto [name, corners] : {std::pair{L"q.bmp", Points{{0, 0, RED}, {63, 0, GREEN}, {0, 47, BLUE}, {63, 47, YELLOW}}},
                                 {L"q.png", Points{{0, 0, RED}, {63, 0, GREEN}, {0, 47, BLUE}, {63, 47, YELLOW}}},
                                 {L"q.gif", Points{{0, 0, RED}}}, {L"q.jpg", Points{}}}) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(UseCustom(DIR + name));
        ExpectPixels(corners);
    }
    const COLORREF jpeg = GetPixel(BackgroundDC, 10, 10);
    EXPECT_TRUE(GetRValue(jpeg) > 215 && GetGValue(jpeg) < 40 && GetBValue(jpeg) < 40) << std::hex << jpeg;
    // Damaged files decode to nothing; the screen shows the watermark and does not remember the file.
    PutWatermark(L"tdywater.bmp", BLUE);
    // (Damage of every kind, and pictures too large, are the fuzz test's.)
    std::vector<unsigned char> png = ReadFileBytes(DIR + L"q.png");
    for (auto &[name, bytes] : {std::pair{L"garbage.jpg", std::vector<unsigned char>(4096, 0x5A)}, {L"half.png", std::vector<unsigned char>(png.begin(), png.begin() + png.size() / 2)}}) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(WriteFileBytes(DIR + name, bytes));
        EXPECT_TRUE(UseCustom(DIR + name));
        EXPECT_STREQ(LoadedImagePath, L"\\Windows\\tdywater.bmp");
        EXPECT_EQ(GetPixel(BackgroundDC, 5, 5), BLUE);
    }
    // An image that fits the square is tiled, a larger one stretched.
    // 100 x 60 on a 320 square: 4 columns, 6 rows, the last of each 20 pixels.
    ComposeQuadrants(100, 60, {{10, 10, RED}, {75, 10, GREEN}, {10, 45, BLUE}, {275, 285, YELLOW}, {319, 10, RED},
                                    {319, 45, BLUE}, {75, 319, GREEN}, {319, 319, RED}});
    // Larger: the top-left square is stretched. 200 x 500 has only red and green in its top 200 x 200.
    ComposeQuadrants(200, 500, {{80, 40, RED}, {240, 40, GREEN}, {80, 300, RED}, {240, 300, GREEN}});
    // 800 x 600: the left 600 x 600; x 190 maps to image column 356, still left of 400.
    ComposeQuadrants(800, 600, {{190, 100, RED}, {230, 100, GREEN}, {100, 300, BLUE}, {300, 300, YELLOW}});
    // Without a custom image: the watermark families.
    AppSettings.EnableBackground = 0;
    const LPCWSTR families[] = {L"tdywater", L"Default_tdywater", L"stwater", L"Default_stwater"};
    const COLORREF colours[] = {RED, GREEN, BLUE, YELLOW};
    const int orders[2][4] = {{0, 1, 2, 3}, {2, 3, 0, 1}};
    for (DWORD useStartImage : {0u, 1u}) {
        SCOPED_TRACE(useStartImage);
        RegistrySetDWORD(HKEY_CURRENT_USER, TODAY_KEY, L"UseStartImage", useStartImage);
        for (int i = 0; i < 4; i++) PutWatermark(std::wstring(families[i]) + L".bmp", colours[i]);
        for (int family : orders[useStartImage]) {
            ASSERT_TRUE(Reload());
            EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), colours[family]);
            const HGDIOBJ shown = BackgroundBitmap;
            ASSERT_TRUE(Reload());
            EXPECT_EQ(BackgroundBitmap, shown) << "a shown file was loaded again";
            DeleteFileW((WINDOWS_DIR + families[family] + L".bmp").c_str());
        }
        // Nothing left: the search fails and the last picture stays.
        EXPECT_FALSE(Reload());
        EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), colours[orders[useStartImage][3]]);
    }
    // An overlong name is never cut to fit: \Windows\ + 250 characters is the longest path that fits.
    const std::wstring fits = L"tdywater." + std::wstring(241, L'x');
    PutWatermark(fits, GREEN);
    EXPECT_FALSE(LoadWatermarkFile((fits + L"y").c_str())) << "loaded the name cut to fit";
    EXPECT_TRUE(LoadWatermarkFile(fits.c_str()));
    EXPECT_EQ(GetPixel(BackgroundDC, 1, 1), GREEN);
}

