// Module-length sampling (-d): the acceptance of a pending move, the shift and
// clamping of the module starts, the driver's choice of the move after the
// burn-in, and whole runs whose module windows must stay inside their
// sequences.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::Draws;
using testsupport::ReadFile;
using testsupport::SamplerFixture;

namespace {

constexpr double kRandMax = 2147483647.0;

std::string Letters(int n, int salt) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[(i * 7 + i / 5 + salt * 3 + (i * i) % 11) % 4];
    return s;
}

std::string FastaOfLengths(const std::vector<int>& lengths) {
    std::string text;
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        text += ">s" + std::to_string(s) + "\n" + Letters(lengths[s], static_cast<int>(s)) + "\n";
    }
    return text;
}

void SetStarts(CGibbsDP& g, int s, const std::vector<int>& starts) {
    MODULEINFO& mod = g.modules[s];
    delete[] mod.moduleStarts;
    mod.moduleNum = static_cast<int>(starts.size());
    mod.moduleStarts = starts.empty() ? nullptr : new int[starts.size()];
    std::copy(starts.begin(), starts.end(), mod.moduleStarts);
}

std::vector<std::vector<int>> Starts(const CGibbsDP& g) {
    std::vector<std::vector<int>> all(g.seqCount);
    for (int s = 0; s < g.seqCount; ++s) {
        all[s].assign(g.modules[s].moduleStarts,
                      g.modules[s].moduleStarts + g.modules[s].moduleNum);
    }
    return all;
}

// Every module window of min(L, n) letters lies inside its sequence, the
// modules of a sequence do not overlap, and every site lies inside a module.
void ExpectWindowsInside(CGibbsDP& g, const std::string& when) {
    for (int s = 0; s < g.seqCount; ++s) {
        const int n = g.seqs[s].GetLength();
        const int m = std::min(g.moduleLength, n);
        const MODULEINFO& mod = g.modules[s];
        for (int j = 0; j < mod.moduleNum; ++j) {
            const int start = mod.moduleStarts[j];
            ASSERT_GE(start, 0) << when << ", sequence " << s;
            ASSERT_LE(start + m, n) << when << ", sequence " << s;
            if (j > 0) {
                ASSERT_GE(mod.moduleStarts[j - 1], start + m) << when << ", sequence " << s;
            }
        }
        for (int k = 0; k < g.motifCount; ++k) {
            for (const SITEINFO* node = g.curSites[k][s]->next; node; node = node->next) {
                const int w = node->site.GetLength();
                bool inside = false;
                for (int j = 0; j < mod.moduleNum; ++j) {
                    const int start = mod.moduleStarts[j];
                    inside = inside || (node->pos >= start && node->pos + w <= start + m);
                }
                ASSERT_TRUE(inside) << when << ", sequence " << s << ", site at " << node->pos;
            }
        }
    }
}

}  // namespace

