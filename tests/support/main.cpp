// Test entry: the program's code expects COM on its thread (the image loader uses it).
#include <gtest/gtest.h>
#include <objbase.h>

int main(int argc, char **argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
