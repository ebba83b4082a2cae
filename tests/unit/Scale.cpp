// Scaling of 96-dpi lengths and the icon strip metrics at 131 and 192 dpi (at 96 dpi every
// length is its own scale).
#include "support/testing.h"
#include "look/scale.h"
#include "settings/settingsfile.h"
#include <array>

namespace {

// Strip height, icon size and icon pitch for each BigTray value.
void ExpectMetrics(std::initializer_list<std::array<int, 4>> table)
{
    for (auto [bigTray, height, size, pitch] : table) {
        SCOPED_TRACE("BigTray " + std::to_string(bigTray));
        AppSettings.BigTray = bigTray;
        ComputeTrayMetrics();
        EXPECT_EQ(std::vector<int>({TrayHeight, IconSize, IconPitch}), std::vector<int>({height, size, pitch}));
    }
}

} // namespace

TEST(Scale_Dpi131, TruncatesTowardZero)
{
    ASSERT_EQ(ScreenCaps(LOGPIXELSY), 131);
    EXPECT_EQ(std::vector<int>({ScaleY(10), ScaleY(-10), ScaleX(26), ScaleY(1)}), std::vector<int>({13, -13, 35, 1}));
    ExpectMetrics({{0, 28, 21, 27}, {1, 50, 43, 46}, {-5, 50, 43, 46}});   // any non-zero value is on
}

TEST(Scale_Hires, DoublesAt192Dpi)
{
    ASSERT_EQ(ScreenCaps(LOGPIXELSX), 192);
    EXPECT_EQ(std::vector<int>({ScaleY(1), ScaleY(-10), ScaleX(-7)}), std::vector<int>({2, -20, -14}));
    ExpectMetrics({{0, 42, 32, 40}, {1, 74, 64, 68}});
}
