#include "support/testing.h"

TEST(Startup, Placeholder)
{
    EXPECT_TRUE(true);
}
