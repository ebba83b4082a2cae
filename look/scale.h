// Display scaling and the icon strip metrics. Globals defined in look/scale.cpp.
#pragma once
#include "base/nimbra.h"

extern int TrayHeight;   // height of the icon strip in pixels; set by ComputeTrayMetrics
extern int IconSize;     // side of a strip icon in pixels; set by ComputeTrayMetrics
extern int IconPitch;    // distance between strip icons in pixels; set by ComputeTrayMetrics

// A length in 96-dpi units in pixels of the screen's horizontal / vertical density
// (read once per process, truncated toward zero).
int ScaleX(int length);
int ScaleY(int length);
// One of the screen's device capabilities (HORZRES, VERTRES, LOGPIXELSY, ...), read now.
int ScreenCaps(int index);
// Sets TrayHeight, IconSize and IconPitch from AppSettings.BigTray.
void ComputeTrayMetrics();
