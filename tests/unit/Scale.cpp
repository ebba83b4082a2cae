// Scaling of 96-dpi lengths, the icon strip metrics and the separator pen at 131 and 192 dpi
// (at 96 dpi every length is its own scale).
#include "support/testing.h"
#include "look/scale.h"
#include "look/theme.h"
#include "settings/settingsfile.h"

namespace {

// At the profile's density: ScaleY(10), ScaleY(-10), ScaleX(26) and ScaleY(1), then the strip's
// height, icon size and icon pitch for BigTray 0, 1 and -5 (any non-zero value is on), and the
// width of the separator pen made from the device's colour scheme.
void CheckScale(int dpi, const std::vector<int> &lengths, const std::vector<int> &metrics, LONG pen)
{
    ASSERT_EQ(ScreenCaps(LOGPIXELSY), dpi);
    EXPECT_EQ(std::vector<int>({ScaleY(10), ScaleY(-10), ScaleX(26), ScaleY(1)}), lengths);
    std::vector<int> got;
    for (int bigTray : {0, 1, -5}) {
        AppSettings.BigTray = bigTray;
        ComputeTrayMetrics();
        got.insert(got.end(), {TrayHeight, IconSize, IconPitch});
    }
    EXPECT_EQ(got, metrics);
    LOGPEN made = {};
    ASSERT_TRUE(LoadThemeColors() && GetObjectW(SeparatorPen, sizeof made, &made));
    EXPECT_EQ(made.lopnWidth.x, pen) << "the separator pen";
}

} // namespace

TEST(Scale_Dpi131, TruncatesTowardZero) { CheckScale(131, {13, -13, 35, 1}, {28, 21, 27, 50, 43, 46, 50, 43, 46}, 1); }
TEST(Scale_Hires, DoublesAt192Dpi) { CheckScale(192, {20, -20, 52, 2}, {42, 32, 40, 74, 64, 68, 74, 64, 68}, 2); }
