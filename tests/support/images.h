// Writing test pictures through the imaging component's encoders (PNG, JPEG, GIF, BMP).
// Used by the tests and the benchmarks; needs COM on the calling thread.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Writes 24-bit BGR rows (top row first, `stride` bytes apart) as an image file of the given
// container (GUID_ContainerFormatPng, ...). False when any step fails.
bool WriteEncodedImage(const std::wstring &path, const GUID &container, UINT width, UINT height,
                       const std::vector<unsigned char> &bgrRows, UINT stride);
