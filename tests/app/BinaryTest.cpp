// The real binary: usage, messages and exit statuses.

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::RunTool;

TEST(Binary, NoArgumentPrintsUsageAndSucceeds) {
    const auto run = RunTool({});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("\n******************************\n"
                            "Tessalune 1.0: de novo discovery of cis-regulatory modules\n",
                            0),
              0u);
    EXPECT_NE(run.out.find("\t-S\tRandom seed (default: the current time)\n"), std::string::npos);
}

TEST(Binary, SeededRunPrintsBannerCommandLineAndCount) {
    const std::string input = DataPath("crp0.fa");
    const auto run = RunTool({"-i", input, "-S", "7"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Tessalune 1.0: de novo discovery of cis-regulatory modules\n", 0), 0u);
    EXPECT_NE(run.out.find("\nInput 18 sequences.\n"), std::string::npos);
}
