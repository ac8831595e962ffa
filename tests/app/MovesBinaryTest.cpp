// The real binary with the adaptive moves and the model odds: -B writes a
// finite "Log-PMO" line before the module section, -d runs complete, and a
// motif matrix whose width lies outside -w..-W keeps that width to the end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunResult;
using testsupport::RunTool;
using testsupport::ScratchDir;

namespace {

const std::string kExamples = TESSALUNE_EXAMPLES;

void ExpectCleanRun(const RunResult& run) {
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
}

// The value of the "Log-PMO(K=k)=" line, which must be written with two
// decimals; NaN when the line is missing or malformed.
double ModelOdds(const std::string& report, int K) {
    const std::string label = "\nLog-PMO(K=" + std::to_string(K) + ")=";
    const std::size_t at = report.find(label);
    if (at == std::string::npos) return std::nan("");
    const std::size_t from = at + label.size();
    const std::string value = report.substr(from, report.find('\n', from) - from);
    // an optional minus sign, digits, a point and two digits
    const std::size_t point = value.find('.');
    const std::size_t first = !value.empty() && value[0] == '-' ? 1 : 0;
    const bool digitsOnly = point != std::string::npos && point > first &&
                            value.size() == point + 3 &&
                            value.find_first_not_of("0123456789", first) == point &&
                            value.find_first_not_of("0123456789", point + 1) == std::string::npos;
    if (!digitsOnly) {
        ADD_FAILURE() << "odds written as '" << value << "'";
        return std::nan("");
    }
    return std::strtod(value.c_str(), nullptr);
}

// The number of sequence letters of a FASTA file.
long long FastaLetters(const std::string& path) {
    std::istringstream in(ReadFile(path));
    std::string line;
    long long count = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '>') count += static_cast<long long>(line.size());
    }
    return count;
}

// The number of value lines of the module-probability file: one per position.
long long ModprValues(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    long long count = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && (line[0] == '0' || line[0] == '1')) ++count;
    }
    return count;
}

// Per motif block of a results file: the number of matrix rows (the width
// shown), 0 for "No sites found!"; every site text must have that width.
std::vector<int> ReportedWidths(const std::string& report) {
    std::vector<int> widths;
    std::size_t at = report.find("\nMotif_");
    while (at != std::string::npos) {
        const std::size_t next = report.find("\nMotif_", at + 1);
        std::istringstream block(
            report.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
        std::string line;
        std::getline(block, line);  // Motif_k:
        std::getline(block, line);
        if (line == "No sites found!") {
            widths.push_back(0);
        } else {
            std::getline(block, line);  // column header
            int rows = 0;
            while (std::getline(block, line) && !line.empty() && line[0] != '>') {
                ++rows;
                EXPECT_EQ(line.substr(0, line.find('\t')), std::to_string(rows));
            }
            EXPECT_GT(rows, 0) << "a block of sites without columns";
            // site lines come in pairs: the header line, then the site text
            while (!line.empty() && line[0] == '>') {
                std::string text;
                std::getline(block, text);
                EXPECT_EQ(static_cast<int>(text.size()), rows) << text;
                if (!std::getline(block, line)) break;
            }
            widths.push_back(rows);
        }
        at = next;
    }
    return widths;
}

}  // namespace

TEST(MovesBinary, ModelOddsLineBeforeTheModuleSection) {
    ScratchDir dir;
    const auto run = RunTool(
        {"-i", DataPath("crp0.fa"), "-S", "2", "-n", "400", "-B", "-o", "b.txt"}, dir.path());
    ExpectCleanRun(run);
    const std::string report = ReadFile(dir.File("b.txt"));
    const std::size_t odds = report.find("\nLog-PMO(K=3)=");
    const std::size_t modules = report.find("# of Modules:");
    ASSERT_NE(odds, std::string::npos) << report;
    ASSERT_NE(modules, std::string::npos) << report;
    EXPECT_LT(odds, modules);
    EXPECT_TRUE(std::isfinite(ModelOdds(report, 3)));
}

