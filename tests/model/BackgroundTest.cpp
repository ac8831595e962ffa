// The first-order Markov background: estimated frequencies, word scores and
// the background slot of the likelihood tables, with and without a
// background file.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::SamplerFixture;

namespace {

// Probability of a base or transition the input never shows.
constexpr double F = 1e-6;
constexpr double Q = 0.25;

using Model = std::array<double, 20>;

Model Estimate(const std::string& fasta) {
    SamplerFixture f(fasta);
    f.Setup();
    Model m;
    for (int i = 0; i < 20; ++i) m[i] = f->bgProb[i];
    return m;
}

// The background slots (slot 2K of every row) of each sequence.
std::vector<std::vector<double>> BackgroundSlots(SamplerFixture& f) {
    const int stride = 2 * f->motifCount + 1;
    std::vector<int> lengths(f->seqCount);
    std::vector<std::vector<double>> tables(f->seqCount);
    std::vector<double*> pointers(f->seqCount);
    for (int s = 0; s < f->seqCount; ++s) {
        lengths[s] = f->seqs[s].GetLength();
        tables[s].assign(static_cast<std::size_t>(lengths[s]) * stride, 99.0);
        pointers[s] = tables[s].data();
    }
    f->CalLogBgPrPos(pointers.data(), lengths.data());
    std::vector<std::vector<double>> slots(f->seqCount);
    for (int s = 0; s < f->seqCount; ++s) {
        for (int j = 0; j < lengths[s]; ++j) {
            for (int k = 0; k < stride - 1; ++k) {
                EXPECT_EQ(tables[s][j * stride + k], 99.0) << "motif slot " << k << " row " << j;
            }
            slots[s].push_back(tables[s][j * stride + stride - 1]);
        }
    }
    return slots;
}

}  // namespace

// Where every letter and every transition occurs the numbers are the plain
// ratios of counts (transition rows are not rescaled to sum to 1); elsewhere
// an unseen entry gets the floor, a letter that never occurs a uniform row,
// and an input without A, C, G or T uniform base frequencies.
TEST(Background, EstimatedModel) {
    struct Case {
        const char* what;
        std::string fasta;
        Model expected;
    };
    const std::vector<Case> cases = {
        {"every letter and transition",
         ">a\naacagatccgctggtta\n>b\nTTTA\n",
         {2.0 / 7, 4.0 / 21, 4.0 / 21, 1.0 / 3,  //
          1.0 / 6, 1.0 / 6,  1.0 / 6,  1.0 / 6,  //
          0.25,    0.25,     0.25,     0.25,     //
          0.25,    0.25,     0.25,     0.25,     //
          2.0 / 7, 1.0 / 7,  1.0 / 7,  3.0 / 7}},
        {"ACGTNACGT: pairs with N are not counted",
         ">a\nACGTNACGT\n",
         {Q, Q, Q, Q, F, 1, F, F, F, F, 1, F, F, F, F, 1, F, F, F, F}},
        {"ACAGTA: row A sums to 2/3", ">a\nACAGTA\n", {1.0 / 2, 1.0 / 6, 1.0 / 6, 1.0 / 6,  //
                                                       F,       1.0 / 3, 1.0 / 3, F,        //
                                                       1,       F,       F,       F,        //
                                                       F,       F,       F,       1,        //
                                                       1,       F,       F,       F}},
        {"letters that never occur", ">a\nACACAC\n", {0.5, 0.5, F, F, F, 1, F, F, 2.0 / 3, F,
                                                      F,   F,   Q, Q, Q, Q, Q, Q, Q,       Q}},
        {"one repeated letter", ">a\nAAAA\n", {1, F, F, F, 0.75, F, F, F, Q, Q,
                                               Q, Q, Q, Q, Q,    Q, Q, Q, Q, Q}},
        {"odd letters count as A in pairs only", ">a\nARA\n", {1, F, F, F, 1, F, F, F, Q, Q,
                                                               Q, Q, Q, Q, Q, Q, Q, Q, Q, Q}},
        {"no A, C, G or T at all", ">a\nRRYYWS\n", {Q, Q, Q, Q, Q, Q, Q, Q, Q, Q,
                                                    Q, Q, Q, Q, Q, Q, Q, Q, Q, Q}},
        {"only N", ">a\nNNNN\n>b\nN\n", {Q, Q, Q, Q, Q, Q, Q, Q, Q, Q,
                                         Q, Q, Q, Q, Q, Q, Q, Q, Q, Q}},
        {"only empty sequences", ">a\n>b\n", {Q, Q, Q, Q, Q, Q, Q, Q, Q, Q,
                                              Q, Q, Q, Q, Q, Q, Q, Q, Q, Q}},
        {"no pair across two sequences", ">a\nAC\n>b\nGT\n", {Q, Q, Q, Q, F, 1, F, F, F, F,
                                                              F, F, F, F, F, 1, F, F, F, F}},
    };
    for (const auto& c : cases) {
        const Model m = Estimate(c.fasta);
        for (int i = 0; i < 20; ++i) {
            EXPECT_DOUBLE_EQ(m[i], c.expected[i]) << c.what << ", entry " << i;
            EXPECT_TRUE(std::isfinite(std::log(m[i]))) << c.what << ", entry " << i;
        }
    }
}

