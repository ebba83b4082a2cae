// Scaling of 96-dpi lengths and the icon strip metrics at 131 and 192 dpi (at 96 dpi every
// length is its own scale).
#include "support/testing.h"
#include "look/scale.h"
#include "settings/settingsfile.h"

namespace {

// At the profile's density: ScaleY(10), ScaleY(-10), ScaleX(26) and ScaleY(1), then the strip's
// height, icon size and icon pitch for BigTray 0, 1 and -5 (any non-zero value is on).
void CheckScale(int dpi, const std::vector<int> &lengths, const std::vector<int> &metrics)
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
}

} // namespace

TEST(Scale_Dpi131, TruncatesTowardZero) { CheckScale(131, {13, -13, 35, 1}, {28, 21, 27, 50, 43, 46, 50, 43, 46}); }
TEST(Scale_Hires, DoublesAt192Dpi) { CheckScale(192, {20, -20, 52, 2}, {42, 32, 40, 74, 64, 68, 74, 64, 68}); }
