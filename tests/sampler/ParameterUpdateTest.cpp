// The parameters of an iteration from the current sample (posterior means and
// posterior draws) and the motif matrix file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/StochasticDistribution.h"
#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::Letters;
using testsupport::RunTool;
using testsupport::SamplerFixture;
using testsupport::ScratchDir;

namespace {

std::string Fasta(const std::vector<std::string>& seqs) {
    std::string text;
    for (std::size_t s = 0; s < seqs.size(); ++s)
        text += ">s" + std::to_string(s) + "\n" + seqs[s] + "\n";
    return text;
}

std::string FastaOfLengths(const std::vector<int>& lengths) {
    std::vector<std::string> seqs;
    for (std::size_t s = 0; s < lengths.size(); ++s)
        seqs.push_back(Letters(lengths[s], static_cast<int>(s)));
    return Fasta(seqs);
}

// Gives sequence s `count` modules (starts highest first).
void SetModules(CGibbsDP& g, int s, int count) {
    MODULEINFO& mod = g.modules[s];
    delete[] mod.moduleStarts;
    mod.moduleStarts = count > 0 ? new int[count] : nullptr;
    mod.moduleNum = count;
    for (int j = 0; j < count; ++j) mod.moduleStarts[j] = (count - 1 - j) * g.moduleLength;
}

void AddSiteAt(CGibbsDP& g, int k, int s, int pos) {
    SITEINFO* node = new SITEINFO();
    node->pos = pos;
    node->site = g.seqs[s].Mid(pos, g.widths[k]);
    g.AddSite(g.curSites[k][s], node);
}

struct Site {
    int motif;
    int seq;
    int pos;
};

// A sampler over the given sequences with K motifs of the given widths, the
// modules and sites given, and its counts rebuilt as the score does.
void BuildState(SamplerFixture& f, const std::vector<int>& widths, int L, int independent,
                const std::vector<int>& modulesPerSeq, const std::vector<Site>& sites) {
    f->motifCount = static_cast<int>(widths.size());
    f->moduleLength = L;
    f->independent = independent;
    f->minWidth = f->maxWidth = widths[0];
    f.Setup();
    for (int k = 0; k < f->motifCount; ++k) {
        f->widths[k] = widths[k];
        delete[] f->countMat[k];
        f->countMat[k] = new int[4 * widths[k]]();
    }
    for (int s = 0; s < f->seqCount; ++s) SetModules(*f, s, modulesPerSeq[s]);
    for (const Site& site : sites) AddSiteAt(*f, site.motif, site.seq, site.pos);
    f->CalLogPostPrSample();
}

MotifMatrices NewMatrices(const CGibbsDP& g) {
    MotifMatrices m(g.motifCount);
    for (int k = 0; k < g.motifCount; ++k) m.Resize(k, g.widths[k]);
    return m;
}

}  // namespace

