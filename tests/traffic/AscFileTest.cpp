#include "QUserAscFile.h"
#include "TempWorkDir.h"
#include "TraceSupport.h"

#include <gtest/gtest.h>

using tracetest::frame;

class AscFile : public WorkDirTest
{
};

TEST_F(AscFile, Builds)
{
    QUserAscFile f;
    ASSERT_TRUE(f.fileCreate("a.asc"));
}