TEST(Background, WordScores) {
    SamplerFixture f(">a\naacagatccgctggtta\n>b\nTTTA\n");
    f.Setup();
    const double* p = f->bgProb;
    struct Case {
        const char* word;
        double expected;
    };
    const std::vector<Case> cases = {
        {"A", std::log(p[0])},
        {"T", std::log(p[3])},
        {"N", std::log(p[0])},
        {"NA", std::log(p[0]) + std::log(p[4])},
        {"ACG", std::log(p[0]) + std::log(p[5]) + std::log(p[10])},
        {"TTGA", std::log(p[3]) + std::log(p[19]) + std::log(p[18]) + std::log(p[12])},
        {"aT", std::log(p[0]) + std::log(p[7])},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(f->CalLogBgPr(CString(c.word)), c.expected) << c.word;

    SamplerFixture sparse(">a\nACGTNACGT\n");
    sparse.Setup();
    EXPECT_DOUBLE_EQ(sparse->CalLogBgPr("TA"), std::log(0.25) + std::log(1e-6));
    EXPECT_TRUE(std::isfinite(sparse->CalLogBgPr("TTTTGGGAAA")));
}

TEST(Background, SlotsWithoutAFile) {
    SamplerFixture f(">a\nACGTNACGT\n>b\nNN\n>c\n>d\nN\n");
    f.Setup();
    const double n = -1.386;
    const std::vector<std::vector<double>> expected = {
        {std::log(0.25), 0, 0, 0, n, n, 0, 0, 0}, {n, n}, {}, {n}};
    EXPECT_EQ(BackgroundSlots(f), expected);
}

// The file's values replace the slots it names (the last line for a position
// wins); every other slot keeps the model's value.
TEST(Background, SlotsFromAFile) {
    const std::string fasta = ">s1\nACGTACGTAC\n>s2\nAAGTN\n";
    SamplerFixture model(fasta);
    model->motifCount = 1;
    model.Setup();
    auto expected = BackgroundSlots(model);

    SamplerFixture f(fasta);
    f->motifCount = 1;
    f->useBgFile = 1;
    f->bgFile =
        f.scratch
            .Write("bg.txt",
                   "2\tx\t0.1\t0.2\t0.3\t0.4\t3\n"   // G takes column 6
                   "2\t0\t0.11\t0.2\t0.3\t0.4\t5\n"  // N takes column 3
                   "1\t2\t3\t4\t5\n"                 // ten characters: skipped
                   "\n"
                   "1\t0\t0.1\t0.2\t0.3\t0.4\t4\n"       // T takes column 4
                   "1\t0\t0.1\t0.2\t0.3\t0.4\t2\n"       // C takes column 5
                   "1\t0\t0.5\t0.2\t0.3\t0.4\t1\n"       // A takes column 3 ...
                   "1\t0\t0.6\t0.2\t0.3\t0.4\t1\n"       // ... and the later line wins
                   "1.95\t0\t0.7\t0.2\t0.3\t0.4\t0.95")  // sequence 2, position 1; no newline
            .c_str();
    f.Setup();
    expected[1][2] = std::log(0.4);
    expected[1][4] = std::log(0.11);
    expected[0][3] = std::log(0.2);
    expected[0][1] = std::log(0.3);
    expected[0][0] = std::log(0.6);
    expected[1][0] = std::log(0.7);
    EXPECT_EQ(BackgroundSlots(f), expected);
}
