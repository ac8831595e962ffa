// The run's answer from the tallies: module count (InferModule), final widths
// and final sites (FindOptimum).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::SamplerFixture;
using testsupport::SetRecorded;
using testsupport::Site;
using testsupport::Sites;

namespace {

std::string Letters(int n, int shift) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[(i * 5 + i / 4 + shift) % 4];
    return s;
}

}  // namespace

TEST(FinalSites, InferModuleCountsPositionsAboveHalfTheRecordedIterations) {
    struct Case {
        const char* what;
        int recorded;
        int inFirst;   // positions of sequence 0 at the tested tally
        int inSecond;  // positions of sequence 1 at the tested tally
        int tally;     // every other position holds tally - 1
        int positions;
        int modules;
    };
    const std::vector<Case> cases = {
        {"L positions at H + 1", 600, 40, 0, 301, 40, 1},
        {"L positions at H", 600, 40, 0, 300, 0, 0},
        {"one position short of L", 600, 39, 0, 301, 39, 0},
        {"positions of every sequence count", 600, 50, 30, 301, 80, 2},
        {"odd R: H is R / 2 rounded down", 3, 40, 0, 2, 40, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture g(">a\n" + Letters(100, 0) + "\n>b\n" + Letters(30, 1) + "\n>empty\n");
        g->moduleLength = 40;
        g.Setup();
        SetRecorded(*g, c.recorded);
        RunWork work;
        g->SetUpTallies(work);
        std::vector<int> lengths = {100, 30, 0};
        for (int p = 0; p < 100; ++p)
            work.moduleTally[0][p] = p >= 10 && p < 10 + c.inFirst ? c.tally : c.tally - 1;
        for (int p = 0; p < 30; ++p)
            work.moduleTally[1][p] = p < c.inSecond ? c.tally : c.tally - 1;

        g->InferModule(work.moduleTally.data(), lengths.data());

        EXPECT_EQ(g->modulePositions, c.positions);
        EXPECT_EQ(g->moduleCount, c.modules);
    }
}

TEST(FinalSites, FinalWidthIsTheRoundedMeanOverRPlusOne) {
    struct Case {
        const char* what;
        int recorded;
        std::vector<std::pair<int, int>> widthCounts;  // width, recorded iterations
        int expected;
    };
    const std::vector<Case> cases = {
        {"the default run keeps width 14", 600, {{14, 600}}, 14},
        {"-n 10 (R = 3, D = 4) turns 14 into 11", 3, {{14, 3}}, 11},
        {"two widths", 600, {{10, 300}, {12, 300}}, 11},
        {"a matrix-file width outside 10..14 is kept", 600, {{45, 600}}, 45},
        {"no recorded iteration keeps the current width", 0, {}, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture g(">a\n" + Letters(60, 0) + "\n");
        g->motifCount = 1;
        g.Setup();
        SetRecorded(*g, c.recorded);
        g->widths[0] = 13;
        delete[] g->countMat[0];
        g->countMat[0] = new int[4 * 13]();
        RunWork work;
        g->SetUpTallies(work);
        for (const auto& [w, n] : c.widthCounts) work.widthTally[w] = n;

        g->FindOptimum(work.siteTally.data(), work.widthTally.data(), c.recorded + 1);

        EXPECT_EQ(g->widths[0], c.expected);
        // the count matrix is sized for the final width (checked by the sanitizer build)
        EXPECT_EQ(g->CalWeightMat(g->bestSites[0], g->countMat[0], g->widths[0]), 0);
    }
}

TEST(FinalSites, SitesReachingTheThresholdBecomeTheFinalLists) {
    // Motif 0 of width 10 on a 30-letter sequence (starts 0..20) and an
    // 8-letter sequence too short for a site; R = 600, D = 601.
    struct Cell {
        int pos;
        int d;  // counter: 0 forward, 1 reverse
        int count;
    };
    struct Case {
        const char* what;
        double threshold;
        std::vector<Cell> cells;
        std::vector<std::tuple<int, int, int>> expected;  // pos, strand (1 forward), tally
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::tuple<int, int, int>> everyStart;
    for (int p = 20; p >= 0; --p) everyStart.emplace_back(p, 1, p == 9 ? 300 : 0);
    // clang-format off
    const std::vector<Case> cases = {
        {"default: t = int(601 x 0.5) = 300, forward wins, decreasing starts", 0.5,
         {{3, 0, 300}, {5, 0, 299}, {5, 1, 299}, {7, 1, 300}, {9, 0, 300}, {9, 1, 400},
          {20, 0, 301}, {21, 0, 500}},
         {{20, 1, 301}, {9, 1, 300}, {7, 0, 300}, {3, 1, 300}}},
        {"-c 1: t = D = R + 1, reachable by pooled counts", 1.0,
         {{4, 0, 601}, {6, 1, 601}, {8, 0, 600}}, {{6, 0, 601}, {4, 1, 601}}},
        {"-c 0: every start is a forward site", 0.0, {{9, 0, 300}, {2, 1, 50}}, everyStart},
        {"a threshold beyond the int range selects nothing", 1e300, {{4, 0, 601}}, {}},
        {"a threshold that is not a number selects nothing", nan, {{4, 0, 601}}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture g(">a\n" + Letters(30, 0) + "\n>short\n" + Letters(8, 2) + "\n");
        g->motifCount = 1;
        g->threshold = c.threshold;
        g.Setup();
        SetRecorded(*g, 600);
        RunWork work;
        g->SetUpTallies(work);
        work.widthTally[10] = 600;
        for (const Cell& cell : c.cells) work.siteTally[0][2 * cell.pos + cell.d] = cell.count;
        work.siteTally[1][0] = 600;
        SITEINFO* old = new SITEINFO();
        old->pos = 15;
        g->AddSite(g->bestSites[0][0], old);

        g->FindOptimum(work.siteTally.data(), work.widthTally.data(), 601);

        ASSERT_EQ(g->widths[0], 10);
        std::vector<Site> expected;
        for (const auto& [pos, strand, tally] : c.expected) {
            const CString word = g->seqs[0].Mid(pos, 10);
            expected.emplace_back((strand == 1 ? word : Reverse(word)).CStr(), pos, strand, tally);
        }
        EXPECT_EQ(Sites(g->bestSites[0][0]), expected);
        EXPECT_TRUE(Sites(g->bestSites[0][1]).empty());
    }
}

// A threshold far below zero acts like any negative one: every start whose
// window fits becomes a forward site.
TEST(FinalSites, ThresholdBelowTheIntRangeSelectsEveryStart) {
    SamplerFixture g(">a\n" + Letters(30, 0) + "\n");
    g->motifCount = 1;
    g->threshold = -1e300;
    g.Setup();
    SetRecorded(*g, 600);
    RunWork work;
    g->SetUpTallies(work);
    work.widthTally[10] = 600;
    work.siteTally[0][8] = 601;

    g->FindOptimum(work.siteTally.data(), work.widthTally.data(), 601);

    const auto sites = Sites(g->bestSites[0][0]);
    ASSERT_EQ(sites.size(), 30u - 10u + 1u);
    for (const auto& site : sites) EXPECT_EQ(std::get<2>(site), 1);
}

TEST(FinalSites, NoRecordedIterationGivesNoSite) {
    SamplerFixture g(">a\n" + Letters(30, 0) + "\n>b\n" + Letters(25, 3) + "\n");
    g->threshold = 0.0;  // t = 0 would otherwise select every start
    g.Setup();
    SetRecorded(*g, 0);
    const std::vector<int> before(g->widths, g->widths + 3);
    RunWork work;
    g->SetUpTallies(work);

    g->FindOptimum(work.siteTally.data(), work.widthTally.data(), 1);

    EXPECT_EQ(std::vector<int>(g->widths, g->widths + 3), before);
    for (int k = 0; k < 3; ++k) {
        for (int s = 0; s < 2; ++s) EXPECT_TRUE(Sites(g->bestSites[k][s]).empty()) << k << " " << s;
    }
}
