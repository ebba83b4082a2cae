// Test entry: the program's code expects COM on its thread (the image loader uses it).
#include <gtest/gtest.h>
#include <objbase.h>
#include "support/testing.h"

int main(int argc, char **argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    testing::InitGoogleTest(&argc, argv);
    // Every test that uses the mouse needs the pointer inside the desktop first.
    MovePointerTo(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
