// Scaling of 96-dpi lengths and the icon strip metrics, at 96, 131 and 192 dpi.
#include "support/testing.h"
#include "look/scale.h"
#include "settings/settingsfile.h"

namespace {

int ScreenDensity(int capability)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, capability);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Strip height, icon size and icon pitch for a BigTray value; AppSettings and the metrics are
// left as found.
void ExpectMetrics(int bigTray, int trayHeight, int iconSize, int iconPitch)
{
    SCOPED_TRACE("BigTray " + std::to_string(bigTray));
    const int saved = AppSettings.BigTray;
    AppSettings.BigTray = bigTray;
    ComputeTrayMetrics();
    EXPECT_EQ(TrayHeight, trayHeight);
    EXPECT_EQ(IconSize, iconSize);
    EXPECT_EQ(IconPitch, iconPitch);
    AppSettings.BigTray = saved;
    ComputeTrayMetrics();
}

} // namespace

TEST(Scale, IdentityAt96Dpi)
{
    ASSERT_EQ(ScreenDensity(LOGPIXELSX), 96);
    ASSERT_EQ(ScreenDensity(LOGPIXELSY), 96);
    for (int length : {0, 1, -1, -10, 240, 100000, -100000}) {
        EXPECT_EQ(ScaleX(length), length);
        EXPECT_EQ(ScaleY(length), length);
    }
    ExpectMetrics(0, 21, 16, 20);
    ExpectMetrics(1, 37, 32, 34);
    ExpectMetrics(-5, 37, 32, 34);   // any non-zero value is on
}

TEST(Scale_Dpi131, TruncatesTowardZero)
{
    ASSERT_EQ(ScreenDensity(LOGPIXELSY), 131);
    EXPECT_EQ(ScaleY(10), 13);
    EXPECT_EQ(ScaleY(1), 1);
    EXPECT_EQ(ScaleX(26), 35);
    for (int length = -200; length <= 200; length++) {
        EXPECT_EQ(ScaleY(-length), -ScaleY(length)) << length;
        EXPECT_EQ(ScaleX(-length), -ScaleX(length)) << length;
    }
    EXPECT_EQ(ScaleX(20000000), 27291666);   // no overflow on the way
    ExpectMetrics(0, 28, 21, 27);
    ExpectMetrics(1, 50, 43, 46);
}

TEST(Scale_Hires, DoublesAt192Dpi)
{
    ASSERT_EQ(ScreenDensity(LOGPIXELSX), 192);
    EXPECT_EQ(ScaleY(1), 2);
    EXPECT_EQ(ScaleY(-10), -20);
    EXPECT_EQ(ScaleX(-7), -14);
    ExpectMetrics(0, 42, 32, 40);
    ExpectMetrics(1, 74, 64, 68);
}
