// Shared test helpers: message pumping with deadlines, files and registry of the emulated
// device. Timers in the program are real, so tests pump until a condition or a deadline.
#pragma once
#include "base/nimbra.h"
#include <array>
#include <functional>
#include <string>
#include <vector>
#include <gtest/gtest.h>

// Dispatches every queued message of this thread (sent messages included).
void PumpMessages();
// Pumps until done() answers true or timeoutMs passes; answers done()'s last value.
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
// Pumps for exactly ms milliseconds (to show that something does NOT happen).
void PumpFor(DWORD ms);

// Milliseconds this thread has run: a loaded machine stretches the wall clock, not this.
ULONGLONG ThreadMs();
// Puts the mouse pointer at a screen point of the virtual desktop. Xvfb starts its pointer
// outside Wine's small desktop, where SetCursorPos cannot reach it and where Wine keeps finding
// it again (a held press then looks like a long drag); confining the cursor to one pixel makes
// X move its pointer there. Answers whether the pointer arrived.
bool MovePointerTo(int x, int y);

// A window's rectangle on the screen: left, top, right, bottom.
std::array<LONG, 4> WindowPlace(HWND window);
// A pixel of a window's client area once the window has painted what it had to.
COLORREF PixelOf(HWND window, int x, int y);
// A window's text (a control's, a caption).
std::wstring WindowText(HWND window);
// Turns the screen to width x height pixels, as a rotation does; false when it did not turn.
bool Rotate(DWORD width, DWORD height);

// Full path of this test executable, and its folder with a trailing backslash.
std::wstring ThisProgram();
std::wstring ExeFolder();
// Whole file as bytes; empty when it cannot be read.
std::vector<unsigned char> ReadFileBytes(const std::wstring &path);
bool WriteFileBytes(const std::wstring &path, const void *data, size_t size);
inline bool WriteFileBytes(const std::wstring &path, const std::vector<unsigned char> &b) { return WriteFileBytes(path, b.data(), b.size()); }

// Moves the files of folder `from` (with a trailing backslash) that match the pattern into folder
// `to`; answers their names. Tests move the device's files aside and back this way.
std::vector<std::wstring> MoveFiles(const std::wstring &from, const std::wstring &pattern, const std::wstring &to);

// Deletes a registry key with its subkeys (ignores a missing one).
void DeleteRegTree(HKEY root, const std::wstring &key);
// Moves a registry key with its subkeys to another path of the same root (a test's own
// values then take its place; moving it back restores it). Nothing happens when from is missing.
void MoveRegTree(HKEY root, const std::wstring &from, const std::wstring &to);

std::string Narrow(const std::wstring &text);
