// SHLoadImageFile. On the device the shell decodes BMP, JPEG, GIF and PNG into a
// device-dependent bitmap; here the Windows Imaging Component decodes and GDI makes the bitmap.
#define PLATFORM_IMPLEMENTATION
#include "platform/aygshell.h"
#include <wincodec.h>

// A damaged header can claim any size; refuse what no screen could use rather than ask GDI
// for gigabytes. Pictures of up to 16 M pixels load (4096 x 4096, a 12 M pixel camera's), a
// 64 MB bitmap; a larger one is refused before it is decoded (32 M pixels took 8 s to decode
// here, for a screen of at most 640 x 640).
constexpr UINT MAX_IMAGE_SIDE = 16384;
constexpr UINT64 MAX_IMAGE_PIXELS = 1u << 24;
// Pixels travel from the decoder to the bitmap in bands of about this many bytes, so the
// only full-size copy besides the decoder's own is the bitmap itself.
constexpr UINT BAND_BYTES = 1u << 20;

template <class T> static void Release(T *&object)
{
    if (object) object->Release();
    object = nullptr;
}

// Copies the converted pixels into a bitmap compatible with the screen, band by band.
static HBITMAP MakeScreenBitmap(IWICBitmapSource *pixels, UINT width, UINT height)
{
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, (int)width, (int)height);
    HDC dc = bitmap ? CreateCompatibleDC(screen) : nullptr;
    ReleaseDC(nullptr, screen);
    if (!dc) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }

    UINT stride = width * 4;
    UINT bandRows = BAND_BYTES / stride;
    if (bandRows == 0) bandRows = 1;
    if (bandRows > height) bandRows = height;
    BYTE *band = (BYTE *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)stride * bandRows);
    HGDIOBJ displaced = band ? SelectObject(dc, bitmap) : nullptr;
    bool ok = displaced != nullptr;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = (LONG)width;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    for (UINT top = 0; ok && top < height; top += bandRows) {
        UINT rows = height - top < bandRows ? height - top : bandRows;
        WICRect rect = { 0, (INT)top, (INT)width, (INT)rows };
        // A truncated or damaged file usually fails here, not when it is opened.
        ok = SUCCEEDED(pixels->CopyPixels(&rect, stride, stride * rows, band));
        info.bmiHeader.biHeight = -(LONG)rows;   // negative: rows run top-down, as WIC gives them
        ok = ok && SetDIBitsToDevice(dc, 0, (int)top, width, rows, 0, 0, 0, rows, band, &info,
                                     DIB_RGB_COLORS) == (int)rows;
    }

    if (displaced) SelectObject(dc, displaced);
    DeleteDC(dc);
    if (band) HeapFree(GetProcessHeap(), 0, band);
    if (!ok) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

static UINT Big16(const BYTE *p) { return (UINT)p[0] << 8 | p[1]; }
static UINT Little16(const BYTE *p) { return (UINT)p[1] << 8 | p[0]; }
static UINT Big32(const BYTE *p) { return Big16(p) << 16 | Big16(p + 2); }
static UINT Little32(const BYTE *p) { return Little16(p + 2) << 16 | Little16(p); }

// The size a picture's header claims, read before a decoder sees the file: the desktop's
// decoders decode the whole picture when they open it (a 16384 x 2048 PNG took 2.6 s and
// 220 MB before its size could be asked). False for a format it does not know, which the
// decoder then judges alone.
static bool ClaimedSize(HANDLE file, UINT *width, UINT *height)
{
    BYTE h[32] = {};
    DWORD got = 0;
    if (!ReadFile(file, h, sizeof h, &got, nullptr) || got < 26) return false;
    if (h[0] == 0x89 && h[1] == 'P') {                      // PNG: the first chunk, IHDR
        *width = Big32(h + 16), *height = Big32(h + 20);
    } else if (h[0] == 'G' && h[1] == 'I') {                // GIF: the logical screen
        *width = Little16(h + 6), *height = Little16(h + 8);
    } else if (h[0] == 'B' && h[1] == 'M') {                // BMP: a core header has 16-bit sides
        bool core = Little32(h + 14) == 12;
        *width = core ? Little16(h + 18) : Little32(h + 18), *height = core ? Little16(h + 20) : Little32(h + 22);
        *width = (UINT)abs((INT)*width), *height = (UINT)abs((INT)*height);
    } else if (h[0] == 0xFF && h[1] == 0xD8) {              // JPEG: segments up to a frame header
        for (LONG at = 2; SetFilePointer(file, at, nullptr, FILE_BEGIN) == (DWORD)at;) {
            if (!ReadFile(file, h, 9, &got, nullptr) || got < 9 || h[0] != 0xFF) return false;
            if (h[1] >= 0xC0 && h[1] <= 0xCF && h[1] != 0xC4 && h[1] != 0xC8 && h[1] != 0xCC) {
                *width = Big16(h + 7), *height = Big16(h + 5);
                return true;
            }
            at += 2 + (LONG)Big16(h + 2);
        }
        return false;
    } else {
        return false;
    }
    return true;
}

// True when the file is a picture that may be decoded: its claimed size within the limits,
// or a format whose size only the decoder can tell.
static bool SizeAllowed(LPCWSTR fileName)
{
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    UINT width = 0, height = 0;
    bool known = ClaimedSize(file, &width, &height);
    CloseHandle(file);
    return !known || (width <= MAX_IMAGE_SIDE && height <= MAX_IMAGE_SIDE && (UINT64)width * height <= MAX_IMAGE_PIXELS);
}

HBITMAP WINAPI SHLoadImageFile(LPCWSTR fileName)
{
    if (!fileName || !fileName[0] || !SizeAllowed(fileName)) return nullptr;
    IWICImagingFactory *factory = nullptr;
    IWICBitmapDecoder *decoder = nullptr;
    IWICBitmapFrameDecode *frame = nullptr;
    IWICBitmapSource *pixels = nullptr;
    HBITMAP bitmap = nullptr;
    UINT width = 0, height = 0;

    // COM is the caller's: the program initialises it at start-up.
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, (void **)&factory)) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(fileName, nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(frame->GetSize(&width, &height)) &&
        width > 0 && height > 0 && width <= MAX_IMAGE_SIDE && height <= MAX_IMAGE_SIDE &&
        (UINT64)width * height <= MAX_IMAGE_PIXELS &&
        SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame, &pixels))) {
        bitmap = MakeScreenBitmap(pixels, width, height);
    }

    Release(pixels);
    Release(frame);
    Release(decoder);
    Release(factory);
    return bitmap;
}
