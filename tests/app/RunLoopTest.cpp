// The Gibbs iterations of a run, one by one: after every iteration the
// parameters are valid probabilities and the sample is consistent (counts
// match the site lists, sites lie inside modules and apart, modules lie
// inside their sequence and apart, highest start first). Then the real
// binary: progress lines, repeatability and the option sets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::ReadFile;
using testsupport::RunTool;
using testsupport::SamplerFixture;
using testsupport::ScratchDir;

namespace {

bool IsProbability(double p) {
    return std::isfinite(p) && p > 0.0 && p < 1.0;
}

void ExpectValidParameters(const CGibbsDP& g, RunWork& work) {
    const int K = g.motifCount;
    EXPECT_TRUE(IsProbability(work.moduleStartProb)) << work.moduleStartProb;
    if (g.independent) {
        EXPECT_EQ(work.moduleStartProb, 0.9999999999);
    }
    double sum = 0.0;
    for (int k = 0; k <= K; ++k) {
        EXPECT_TRUE(IsProbability(work.mixWeights[k]))
            << "weight " << k << ": " << work.mixWeights[k];
        sum += work.mixWeights[k];
    }
    EXPECT_NEAR(sum, 1.0, 1e-9);
    for (int k = 0; k < K; ++k) {
        for (int j = 0; j < g.widths[k]; ++j) {
            double row = 0.0;
            for (int b = 0; b < 4; ++b) {
                const double p = work.motifProb[k][4 * j + b];
                EXPECT_TRUE(IsProbability(p)) << "motif " << k << " column " << j << ": " << p;
                row += p;
            }
            EXPECT_NEAR(row, 1.0, 1e-9) << "motif " << k << " column " << j;
        }
    }
}

struct Totals {
    int modules = 0;
    int sites = 0;
    int reverse = 0;
};

void ExpectConsistentSample(const CGibbsDP& g, Totals& totals) {
    const int K = g.motifCount;
    for (int k = 0; k < K; ++k) {
        const int w = g.widths[k];
        std::vector<int> counts(4 * w, 0);
        int sites = 0;
        for (int s = 0; s < g.seqCount; ++s) {
            for (const SITEINFO* node = g.curSites[k][s]->next; node; node = node->next, ++sites) {
                for (int j = 0; j < w && j < node->site.GetLength(); ++j) {
                    const auto b = std::string("ACGT").find(node->site[j]);
                    if (b != std::string::npos) ++counts[4 * j + b];
                }
            }
        }
        EXPECT_EQ(g.siteTotals[k], sites) << "motif " << k;
        for (int e = 0; e < 4 * w; ++e)
            EXPECT_EQ(g.countMat[k][e], counts[e]) << "motif " << k << " entry " << e;
    }
    for (int s = 0; s < g.seqCount; ++s) {
        const int n = g.seqs[s].GetLength();
        const int a = std::min(g.moduleLength, n);
        const MODULEINFO& mod = g.modules[s];
        ASSERT_GE(mod.moduleNum, 0);
        EXPECT_EQ(mod.moduleNum == 0, mod.moduleStarts == nullptr) << "sequence " << s;
        if (n == 0) {
            EXPECT_EQ(mod.moduleNum, 0) << "an empty sequence has no module";
        }
        if (g.independent && n > 0) {
            ASSERT_EQ(mod.moduleNum, 1) << "sequence " << s;
            EXPECT_EQ(mod.moduleStarts[0], 0);
        }
        EXPECT_TRUE(std::isfinite(mod.logRatio)) << "sequence " << s;
        for (int j = 0; j < mod.moduleNum; ++j) {
            const int start = mod.moduleStarts[j];
            EXPECT_GE(start, 0) << "sequence " << s;
            EXPECT_LE(start + a, n) << "sequence " << s;
            if (j > 0) {
                EXPECT_GE(mod.moduleStarts[j - 1], start + a) << "modules apart, highest first";
            }
        }
        totals.modules += mod.moduleNum;

        std::vector<std::pair<int, int>> spans;
        for (int k = 0; k < K; ++k) {
            const int w = g.widths[k];
            int last = -1;
            for (const SITEINFO* node = g.curSites[k][s]->next; node; node = node->next) {
                const int pos = node->pos;
                ASSERT_GE(pos, 0);
                ASSERT_LE(pos + w, n) << "sequence " << s;
                EXPECT_GT(pos, last) << "list ordered by position";
                last = pos;
                const CString word = g.seqs[s].Mid(pos, w);
                EXPECT_TRUE(node->strand == 1 || (g.bothStrands && node->strand == 0));
                EXPECT_TRUE(node->site == (node->strand == 1 ? word : Reverse(word)));
                EXPECT_LT(word.Find("N"), 0) << "a site over N";
                bool inside = false;
                for (int j = 0; j < mod.moduleNum; ++j) {
                    inside = inside ||
                             (mod.moduleStarts[j] <= pos && pos + w <= mod.moduleStarts[j] + a);
                }
                EXPECT_TRUE(inside)
                    << "site at " << pos << " of sequence " << s << " outside its modules";
                spans.emplace_back(pos, pos + w);
                ++totals.sites;
                totals.reverse += node->strand == 0;
            }
        }
        std::sort(spans.begin(), spans.end());
        for (std::size_t j = 1; j < spans.size(); ++j) {
            EXPECT_LE(spans[j - 1].second, spans[j].first) << "sites overlap in sequence " << s;
        }
    }
}

struct RunCase {
    const char* what;
    std::string file;
    int iterations;
    int K;
    int L;
    int bothStrands;
    int sampleParams;
    int independent;
};

}  // namespace

