// The collapsed log posterior of a sample, its module coverage and the count
// matrices of site lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::ReadFile;
using testsupport::SamplerFixture;

namespace {

std::string Letters(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[(i * 5 + i / 7) % 4];
    return s;
}

SITEINFO* NewSite(const char* word) {
    SITEINFO* node = new SITEINFO();
    node->site = word;
    return node;
}

// The score with every pseudo-count 1, written with the real log-gamma
// function: M modules covering C positions of N, n[k] sites of motif k.
double ReferenceScore(long long N, int M, long long C, const std::vector<int>& n,
                      const std::vector<std::vector<int>>& counts, const std::vector<int>& w,
                      double bgSum) {
    const auto lnGamma = [](double x) { return std::lgamma(x); };
    const int K = static_cast<int>(n.size());
    double t = lnGamma(M + 1.0) + lnGamma(N - C + 1.0) - lnGamma(N - (C - M) + 2.0);
    long long sites = 0;
    for (const int v : n) sites += v;
    t += lnGamma(C - sites + 1.0);
    for (const int v : n) t += lnGamma(v + 1.0);
    t -= lnGamma(C + K + 1.0);
    for (int k = 0; k < K; ++k) {
        for (const int c : counts[k]) t += lnGamma(c + 1.0);
        t -= w[k] * lnGamma(n[k] + 4.0);
    }
    t -= bgSum;
    for (const int width : w) t += width * std::log(15.0) - lnGamma(width + 1.0);
    return t;
}

// The current sample's score from its own lists, with the real log-gamma.
double ReferenceScoreOf(CGibbsDP& g, long long coverage) {
    std::vector<int> n;
    std::vector<std::vector<int>> counts;
    std::vector<int> w;
    double bgSum = 0.0;
    int M = 0;
    for (int s = 0; s < g.seqCount; ++s) M += g.modules[s].moduleNum;
    for (int k = 0; k < g.motifCount; ++k) {
        w.push_back(g.widths[k]);
        counts.emplace_back(4 * g.widths[k], 0);
        int sites = 0;
        for (int s = 0; s < g.seqCount; ++s) {
            for (const SITEINFO* node = g.curSites[k][s]->next; node; node = node->next) {
                ++sites;
                for (int j = 0; j < g.widths[k]; ++j) {
                    const std::string acgt = "ACGT";
                    const auto b = acgt.find(node->site[j]);
                    if (b != std::string::npos) ++counts[k][4 * j + b];
                }
                bgSum += g.CalLogBgPr(node->site);
            }
        }
        n.push_back(sites);
    }
    double ratios = 0.0;
    for (int s = 0; s < g.seqCount; ++s) ratios += g.modules[s].logRatio;
    return ReferenceScore(g.totalLength, M, coverage, n, counts, w, bgSum) + ratios;
}

void ExpectClose(double actual, double expected, const std::string& what) {
    EXPECT_NEAR(actual, expected, 1e-9 * std::max(1.0, std::fabs(expected))) << what;
}

}  // namespace

TEST(PosteriorScore, OneSiteInOneModule) {
    SamplerFixture f(">a\n" + Letters(100) + "\n");
    f->motifCount = 1;
    f->moduleLength = 20;
    f.Setup();
    const int n[1] = {1};
    int counts[8] = {1, 0, 0, 0, 0, 1, 0, 0};  // the site AC
    int* c[1] = {counts};
    const int w[1] = {2};
    const double expected = -std::log(82.0 * 81.0) - std::log(21.0 * 20.0) - 2 * std::log(24.0) +
                            3.0 + 2 * std::log(15.0) - std::log(2.0);
    ExpectClose(f->CalBayesianScore(1, 20, n, c, w, -3.0), expected, "one module, one site");
}

TEST(PosteriorScore, NoModuleAndNoSite) {
    struct Case {
        int N;
        std::vector<int> widths;
    };
    const std::vector<Case> cases = {{100, {2}}, {250, {10, 12, 14}}, {37, {5, 40}}};
    for (const auto& c : cases) {
        const int K = static_cast<int>(c.widths.size());
        SamplerFixture f(">a\n" + Letters(c.N) + "\n");
        f->motifCount = K;
        f.Setup();
        std::vector<int> n(K, 0);
        std::vector<std::vector<int>> store;
        std::vector<int*> counts;
        for (const int w : c.widths) store.emplace_back(4 * w, 0);
        for (auto& m : store) counts.push_back(m.data());
        double expected = -std::log(c.N + 1.0) - std::lgamma(K + 1.0);
        for (const int w : c.widths) {
            expected += w * std::log(15.0) - w * std::log(6.0) - std::lgamma(w + 1.0);
        }
        ExpectClose(f->CalBayesianScore(0, 0, n.data(), counts.data(), c.widths.data(), 0.0),
                    expected, "N " + std::to_string(c.N) + ", K " + std::to_string(K));
    }
}

