// The real binary: usage, messages and exit statuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::FileExists;
using testsupport::RunResult;
using testsupport::RunTool;
using testsupport::ScratchDir;

namespace {

const std::string kBannerLine = "Tessalune 1.0: de novo discovery of cis-regulatory modules\n";

// Words of the form @name stand for the fixture tests/data/name.
std::vector<std::string> Expand(const std::vector<std::string>& words) {
    std::vector<std::string> args;
    for (const auto& w : words)
        args.push_back(!w.empty() && w[0] == '@' ? DataPath(w.substr(1)) : w);
    return args;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) text += w + " ";
    return text;
}

// What a run that passes its set-up writes: the echoed command line (program
// path first, every word followed by a blank) and the sequence count.
std::string RunHeader(const std::vector<std::string>& args, int sequences) {
    return kBannerLine + TESSALUNE_BINARY + " " + Joined(args) + "\nInput " +
           std::to_string(sequences) + " sequences.\n";
}

std::string LastLine(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

void ExpectNoSanitizerReport(const RunResult& run, const std::string& what) {
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << what << "\n" << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << what << "\n" << run.err;
}

}  // namespace

TEST(Binary, NoArgumentPrintsUsageAndSucceeds) {
    const auto run = RunTool({});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "\n******************************\n"
              "Tessalune 1.0: de novo discovery of cis-regulatory modules\n"
              "******************************\n"
              "\nUsage: ./Tessalune -i Seqfile (options)\n"
              "Seqfile must be in FASTA format and each line in the file should contain no more "
              "than 10K characters\n\n"
              "Options:\n"
              "\t-o\tOutput file (default output.txt)\n"
              "\t-n\tMaximum number of iterations (default 2000)\n"
              "\t-c\tThreshold for motif prediction (between 0 and 1; default 0.5)\n"
              "\t\tYou may increase this parameter if Tessalune predicts many sites\n"
              "\t-r\t1: search for both strands; 0: only search for forward strand (default 1)\n"
              "\t-K\tNumber of transcription factors (default 3)\n"
              "\t-L\tModule length (default 200)\n"
              "\t-w\tMinimum width for motifs (default 10); should be >= 5 \n"
              "\t-W\tMaximum width for motifs (default 14); should be <= 40 \n"
              "\t-P\tSample parameters each iteration. See readme file for details\n"
              "\t-B\tOutput log-posterior model odds over null model (pure background)\n"
              "\t-s\tDegerate to search for K independent motifs without considering module "
              "structure\n"
              "\t-S\tRandom seed (default: the current time)\n");
    EXPECT_EQ(run.err, "");
}

TEST(Binary, SeededRunPrintsBannerCommandLineAndCount) {
    const std::string input = DataPath("crp0.fa");
    ScratchDir cwd;
    const auto run = RunTool({"-i", input, "-S", "7"}, cwd.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Tessalune 1.0: de novo discovery of cis-regulatory modules\n", 0), 0u);
    EXPECT_NE(run.out.find("\nInput 18 sequences.\n"), std::string::npos);
}

// Every failure writes its one line on standard output and exits 1; the
// command line is parsed first, then checked, then the sequences are read.
TEST(Binary, ErrorMessagesAndExitStatus) {
    const std::string width = "input motif width range error!\n";
    const std::string factors = "Input number of transcription factors error!\n";
    const std::string length = "Input module length too small!\n";
    const std::string input = "Input sequence file error!\n";
    struct Case {
        std::vector<std::string> words;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"-i", "@crp0.fa", "-K", "0"}, factors},
        {{"-i", "@crp0.fa", "-K", "-2"}, factors},
        {{"-i", "@crp0.fa", "-K", "x"}, factors},
        {{"-i", "@crp0.fa", "-w", "4"}, width},
        {{"-i", "@crp0.fa", "-W", "41"}, width},
        {{"-i", "@crp0.fa", "-w", "4", "-W", "41", "-K", "0", "-L", "3"}, width},
        {{"-i", "@crp0.fa", "-K", "0", "-L", "3"}, factors},
        {{"-i", "@crp0.fa", "-L", "9"}, length},
        {{"-i", "nothing.fa", "-K", "0"}, factors},  // checks come before reading
        {{"-i"}, "Option -i needs a value!\n"},
        {{"-i", "@crp0.fa", "-n"}, "Option -n needs a value!\n"},
        {{"-K", "0", "-i"}, "Option -i needs a value!\n"},  // parsing comes before the checks
        {{"-i", "@crp0.fa", "-K3"}, "Option -K needs a value!\n"},
        {{"-i", "nothing.fa"}, input},
        {{"-i", "."}, input},  // a directory opens but cannot be read
        {{"-K", "2"}, input},  // no -i: the empty file name
        {{"-i", "@empty.fa"}, input},
        {{"-i", "@noheader.fa"}, input},
        {{"-i", "@crp0.fa", "-o", "-i"}, "Option -i needs a value!\n"},
    };
    ScratchDir cwd;
    for (const auto& c : cases) {
        const auto args = Expand(c.words);
        const std::string what = Joined(args);
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 1) << what;
        EXPECT_EQ(run.out, c.out) << what;
        ExpectNoSanitizerReport(run, what);
        if (c.out == input) {
            // one detail line on standard error, naming the file when there is one
            EXPECT_FALSE(run.err.empty()) << what;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << what << ": " << run.err;
            const auto file = std::find(args.begin(), args.end(), "-i");
            if (file != args.end()) {
                EXPECT_NE(run.err.find(*(file + 1)), std::string::npos) << what;
            }
        }
    }
}

