// The results files written by the real binary: reproducible layout, runs
// appending their reports, runs without a recorded iteration, and results
// files that cannot be written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::ReadFile;
using testsupport::RunResult;
using testsupport::RunTool;
using testsupport::ScratchDir;

namespace {

const std::string kBannerLine = "Tessalune 1.0: de novo discovery of cis-regulatory modules\n";

// Copies the fixture into the scratch folder, so the command line names it without a path.
void CopyInput(const ScratchDir& dir, const std::string& name) {
    dir.Write(name, ReadFile(DataPath(name)));
}

// Header lines (">" included, as the tool names sequences) and letter counts of a FASTA fixture.
std::vector<std::pair<std::string, int>> NamesAndLengths(const std::string& fixture) {
    std::vector<std::pair<std::string, int>> seqs;
    std::istringstream in(ReadFile(DataPath(fixture)));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '>') {
            seqs.emplace_back(line, 0);
        } else if (!seqs.empty()) {
            seqs.back().second += static_cast<int>(line.size());
        }
    }
    return seqs;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string CommandLine(const std::vector<std::string>& args) {
    std::string text = kBannerLine + TESSALUNE_BINARY + " ";
    for (const auto& a : args) text += a + " ";
    return text;
}

// A "%.3lf" value between 0 and 1: one digit, a point, three digits.
bool IsProbability(const std::string& line) {
    if (line.size() != 5 || line[1] != '.') return false;
    for (const std::size_t i : {0u, 2u, 3u, 4u}) {
        if (line[i] < '0' || line[i] > '9') return false;
    }
    return true;
}

// Checks the module-probability report: the separator, then every sequence's
// name and length and one "%.3lf" line per position.
void ExpectModPrLayout(const std::string& text, const std::string& fixture) {
    const auto lines = Lines(text);
    const auto seqs = NamesAndLengths(fixture);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "**********");
    std::size_t at = 2;
    for (const auto& [name, length] : seqs) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at++], name + "(" + std::to_string(length) + ")");
        for (int p = 0; p < length; ++p, ++at) {
            ASSERT_LT(at, lines.size());
            ASSERT_TRUE(IsProbability(lines[at])) << name << " position " << p << ": " << lines[at];
        }
    }
    EXPECT_EQ(at, lines.size());
}

}  // namespace

TEST(ReportsBinary, SeededRunGivesTheSameCompleteFilesInAnyFolder) {
    const std::vector<std::string> args = {"-i", "crp0.fa", "-S", "5", "-n", "300", "-o", "t.txt"};
    ScratchDir first;
    ScratchDir second;
    CopyInput(first, "crp0.fa");
    CopyInput(second, "crp0.fa");
    const RunResult a = RunTool(args, first.path());
    const RunResult b = RunTool(args, second.path());
    ASSERT_EQ(a.status, 0) << a.out;
    ASSERT_EQ(b.status, 0) << b.out;

    const std::string report = ReadFile(first.File("t.txt"));
    const std::string modpr = ReadFile(first.File("t.txt_modpr.txt"));
    EXPECT_EQ(report, ReadFile(second.File("t.txt")));
    EXPECT_EQ(modpr, ReadFile(second.File("t.txt_modpr.txt")));
    EXPECT_EQ(report.rfind(CommandLine(args) + "\n\n\n\n****************\n# of Modules:", 0), 0u)
        << report;
    for (const char* motif : {"Motif_1:\n", "Motif_2:\n", "Motif_3:\n"}) {
        EXPECT_EQ(Count(report, "\n\n\n**********************\n" + std::string(motif)), 1) << motif;
    }
    EXPECT_EQ(Count(report, "Motif_"), 3);
    ExpectModPrLayout(modpr, "crp0.fa");
    EXPECT_EQ(Lines(modpr).size(), 2u + 18u + 1890u);
}

