#include "canopen/QUserDictObj.h"

#include <gtest/gtest.h>

TEST(DictObjTest, Placeholder)
{
    QUserDictObj o;
    EXPECT_TRUE(o.isRead);
}
