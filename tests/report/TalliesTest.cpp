// Posterior tallies: recording a sample, and pooling neighbouring site counts
// into the strongest cell of their window.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::SamplerFixture;

namespace {

std::string Letters(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[(i * 7 + i / 3) % 4];
    return s;
}

// Rows of the three tallies made by SetZerosMD; RunWork frees them.
void MakeTallies(CGibbsDP& g, RunWork& work) {
    work.siteTally.assign(g.seqCount, nullptr);
    work.moduleTally.assign(g.seqCount, nullptr);
    work.widthTally.assign(static_cast<std::size_t>(g.motifCount) * kWidthBins, 7);
    g.SetZerosMD(work.siteTally.data(), work.widthTally.data(), work.moduleTally.data());
}

// One site counter: position, column 2k + d (motif k, d = 0 forward, 1 reverse), count.
struct Cell {
    int pos;
    int column;
    int count;
};

std::string Describe(const std::vector<Cell>& cells) {
    std::string text;
    for (const Cell& c : cells) {
        text += std::to_string(c.pos) + "/" + std::to_string(c.column) + "=" +
                std::to_string(c.count) + " ";
    }
    return text;
}

// The non-zero counters of a row of n positions and `columns` columns, by position then column.
std::vector<Cell> NonZero(const int* row, int n, int columns) {
    std::vector<Cell> cells;
    for (int p = 0; p < n; ++p) {
        for (int c = 0; c < columns; ++c) {
            if (row[p * columns + c] != 0) cells.push_back({p, c, row[p * columns + c]});
        }
    }
    return cells;
}

struct PoolCase {
    const char* what;
    int motifs;
    int bothStrands;
    int recorded;  // R; the trigger is 0.05 x R
    std::vector<Cell> before;
    std::vector<Cell> after;  // every non-zero counter afterwards
};

}  // namespace

TEST(Tallies, SumNeighborMDPoolsEachStrongCountIntoItsWindowsStrongestCell) {
    // Sequence 0 has 30 positions; the 2-letter and the empty sequence have no centre at all.
    // clang-format off
    const std::vector<PoolCase> cases = {
        {"a count of exactly 0.05 x R is not pooled", 1, 1, 100,
         {{10, 0, 5}, {11, 0, 3}}, {{10, 0, 5}, {11, 0, 3}}},
        {"one above the trigger pools", 1, 1, 100,
         {{10, 0, 6}, {11, 0, 3}}, {{10, 0, 9}}},
        {"the trigger is compared as a fraction", 1, 1, 50,
         {{10, 0, 3}, {11, 0, 1}}, {{10, 0, 4}}},
        {"the window runs from 2 before to 5 after, on both strands", 1, 1, 100,
         {{7, 0, 1}, {8, 0, 1}, {10, 0, 6}, {11, 1, 4}, {15, 0, 2}, {16, 0, 1}},
         {{7, 0, 1}, {10, 0, 13}, {16, 0, 1}}},
        {"the strongest cell collects, the first in scan order on equal counts", 1, 1, 100,
         {{10, 0, 6}, {12, 1, 8}, {13, 0, 8}}, {{13, 0, 22}}},
        {"ties keep the centre, even against a cell scanned before it", 1, 1, 100,
         {{10, 1, 6}, {12, 0, 6}}, {{12, 0, 12}}},
        {"ties between neighbours: the first centre collects", 1, 1, 100,
         {{10, 0, 6}, {11, 0, 6}, {10, 1, 6}}, {{10, 0, 18}}},
        {"later centres see the sums of earlier ones", 1, 1, 100,
         {{10, 0, 6}, {12, 0, 9}, {17, 0, 1}}, {{12, 0, 16}}},
        {"the reverse column is a centre of its own", 1, 1, 100,
         {{10, 1, 6}, {14, 1, 2}}, {{10, 1, 8}}},
        {"forward strand only: forward columns, one at a time", 1, 0, 100,
         {{10, 0, 6}, {11, 1, 7}, {12, 0, 2}}, {{10, 0, 8}, {11, 1, 7}}},
        {"the window stops at the sequence start", 1, 1, 100,
         {{0, 1, 1}, {1, 0, 6}}, {{1, 0, 7}}},
        {"the last centre is n - 3 and the last position is never touched", 1, 1, 100,
         {{27, 0, 6}, {28, 0, 6}, {29, 0, 6}}, {{27, 0, 12}, {29, 0, 6}}},
        {"positions n - 2 and n - 1 are never centres", 1, 1, 100,
         {{28, 0, 6}, {29, 1, 6}}, {{28, 0, 6}, {29, 1, 6}}},
        {"another motif's columns stay apart", 2, 1, 100,
         {{10, 0, 6}, {11, 2, 4}, {11, 3, 1}, {12, 1, 2}}, {{10, 0, 8}, {11, 2, 4}, {11, 3, 1}}},
    };
    // clang-format on
    for (const PoolCase& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture g(">s0\n" + Letters(30) + "\n>two\nAC\n>empty\n");
        g->motifCount = c.motifs;
        g->bothStrands = c.bothStrands;
        g.Setup();
        g->maxIter = 10 + c.recorded;
        g->burnIn = 10;
        RunWork work;
        MakeTallies(*g, work);
        const int columns = 2 * c.motifs;
        for (const Cell& cell : c.before)
            work.siteTally[0][cell.pos * columns + cell.column] = cell.count;
        work.siteTally[1][0] = 50;
        work.siteTally[1][columns + 1] = 50;

        g->SumNeighborMD(work.siteTally.data());

        EXPECT_EQ(Describe(NonZero(work.siteTally[0], 30, columns)), Describe(c.after));
        EXPECT_EQ(Describe(NonZero(work.siteTally[1], 2, columns)),
                  Describe({{0, 0, 50}, {1, 1, 50}}));
    }
}

