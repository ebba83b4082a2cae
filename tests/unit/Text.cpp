#include "support/testing.h"

TEST(Text, CopiesAreBoundedAndTerminated)
{
    WCHAR buf[5];
    EXPECT_TRUE(CopyText(buf, L"abcd"));
    EXPECT_STREQ(buf, L"abcd");
    EXPECT_FALSE(CopyText(buf, L"abcdef"));
    EXPECT_STREQ(buf, L"abcd");
    WCHAR one[1];
    EXPECT_TRUE(CopyText(one, 1, L""));
    EXPECT_FALSE(CopyText(one, 1, L"a"));
    EXPECT_EQ(one[0], 0);
    EXPECT_FALSE(AppendText(buf, L"xyz"));
    EXPECT_STREQ(buf, L"abcd");
    CopyText(buf, L"ab");
    EXPECT_TRUE(AppendText(buf, L"cd"));
    EXPECT_STREQ(buf, L"abcd");
    WCHAR part[8];
    EXPECT_TRUE(CopyTextN(part, 8, L"abc::def", 3));
    EXPECT_STREQ(part, L"abc");
    EXPECT_EQ(TextLength(L"abc", 2), 2u);
}
