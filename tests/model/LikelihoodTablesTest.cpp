// The per-position likelihood tables: the motif slots of every row from the
// current matrices, the impossible windows, and the word score.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::SamplerFixture;

namespace {

const double I = kLogImpossible;
const double q = std::log(0.25);
const double U2 = q + q;
const double U3 = q + q + q;
const double a7 = std::log(0.7);
const double a1 = std::log(0.1);

const std::vector<double> kUniform3(12, 0.25);
const std::vector<double> kUniform2(8, 0.25);
// Row 0 favours A, row 1 favours T.
const std::vector<double> kTwoRow = {0.7, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.7};

struct Tables {
    std::vector<int> lengths;
    std::vector<std::vector<double>> store;
    std::vector<double*> rows;
};

// Tables of every sequence with their background slots filled, the motif
// slots preset to a value no fill produces.
Tables NewTables(CGibbsDP& g) {
    Tables t;
    const int K = g.motifCount;
    for (int s = 0; s < g.seqCount; ++s) {
        t.lengths.push_back(g.seqs[s].GetLength());
        t.store.emplace_back(static_cast<std::size_t>(t.lengths.back()) * (2 * K + 1), 123.0);
    }
    for (auto& block : t.store) t.rows.push_back(block.data());
    g.CalLogBgPrPos(t.rows.data(), t.lengths.data());
    return t;
}

void Fill(CGibbsDP& g, Tables& t, std::vector<std::vector<double>> matrices) {
    std::vector<double*> pointers;
    for (auto& m : matrices) pointers.push_back(m.data());
    g.CalLogPrPos(t.rows.data(), t.lengths.data(), pointers.data());
}

struct TableCase {
    const char* what;
    std::string fasta;
    std::vector<int> widths;
    int bothStrands;
    std::vector<std::vector<double>> matrices;
    int seq;                                // the sequence whose rows are listed
    std::vector<std::vector<double>> rows;  // its motif slots, 2K per row
};

}  // namespace

TEST(LikelihoodTables, MotifSlotsOfEveryRow) {
    const std::vector<TableCase> cases = {
        {"uniform matrix",
         ">s\nACGTA\n",
         {3},
         1,
         {kUniform3},
         0,
         {{I, I}, {I, I}, {U3, U3}, {U3, U3}, {U3, U3}}},
        {"forward strand only",
         ">s\nACGTA\n",
         {3},
         0,
         {kUniform3},
         0,
         {{I, I}, {I, I}, {U3, I}, {U3, I}, {U3, I}}},
        {"sequence shorter than the width", ">s\nAC\n", {3}, 1, {kUniform3}, 0, {{I, I}, {I, I}}},
        {"windows holding N",
         ">s\nACGNACGT\n",
         {3},
         1,
         {kUniform3},
         0,
         {{I, I}, {I, I}, {U3, U3}, {I, I}, {I, I}, {I, I}, {U3, U3}, {U3, U3}}},
        {"windows holding n",
         ">s\nACnAC\n",
         {2},
         1,
         {kUniform2},
         0,
         {{I, I}, {U2, U2}, {I, I}, {I, I}, {U2, U2}}},
        {"two-row matrix",
         ">s\nAATA\n",
         {2},
         1,
         {kTwoRow},
         0,
         {{I, I}, {a7 + a1, a1 + a7}, {a7 + a7, a7 + a7}, {a1 + a1, a1 + a1}}},
        {"two motifs of different widths",
         ">s\nACGT\n",
         {2, 3},
         1,
         {kTwoRow, kUniform3},
         0,
         {{I, I, I, I},
          {a7 + a1, a1 + a7, I, I},
          {a1 + a1, a1 + a1, U3, U3},
          {a1 + a7, a7 + a1, U3, U3}}},
        // other letters code as A, on the reverse strand after complementing
        // (R and Y swap)
        {"ambiguity letters",
         ">s\nRTYA\n",
         {2},
         1,
         {kTwoRow},
         0,
         {{I, I}, {a7 + a7, a7 + a1}, {a1 + a1, a7 + a1}, {a7 + a1, a1 + a1}}},
        {"empty sequence beside a scored one",
         ">e\n\n>s\nACGTA\n",
         {3},
         1,
         {kUniform3},
         1,
         {{I, I}, {I, I}, {U3, U3}, {U3, U3}, {U3, U3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(c.fasta);
        f->motifCount = static_cast<int>(c.widths.size());
        f->bothStrands = c.bothStrands;
        f.Setup();
        const int K = f->motifCount;
        for (int k = 0; k < K; ++k) f->widths[k] = c.widths[k];
        Tables t = NewTables(*f);
        const std::vector<std::vector<double>> background = t.store;

        // a first fill with other matrices: the second must rewrite every slot
        std::vector<std::vector<double>> other;
        for (const auto& m : c.matrices) other.emplace_back(m.size(), 0.5);
        Fill(*f, t, other);
        Fill(*f, t, c.matrices);

        const int stride = 2 * K + 1;
        ASSERT_EQ(t.lengths[c.seq], static_cast<int>(c.rows.size()));
        for (int j = 0; j < t.lengths[c.seq]; ++j) {
            const double* row = t.rows[c.seq] + j * stride;
            for (int slot = 0; slot < 2 * K; ++slot) {
                EXPECT_EQ(row[slot], c.rows[j][slot]) << "row " << j << " slot " << slot;
            }
        }
        for (int s = 0; s < f->seqCount; ++s) {
            for (int j = 0; j < t.lengths[s]; ++j) {
                EXPECT_EQ(t.rows[s][j * stride + 2 * K], background[s][j * stride + 2 * K])
                    << "background slot of sequence " << s << " row " << j;
            }
        }
    }
}

TEST(LikelihoodTables, WordScore) {
    SamplerFixture f(">s\nACGT\n");
    f.Setup();
    const std::vector<double> m = {0.1, 0.2, 0.3, 0.4, 0.4,  0.3,  0.2, 0.1,
                                   0.5, 0.2, 0.2, 0.1, 0.05, 0.05, 0.1, 0.8};
    const double l01 = std::log(0.1), l02 = std::log(0.2), l03 = std::log(0.3);
    const double l04 = std::log(0.4), l05 = std::log(0.5), l08 = std::log(0.8);
    struct Case {
        const char* word;
        double expected;
    };
    const std::vector<Case> cases = {
        {"", 0.0},
        {"A", l01},
        {"ACGT", l01 + l03 + l02 + l08},
        {"TGCA", l04 + l02 + l02 + std::log(0.05)},
        {"acgN", l01 + l04 + l05 + std::log(0.05)},  // letters other than C, G, T count as A
        {"GC", l03 + l03},                           // a word shorter than the matrix
    };
    for (const auto& c : cases) {
        EXPECT_EQ(f->CalLogMotifPr(CString(c.word), m.data()), c.expected) << c.word;
    }
}