TEST(ReportsBinary, RunsAppendTheirReports) {
    ScratchDir dir;
    CopyInput(dir, "crp0.fa");
    const std::vector<std::string> once = {"-i", "crp0.fa", "-S", "3",
                                           "-n", "20",      "-o", "once.txt"};
    ASSERT_EQ(RunTool(once, dir.path()).status, 0);
    const std::string report = ReadFile(dir.File("once.txt"));
    const std::string modpr = ReadFile(dir.File("once.txt_modpr.txt"));
    ASSERT_EQ(RunTool(once, dir.path()).status, 0);
    EXPECT_EQ(ReadFile(dir.File("once.txt")), report + report);
    EXPECT_EQ(ReadFile(dir.File("once.txt_modpr.txt")), modpr + modpr);

    const std::vector<std::string> twice = {"-i", "crp0.fa", "-S", "3",  "-n",
                                            "20", "-N",      "2",  "-o", "twice.txt"};
    ASSERT_EQ(RunTool(twice, dir.path()).status, 0);
    const std::string reports = ReadFile(dir.File("twice.txt"));
    EXPECT_EQ(reports.rfind(CommandLine(twice) + "\n\n", 0), 0u);
    EXPECT_EQ(Count(reports, CommandLine(twice) + "\n\n"), 2);
    EXPECT_EQ(Count(reports, "Motif_3:\n"), 2);
    const std::string values = ReadFile(dir.File("twice.txt_modpr.txt"));
    EXPECT_EQ(Count(values, "\n**********\n"), 2);
    EXPECT_EQ(Lines(values).size(), 2 * Lines(modpr).size());
}

TEST(ReportsBinary, NoRecordedIterationReportsNoSiteAndNoModule) {
    const auto seqs = NamesAndLengths("crp0.fa");
    std::string zeros = "\n**********\n";
    for (const auto& [name, length] : seqs) {
        zeros += name + "(" + std::to_string(length) + ")\n";
        for (int p = 0; p < length; ++p) zeros += "0.000\n";
    }
    for (const char* iterations : {"0", "-5"}) {
        SCOPED_TRACE(iterations);
        ScratchDir dir;
        CopyInput(dir, "crp0.fa");
        const std::vector<std::string> args = {"-i", "crp0.fa", "-n", iterations, "-S", "1"};
        const RunResult run = RunTool(args, dir.path());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, CommandLine(args) + "\nInput 18 sequences.\n");
        std::string expected = CommandLine(args) + "\n\n\n\n****************\n# of Modules:0\n";
        for (int k = 1; k <= 3; ++k) {
            expected += "\n\n\n**********************\nMotif_" + std::to_string(k) +
                        ":\nNo sites found!\n\n";
        }
        EXPECT_EQ(ReadFile(dir.File("Output.txt")), expected);
        EXPECT_EQ(ReadFile(dir.File("Output.txt_modpr.txt")), zeros);
    }
}

TEST(ReportsBinary, SequencesWithoutRoomForASiteAreStillListed) {
    ScratchDir dir;
    CopyInput(dir, "report_short.fa");
    const RunResult run =
        RunTool({"-i", "report_short.fa", "-S", "2", "-n", "100", "-L", "100"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Count(ReadFile(dir.File("Output.txt")), "Motif_"), 3);
    ExpectModPrLayout(ReadFile(dir.File("Output.txt_modpr.txt")), "report_short.fa");
}

TEST(ReportsBinary, AResultsFileThatCannotBeWrittenFailsTheRun) {
    struct Case {
        const char* what;
        std::string outFile;
        std::string directory;  // made in the scratch folder before the run
        std::vector<std::string> failures;
        std::string written;  // the file that must still hold a whole report, if any
    };
    const std::vector<Case> cases = {
        {"no such folder",
         "/nonexistent/dir/out.txt",
         "",
         {"Cannot write results file /nonexistent/dir/out.txt: No such file or directory",
          "Cannot write results file /nonexistent/dir/out.txt_modpr.txt: No such file or "
          "directory"},
         ""},
        {"only the module-probability file",
         "out.txt",
         "out.txt_modpr.txt",
         {"Cannot write results file out.txt_modpr.txt: Is a directory"},
         "out.txt"},
        {"only the results file",
         "out.txt",
         "out.txt",
         {"Cannot write results file out.txt: Is a directory"},
         "out.txt_modpr.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        CopyInput(dir, "crp0.fa");
        if (!c.directory.empty()) {
            ASSERT_EQ(mkdir(dir.File(c.directory).c_str(), 0755), 0);
        }
        const std::vector<std::string> args = {"-i", "crp0.fa", "-S", "4",
                                               "-n", "20",      "-o", c.outFile};
        const RunResult run = RunTool(args, dir.path());
        EXPECT_EQ(run.status, 1);
        std::string failures;
        for (const auto& f : c.failures) failures += f + "\n";
        EXPECT_EQ(run.out, CommandLine(args) + "\nInput 18 sequences.\n" + failures);
        if (c.written == "out.txt") {
            const std::string report = ReadFile(dir.File("out.txt"));
            EXPECT_EQ(report.rfind(CommandLine(args) + "\n\n", 0), 0u);
            EXPECT_EQ(Count(report, "Motif_3:\n"), 1);
        }
        if (c.written == "out.txt_modpr.txt")
            ExpectModPrLayout(ReadFile(dir.File(c.written)), "crp0.fa");
    }
}
