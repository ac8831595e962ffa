// The log posterior model odds (-B): the proposal's shrunk counts, the
// proposal draw and its weight, the likelihood of a sequence under a drawn
// set, and the importance-sampling estimate put together from them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/StochasticDistribution.h"
#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::SamplerFixture;

namespace {

// Replaces motif k's width and count matrix.
void SetMotif(CGibbsDP& g, int k, int w, const std::vector<int>& counts) {
    g.widths[k] = w;
    delete[] g.countMat[k];
    g.countMat[k] = new int[4 * w];
    std::copy(counts.begin(), counts.end(), g.countMat[k]);
}

std::vector<int> Counts(const CGibbsDP& g, int k) {
    return std::vector<int>(g.countMat[k], g.countMat[k] + 4 * g.widths[k]);
}

double LogSumOfTwo(double a, double b) {
    return std::log(std::exp(a) + std::exp(b));
}

// ln of the sum of exp(v[i]), terms more than 300 below the largest left out.
double LogSumExp(const std::vector<double>& v) {
    const double m = *std::max_element(v.begin(), v.end());
    double sum = 0.0;
    for (const double x : v) sum += x - m >= -300 ? std::exp(x - m) : 0.0;
    return m + std::log(sum);
}

// Likelihood tables of a run: per sequence, n x (2K + 1) doubles with the
// background slots filled.
struct Tables {
    std::vector<std::vector<double>> store;
    std::vector<double*> rows;
    std::vector<int> lengths;

    explicit Tables(CGibbsDP& g) : store(g.seqCount), rows(g.seqCount), lengths(g.seqCount) {
        for (int s = 0; s < g.seqCount; ++s) {
            lengths[s] = g.seqs[s].GetLength();
            store[s].assign(static_cast<std::size_t>(lengths[s]) * (2 * g.motifCount + 1), 0.0);
            rows[s] = store[s].data();
        }
        g.CalLogBgPrPos(rows.data(), lengths.data());
    }
    std::vector<double> BackgroundSlots(int K) const {
        std::vector<double> slots;
        for (const auto& block : store) {
            for (std::size_t j = 2 * K; j < block.size(); j += 2 * K + 1) slots.push_back(block[j]);
        }
        return slots;
    }
};

MotifMatrices NewMatrices(const CGibbsDP& g) {
    MotifMatrices m(g.motifCount);
    for (int k = 0; k < g.motifCount; ++k) m.Resize(k, g.widths[k]);
    return m;
}

}  // namespace

// Each column rescaled to 0.3 times the motif's site count (over the column's
// own sum plus 0.001) plus one; the background count inside modules, L times
// the modules less the motif letters, may be negative; the mixture counts,
// the positions outside modules and the modules scaled by 0.3 plus one.
TEST(ModelOdds, ShrinkCountOnHandMadeCounts) {
    struct Case {
        const char* what;
        int independent;
        std::vector<int> widths;
        std::vector<std::vector<int>> counts;
        std::vector<int> siteTotals;
        int moduleCount, L, totalLength;
        std::vector<std::vector<int>> shrunk;
        std::vector<int> shrunkTotals;
        int shrunkModules, shrunkLength;
    };
    const std::vector<Case> cases = {
        // motif 0's second column holds 12 letters of its 17 sites (the rest N)
        {"modules",
         0,
         {2, 3},
         {{10, 5, 2, 0, 0, 0, 12, 0}, {11, 10, 10, 0, 31, 0, 0, 0, 5, 10, 16, 0}},
         {17, 31, 999},
         7,
         50,
         1001,
         {{3, 2, 1, 1, 1, 1, 6, 1}, {4, 3, 3, 1, 10, 1, 1, 1, 2, 3, 5, 1}},
         {6, 10, 67},  // background 350 - 34 - 93 = 223
         3,
         196},
        // no module recorded: the background count is -200 and becomes -59
        {"independent motifs",
         1,
         {10},
         {std::vector<int>(40, 0)},
         {20, 0},
         0,
         0,
         2000,
         {std::vector<int>(40, 1)},
         {7, -59},
         1,
         601},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(">a\nACGTACGTACGTACGTACGT\n");
        const int K = static_cast<int>(c.widths.size());
        f->motifCount = K;
        f->independent = c.independent;
        f.Setup();
        std::vector<std::vector<int>> counts = c.counts;
        if (c.independent) {
            for (int j = 0; j < 10; ++j) counts[0][4 * j + j % 4] = 20;  // one base per column
        }
        for (int k = 0; k < K; ++k) SetMotif(*f, k, c.widths[k], counts[k]);
        std::copy(c.siteTotals.begin(), c.siteTotals.end(), f->siteTotals);
        f->moduleCount = c.moduleCount;
        if (!c.independent) f->moduleLength = c.L;
        f->totalLength = c.totalLength;

        f->ShrinkCount(0.3);

        for (int k = 0; k < K; ++k) {
            std::vector<int> expected = c.shrunk[k];
            if (c.independent) {
                for (int j = 0; j < 10; ++j) expected[4 * j + j % 4] = 6;  // 20 / 20.001 x 6
            }
            EXPECT_EQ(Counts(*f, k), expected) << "motif " << k;
        }
        EXPECT_EQ(std::vector<int>(f->siteTotals, f->siteTotals + K + 1), c.shrunkTotals);
        EXPECT_EQ(f->moduleCount, c.shrunkModules);
        EXPECT_EQ(f->totalLength, c.shrunkLength);
    }
}