// c = ln(14/15) + S for a grow, ln(15/14) - S for a shrink, S the sum of the
// sequences' edge-window ratios: accepted when c > 0, refused below -200,
// otherwise by one draw. On acceptance L moves by 10, the starts move with a
// move at the starts (0: -10, 2: +10) and stay for one at the ends, and every
// start is kept within 0 .. n - min(L', n).
TEST(ModuleLength, AcceptanceAndNewStarts) {
    // n = 300 with two modules, 95 (shorter than L and L'), 105 (between),
    // 60 (shorter than both), 120 without a module; L = 100
    const std::vector<int> lengths = {300, 95, 105, 60, 120};
    const std::vector<std::vector<int>> starts = {{180, 40}, {0}, {3}, {0}, {}};
    struct Case {
        const char* what;
        int move;
        std::vector<double> ratios;  // moveLogRatio per sequence
        double threshold;            // exp(c) when a draw decides; 0 when none is made
        bool acceptedWithoutDraw;
        std::vector<std::vector<int>> newStarts;
    };
    const std::vector<std::vector<int>> grownAtStarts = {{170, 30}, {0}, {0}, {0}, {}};
    const std::vector<std::vector<int>> grownAtEnds = {{180, 40}, {0}, {0}, {0}, {}};
    const std::vector<std::vector<int>> shrunkAtStarts = {{190, 50}, {5}, {13}, {0}, {}};
    const std::vector<std::vector<int>> shrunkAtEnds = {{180, 40}, {0}, {3}, {0}, {}};
    const std::vector<Case> cases = {
        {"grow at the starts, S = 0", 0, {0, 0, 0, 0, 0}, 14.0 / 15.0, false, grownAtStarts},
        {"grow at the ends, S = 0", 1, {0, 0, 0, 0, 0}, 14.0 / 15.0, false, grownAtEnds},
        {"shrink at the starts, S = 0", 2, {0, 0, 0, 0, 0}, 0.0, true, shrunkAtStarts},
        {"shrink at the ends, S = 0", 3, {0, 0, 0, 0, 0}, 0.0, true, shrunkAtEnds},
        {"grow, S summed over the sequences", 1, {0.3, 0, -0.2, 0, 0}, 0.0, true, grownAtEnds},
        {"shrink, S summed over the sequences",
         2,
         {0.1, -0.25, 0, 0.05, 0},
         0.0,
         true,
         shrunkAtStarts},
        {"shrink against a small gain",
         3,
         {0.1, 0, 0, 0, 0},
         (15.0 / 14.0) * std::exp(-0.1),
         false,
         shrunkAtEnds},
        {"grow against a large loss", 0, {-250, 0, 0, 0, 0}, 0.0, false, {}},
        {"shrink against a large gain", 2, {0, 0, 250, 0, 0}, 0.0, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // a draw decides: one seed whose draw accepts and one whose draw refuses
        std::vector<unsigned int> seeds = {1};
        if (c.threshold > 0) {
            seeds.clear();
            for (const bool below : {true, false}) {
                unsigned int seed = 1;
                while ((Draws(seed, 1)[0] / kRandMax < c.threshold) != below) ++seed;
                seeds.push_back(seed);
            }
        }
        for (const unsigned int seed : seeds) {
            SamplerFixture f(FastaOfLengths(lengths));
            f->motifCount = 1;
            f->moduleLength = 100;
            f.Setup();
            for (int s = 0; s < f->seqCount; ++s) {
                SetStarts(*f, s, starts[s]);
                f->modules[s].moveLogRatio = c.ratios[s];
            }
            const std::vector<int> ref = Draws(seed, 2);
            std::srand(seed);
            f->UpdateModuleLength(c.move);
            const bool drawn = c.threshold > 0;
            EXPECT_EQ(std::rand(), ref[drawn ? 1 : 0]) << "random numbers taken, seed " << seed;
            const bool accepted = drawn ? ref[0] / kRandMax < c.threshold : c.acceptedWithoutDraw;
            if (!accepted) {
                EXPECT_EQ(f->moduleLength, 100) << "seed " << seed;
                EXPECT_EQ(Starts(*f), starts) << "seed " << seed;
                continue;
            }
            EXPECT_EQ(f->moduleLength, c.move <= 1 ? 110 : 90) << "seed " << seed;
            EXPECT_EQ(Starts(*f), c.newStarts) << "seed " << seed;
        }
    }
}

// After the burn-in (t >= burnIn + 2) and with -d, the move is rand() mod 4,
// the first number the iteration draws; a shrink is dropped at L <= 80 and a
// grow at L >= min(500, mean length). Module sampling may still cancel a
// grow; a cancelled move leaves L alone.
TEST(ModuleLength, ChoiceOfTheMove) {
    struct Case {
        const char* what;
        std::vector<int> lengths;
        int L;
        int tAfterBurnIn;  // t - burnIn
        int fixModuleLength;
        std::vector<int> kept;  // moves that survive the choice
    };
    const std::vector<Case> cases = {
        {"L = 80: grows only", {300, 300}, 80, 2, 0, {0, 1}},
        {"L at the mean length: shrinks only", {105, 105, 105}, 200, 2, 0, {2, 3}},
        {"L = 90, the mean length", {80, 100}, 90, 2, 0, {2, 3}},
        {"L at 500 below the mean length: shrinks only", {600, 620}, 500, 2, 0, {2, 3}},
        {"L below both bounds: every move", {600, 620}, 490, 2, 0, {0, 1, 2, 3}},
        {"L = 80 at the mean length: none", {70, 90}, 80, 2, 0, {}},
        {"the first recorded iteration: none", {105, 105, 105}, 200, 1, 0, {}},
        {"fixed module length: none", {105, 105, 105}, 200, 2, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int proposed = 0; proposed < 4; ++proposed) {
            SCOPED_TRACE("proposed move " + std::to_string(proposed));
            SamplerFixture f(FastaOfLengths(c.lengths));
            f->motifCount = 2;
            f->moduleLength = c.L;
            f->fixModuleLength = c.fixModuleLength;
            f->maxIter = 40;
            f->burnIn = 10;
            RunWork work;
            testing::internal::CaptureStdout();
            f->SetUpRun(work);
            testing::internal::GetCapturedStdout();

            unsigned int seed = 1;
            while (Draws(seed, 1)[0] % 4 != proposed) ++seed;
            std::srand(seed);
            f->RunIteration(f->burnIn + c.tAfterBurnIn, work);

            const bool kept = std::find(c.kept.begin(), c.kept.end(), proposed) != c.kept.end();
            if (!kept) {
                EXPECT_EQ(work.lengthMove, -1);
                EXPECT_EQ(f->moduleLength, c.L);
                continue;
            }
            const bool grow = proposed <= 1;
            const int a = c.L;
            bool reason = false;  // an edge window outside a sequence, or modules too close
            for (int s = 0; s < f->seqCount; ++s) {
                const int n = c.lengths[s];
                const int m = std::min(a, n);
                const MODULEINFO& mod = f->modules[s];
                for (int j = 0; j < mod.moduleNum; ++j) {
                    const int start = mod.moduleStarts[j];
                    if (proposed == 0 && start < 10) reason = true;
                    if (proposed == 1 && start + m + 10 > n) reason = true;
                    if (grow && j > 0 && mod.moduleStarts[j - 1] - (start + m) < 10) reason = true;
                }
            }
            if (work.lengthMove == -1) {
                EXPECT_TRUE(grow && reason) << "cancelled without a reason";
                EXPECT_EQ(f->moduleLength, c.L);
            } else {
                EXPECT_EQ(work.lengthMove, proposed);
                const int changed = grow ? c.L + 10 : c.L - 10;
                EXPECT_TRUE(f->moduleLength == c.L || f->moduleLength == changed)
                    << f->moduleLength;
            }
        }
    }
}

// A whole -d run over sequences both shorter and longer than L: after every
// iteration each module window lies inside its sequence, and the module
// length does move.
TEST(ModuleLength, RunKeepsModuleWindowsInsideTheSequences) {
    SamplerFixture f(ReadFile(DataPath("moves_short.fa")));
    f->fixModuleLength = 0;
    f->maxIter = 300;
    f->burnIn = 60;
    f->seed = 11;
    RunWork work;
    testing::internal::CaptureStdout();
    f->SetUpRun(work);
    std::vector<int> lengthsSeen = {f->moduleLength};
    for (int t = 1; t <= f->maxIter; ++t) {
        f->RunIteration(t, work);
        ExpectWindowsInside(*f, "iteration " + std::to_string(t));
        if (f->moduleLength != lengthsSeen.back()) lengthsSeen.push_back(f->moduleLength);
        if (testing::Test::HasFatalFailure()) break;
    }
    f->FinishRun(work);
    testing::internal::GetCapturedStdout();
    EXPECT_GT(lengthsSeen.size(), 1u);
    for (const int L : lengthsSeen) {
        EXPECT_EQ(L % 10, 0);
        EXPECT_GE(L, 80);
    }
}