// A module covers min(L, n_s) positions: the score counts the coverage C, not
// M x L, which would exceed the total length when sequences are shorter than L.
TEST(PosteriorScore, ModuleCoverage) {
    const std::string crp = ReadFile(DataPath("crp0.fa"));
    struct Case {
        const char* what;
        std::string fasta;
        int K;
        int moduleLength;
        int independent;
        long long coverage;
    };
    const std::vector<Case> cases = {
        {"sequences longer than L: C = M x L", crp, 3, 50, 0, 18 * 50},
        {"sequences shorter than L", crp, 3, 200, 0, 18 * 105},
        {"one short and one long sequence", ">s\n" + Letters(50) + "\n>l\n" + Letters(300) + "\n",
         1, 200, 0, 50 + 200},
        {"independent motifs: L is the total length", crp, 3, 200, 1, 18 * 105},
        {"an empty sequence has no module", ReadFile(DataPath("mixed_lengths.fa")), 2, 200, 0,
         105 + 3 + 80 + 25 + 200},
    };
    for (const auto& c : cases) {
        SamplerFixture f(c.fasta);
        f->motifCount = c.K;
        f->moduleLength = c.moduleLength;
        f->independent = c.independent;
        f.Setup(5);
        f->RandPickSite();
        EXPECT_EQ(f->ModuleCoverage(), c.coverage) << c.what;
        const double score = f->CalLogPostPrSample();
        EXPECT_TRUE(std::isfinite(score)) << c.what;
        ExpectClose(score, ReferenceScoreOf(*f, c.coverage), c.what);
        EXPECT_EQ(f->bestLogPost, score) << c.what;
    }
}

TEST(PosteriorScore, ModuleLogRatiosAddToTheSampleScoreOnly) {
    SamplerFixture f(ReadFile(DataPath("crp0.fa")));
    f.Setup(3);
    f->RandPickSite();
    const double before = f->CalLogPostPrSample();
    const double bayesBefore = f->CalBayesianScore(f->CountModule(f->modules), f->ModuleCoverage(),
                                                   f->siteTotals, f->countMat, f->widths, -12.5);
    f->modules[4].logRatio += 2.75;
    ExpectClose(f->CalLogPostPrSample(), before + 2.75, "log ratio shift");
    EXPECT_EQ(f->CalBayesianScore(f->CountModule(f->modules), f->ModuleCoverage(), f->siteTotals,
                                  f->countMat, f->widths, -12.5),
              bayesBefore);
}

TEST(PosteriorScore, SampleScoreRebuildsTheCountMatrices) {
    SamplerFixture f(ReadFile(DataPath("crp0.fa")));
    f.Setup(9);
    f->RandPickSite();
    for (int k = 0; k < f->motifCount; ++k) {
        for (int i = 0; i < 4 * f->widths[k]; ++i) f->countMat[k][i] = -5;
        f->siteTotals[k] = -5;
    }
    f->CalLogPostPrSample();
    for (int k = 0; k < f->motifCount; ++k) {
        EXPECT_EQ(f->siteTotals[k], 18) << k;
        for (int j = 0; j < f->widths[k]; ++j) {
            int row = 0;
            for (int b = 0; b < 4; ++b) row += f->countMat[k][4 * j + b];
            EXPECT_EQ(row, 18) << "motif " << k << " row " << j;
        }
    }
}

TEST(PosteriorScore, CountMatrix) {
    SamplerFixture f(">a\nACGTACGT\n>b\nACGTACGT\n");
    f->motifCount = 1;
    f.Setup();
    SITEINFO** lists = f->curSites[0];

    int counts[20];
    std::fill(std::begin(counts), std::end(counts), 7);
    EXPECT_EQ(f->CalWeightMat(lists, counts, 4), 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(counts[i], 0) << "heads only, entry " << i;

    f->AddSite(lists[0], NewSite("ACgt"));
    f->AddSite(lists[0], NewSite("aNGT"));
    f->AddSite(lists[1], NewSite("TTTT"));
    std::fill(std::begin(counts), std::end(counts), 7);
    EXPECT_EQ(f->CalWeightMat(lists, counts, 4), 3);
    const std::vector<int> expected = {
        2, 0, 0, 1,  // A, a, T
        0, 1, 0, 1,  // C, N (counted nowhere), T
        0, 0, 2, 1,  // g, G, T
        0, 0, 0, 3,  // t, T, T
    };
    EXPECT_EQ(std::vector<int>(counts, counts + 16), expected);
    EXPECT_EQ(counts[16], 7) << "wrote past the w x 4 entries";

    std::fill(std::begin(counts), std::end(counts), 7);
    EXPECT_EQ(f->CalWeightMat(lists, counts, 2), 3);
    EXPECT_EQ(std::vector<int>(counts, counts + 8),
              std::vector<int>(expected.begin(), expected.begin() + 8));
    EXPECT_EQ(counts[8], 7);
}