// One draw: x from Beta(modules, outside positions), the mixture weights from
// Dirichlet(site counts), then each motif column from Dirichlet(its counts),
// in that order from the one generator; ln q weighs each value with its shape
// as exponent (1e-200 added inside every log). A shape at or below 0 gives a
// share of 0 and a finite weight.
TEST(ModelOdds, ProposeParameterDrawsInOrder) {
    struct Case {
        const char* what;
        std::vector<int> totals;  // K + 1
    };
    const std::vector<Case> cases = {{"positive shapes", {2, 3, 4}},
                                     {"negative background", {2, 3, -59}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(">a\nACGTACGTACGTACGTACGT\n");
        f->motifCount = 2;
        f.Setup();
        SetMotif(*f, 0, 2, {1, 2, 1, 1, 3, 1, 1, 2});
        SetMotif(*f, 1, 1, {2, 1, 1, 1});
        std::copy(c.totals.begin(), c.totals.end(), f->siteTotals);
        f->moduleCount = 3;
        f->totalLength = 5;

        std::srand(31);
        CStochasticDistribution variates;
        const double x = variates.Beta(3, 5);
        double lq = 3 * std::log(x + 1e-200) + 5 * std::log(1 - x + 1e-200);
        std::vector<double> pi(3);
        variates.Dirichlet(c.totals.data(), 3, pi.data());
        for (int k = 0; k < 3; ++k) lq += c.totals[k] * std::log(pi[k] + 1e-200);
        std::vector<std::vector<double>> theta = {std::vector<double>(8), std::vector<double>(4)};
        for (int k = 0; k < 2; ++k) {
            for (int j = 0; j < f->widths[k]; ++j) {
                const int* shapes = f->countMat[k] + 4 * j;
                variates.Dirichlet(shapes, 4, theta[k].data() + 4 * j);
                for (int b = 0; b < 4; ++b)
                    lq += shapes[b] * std::log(theta[k][4 * j + b] + 1e-200);
            }
        }
        const int next = std::rand();

        std::srand(31);
        double gotX = -1.0;
        std::vector<double> gotPi(3, -1.0);
        MotifMatrices matrices = NewMatrices(*f);
        const double gotLq = f->ProposeParameter(&gotX, gotPi.data(), matrices.data());
        EXPECT_EQ(std::rand(), next) << "random numbers taken";
        EXPECT_DOUBLE_EQ(gotX, x);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(gotPi[k], pi[k]) << "weight " << k;
        for (int k = 0; k < 2; ++k) {
            for (int e = 0; e < 4 * f->widths[k]; ++e)
                EXPECT_DOUBLE_EQ(matrices[k][e], theta[k][e]);
        }
        EXPECT_DOUBLE_EQ(gotLq, lq);
        EXPECT_TRUE(std::isfinite(gotLq));
        if (c.totals[2] <= 0) {
            EXPECT_EQ(gotPi[2], 0.0);
        }
    }
}

// The module forward recursion under a drawn set, worked by hand for five
// letters, one motif of width 2 on both strands: a = 3 (modules shorter than
// the sequence) and a = n. A weight of exactly 0 counts as 1e-200.
TEST(ModelOdds, SequenceLikelihoodByHand) {
    // rows: forward, reverse, background
    const std::vector<double> table = {-2000, -2000, -1.2, -1.5, -2.5, -1.4, -3.0, -0.8,
                                       -1.3,  -2.2,  -1.9, -1.1, -0.7, -3.3, -1.6};
    const double x = 0.2;
    struct Case {
        int L;
        double pi0, pi1;
    };
    const std::vector<Case> cases = {{3, 0.3, 0.7}, {10, 0.3, 0.7}, {3, 0.0, 1.0}, {3, 1.0, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("L " + std::to_string(c.L) + ", weights " + std::to_string(c.pi0) + " " +
                     std::to_string(c.pi1));
        SamplerFixture f(">empty\n>a\nACGTA\n");
        f->motifCount = 1;
        f->moduleLength = c.L;
        f.Setup();
        f->widths[0] = 2;

        const double lp0 = c.pi0 > 0 ? std::log(c.pi0) : std::log(1e-200);
        const double lpK = c.pi1 > 0 ? std::log(c.pi1) : std::log(1e-200);
        auto m = [&](int j, int slot) { return table[3 * j + slot]; };
        auto site = [&](int t) { return LogSumOfTwo(m(t, 0), m(t, 1)) + lp0 + std::log(0.5); };
        const double G0 = m(0, 2) + lpK;
        const double G1 = LogSumOfTwo(G0 + m(1, 2) + lpK, site(1));
        const double G2 = LogSumOfTwo(G1 + m(2, 2) + lpK, site(2) + G0);
        const double G3 = LogSumOfTwo(G2 + m(3, 2) + lpK, site(3) + G1);
        const double G4 = LogSumOfTwo(G3 + m(4, 2) + lpK, site(4) + G2);
        const double out = std::log(1 - x);
        const double in = std::log(x);
        double expected;
        if (c.L == 3) {
            const double F0 = m(0, 2);
            const double F1 = F0 + m(1, 2);
            const double F2 = LogSumOfTwo(F1 + out + m(2, 2), in + G2);
            const double F3 = LogSumOfTwo(F2 + out + m(3, 2), F0 + in + G3 - G0);
            expected = LogSumOfTwo(F3 + out + m(4, 2), F1 + in + G4 - G1);
        } else {
            const double F3 = m(0, 2) + m(1, 2) + m(2, 2) + m(3, 2);
            expected = LogSumOfTwo(F3 + out + m(4, 2), in + G4);
        }
        std::vector<double> pi = {c.pi0, c.pi1};
        std::vector<double> rows = table;
        const double got = f->ProbSeqGParam(1, x, pi.data(), rows.data());
        EXPECT_NEAR(got, expected, 1e-9);
        EXPECT_EQ(f->ProbSeqGParam(0, x, pi.data(), nullptr), 0.0) << "empty sequence";
    }
}

// Without letters the data are as likely under every draw as under the
// background, so the estimate is exactly the -K ln 3 term.
TEST(ModelOdds, EmptySequencesLeaveOnlyMinusKLn3) {
    for (const int K : {1, 2, 3}) {
        SCOPED_TRACE("K = " + std::to_string(K));
        SamplerFixture f(testsupport::ReadFile(DataPath("only_empty.fa")));
        f->motifCount = K;
        f.Setup();
        Tables tables(*f);
        MotifMatrices matrices = NewMatrices(*f);
        std::vector<double> pi(K + 1);
        double x = 0.0;
        std::srand(5);
        const double odds =
            f->ISforBF(&x, pi.data(), matrices, tables.lengths.data(), tables.rows.data());
        EXPECT_DOUBLE_EQ(odds, -K * std::log(3.0));
        EXPECT_EQ(f->logOdds, odds);
    }
}

// The estimate assembled from its parts: the null model, the shrunk counts,
// 100 draws each followed by a refill of the motif slots and the sequences'
// likelihoods, the two log-sums and -K ln 3. The tables' background slots are
// the run's and stay as they were; with -s (a negative background count) the
// estimate is still finite.
TEST(ModelOdds, EstimateFromItsParts) {
    const std::string fasta =
        ">a\nTTGACATCGATGCATGCAAGTCGATTTGACATCGATCCGATGCAGTACGATC\n>empty\n"
        ">b\nGCGTACGCAATTGACATCGATTTACGATCAGCTAGCATCGACTGACTAGCTAGCATGCAAT\n"
        ">c\nCATGCATTTGACATCGATGGGCGTACGCAATACGT\n";
    for (const int independent : {0, 1}) {
        SCOPED_TRACE(independent ? "independent motifs" : "modules");
        SamplerFixture made(fasta), parts(fasta);
        for (SamplerFixture* f : {&made, &parts}) {
            (*f)->motifCount = 2;
            (*f)->moduleLength = 40;
            (*f)->independent = independent;
            f->Setup(3);
            for (int k = 0; k < 2; ++k) {
                std::vector<int> counts(4 * (*f)->widths[k]);
                for (std::size_t e = 0; e < counts.size(); ++e)
                    counts[e] = static_cast<int>((e * 5 + k) % 7);
                SetMotif(**f, k, (*f)->widths[k], counts);
            }
            // with modules: 3 x 40 module letters, at most 70 of them in sites
            (*f)->siteTotals[0] = 3;
            (*f)->siteTotals[1] = 2;
            (*f)->moduleCount = independent ? 0 : 3;
        }
        const int K = 2;

        Tables madeTables(*made);
        const std::vector<double> background = madeTables.BackgroundSlots(K);
        MotifMatrices madeMatrices = NewMatrices(*made);
        std::vector<double> madePi(K + 1);
        double madeX = 0.0;
        std::srand(17);
        const double odds = made->ISforBF(&madeX, madePi.data(), madeMatrices,
                                          madeTables.lengths.data(), madeTables.rows.data());
        const int nextAfterMade = std::rand();

        Tables partTables(*parts);
        MotifMatrices partMatrices = NewMatrices(*parts);
        std::vector<double> partPi(K + 1);
        double partX = 0.0;
        std::srand(17);
        double nullModel = 0.0;
        for (int s = 0; s < parts->seqCount; ++s) nullModel += parts->CalLogBgPr(parts->seqs[s]);
        parts->ShrinkCount(0.3);
        std::vector<double> a(100), b(100);
        for (int i = 0; i < 100; ++i) {
            const double lq = parts->ProposeParameter(&partX, partPi.data(), partMatrices.data());
            parts->CalLogPrPos(partTables.rows.data(), partTables.lengths.data(),
                               partMatrices.data());
            double ll = 0.0;
            for (int s = 0; s < parts->seqCount; ++s) {
                ll += parts->ProbSeqGParam(s, partX, partPi.data(), partTables.rows[s]);
            }
            a[i] = -lq;
            b[i] = ll - lq;
        }
        const double expected = LogSumExp(b) - LogSumExp(a) - nullModel - K * std::log(3.0);

        EXPECT_TRUE(std::isfinite(odds));
        EXPECT_NEAR(odds, expected, 1e-9 * std::max(1.0, std::fabs(expected)));
        EXPECT_EQ(made->logOdds, odds);
        EXPECT_EQ(nextAfterMade, std::rand()) << "random numbers taken";
        EXPECT_EQ(madeTables.BackgroundSlots(K), background);
        EXPECT_EQ(madeX, partX) << "the holders keep the last draw";
        EXPECT_EQ(madePi, partPi);
        if (independent) {
            EXPECT_EQ(partPi[K], 0.0) << "background weight under -s";
        }
    }
}
