// Golden results files: seeded runs of the real binary on tests/data/crp0.fa
// and examples/demo.fa must write both results files byte for byte as the
// stored copies in tests/data/golden/ (<case>.txt and <case>_modpr.txt).
//
// When a change is meant to alter the results, regenerate the stored copies
// and review their diff before committing:
//
//     TESSALUNE_UPDATE_GOLDEN=1 ./build/tests/tessalune_tests --gtest_filter='Golden*'
//
// Each run takes place in a scratch folder holding a copy of the input and a
// link named Tessalune to the binary, started as "./Tessalune", so the echoed
// command line in the results file holds no machine-specific path.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::ScratchDir;

namespace {

struct GoldenCase {
    const char* name;     // golden file stem
    const char* folder;   // where the input lives
    const char* input;    // input file name
    const char* options;  // after "-i <input>"
};

// Test names and failure messages show the case by its name.
void PrintTo(const GoldenCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kData = TESSALUNE_TEST_DATA;

const std::vector<GoldenCase> kCases = {
    {"crp0_default", TESSALUNE_TEST_DATA, "crp0.fa", "-S 7"},
    {"crp0_s", TESSALUNE_TEST_DATA, "crp0.fa", "-S 7 -s"},
    {"crp0_r0", TESSALUNE_TEST_DATA, "crp0.fa", "-S 7 -r 0"},
    {"crp0_c03", TESSALUNE_TEST_DATA, "crp0.fa", "-S 7 -c 0.3"},
    {"demo_default", TESSALUNE_EXAMPLES, "demo.fa", "-S 7 -n 400"},
    {"demo_s", TESSALUNE_EXAMPLES, "demo.fa", "-S 7 -n 400 -s"},
    {"demo_r0", TESSALUNE_EXAMPLES, "demo.fa", "-S 7 -n 400 -r 0"},
    {"demo_c03", TESSALUNE_EXAMPLES, "demo.fa", "-S 7 -n 400 -c 0.3"},
};

// "" when equal, otherwise the first line that differs.
std::string FirstDifference(const std::string& golden, const std::string& now) {
    if (golden == now) return "";
    std::istringstream a(golden);
    std::istringstream b(now);
    std::string x;
    std::string y;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, x));
        const bool moreB = static_cast<bool>(std::getline(b, y));
        if (!moreA && !moreB) return "the files differ only in their line ends";
        if (!moreA || !moreB || x != y) {
            return "line " + std::to_string(line) + ": golden \"" + (moreA ? x : "<end>") +
                   "\", now \"" + (moreB ? y : "<end>") + "\"";
        }
    }
}

bool Updating() {
    const char* flag = std::getenv("TESSALUNE_UPDATE_GOLDEN");
    return flag && std::string(flag) == "1";
}

class Golden : public testing::TestWithParam<GoldenCase> {};

}  // namespace

TEST_P(Golden, ResultsFilesMatchTheStoredCopies) {
    const GoldenCase& c = GetParam();
    ScratchDir dir;
    dir.Write(c.input, ReadFile(std::string(c.folder) + "/" + c.input));
    ASSERT_EQ(symlink(TESSALUNE_BINARY, dir.File("Tessalune").c_str()), 0);
    const std::string command = "cd '" + dir.path() + "' && ./Tessalune -i " + c.input + " " +
                                c.options + " >stdout.txt 2>stderr.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadFile(dir.File("stdout.txt"));
    EXPECT_EQ(ReadFile(dir.File("stderr.txt")), "");

    const std::vector<std::pair<std::string, std::string>> files = {
        {"Output.txt", ".txt"}, {"Output.txt_modpr.txt", "_modpr.txt"}};
    for (const auto& [written, suffix] : files) {
        const std::string now = ReadFile(dir.File(written));
        const std::string goldenPath = kData + "/golden/" + c.name + suffix;
        if (Updating()) {
            std::ofstream(goldenPath, std::ios::binary) << now;
        }
        ASSERT_TRUE(FileExists(goldenPath))
            << goldenPath << " is missing; run with TESSALUNE_UPDATE_GOLDEN=1";
        EXPECT_EQ(FirstDifference(ReadFile(goldenPath), now), "") << goldenPath;
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GoldenCase>& info) {
                             return std::string(info.param.name);
                         });