TEST(Binary, NoRunAtAllEndsQuietly) {
    ScratchDir cwd;
    const std::vector<std::vector<std::string>> cases = {
        {"-N", "0"}, {"-i", "nothing.fa", "-N", "0"}, {"-i", "nothing.fa", "-N", "-3"}};
    for (const auto& args : cases) {
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 0) << Joined(args);
        EXPECT_EQ(run.out, "") << Joined(args);
        EXPECT_EQ(run.err, "") << Joined(args);
    }
}

TEST(Binary, CompletedSetUpPrintsCommandLineAndSequenceCount) {
    // -n 0: no iteration, so standard output holds only the set-up lines
    struct Case {
        std::vector<std::string> words;
        int sequences;
        int runs;
    };
    const std::vector<Case> cases = {
        {{"-i", "@crp0.fa", "-S", "7"}, 18, 1},
        {{"-i", "@crp0.fa", "-L", "10", "-S", "1"}, 18, 1},
        {{"-i", "@crp0.fa", "-w", "12", "-W", "10", "-S", "1"}, 18, 1},
        {{"-i", "@crp0.fa", "-w", "5", "-W", "40", "-K", "1", "-S", "2"}, 18, 1},
        {{"-i", "@crp0.fa", "-K", "9", "-W", "40", "-S", "3"},
         18,
         1},  // modules too short for the sites
        {{"-i", "@crp0.fa", "-s", "-S", "4"}, 18, 1},
        {{"-i", "@crp0.fa", "-N", "3", "-S", "5"}, 18, 3},
        {{"-i", "@crp0.fa", "stray.txt", "100%d%s%n", "-S", "6"}, 18, 1},  // echoed, not a format
        {{"-i", "@mixed_lengths.fa", "-S", "8"}, 6, 1},
        {{"-i", "@mixed_lengths.fa", "-s", "-K", "5", "-S", "9"}, 6, 1},
        {{"-i", "@only_empty.fa", "-S", "10"}, 2, 1},
    };
    ScratchDir cwd;
    for (const auto& c : cases) {
        auto args = Expand(c.words);
        args.insert(args.end(), {"-n", "0"});
        const std::string what = Joined(args);
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 0) << what;
        std::string expected;
        for (int r = 0; r < c.runs; ++r) expected += RunHeader(args, c.sequences);
        EXPECT_EQ(run.out, expected) << what;
        EXPECT_EQ(run.err, "") << what;
    }
}

TEST(Binary, SameSeededCommandGivesTheSameOutput) {
    const std::vector<std::string> args = {"-i", DataPath("crp0.fa"), "-S", "7"};
    ScratchDir first;
    ScratchDir second;
    const auto a = RunTool(args, first.path());
    const auto b = RunTool(args, second.path());
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.err, "");
    EXPECT_EQ(a.out.rfind(RunHeader(args, 18), 0), 0u) << a.out;
}