TEST(ParameterUpdate, PosteriorMeans) {
    struct Case {
        const char* what;
        std::vector<int> lengths;
        int L;
        int independent;
        std::vector<int> modules;
        std::vector<Site> sites;
        double x;
        std::vector<double> pi;
    };
    const std::vector<Case> cases = {
        {"one module of 200 in each of two sequences, three sites",
         {500, 500},
         200,
         0,
         {1, 1},
         {{0, 0, 10}, {0, 0, 40}, {0, 1, 100}},
         3.0 / 604,
         {4.0 / 375, 371.0 / 375}},
        // a module covers min(L, n) positions
        {"sequences shorter than the module length",
         {105, 105},
         200,
         0,
         {1, 1},
         {{0, 0, 10}, {0, 0, 40}, {0, 1, 70}},
         3.0 / 4,
         {4.0 / 185, 181.0 / 185}},
        {"short and long sequences",
         {105, 500},
         200,
         0,
         {1, 2},
         {{0, 0, 3}, {0, 1, 250}},
         4.0 / 105,
         {3.0 / 489, 486.0 / 489}},
        // two sites of 10 in a 15-letter module: no background token is left
        {"sites overrunning a short module",
         {15},
         200,
         0,
         {1},
         {{0, 0, 0}, {0, 0, 5}},
         2.0 / 3,
         {3.0 / 4, 1.0 / 4}},
        {"no module", {300}, 200, 0, {0}, {}, 1.0 / 302, {1.0 / 2, 1.0 / 2}},
        // every position is a token
        {"independent motifs",
         {500, 500},
         200,
         1,
         {1, 1},
         {{0, 0, 10}, {0, 0, 40}, {0, 1, 100}},
         0.9999999999,
         {4.0 / 975, 971.0 / 975}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(FastaOfLengths(c.lengths));
        BuildState(f, {10}, c.L, c.independent, c.modules, c.sites);
        double x = -1.0;
        std::vector<double> pi(2, -1.0);
        MotifMatrices theta = NewMatrices(*f);
        f->UpdateParameters(&x, pi.data(), theta.data());
        EXPECT_DOUBLE_EQ(x, c.x);
        EXPECT_DOUBLE_EQ(pi[0], c.pi[0]);
        EXPECT_DOUBLE_EQ(pi[1], c.pi[1]);
    }
}

TEST(ParameterUpdate, MatrixRowsArePosteriorMeans) {
    // sites ACN and GTN: column 2 holds no counted letter at all
    SamplerFixture f(Fasta({"ACNGTN" + Letters(200)}));
    BuildState(f, {3}, 200, 0, {1}, {{0, 0, 0}, {0, 0, 3}});
    double x = 0.0;
    std::vector<double> pi(2);
    MotifMatrices theta = NewMatrices(*f);
    f->UpdateParameters(&x, pi.data(), theta.data());
    const std::vector<double> expected = {2.0 / 6, 1.0 / 6, 2.0 / 6, 1.0 / 6,  // A, G
                                          1.0 / 6, 2.0 / 6, 1.0 / 6, 2.0 / 6,  // C, T
                                          0.25,    0.25,    0.25,    0.25};    // N, N
    for (int e = 0; e < 12; ++e) EXPECT_DOUBLE_EQ(theta[0][e], expected[e]) << "entry " << e;
}

// One posterior draw takes its random numbers in a fixed order: the Beta of
// the module start (none for independent motifs), the mixture weights, then
// the matrix rows motif by motif and column by column.
TEST(ParameterUpdate, PosteriorDrawOrderAndShapes) {
    for (const int independent : {0, 1}) {
        SCOPED_TRACE(independent ? "independent motifs" : "modules");
        SamplerFixture f(FastaOfLengths({105, 400}));
        BuildState(f, {3, 4}, 200, independent, {1, 1},
                   {{0, 0, 5}, {0, 1, 20}, {0, 1, 60}, {1, 1, 30}});
        const int K = f->motifCount;
        double x = 0.0;
        std::vector<double> pi(K + 1);
        MotifMatrices theta = NewMatrices(*f);
        std::srand(77);
        f->SampleParameters(&x, pi.data(), theta.data());
        const int after = std::rand();

        // the same draws made one by one: 2 modules covering 105 + 200 of 505
        // positions; 3 + 1 sites of widths 3 and 4
        std::srand(77);
        CStochasticDistribution variates;
        const double expectedX = independent ? 0.9999999999 : variates.Beta(2 + 1, 505 - 305 + 1);
        const int bg = independent ? 505 - 9 - 4 : 305 - 9 - 4;
        const int shapes[] = {3 + 1, 1 + 1, bg + 1};
        std::vector<double> expectedPi(K + 1);
        variates.Dirichlet(shapes, K + 1, expectedPi.data());
        std::vector<std::vector<double>> rows;
        for (int k = 0; k < K; ++k) {
            for (int j = 0; j < f->widths[k]; ++j) {
                int e[4];
                for (int b = 0; b < 4; ++b) e[b] = f->countMat[k][4 * j + b] + 1;
                rows.emplace_back(4);
                variates.Dirichlet(e, 4, rows.back().data());
            }
        }
        EXPECT_EQ(std::rand(), after) << "the same number of draws";
        EXPECT_EQ(x, expectedX);
        for (int k = 0; k <= K; ++k) EXPECT_EQ(pi[k], expectedPi[k]) << "weight " << k;
        std::size_t r = 0;
        for (int k = 0; k < K; ++k) {
            for (int j = 0; j < f->widths[k]; ++j, ++r) {
                for (int b = 0; b < 4; ++b)
                    EXPECT_EQ(theta[k][4 * j + b], rows[r][b]) << k << " " << j;
            }
        }
    }
}

// Files that read cleanly: the rows are smoothed and normalised, the widths,
// matrices and count-matrix storage of the motifs read are replaced, the
// other motifs keep theirs, and blocks beyond the K-th are left out.
TEST(MotifMatrixFile, ReadsAndSmoothsTheRows) {
    const double S1 = 40.4;  // 1.01 x (10 + 0 + 0 + 30)
    const std::vector<double> block = {10.1 / S1,     0.1 / S1,      0.1 / S1,      30.1 / S1,  //
                                       0.25,          0.25,          0.25,          0.25,       //
                                       0.0125 / 5.05, 5.0125 / 5.05, 0.0125 / 5.05, 0.0125 / 5.05};
    const std::string tabs = ">3\n10\t0\t0\t30\n1\t1\t1\t1\n0\t5\t0\t0\n";
    struct Case {
        const char* what;
        int K;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"tabs", 2, tabs},
        {"blanks, mixed separators, CR LF, no final line end", 2,
         "motifs\n>3 first\r\n10 0 0 30\r\n 1\t1  1 1\t\n0.0 5e0 0 0"},
        {"a block beyond the K-th", 1, tabs + ">1\n1\t2\t3\t4\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(Fasta({Letters(300)}));
        BuildState(f, std::vector<int>(c.K, 11), 200, 0, {1}, {});
        f->pwmFile = f.scratch.Write("pwm.txt", c.text).c_str();
        f->LoadInputPWM();
        MotifMatrices theta = NewMatrices(*f);
        for (int k = 0; k < c.K; ++k) {
            for (int e = 0; e < 44; ++e) theta[k][e] = 0.125;
        }
        f->ReadInputPWM(theta);
        ASSERT_EQ(f->widths[0], 3);
        for (int e = 0; e < 12; ++e) {
            EXPECT_DOUBLE_EQ(theta[0][e], block[e]) << "entry " << e;
            EXPECT_EQ(f->countMat[0][e], 0) << "entry " << e;
        }
        for (int k = 1; k < c.K; ++k) {
            EXPECT_EQ(f->widths[k], 11);
            for (int e = 0; e < 44; ++e)
                EXPECT_EQ(theta[k][e], 0.125) << "motif " << k << " entry " << e;
        }
    }
}

// The file's matrices replace the computed ones in the first iteration only;
// the sites drawn then have the file's width.
TEST(MotifMatrixFile, AppliedInTheFirstIteration) {
    SamplerFixture f("");
    f->seqFile = DataPath("crp0.fa").c_str();
    f->motifCount = 2;
    f->maxIter = 2;
    f->burnIn = 1;
    f->seed = 5;
    f->readPWM = 1;
    std::string rows;
    for (int j = 0; j < 6; ++j) rows += j % 2 ? "0 0 1 3\n" : "2 2 0 0\n";
    f->pwmFile = f.scratch.Write("pwm.txt", ">6\n" + rows).c_str();
    RunWork work;
    f->SetUpRun(work);
    const int otherWidth = f->widths[1];
    f->RunIteration(1, work);
    ASSERT_EQ(f->widths[0], 6);
    EXPECT_EQ(f->widths[1], otherWidth);
    for (int j = 0; j < 6; ++j) {
        const std::vector<double> v =
            j % 2 ? std::vector<double>{0, 0, 1, 3} : std::vector<double>{2, 2, 0, 0};
        for (int b = 0; b < 4; ++b) {
            EXPECT_DOUBLE_EQ(work.motifProb[0][4 * j + b], (v[b] + 0.01) / 4.04) << j << " " << b;
        }
    }
    int sites = 0;
    for (int s = 0; s < f->seqCount; ++s) {
        for (const SITEINFO* node = f->curSites[0][s]->next; node; node = node->next, ++sites) {
            EXPECT_EQ(node->site.GetLength(), 6);
        }
    }
    EXPECT_EQ(f->siteTotals[0], sites);
    // the second iteration computes the matrix from the first one's sample
    const std::vector<int> counts(f->countMat[0], f->countMat[0] + 24);
    f->RunIteration(2, work);
    EXPECT_EQ(f->widths[0], 6);
    for (int j = 0; j < 6; ++j) {
        const int total = counts[4 * j] + counts[4 * j + 1] + counts[4 * j + 2] + counts[4 * j + 3];
        for (int b = 0; b < 4; ++b) {
            EXPECT_DOUBLE_EQ(work.motifProb[0][4 * j + b], (counts[4 * j + b] + 1.0) / (total + 4))
                << j << " " << b;
        }
    }
}

namespace {

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace

// A motif matrix file that cannot be used ends the run before it writes
// anything: one line naming the file (and the line at fault) on standard
// output, exit status 1, no results file.
TEST(MotifMatrixFile, ErrorsThroughTheBinary) {
    struct Case {
        const char* what;
        std::string text;  // file contents; the file is missing when empty and `missing`
        int line;          // the line named in the message, 0 for none
        std::vector<std::string> extra;
        bool missing = false;
    };
    std::string wide = ">50\n";
    for (int j = 0; j < 50; ++j) wide += "1 1 1 1\n";
    const std::vector<Case> cases = {
        {"no such file", "", 0, {}, true},
        {"empty file", "", 0, {}},
        {"no block", "1\t1\t1\t1\n", 0, {}},
        {"width 0", ">0\n", 1, {}},
        {"width not a number", "\n>x\n1 1 1 1\n", 2, {}},
        {"width 50", wide, 1, {}},
        {"three numbers", "# motifs\n>2\n1 2 3\n1 1 1 1\n", 3, {}},
        {"five numbers", ">2\n1 2 3 4 5\n1 1 1 1\n", 2, {}},
        {"negative number", ">2\n1 1 1 1\n1 -1 1 1\n", 3, {}},
        {"infinite number", ">1\n1 1 inf 1\n", 2, {}},
        {"not a number", ">1\n1 nan 1 1\n", 2, {}},
        {"commas", ">1\n1,1,1,1\n", 2, {}},
        {"letters after a number", ">1\n1 1 1 1x\n", 2, {}},
        {"blank row", ">1\n\n1 1 1 1\n", 2, {}},
        {"row summing to 0", ">2\n1 1 1 1\n0\t0\t0\t0\n", 3, {}},
        {"block cut short by the end of the file", ">3\n1 1 1 1\n", 2, {}},
        {"second of two blocks", ">1\n1 1 1 1\n>0\n", 3, {"-K", "2"}},
    };
    ScratchDir files;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir cwd;
        const std::string path =
            c.missing ? files.File("missing.txt") : files.Write("pwm.txt", c.text);
        std::vector<std::string> args = {"-i", DataPath("crp0.fa"), "-n", "5", "-S", "1", "-M",
                                         path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 1);
        const std::string prefix = "Motif matrix file error: " + path +
                                   (c.line > 0 ? ", line " + std::to_string(c.line) + ": " : ": ");
        EXPECT_EQ(run.out.rfind(prefix, 0), 0u) << run.out;
        EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line: " << run.out;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(Entries(cwd.path()).empty()) << "files written";
    }
}

TEST(MotifMatrixFile, UsableFilesThroughTheBinary) {
    std::string widest = ">49\n";
    for (int j = 0; j < 49; ++j) widest += "1\t2\t3\t4\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> extra;
        bool warning;
    };
    const std::vector<Case> cases = {
        {"one block for three motifs",
         ">12\n" +
             [] {
                 std::string rows;
                 for (int j = 0; j < 12; ++j) rows += "5 1 1 " + std::to_string(j) + "\n";
                 return rows;
             }(),
         {},
         false},
        {"width 49", widest, {"-K", "1"}, false},
        {"two blocks for one motif", ">1\n1 1 1 1\n>2\n1 1 1 1\n1 1 1 1\n", {"-K", "1"}, true},
    };
    ScratchDir files;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir cwd;
        const std::string path = files.Write("pwm.txt", c.text);
        std::vector<std::string> args = {"-i", DataPath("crp0.fa"), "-n", "50", "-S", "2", "-M",
                                         path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto run = RunTool(args, cwd.path());
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("\nInput 18 sequences.\nFinish runing iteration 50.\n"),
                  std::string::npos)
            << run.out;
        if (c.warning) {
            EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("ignored"), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        } else {
            EXPECT_EQ(run.err, "");
        }
    }
}
