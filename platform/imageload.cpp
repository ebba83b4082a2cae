// SHLoadImageFile. On the device the shell decodes BMP, JPEG, GIF and PNG into a
// device-dependent bitmap; here the Windows Imaging Component decodes and GDI makes the bitmap.
#define PLATFORM_IMPLEMENTATION
#include "platform/aygshell.h"
#include <wincodec.h>

// A damaged header can claim any size; refuse what no screen could use rather than ask GDI
// for gigabytes. 4000 x 4000 camera pictures stay well inside.
constexpr UINT MAX_IMAGE_SIDE = 16384;
constexpr UINT64 MAX_IMAGE_PIXELS = 1u << 25;   // 32 M pixels, 128 MB as 32-bit pixels
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

HBITMAP WINAPI SHLoadImageFile(LPCWSTR fileName)
{
    if (!fileName || !fileName[0]) return nullptr;
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
