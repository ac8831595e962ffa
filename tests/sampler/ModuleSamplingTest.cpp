// Module sampling: the in-module mixture, the module forward recursion, the
// backward draw of the modules with their log-ratios, the length-move edge
// windows, and the removal of a sequence's old sample.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::Letters;
using testsupport::SamplerFixture;

namespace {

void ExpectClose(double actual, double expected, const std::string& what) {
    EXPECT_NEAR(actual, expected, 1e-11 * std::max(1.0, std::fabs(expected))) << what;
}

// A likelihood table made by hand: row i has background ln q_i and motif
// values that differ from row to row.
std::vector<double> HandTable(int n, int K) {
    std::vector<double> t(static_cast<std::size_t>(n) * (2 * K + 1));
    for (int i = 0; i < n; ++i) {
        double* row = t.data() + i * (2 * K + 1);
        for (int k = 0; k < K; ++k) {
            row[2 * k] = -1.0 - 0.7 * ((i * 3 + k) % 5);
            row[2 * k + 1] = -2.0 - 0.4 * ((i + 2 * k) % 4);
        }
        row[2 * K] = std::log(0.15 + 0.05 * (i % 4));
    }
    return t;
}

// Probability that stretch letters first..last lie in one module, summed over
// every way of cutting them into background letters and whole sites, each
// way written out as its product of factors.
double TokenModel(const CGibbsDP& g, const std::vector<double>& table,
                  const std::vector<double>& pi, int first, int last) {
    const int K = g.motifCount;
    const int stride = 2 * K + 1;
    std::function<double(int)> from = [&](int p) -> double {
        if (p > last) return 1.0;
        double total = pi[K] * std::exp(table[p * stride + 2 * K]) * from(p + 1);
        for (int k = 0; k < K; ++k) {
            const int end = p + g.widths[k] - 1;
            if (end > last || end == first) continue;  // no site ends at the stretch's first letter
            const double* row = table.data() + end * stride;
            const double site = g.bothStrands
                                    ? 0.5 * (std::exp(row[2 * k]) + std::exp(row[2 * k + 1]))
                                    : std::exp(row[2 * k]);
            total += pi[k] * site * from(end + 1);
        }
        return total;
    };
    return from(first);
}

struct Tables {
    std::vector<int> lengths;
    std::vector<std::vector<double>> store;
    std::vector<double*> rows;
};

// Background and motif slots of every sequence for the given matrices.
Tables RealTables(CGibbsDP& g, std::vector<std::vector<double>> matrices) {
    Tables t;
    for (int s = 0; s < g.seqCount; ++s) {
        t.lengths.push_back(g.seqs[s].GetLength());
        t.store.emplace_back(static_cast<std::size_t>(t.lengths.back()) * (2 * g.motifCount + 1));
    }
    for (auto& block : t.store) t.rows.push_back(block.data());
    g.CalLogBgPrPos(t.rows.data(), t.lengths.data());
    std::vector<double*> pointers;
    for (auto& m : matrices) pointers.push_back(m.data());
    g.CalLogPrPos(t.rows.data(), t.lengths.data(), pointers.data());
    return t;
}

// A matrix that favours the word.
std::vector<double> WordMatrix(const std::string& word) {
    std::vector<double> m;
    for (const char c : word) {
        for (int b = 0; b < 4; ++b) m.push_back("ACGT"[b] == c ? 0.85 : 0.05);
    }
    return m;
}

// The next value of the generator after `draws` draws from srand(seed).
int ValueAfter(unsigned seed, int draws) {
    std::srand(seed);
    for (int d = 0; d < draws; ++d) std::rand();
    return std::rand();
}

}  // namespace