TEST(Tallies, RecordMDCountsModulePositionsSitesAndWidths) {
    for (const int independent : {0, 1}) {
        SCOPED_TRACE(independent ? "-s" : "modules");
        SamplerFixture g(">long\n" + Letters(50) + "\n>short\n" + Letters(12) + "\n>empty\n");
        g->motifCount = 2;
        g->moduleLength = 20;
        g->independent = independent;
        g.Setup();
        g->moduleLength = 20;  // -s would make it the total length
        g->widths[0] = 10;
        g->widths[1] = 12;
        g->modules[0].moduleNum = 2;
        g->modules[0].moduleStarts = new int[2]{25, 2};
        g->modules[1].moduleNum = 1;
        g->modules[1].moduleStarts =
            new int[1]{0};  // shorter than L: the module is the whole sequence
        const auto add = [&](int k, int s, int pos, int strand) {
            SITEINFO* node = new SITEINFO();
            node->pos = pos;
            node->strand = strand;
            g->AddSite(g->curSites[k][s], node);
        };
        add(0, 0, 4, 1);
        add(0, 0, 7, 0);
        add(1, 1, 3, 0);
        RunWork work;
        MakeTallies(*g, work);
        for (int v : work.widthTally) ASSERT_EQ(v, 0);

        g->RecordMD(work.siteTally.data(), work.widthTally.data(), work.moduleTally.data());
        g->RecordMD(work.siteTally.data(), work.widthTally.data(), work.moduleTally.data());

        std::vector<int> expectedLong(50, 0);
        std::vector<int> expectedShort(12, 0);
        if (!independent) {
            for (int p = 2; p < 22; ++p) expectedLong[p] = 2;
            for (int p = 25; p < 45; ++p) expectedLong[p] = 2;
            expectedShort.assign(12, 2);
        }
        EXPECT_EQ(std::vector<int>(work.moduleTally[0], work.moduleTally[0] + 50), expectedLong);
        EXPECT_EQ(std::vector<int>(work.moduleTally[1], work.moduleTally[1] + 12), expectedShort);
        EXPECT_EQ(Describe(NonZero(work.siteTally[0], 50, 4)), Describe({{4, 0, 2}, {7, 1, 2}}));
        EXPECT_EQ(Describe(NonZero(work.siteTally[1], 12, 4)), Describe({{3, 3, 2}}));
        for (int i = 0; i < 2 * kWidthBins; ++i) {
            EXPECT_EQ(work.widthTally[i], i == 10 || i == kWidthBins + 12 ? 2 : 0)
                << "width bin " << i;
        }
    }
}