TEST(Binary, LettersBeforeTheFirstHeaderAreDroppedWithAWarning) {
    ScratchDir cwd;
    const std::string fasta = cwd.Write("stray.fa", "ACGTACGT\n>only\nACGTTGCA\n");
    const std::vector<std::string> args = {"-i", fasta, "-S", "1", "-n", "0"};
    const auto run = RunTool(args, cwd.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, RunHeader(args, 1));
    EXPECT_NE(run.err.find("warning"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(fasta), std::string::npos) << run.err;
}

TEST(Binary, BackgroundFileThatReadsCleanly) {
    ScratchDir cwd;
    const std::string bg = cwd.Write("bg.txt",
                                     "1\t0\t0.3\t0.2\t0.25\t0.25\t1\n"
                                     "\n"
                                     "short\n"
                                     "18\tx\t0.1\t0.2\t0.3\t0.4\t105\n"
                                     "2\t0\t0.3\t0.2\t0.25\t0.25\t50");  // no final newline
    const std::vector<std::string> args = {"-i", DataPath("crp0.fa"), "-b", bg, "-S", "1", "-n",
                                           "0"};
    const auto run = RunTool(args, cwd.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, RunHeader(args, 18));
    EXPECT_EQ(run.err, "");
}

// A background file the run cannot use ends it with one line naming the file
// (and the line), exit 1, before any results file is touched.
TEST(Binary, BackgroundFileErrors) {
    struct Case {
        const char* what;
        const char* text;  // nullptr: the file does not exist
        int line;          // 0: the message names no line
    };
    const std::vector<Case> cases = {
        {"missing file", nullptr, 0},
        {"six fields", "1\t0\t0.3\t0.2\t0.25\t0.25\n", 1},
        {"sequence number 0", "0\t0\t0.3\t0.2\t0.25\t0.25\t1\n", 1},
        {"sequence number past the last", "19\t0\t0.3\t0.2\t0.25\t0.25\t1\n", 1},
        {"position 0", "1\t0\t0.3\t0.2\t0.25\t0.25\t0\n", 1},
        {"position past the end", "1\t0\t0.3\t0.2\t0.25\t0.25\t106\n", 1},
        {"zero probability", "1\t0\t0.3\t0\t0.25\t0.25\t1\n", 1},
        {"negative probability", "1\t0\t-0.3\t0.2\t0.25\t0.25\t1\n", 1},
        {"not a number", "1\t0\tnan\t0.2\t0.25\t0.25\t1\n", 1},
        {"infinite", "1\t0\t0.3\t0.2\tinf\t0.25\t1\n", 1},
        {"bad line after a good one",
         "1\t0\t0.3\t0.2\t0.25\t0.25\t1\n2\t0\t0.3\t0.2\t0.25\t0.25\t999\n", 2},
        {"short lines are counted", "\n1\t2\t3\t4\t5\n1\t0\t0.3\t0.2\t0.25\t0.25\n", 3},
    };
    for (const auto& c : cases) {
        ScratchDir cwd;
        const std::string bg = c.text ? cwd.Write("bg.txt", c.text) : cwd.File("missing-bg.txt");
        const std::vector<std::string> args = {"-i", DataPath("crp0.fa"), "-b", bg, "-S", "1"};
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 1) << c.what;
        std::string prefix = "Background file error: " + bg;
        prefix += c.line > 0 ? ", line " + std::to_string(c.line) + ": " : std::string(": ");
        const std::string last = LastLine(run.out);
        EXPECT_EQ(last.rfind(prefix, 0), 0u) << c.what << ": " << run.out;
        EXPECT_GT(last.size(), prefix.size()) << c.what << ": the message says what is wrong";
        EXPECT_EQ(run.out.find("Background file error"), run.out.size() - last.size() - 1)
            << c.what << ": one message";
        EXPECT_FALSE(FileExists(cwd.File("Output.txt"))) << c.what;
        ExpectNoSanitizerReport(run, c.what);
    }
}