TEST(ModuleSampling, InModuleMixtureIsTheTokenModel) {
    struct Case {
        const char* what;
        int bothStrands;
        int end;
        int span;
    };
    const std::vector<Case> cases = {
        {"both strands, whole sequence", 1, 7, 8},
        {"forward strand, whole sequence", 0, 7, 8},
        {"both strands, inner stretch", 1, 6, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(">s\n" + Letters(8) + "\n");
        f->motifCount = 2;
        f->bothStrands = c.bothStrands;
        f.Setup();
        f->widths[0] = 2;
        f->widths[1] = 3;
        const std::vector<double> table = HandTable(8, 2);
        const std::vector<double> pi = {0.2, 0.1, 0.7};
        std::vector<double> out(c.span);
        const double result = f->CalModuleLogPr(c.end, c.span, table.data(), pi.data(), out.data());
        const int first = c.end - c.span + 1;
        for (int t = 0; t < c.span; ++t) {
            ExpectClose(out[t], std::log(TokenModel(*f, table, pi, first, first + t)),
                        "t = " + std::to_string(t));
        }
        EXPECT_EQ(result, out[c.span - 1]);
    }
}

// F[n-1] is the likelihood of the sequence summed over every placement of
// non-overlapping modules: a letter outside modules has factor q (1 - x),
// without the (1 - x) before the first possible module end; a module ending
// at i has factor x exp(W[i]).
TEST(ModuleSampling, ForwardRecursionSumsOverModulePlacements) {
    struct Case {
        int n;
        int L;
    };
    for (const Case c : {Case{6, 200}, Case{6, 6}, Case{9, 3}, Case{10, 4}}) {
        SCOPED_TRACE("n = " + std::to_string(c.n) + ", L = " + std::to_string(c.L));
        SamplerFixture f(">s\n" + Letters(c.n) + "\n");
        f->motifCount = 1;
        f->moduleLength = c.L;
        f.Setup();
        f->widths[0] = 2;
        const int n = c.n;
        const int a = std::min(c.L, n);
        const std::vector<double> table = HandTable(n, 1);
        const std::vector<double> pi = {0.3, 0.7};
        const double x = 0.2;
        std::vector<double> G(n), W(n), F(n);
        const double result =
            f->ModuleForward(table.data(), n, x, pi.data(), G.data(), W.data(), F.data(), nullptr);
        EXPECT_EQ(result, F[n - 1]);
        std::vector<double> whole(n);
        f->CalModuleLogPr(n - 1, n, table.data(), pi.data(), whole.data());
        for (int i = 0; i < n; ++i) EXPECT_EQ(G[i], whole[i]) << "G " << i;

        std::function<double(int)> from = [&](int p) -> double {
            if (p >= n) return 1.0;
            const double q = std::exp(table[p * 3 + 2]) * (p >= a - 1 ? 1 - x : 1.0);
            double total = q * from(p + 1);
            if (p + a - 1 < n) total += x * std::exp(W[p + a - 1]) * from(p + a);
            return total;
        };
        ExpectClose(F[n - 1], std::log(from(0)), "F[n-1]");
        if (n <= c.L) {
            // the only module covers the whole sequence
            double before = 0.0;
            for (int i = 0; i + 1 < n; ++i) before += table[i * 3 + 2];
            EXPECT_DOUBLE_EQ(F[n - 1], LogSum(before + std::log(1 - x) + table[(n - 1) * 3 + 2],
                                              std::log(x) + G[n - 1]));
        }
    }
}

// A sequence no longer than the module length has one candidate, the whole
// sequence, accepted when the one draw falls below exp(ln x + G[n-1] - F[n-1]).
TEST(ModuleSampling, SequenceNoLongerThanTheModule) {
    struct Case {
        const char* what;
        std::string seq;
        double x;
    };
    const std::vector<Case> cases = {
        {"30 letters", Letters(30), 0.8},
        {"3 letters, shorter than the widths", "ACG", 0.4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(">s\n" + c.seq + "\n");
        f->motifCount = 2;
        f.Setup();
        const int n = static_cast<int>(c.seq.size());
        Tables t = RealTables(
            *f, {WordMatrix(Letters(f->widths[0])), WordMatrix(Letters(f->widths[1], 2))});
        std::vector<double> pi = {0.02, 0.03, 0.95};
        std::vector<double> G(n), W(n), F(n);
        f->ModuleForward(t.rows[0], n, c.x, pi.data(), G.data(), W.data(), F.data(), nullptr);
        const double p = std::exp(std::log(c.x) + G[n - 1] - F[n - 1]);
        const double ratio = G[n - 1] - f->CalLogBgPr(f->seqs[0]);
        int accepted = 0;
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::srand(seed);
            const bool expected = std::rand() / 2147483647.0 < p;
            std::srand(seed);
            int move = -1;
            f->ApproxSampleCurSeq(0, c.x, pi.data(), t.rows[0], &move);
            const int next = std::rand();
            EXPECT_EQ(next, ValueAfter(seed, 1)) << "one draw, seed " << seed;
            const MODULEINFO& mod = f->modules[0];
            ASSERT_EQ(mod.moduleNum, expected ? 1 : 0) << "seed " << seed;
            if (expected) {
                EXPECT_EQ(mod.moduleStarts[0], 0);
                ExpectClose(mod.logRatio, ratio, "logRatio");
                ++accepted;
            } else {
                EXPECT_EQ(mod.logRatio, 0.0);
            }
        }
        EXPECT_GT(accepted, 0);
        EXPECT_LT(accepted, 40);
    }
}

// The backward draw on made-up recursion values: each listed candidate end
// has e = 0 (accepted by its draw), every other e is far below -200 (rejected
// without a draw).
TEST(ModuleSampling, BackwardDrawAndLengthMoves) {
    struct Case {
        const char* what;
        int n;
        int L;
        int independent;
        std::vector<int> acceptEnds;
        int move;
        std::vector<int> starts;  // expected, highest first
        int draws;                // random numbers taken
        int moveAfter;
        int moveModules;  // leading modules whose edge window counts; -1 unchecked
    };
    const std::vector<Case> cases = {
        {"two modules", 60, 20, 0, {59, 30}, -1, {40, 11}, 2, -1, 0},
        {"starts 300 and 20", 400, 50, 0, {349, 69}, -1, {300, 20}, 2, -1, 0},
        {"candidates inside an accepted module are never drawn",
         60,
         20,
         0,
         {59, 50, 45},
         -1,
         {40},
         1,
         -1,
         0},
        {"a module from position 0", 60, 20, 0, {19}, -1, {0}, 1, -1, 0},
        {"no candidate accepted", 60, 20, 0, {}, -1, {}, 0, -1, 0},
        {"grow at the starts", 60, 20, 0, {59, 29}, 0, {40, 10}, 2, 0, 2},
        {"grow at the starts, window from 0", 60, 20, 0, {29}, 0, {10}, 1, 0, 1},
        {"grow at the starts, cancelled by the last module",
         60,
         20,
         0,
         {59, 28},
         0,
         {40, 9},
         2,
         -1,
         1},
        {"grow at the ends", 70, 20, 0, {59, 29}, 1, {40, 10}, 2, 1, 2},
        {"grow at the ends, window up to the last letter", 60, 20, 0, {49}, 1, {30}, 1, 1, 1},
        {"grow at the ends, cancelled by the first module",
         60,
         10,
         0,
         {55, 30, 15},
         1,
         {46, 21, 6},
         3,
         -1,
         0},
        {"shrink at the starts", 60, 20, 0, {59, 35}, 2, {40, 16}, 2, 2, 2},
        {"shrink at the starts, window longer than a short module",
         60,
         5,
         0,
         {59},
         2,
         {55},
         1,
         -1,
         0},
        {"shrink at the ends", 60, 20, 0, {59, 35}, 3, {40, 16}, 2, 3, 2},
        // growing would make modules fewer than 10 letters apart overlap
        {"grow at the starts, modules 4 apart", 60, 20, 0, {59, 35}, 0, {40, 16}, 2, -1, -1},
        {"grow at the ends, modules 9 apart", 60, 20, 0, {59, 30}, 1, {40, 11}, 2, -1, -1},
        {"shrink at the ends, window before the sequence", 60, 5, 0, {30, 4}, 3, {26, 0}, 2, -1, 1},
        // independent motifs: the module is the whole sequence, drawn or not
        {"independent, rejected", 60, 60, 1, {}, -1, {0}, 0, -1, 0},
        {"independent, accepted", 60, 60, 1, {59}, -1, {0}, 1, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(">s\n" + Letters(c.n) + "\n");
        f->motifCount = 1;
        f->moduleLength = c.L;
        f->independent = c.independent;
        f.Setup();
        const int n = c.n;
        const int a = std::min(f->moduleLength, n);
        const double x = 0.3;
        std::vector<double> G(n), W(n, -1000.0), F(n, 0.0);
        for (int i = 0; i < n; ++i) G[i] = -0.5 * (i + 1) - 0.01 * i * i;
        for (const int e : c.acceptEnds) W[e] = -std::log(x);
        int move = c.move;
        std::srand(9);
        f->SampleModule(W.data(), F.data(), x, n, 0, &move, G.data());
        const int next = std::rand();
        EXPECT_EQ(next, ValueAfter(9, c.draws)) << "draws";

        const MODULEINFO& mod = f->modules[0];
        ASSERT_EQ(mod.moduleNum, static_cast<int>(c.starts.size()));
        EXPECT_EQ(mod.moduleStarts == nullptr, c.starts.empty());
        double logRatio = 0.0;
        double moveLogRatio = 0.0;
        for (std::size_t j = 0; j < c.starts.size(); ++j) {
            const int start = c.starts[j];
            EXPECT_EQ(mod.moduleStarts[j], start) << "module " << j;
            logRatio += W[start + a - 1] - f->CalLogBgPr(f->seqs[0].Mid(start, a));
            if (static_cast<int>(j) < c.moveModules) {
                const int h = f->lengthStep;
                const int e0 = c.move == 0   ? start - h
                               : c.move == 1 ? start + a
                               : c.move == 2 ? start
                                             : start + a - h;
                const int e1 = e0 + h - 1;
                moveLogRatio +=
                    (e0 == 0 ? G[e1] : G[e1] - G[e0 - 1]) - f->CalLogBgPr(f->seqs[0].Mid(e0, h));
            }
        }
        ExpectClose(mod.logRatio, logRatio, "logRatio");
        if (c.moveModules >= 0) ExpectClose(mod.moveLogRatio, moveLogRatio, "moveLogRatio");
        EXPECT_EQ(move, c.moveAfter);
    }
}

// A move cancelled in one sequence gathers nothing in the later ones.
TEST(ModuleSampling, CancelledMoveStaysCancelled) {
    SamplerFixture f(">a\n" + Letters(60) + "\n>b\n" + Letters(60, 1) + "\n");
    f->motifCount = 1;
    f->moduleLength = 20;
    f.Setup();
    const double x = 0.3;
    std::vector<double> G(60), W(60, -1000.0), F(60, 0.0);
    for (int i = 0; i < 60; ++i) G[i] = -0.4 * (i + 1);
    W[25] = W[59] = -std::log(x);  // modules at 6 (too close to 0 for move 0) and 40
    int move = 0;
    f->SampleModule(W.data(), F.data(), x, 60, 0, &move, G.data());
    EXPECT_EQ(move, -1);
    f->SampleModule(W.data(), F.data(), x, 60, 1, &move, G.data());
    EXPECT_EQ(f->modules[1].moduleNum, 2);
    EXPECT_EQ(f->modules[1].moveLogRatio, 0.0);
    EXPECT_NE(f->modules[1].logRatio, 0.0);
}

// Drawn over a real table: modules ordered highest first, apart by at least
// their span, inside the sequence, their log-ratios summed.
TEST(ModuleSampling, DrawnModulesOverARealTable) {
    std::string seq = Letters(400);
    const std::string word = "TTGACAGCTAGC";
    for (const int p : {30, 95, 170, 240, 320}) seq.replace(p, word.size(), word);
    for (const int move : {-1, 0, 1, 2, 3}) {
        SCOPED_TRACE("move " + std::to_string(move));
        SamplerFixture f(">s\n" + seq + "\n");
        f->motifCount = 1;
        f->moduleLength = 40;
        f->minWidth = f->maxWidth = 12;
        f.Setup();
        Tables t = RealTables(*f, {WordMatrix(word)});
        std::vector<double> pi = {0.2, 0.8};
        const double x = 0.05;
        const int n = 400;
        const int a = 40;
        const int h = f->lengthStep;
        std::vector<double> G(n), W(n), F(n);
        f->ModuleForward(t.rows[0], n, x, pi.data(), G.data(), W.data(), F.data(), nullptr);
        int drawn = 0;
        int kept = 0;
        for (unsigned seed = 1; seed <= 25; ++seed) {
            std::srand(seed);
            int pending = move;
            f->ApproxSampleCurSeq(0, x, pi.data(), t.rows[0], &pending);
            const MODULEINFO& mod = f->modules[0];
            double logRatio = 0.0;
            double moveLogRatio = 0.0;
            bool cancelled = false;
            for (int j = 0; j < mod.moduleNum; ++j) {
                const int start = mod.moduleStarts[j];
                ASSERT_GE(start, 0);
                ASSERT_LE(start + a, n);
                if (j > 0) {
                    ASSERT_GE(mod.moduleStarts[j - 1] - start, a) << "modules overlap";
                }
                logRatio += W[start + a - 1] - f->CalLogBgPr(f->seqs[0].Mid(start, a));
                if (move < 0 || cancelled) continue;
                const int e0 = move == 0   ? start - h
                               : move == 1 ? start + a
                               : move == 2 ? start
                                           : start + a - h;
                if (e0 < 0 || e0 + h > n) {
                    cancelled = true;
                    continue;
                }
                moveLogRatio += (e0 == 0 ? G[e0 + h - 1] : G[e0 + h - 1] - G[e0 - 1]) -
                                f->CalLogBgPr(f->seqs[0].Mid(e0, h));
            }
            // a grow move also ends when it would make two modules overlap
            bool tooClose = false;
            for (int j = 1; j < mod.moduleNum; ++j) {
                tooClose = tooClose || mod.moduleStarts[j - 1] - (mod.moduleStarts[j] + a) < h;
            }
            tooClose = tooClose && (move == 0 || move == 1);
            drawn += mod.moduleNum;
            ExpectClose(mod.logRatio, logRatio, "logRatio, seed " + std::to_string(seed));
            if (!tooClose) {
                ExpectClose(mod.moveLogRatio, moveLogRatio,
                            "moveLogRatio, seed " + std::to_string(seed));
            }
            EXPECT_EQ(pending, cancelled || tooClose ? -1 : move) << "seed " << seed;
            kept += pending >= 0 && mod.moduleNum > 1;
        }
        EXPECT_GT(drawn, 25);
        if (move >= 0) {
            EXPECT_GT(kept, 0) << "no sample kept the move";
        }
    }
}

// Removing a sequence's sample takes its sites out of the counts (a letter
// other than A, C, G, T counts nowhere) and empties its lists and modules.
TEST(ModuleSampling, ExcludeTakesTheSequenceOutOfTheSample) {
    SamplerFixture f(">a\nACGTNACGTACGT" + Letters(100) + "\n>b\n" + Letters(120, 3) + "\n");
    f->motifCount = 2;
    f->minWidth = f->maxWidth = 5;
    f.Setup();
    std::srand(4);
    f->RandPickSite();
    for (const int pos : {0, 2}) {  // ACGTN and GTNAC: N counts nowhere
        SITEINFO* node = new SITEINFO();
        node->pos = pos;
        node->site = f->seqs[0].Mid(pos, 5);
        f->AddSite(f->curSites[0][0], node);
    }
    f->CalLogPostPrSample();
    const std::vector<int> totals(f->siteTotals, f->siteTotals + 2);
    f->ExcludeCurSeq(0);
    EXPECT_EQ(f->modules[0].moduleNum, 0);
    EXPECT_EQ(f->modules[0].moduleStarts, nullptr);
    EXPECT_EQ(f->modules[1].moduleNum, 1);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(f->curSites[k][0]->next, nullptr);
        EXPECT_NE(f->curSites[k][1]->next, nullptr);
        std::vector<int> counts(20);
        const int left = f->CalWeightMat(f->curSites[k], counts.data(), 5);
        EXPECT_EQ(f->siteTotals[k], left);
        EXPECT_EQ(f->siteTotals[k], totals[k] - (k == 0 ? 3 : 1));
        for (int e = 0; e < 20; ++e) EXPECT_EQ(f->countMat[k][e], counts[e]) << k << " " << e;
    }
}

// An empty sequence loses whatever it held and gets no module, without a draw.
TEST(ModuleSampling, EmptySequenceGetsNoModule) {
    SamplerFixture f(">e\n\n>s\n" + Letters(50) + "\n");
    f->motifCount = 1;
    f.Setup();
    MODULEINFO& mod = f->modules[0];
    mod.moduleNum = 1;
    mod.moduleStarts = new int[1]{0};
    mod.logRatio = 2.5;
    mod.moveLogRatio = 1.5;
    f->AddSite(f->curSites[0][0], new SITEINFO());
    f->siteTotals[0] = 1;
    std::vector<double> pi = {0.1, 0.9};
    int move = 2;
    std::srand(3);
    f->ApproxSampleCurSeq(0, 0.01, pi.data(), nullptr, &move);
    const int next = std::rand();
    EXPECT_EQ(next, ValueAfter(3, 0));
    EXPECT_EQ(mod.moduleNum, 0);
    EXPECT_EQ(mod.moduleStarts, nullptr);
    EXPECT_EQ(mod.logRatio, 0.0);
    EXPECT_EQ(mod.moveLogRatio, 0.0);
    EXPECT_EQ(f->curSites[0][0]->next, nullptr);
    EXPECT_EQ(f->siteTotals[0], 0);
    EXPECT_EQ(move, 2);
}
