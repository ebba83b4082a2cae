// Bounded UTF-16 text helpers. Every capacity is in characters and includes the terminator;
// a copy that does not fit is cut to the capacity and always terminated.
#pragma once
#include <windows.h>

// Copies src into dst (capacity cap characters); returns false when src had to be cut.
bool CopyText(WCHAR *dst, size_t cap, const WCHAR *src);
// Copies at most count characters of src into dst; returns false when cut.
bool CopyTextN(WCHAR *dst, size_t cap, const WCHAR *src, size_t count);
// Appends src to the text already in dst; returns false when cut.
bool AppendText(WCHAR *dst, size_t cap, const WCHAR *src);
// Length of a terminated text, never reading past cap characters.
size_t TextLength(const WCHAR *text, size_t cap);

template <size_t N> inline bool CopyText(WCHAR (&dst)[N], const WCHAR *src) { return CopyText(dst, N, src); }
template <size_t N> inline bool AppendText(WCHAR (&dst)[N], const WCHAR *src) { return AppendText(dst, N, src); }
