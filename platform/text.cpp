#include "platform/text.h"

size_t TextLength(const WCHAR *text, size_t cap)
{
    size_t n = 0;
    while (n < cap && text[n]) n++;
    return n;
}

bool CopyTextN(WCHAR *dst, size_t cap, const WCHAR *src, size_t count)
{
    if (cap == 0) return count == 0;
    size_t n = 0;
    while (n < count && n + 1 < cap && src[n]) { dst[n] = src[n]; n++; }
    dst[n] = 0;
    return n == count || !src[n];
}

bool CopyText(WCHAR *dst, size_t cap, const WCHAR *src)
{
    return CopyTextN(dst, cap, src, (size_t)-1);
}

bool AppendText(WCHAR *dst, size_t cap, const WCHAR *src)
{
    size_t used = TextLength(dst, cap);
    if (used >= cap) return false;
    return CopyText(dst + used, cap - used, src);
}
