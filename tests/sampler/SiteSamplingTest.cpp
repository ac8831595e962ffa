// Site sampling inside a module window: the draw at a window's start, the
// window rules (no site in a window shorter than every motif, sites inside
// their window and apart, forward strand only with -r 0).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::Letters;
using testsupport::SamplerFixture;

namespace {

int ValueAfter(unsigned seed, int draws) {
    std::srand(seed);
    for (int d = 0; d < draws; ++d) std::rand();
    return std::rand();
}

std::vector<const SITEINFO*> SitesOf(const CGibbsDP& g, int k, int s) {
    std::vector<const SITEINFO*> sites;
    for (const SITEINFO* node = g.curSites[k][s]->next; node; node = node->next)
        sites.push_back(node);
    return sites;
}

// A sampler over one sequence with K = 1 of width 4 and a table made by
// hand: background 1/4 per letter, and at row `row` the motif values f and r
// (forward, reverse) and the stored strand sum.
struct HandCase {
    SamplerFixture f{">s\n" + Letters(10) + "\n"};
    std::vector<double> table;
    HandCase(int bothStrands, int row, double forward, double reverse, double strandSum) {
        f->motifCount = 1;
        f->minWidth = f->maxWidth = 4;
        f->bothStrands = bothStrands;
        f.Setup();
        table.assign(10 * 3, kLogImpossible);
        for (int i = 0; i < 10; ++i) table[i * 3 + 2] = std::log(0.25);
        table[row * 3] = forward;
        table[row * 3 + 1] = bothStrands ? reverse : kLogImpossible;
        double* sums = f->StrandSumBlock(0);
        sums[row] = strandSum;
    }
};

}  // namespace

// A window exactly one site long: the site would start at the window start,
// so its candidate has no prefix term. Background path (1/4)^4 x pi_bg, one
// background weight only (none for the first w_min - 1 letters).
TEST(SiteSampling, SiteAtTheWindowStart) {
    struct Case {
        const char* what;
        int bothStrands;
        double forward;  // candidate probabilities
        double reverse;
    };
    const double m = std::log(1.0 / 256);
    for (const Case c :
         {Case{"both strands", 1, 0.25, 0.25}, Case{"forward strand only", 0, 0.5, 0.0}}) {
        SCOPED_TRACE(c.what);
        HandCase h(c.bothStrands, 6, m, m, LogSum(m, m));
        std::vector<double> pi = {0.5, 0.5};
        int seen[3] = {0, 0, 0};
        for (unsigned seed = 1; seed <= 60; ++seed) {
            std::srand(seed);
            const double u = std::rand() / 2147483647.0;
            if (std::fabs(u - c.forward) < 1e-9 || std::fabs(u - c.forward - c.reverse) < 1e-9)
                continue;
            const int expected = u < c.forward ? 0 : u < c.forward + c.reverse ? 1 : 2;
            CGibbsDP::ClearList(h.f->curSites[0][0]);
            std::srand(seed);
            h.f->SampleSites(pi.data(), h.table.data(), 0, 6, 4);
            const int next = std::rand();
            EXPECT_EQ(next, ValueAfter(seed, 1)) << "one draw";
            const auto sites = SitesOf(*h.f, 0, 0);
            ++seen[expected];
            if (expected == 2) {
                EXPECT_TRUE(sites.empty()) << "seed " << seed;
                continue;
            }
            ASSERT_EQ(sites.size(), 1u) << "seed " << seed;
            EXPECT_EQ(sites[0]->pos, 3);
            EXPECT_EQ(sites[0]->strand, expected == 0 ? 1 : 0);
            const CString word = h.f->seqs[0].Mid(3, 4);
            EXPECT_TRUE(sites[0]->site == (expected == 0 ? word : Reverse(word)));
        }
        EXPECT_GT(seen[0], 0);
        EXPECT_GT(seen[2], 0);
        if (c.bothStrands) {
            EXPECT_GT(seen[1], 0);
        }
    }
}

// When the candidates' probabilities add up to more than 1 (here because
// the stored strand sum is below the strands' own sum) a site is always drawn.
TEST(SiteSampling, CandidatesAboveOneAlwaysGiveASite) {
    const double m = std::log(1.5 / 256);
    HandCase h(1, 6, m, m, kLogImpossible);
    std::vector<double> pi = {0.5, 0.5};
    int reverse = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        CGibbsDP::ClearList(h.f->curSites[0][0]);
        std::srand(seed);
        const double u = std::rand() / 2147483647.0;
        std::srand(seed);
        h.f->SampleSites(pi.data(), h.table.data(), 0, 6, 4);
        const auto sites = SitesOf(*h.f, 0, 0);
        ASSERT_EQ(sites.size(), 1u) << "seed " << seed;
        EXPECT_EQ(sites[0]->strand, u < 0.75 ? 1 : 0) << "seed " << seed;
        reverse += sites[0]->strand == 0;
    }
    EXPECT_GT(reverse, 0);
}