// crp0 holds 18 sequences of 105 letters, shorter than the default module
// length of 200; loop_planted holds six sequences of 310 to 500 letters with
// planted words, an empty one and one of 3 letters.
TEST(RunLoop, EveryIterationLeavesValidParametersAndAConsistentSample) {
    const std::vector<RunCase> cases = {
        {"short sequences, posterior means", "crp0.fa", 200, 3, 200, 1, 0, 0},
        {"short sequences, posterior draws", "crp0.fa", 200, 3, 200, 1, 1, 0},
        {"planted, posterior means", "loop_planted.fa", 100, 2, 100, 1, 0, 0},
        {"planted, posterior draws, forward strand", "loop_planted.fa", 100, 2, 100, 0, 1, 0},
        {"planted, independent motifs", "loop_planted.fa", 100, 2, 200, 1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f("");
        f->seqFile = DataPath(c.file).c_str();
        f->motifCount = c.K;
        f->moduleLength = c.L;
        f->bothStrands = c.bothStrands;
        f->sampleParams = c.sampleParams;
        f->independent = c.independent;
        f->maxIter = c.iterations;
        f->burnIn = static_cast<int>(c.iterations * 0.7);
        f->seed = 17;
        RunWork work;
        f->SetUpRun(work);
        double best = f->bestLogPost;
        Totals totals;
        const bool failedBefore = HasFailure();
        for (int t = 1; t <= c.iterations; ++t) {
            SCOPED_TRACE("iteration " + std::to_string(t));
            f->RunIteration(t, work);
            ExpectValidParameters(*f, work);
            ExpectConsistentSample(*f, totals);
            EXPECT_GE(f->bestLogPost, best) << "the best score never falls";
            best = f->bestLogPost;
            const double score = f->CalLogPostPrSample();
            EXPECT_TRUE(std::isfinite(score));
            EXPECT_GE(f->bestLogPost, score);
            if (HasFailure() && !failedBefore) break;  // one failing iteration is enough to read
        }
        EXPECT_GT(totals.modules, 0) << "the checks saw modules";
        EXPECT_GT(totals.sites, 0) << "the checks saw sites";
        if (c.bothStrands) {
            EXPECT_GT(totals.reverse, 0) << "the checks saw reverse-strand sites";
        }
        f->FinishRun(work);
    }
}

namespace {

std::string Progress(int iterations) {
    std::string lines;
    for (int t = 50; t <= iterations; t += 50)
        lines += "Finish runing iteration " + std::to_string(t) + ".\n";
    return lines;
}

// Standard output after the sequence count line.
std::string AfterCount(const std::string& out) {
    const std::string marker = " sequences.\n";
    const std::size_t at = out.find(marker);
    return at == std::string::npos ? "<no sequence count>" : out.substr(at + marker.size());
}

}  // namespace

TEST(RunLoop, ProgressLinesAndRepeatableRuns) {
    for (const int iterations : {100, 49}) {
        SCOPED_TRACE(std::to_string(iterations) + " iterations");
        const std::vector<std::string> args = {
            "-i", DataPath("crp0.fa"), "-n", std::to_string(iterations), "-S", "3"};
        ScratchDir first;
        ScratchDir second;
        const auto a = RunTool(args, first.path());
        const auto b = RunTool(args, second.path());
        EXPECT_EQ(a.status, 0);
        EXPECT_EQ(b.status, 0);
        EXPECT_EQ(a.err, "");
        EXPECT_EQ(AfterCount(a.out), Progress(iterations));
        EXPECT_EQ(a.out, b.out);
        EXPECT_EQ(ReadFile(first.File("Output.txt")), ReadFile(second.File("Output.txt")));
        EXPECT_EQ(ReadFile(first.File("Output.txt_modpr.txt")),
                  ReadFile(second.File("Output.txt_modpr.txt")));
    }
}

// Under the sanitizer build these runs also show the loop free of memory and
// undefined-behaviour faults: any report goes to standard error.
TEST(RunLoop, OptionSetsRunToTheEnd) {
    const std::vector<std::vector<std::string>> options = {
        {"-i", "crp0.fa", "-P"},
        {"-i", "crp0.fa", "-r", "0"},
        {"-i", "crp0.fa", "-s"},
        {"-i", "loop_planted.fa", "-L", "100", "-P"},
        {"-i", "loop_planted.fa", "-L", "100", "-r", "0"},
        {"-i", "loop_planted.fa", "-s", "-K", "2"},
    };
    for (const auto& words : options) {
        std::vector<std::string> args = words;
        args[1] = DataPath(args[1]);
        args.insert(args.end(), {"-n", "200", "-S", "11"});
        std::string what;
        for (const auto& w : words) what += w + " ";
        SCOPED_TRACE(what);
        ScratchDir cwd;
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(AfterCount(run.out), Progress(200));
    }
}
