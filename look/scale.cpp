// 96-dpi design lengths to device pixels, and the icon strip metrics built on them.
#include "look/scale.h"
#include "settings/settingsfile.h"

int TrayHeight = 21;
int IconSize = 16;
int IconPitch = 20;

// One axis of the screen's density. Read on first use and never again, also not after a
// rotation: every length the program has already laid out stays consistent.
struct ScreenDensity {
    int capability;   // LOGPIXELSX or LOGPIXELSY
    bool read;
    int pixelsPerInch;
};

static ScreenDensity DensityX = {LOGPIXELSX, false, 0};
static ScreenDensity DensityY = {LOGPIXELSY, false, 0};

// Strip metrics in 96-dpi units: height (vertical), icon side and pitch (horizontal).
struct TrayUnits {
    int height;
    int iconSize;
    int iconPitch;
};

static const TrayUnits NormalTrayUnits = {21, 16, 20};
static const TrayUnits BigTrayUnits = {37, 32, 34};

int ScreenCaps(int index)
{
    HDC screen = GetDC(nullptr);
    int value = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return value;
}

static int ScaleLength(ScreenDensity &density, int length)
{
    if (!density.read) {
        density.read = true;
        density.pixelsPerInch = ScreenCaps(density.capability);
    }
    // Division truncates toward zero, so ScaleY(-n) == -ScaleY(n). The product is formed in
    // 64 bits so that no length, however absurd, overflows.
    return (int)((long long)length * density.pixelsPerInch / 96);
}

int ScaleX(int length)
{
    return ScaleLength(DensityX, length);
}

int ScaleY(int length)
{
    return ScaleLength(DensityY, length);
}

void ComputeTrayMetrics()
{
    const TrayUnits &units = AppSettings.BigTray ? BigTrayUnits : NormalTrayUnits;
    TrayHeight = ScaleY(units.height);
    IconSize = ScaleX(units.iconSize);
    IconPitch = ScaleX(units.iconPitch);
}