// Drawn over a real table, after the module pass of the same table: every
// site lies inside its window and off every N, the sites of a window never
// overlap, every list is ordered by position, the counts are left alone, and
// a window shorter than the smallest width gets no site and takes no draw.
TEST(SiteSampling, SitesStayInsideTheirWindowAndApart) {
    std::string seq = Letters(300);
    const std::string wordA = "TTGACAGC";    // motif 0, width 8
    const std::string wordB = "GCGATATCAA";  // motif 1, width 10
    const std::string rcA = "GCTGTCAA";
    const std::string rcB = "TTGATATCGC";
    const std::vector<std::pair<int, std::string>> planted = {
        {0, wordA},   {20, rcB},    {45, wordB}, {70, rcA},    {120, wordA},
        {131, rcA},   {150, wordB}, {175, "N"},  {178, wordA}, {200, rcB},
        {250, wordA}, {260, rcB},   {292, wordA}};
    for (const auto& p : planted) seq.replace(p.first, p.second.size(), p.second);
    for (const int bothStrands : {1, 0}) {
        SCOPED_TRACE(bothStrands ? "both strands" : "forward strand only");
        SamplerFixture f(">s\n" + seq + "\n");
        f->motifCount = 2;
        f->bothStrands = bothStrands;
        f->moduleLength = 60;
        f.Setup();
        f->widths[0] = 8;
        f->widths[1] = 10;
        std::vector<std::vector<double>> matrices;
        for (const std::string& w : {wordA, wordB}) {
            matrices.emplace_back();
            for (const char c : w) {
                for (int b = 0; b < 4; ++b) matrices.back().push_back("ACGT"[b] == c ? 0.85 : 0.05);
            }
        }
        std::vector<double*> theta = {matrices[0].data(), matrices[1].data()};
        std::vector<int> lengths = {300};
        std::vector<double> table(300 * 5);
        std::vector<double*> rows = {table.data()};
        f->CalLogBgPrPos(rows.data(), lengths.data());
        f->CalLogPrPos(rows.data(), lengths.data(), theta.data());
        std::vector<double> pi = {0.08, 0.08, 0.84};
        int move = -1;
        f->ApproxSampleCurSeq(0, 0.01, pi.data(), table.data(), &move);
        const std::vector<int> totals(f->siteTotals, f->siteTotals + 3);
        const std::vector<int> counts0(f->countMat[0], f->countMat[0] + 32);

        struct Window {
            int start;
            int n;
        };
        int sites = 0;
        int reverse = 0;
        int atStart = 0;
        for (const Window w : {Window{0, 60}, Window{240, 60}, Window{100, 7}, Window{121, 8},
                               Window{37, 150}, Window{171, 16}}) {
            for (unsigned seed = 1; seed <= 30; ++seed) {
                for (int k = 0; k < 2; ++k) CGibbsDP::ClearList(f->curSites[k][0]);
                std::srand(seed);
                f->SampleSites(pi.data(), table.data(), 0, w.start + w.n - 1, w.n);
                if (w.n < 8) {
                    const int next = std::rand();
                    EXPECT_EQ(next, ValueAfter(seed, 0)) << "a window shorter than every motif";
                }
                std::vector<std::pair<int, int>> spans;
                for (int k = 0; k < 2; ++k) {
                    const int width = f->widths[k];
                    int last = -1;
                    for (const SITEINFO* site : SitesOf(*f, k, 0)) {
                        EXPECT_GE(site->pos, w.start);
                        EXPECT_LE(site->pos + width, w.start + w.n);
                        EXPECT_GT(site->pos, last) << "list ordered by position";
                        last = site->pos;
                        const CString word = f->seqs[0].Mid(site->pos, width);
                        EXPECT_LT(word.Find("N"), 0) << "a site over N";
                        EXPECT_TRUE(site->site == (site->strand == 1 ? word : Reverse(word)));
                        EXPECT_TRUE(site->strand == 1 || (bothStrands && site->strand == 0));
                        spans.emplace_back(site->pos, site->pos + width);
                        ++sites;
                        reverse += site->strand == 0;
                        atStart += site->pos == w.start;
                    }
                }
                if (w.n < 8) {
                    EXPECT_TRUE(spans.empty());
                }
                std::sort(spans.begin(), spans.end());
                for (std::size_t j = 1; j < spans.size(); ++j) {
                    EXPECT_LE(spans[j - 1].second, spans[j].first) << "sites overlap";
                }
            }
        }
        EXPECT_GT(sites, 100);
        EXPECT_GT(atStart, 0);
        if (bothStrands) {
            EXPECT_GT(reverse, 0);
        }
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(f->siteTotals[k], totals[k]) << "site totals unchanged";
        for (int e = 0; e < 32; ++e) EXPECT_EQ(f->countMat[0][e], counts0[e]) << "counts unchanged";
    }
}
