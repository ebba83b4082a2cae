// Times LoadBackground for a screen-size watermark and for a 2000 x 1500 custom JPEG.
// Run from the device's C: drive so that \Windows\ names the device's folder:
//   background_bench.exe [iterations]
#include "support/images.h"
#include "base/nimbra.h"
#include "look/background.h"
#include "settings/settingsfile.h"
#include <wincodec.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return count.QuadPart * 1000.0 / frequency.QuadPart;
}

// A photo-like picture: smooth gradients with some noise, so that the JPEG is not trivial.
static bool WriteImage(const std::wstring &path, const GUID &container, UINT w, UINT h)
{
    UINT stride = (w * 3 + 3) & ~3u;
    std::vector<BYTE> px((size_t)stride * h);
    unsigned seed = 12345;
    for (UINT y = 0; y < h; y++)
        for (UINT x = 0; x < w; x++) {
            seed = seed * 1103515245 + 12345;
            BYTE noise = (BYTE)((seed >> 16) & 15);
            BYTE *p = &px[(size_t)y * stride + x * 3];
            p[0] = (BYTE)(x * 255 / w) ^ noise, p[1] = (BYTE)(y * 255 / h), p[2] = (BYTE)((x + y) & 255);
        }
    return WriteEncodedImage(path, container, w, h, px, stride);
}

struct Timing {
    double median, fastest;
};

// The machine is shared: the median and the fastest run say more than the mean.
static Timing Summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms.front() };
}

// Runs LoadBackground `iterations` times; with `forget` each run decodes the file again.
static Timing TimeLoads(int iterations, bool forget)
{
    std::vector<double> ms;
    for (int i = 0; i < iterations; i++) {
        if (forget) LoadedImagePath[0] = 0;
        BackgroundDirty = true;
        double start = Now();
        if (!LoadBackground()) {
            fprintf(stderr, "LoadBackground failed\n");
            exit(1);
        }
        ms.push_back(Now() - start);
    }
    return Summarise(ms);
}

static Timing TimeDecoding(int iterations, LPCWSTR path)
{
    std::vector<double> ms;
    for (int i = 0; i < iterations; i++) {
        double start = Now();
        DeleteObject(SHLoadImageFile(path));
        ms.push_back(Now() - start);
    }
    return Summarise(ms);
}

static void Report(const char *what, Timing t)
{
    printf("%-44s median %8.2f ms, fastest %8.2f ms\n", what, t.median, t.fastest);
}

int wmain(int argc, wchar_t **argv)
{
    int iterations = argc > 1 ? _wtoi(argv[1]) : 20;
    if (iterations < 1) iterations = 1;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HDC screen = GetDC(nullptr);
    BackgroundDC = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);

    // The device's own size-specific watermark when it has one, else one made for the run.
    wchar_t pattern[MAX_PATH], made[MAX_PATH] = L"";
    swprintf(pattern, MAX_PATH, L"\\Windows\\tdywater_%d_%d.*", cx, cy);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    } else {
        swprintf(made, MAX_PATH, L"\\Windows\\tdywater_%d_%d.png", cx, cy);
        if (!WriteImage(made, GUID_ContainerFormatPng, cx, cy)) {
            fprintf(stderr, "cannot write %ls\n", made);
            return 1;
        }
    }
    std::wstring jpeg = L"bench-2000x1500.jpg";
    wchar_t full[MAX_PATH];
    GetFullPathNameW(jpeg.c_str(), MAX_PATH, full, nullptr);
    if (!WriteImage(full, GUID_ContainerFormatJpeg, 2000, 1500)) {
        fprintf(stderr, "cannot write %ls\n", full);
        return 1;
    }

    printf("screen %dx%d, %d iterations per figure, ms per load\n", cx, cy, iterations);
    AppSettings.EnableBackground = 0;
    Timing watermark = TimeLoads(iterations, true);
    printf("watermark %ls\n", LoadedImagePath);
    Report("  LoadBackground", watermark);
    Report("  LoadBackground, file already shown", TimeLoads(iterations, false));
    WCHAR shown[MAX_PATH];
    CopyText(shown, LoadedImagePath);
    Report("  of which decoding (SHLoadImageFile)", TimeDecoding(iterations, shown));

    AppSettings.EnableBackground = 1;
    CopyText(AppSettings.Background, full);
    printf("custom 2000x1500 JPEG\n");
    Report("  LoadBackground (decode and compose)", TimeLoads(iterations, true));
    Report("  of which decoding (SHLoadImageFile)", TimeDecoding(iterations, full));

    if (InitialDCBitmap) SelectObject(BackgroundDC, InitialDCBitmap);
    DeleteDC(BackgroundDC);
    DeleteObject(BackgroundBitmap);
    DeleteFileW(full);
    if (made[0]) DeleteFileW(made);
    CoUninitialize();
    return 0;
}