// Runs with the adaptive moves and the odds: each completes cleanly, writes
// one module probability per position, and with -B a finite estimate.
TEST(MovesBinary, OptionRunsComplete) {
    struct Case {
        const char* what;
        std::string input;
        std::vector<std::string> options;
        int K;
    };
    const std::vector<Case> cases = {
        {"-B -s", DataPath("crp0.fa"), {"-S", "3", "-n", "300", "-B", "-s"}, 3},
        {"-B -P", DataPath("crp0.fa"), {"-S", "4", "-n", "300", "-B", "-P", "-K", "2"}, 2},
        {"-d with sequences shorter than L",
         DataPath("moves_short.fa"),
         {"-S", "5", "-d", "-n", "400"},
         3},
        {"-d -B, L 100",
         DataPath("moves_short.fa"),
         {"-S", "6", "-d", "-B", "-n", "300", "-L", "100"},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        std::vector<std::string> args = {"-i", c.input, "-o", "r.txt"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto run = RunTool(args, dir.path());
        ExpectCleanRun(run);
        const auto n = std::find(c.options.begin(), c.options.end(), "-n") + 1;
        EXPECT_NE(run.out.find("Finish runing iteration " + *n + "."), std::string::npos);
        ASSERT_TRUE(FileExists(dir.File("r.txt")));
        const std::string report = ReadFile(dir.File("r.txt"));
        const bool odds = std::find(c.options.begin(), c.options.end(), "-B") != c.options.end();
        const bool independent =
            std::find(c.options.begin(), c.options.end(), "-s") != c.options.end();
        if (odds) {
            EXPECT_TRUE(std::isfinite(ModelOdds(report, c.K))) << report.substr(0, 400);
        } else {
            EXPECT_EQ(report.find("Log-PMO"), std::string::npos);
        }
        EXPECT_EQ(report.find("# of Modules:") != std::string::npos, !independent);
        EXPECT_EQ(ReportedWidths(report).size(), static_cast<std::size_t>(c.K));
        EXPECT_EQ(ModprValues(ReadFile(dir.File("r.txt_modpr.txt"))), FastaLetters(c.input));
    }
}

// The width moves never reach -w..-W from a matrix width of 8 under -w 10
// -W 14 (both neighbours lie outside), so motif 1 ends with 8 columns or no
// site, never an empty block; motif 2 keeps to the range.
TEST(MovesBinary, MatrixWidthOutsideTheRangeIsKept) {
    for (const char* seed : {"4", "9"}) {
        SCOPED_TRACE(std::string("seed ") + seed);
        ScratchDir dir;
        const auto run =
            RunTool({"-i", DataPath("crp0.fa"), "-M", DataPath("moves_pwm8.txt"), "-K", "2", "-w",
                     "10", "-W", "14", "-n", "300", "-S", seed, "-o", "m.txt"},
                    dir.path());
        ExpectCleanRun(run);
        const std::vector<int> widths = ReportedWidths(ReadFile(dir.File("m.txt")));
        ASSERT_EQ(widths.size(), 2u);
        EXPECT_TRUE(widths[0] == 8 || widths[0] == 0) << widths[0];
        EXPECT_TRUE(widths[1] == 0 || (widths[1] >= 10 && widths[1] <= 14)) << widths[1];
    }
}

// The example with module-length sampling, at the default 2000 iterations.
TEST(MovesBinary, ExampleWithModuleLengthSampling) {
    ScratchDir dir;
    const std::string input = kExamples + "/demo.fa";
    const auto run = RunTool({"-i", input, "-S", "2", "-d", "-o", "d.txt"}, dir.path());
    ExpectCleanRun(run);
    EXPECT_NE(run.out.find("Finish runing iteration 2000.\n"), std::string::npos);
    const std::string report = ReadFile(dir.File("d.txt"));
    EXPECT_NE(report.find("# of Modules:"), std::string::npos);
    EXPECT_EQ(ReportedWidths(report).size(), 3u);
    EXPECT_EQ(ModprValues(ReadFile(dir.File("d.txt_modpr.txt"))), FastaLetters(input));
}
