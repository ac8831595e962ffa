// The sampler's fast paths (integer codes, log matrices, fused recursions,
// stored strand sums) against plain definitions that cut words from the
// sequences and compute every term where it is used. Both must give the same
// numbers bit for bit and, from the same generator state, the same sample.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/Helpers.h"
#include "core/Random.h"
#include "support/TestSupport.h"

namespace {

using testsupport::SamplerFixture;

// Random sequences with N, lower case and ambiguity letters, some planted words.
std::string MixedFasta(unsigned seed, int sequences, int minLength, int maxLength) {
    std::mt19937 gen(seed);
    const std::string letters = "ACGTACGTACGTACGTACGTNRYSWacgtk";
    std::string fasta;
    for (int s = 0; s < sequences; ++s) {
        const int n = minLength + static_cast<int>(gen() % (maxLength - minLength + 1));
        std::string seq;
        for (int i = 0; i < n; ++i) seq += letters[gen() % letters.size()];
        for (int p = 5; p + 12 < n; p += 60 + static_cast<int>(gen() % 90)) {
            seq.replace(p, 12, gen() % 2 ? "TTGACAGCTAGC" : "GCTAGCTGTCAA");
        }
        fasta += ">s" + std::to_string(s) + "\n" + seq + "\n";
    }
    return fasta;
}

// ---- plain definitions ----

void PlainTables(CGibbsDP& g, std::vector<std::vector<double>>& tables, double** motifProb) {
    const int K = g.motifCount;
    for (int s = 0; s < g.seqCount; ++s) {
        const int n = g.seqs[s].GetLength();
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < K; ++k) {
                const int w = g.widths[k];
                double* row = tables[s].data() + j * (2 * K + 1);
                if (j < w - 1) {
                    row[2 * k] = row[2 * k + 1] = -2000;
                    continue;
                }
                const CString word = g.seqs[s].Mid(j - w + 1, w);
                if (word.Find("N") >= 0 || word.Find("n") >= 0) {
                    row[2 * k] = row[2 * k + 1] = -2000;
                    continue;
                }
                row[2 * k] = g.CalLogMotifPr(word, motifProb[k]);
                row[2 * k + 1] =
                    g.bothStrands ? g.CalLogMotifPr(Reverse(word), motifProb[k]) : -2000;
            }
        }
    }
}

double SiteTerm(const CGibbsDP& g, const double* row, int k, const double* pi) {
    if (g.bothStrands) return LogSum(row[2 * k], row[2 * k + 1]) + std::log(pi[k]) + std::log(0.5);
    return row[2 * k] + std::log(pi[k]);
}

void PlainModuleLogPr(const CGibbsDP& g, int end, int span, const double* table, const double* pi,
                      double* out) {
    const int K = g.motifCount;
    const int stride = 2 * K + 1;
    const int first = end - span + 1;
    out[0] = table[first * stride + 2 * K] + std::log(pi[K]);
    for (int t = 1; t < span; ++t) {
        const double* row = table + (first + t) * stride;
        out[t] = out[t - 1] + row[2 * K] + std::log(pi[K]);
        for (int k = 0; k < K; ++k) {
            if (t + 1 < g.widths[k]) continue;
            double site = SiteTerm(g, row, k, pi);
            if (t + 1 > g.widths[k]) site += out[t - g.widths[k]];
            out[t] = LogSum(out[t], site);
        }
    }
}

void PlainSampleModule(CGibbsDP& g, int s, double x, const double* pi, const double* table,
                       int* lengthMove) {
    const int n = g.seqs[s].GetLength();
    if (n == 0) {
        g.ExcludeCurSeq(s);
        g.modules[s].logRatio = g.modules[s].moveLogRatio = 0.0;
        return;
    }
    const int K = g.motifCount;
    const int stride = 2 * K + 1;
    std::vector<double> G(n), W(n), F(n);
    PlainModuleLogPr(g, n - 1, n, table, pi, G.data());
    const int a = std::min(g.moduleLength, n);
    for (int i = 0; i <= a - 2; ++i) F[i] = (i ? F[i - 1] : 0.0) + table[i * stride + 2 * K];
    auto Fm = [&](int i) { return i < 0 ? 0.0 : F[i]; };
    for (int i = a - 1; i < n; ++i) {
        W[i] = i == a - 1 ? G[i] : G[i] - G[i - a];
        F[i] = LogSum(Fm(i - 1) + std::log(1 - x) + table[i * stride + 2 * K],
                      Fm(i - a) + std::log(x) + W[i]);
    }
    g.ExcludeCurSeq(s);
    MODULEINFO& mod = g.modules[s];
    mod.logRatio = mod.moveLogRatio = 0.0;
    std::vector<int> starts;
    int i = n - 1;
    while (i >= a - 1) {
        const double e =
            i == a - 1 ? std::log(x) + W[i] - F[i] : F[i - a] + W[i] + std::log(x) - F[i];
        bool accept = false;
        if (e > -200) accept = std::rand() / 2147483647.0 < std::exp(e);
        if (g.independent) accept = true;
        if (!accept) {
            --i;
            continue;
        }
        const int start = i - a + 1;
        starts.push_back(start);
        mod.logRatio += W[i] - g.CalLogBgPr(g.seqs[s].Mid(start, a));
        if (*lengthMove >= 0) {
            const int h = g.lengthStep;
            const int e0 = *lengthMove == 0   ? start - h
                           : *lengthMove == 1 ? i + 1
                           : *lengthMove == 2 ? start
                                              : i - h + 1;
            const int e1 = e0 + h - 1;
            if (e0 < 0 || e1 >= n) {
                *lengthMove = -1;
            } else {
                mod.moveLogRatio +=
                    (e0 == 0 ? G[e1] : G[e1] - G[e0 - 1]) - g.CalLogBgPr(g.seqs[s].Mid(e0, h));
            }
        }
        i = start - 1;
    }
    if (*lengthMove == 0 || *lengthMove == 1) {  // lengthening would make close modules overlap
        for (std::size_t j = 1; j < starts.size(); ++j) {
            if (starts[j - 1] - (starts[j] + a) < g.lengthStep) *lengthMove = -1;
        }
    }
    mod.moduleNum = static_cast<int>(starts.size());
    if (mod.moduleNum) {
        mod.moduleStarts = new int[mod.moduleNum];
        for (int j = 0; j < mod.moduleNum; ++j) mod.moduleStarts[j] = starts[j];
    }
}

void PlainSampleSites(CGibbsDP& g, const double* pi, const double* table, int s, int end, int n) {
    const int K = g.motifCount;
    const int stride = 2 * K + 1;
    const int b = end - n + 1;
    const int wMin = g.widths[Minimum(g.widths, K)];
    std::vector<double> H(n);
    H[0] = table[b * stride + 2 * K];
    for (int t = 1; t < n; ++t) {
        const double* row = table + (b + t) * stride;
        H[t] = H[t - 1] + row[2 * K];
        if (t + 1 >= wMin) H[t] = H[t] + std::log(pi[K]);
        for (int k = 0; k < K; ++k) {
            if (t + 1 < g.widths[k]) continue;
            double site = SiteTerm(g, row, k, pi);
            if (t + 1 > g.widths[k]) site += H[t - g.widths[k]];
            H[t] = LogSum(H[t], site);
        }
    }
    const double z = g.bothStrands ? 0.5 : 1.0;
    int t = n - 1;
    while (t >= wMin - 1) {
        std::vector<double> cum;
        std::vector<std::pair<int, int>> who;
        double running = 0.0;
        for (int k = 0; k < K; ++k) {
            for (int d = 0; d < (g.bothStrands ? 2 : 1); ++d) {
                const double m = table[(b + t) * stride + 2 * k + d];
                const int w = g.widths[k];
                double v;
                if (t >= w)
                    v = H[t - w] + m + std::log(pi[k]) + std::log(z);
                else if (t == w - 1)
                    v = m + std::log(pi[k]) + std::log(z);
                else
                    v = H[t] - 2000;
                v = v - H[t];
                running += v < -200 ? 0.0 : std::exp(v);
                cum.push_back(running);
                who.emplace_back(k, d);
            }
        }
        const double u = std::rand() / 2147483647.0;
        int chosen = -1;
        for (std::size_t c = 0; c < cum.size(); ++c) {
            if (cum[c] > u) {
                chosen = static_cast<int>(c);
                break;
            }
        }
        if (chosen < 0) {
            --t;
            continue;
        }
        const int k = who[chosen].first;
        const int w = g.widths[k];
        SITEINFO* node = new SITEINFO();
        node->pos = b + t - w + 1;
        node->strand = who[chosen].second == 0 ? 1 : 0;
        node->site =
            node->strand ? g.seqs[s].Mid(node->pos, w) : Reverse(g.seqs[s].Mid(node->pos, w));
        g.AddSite(g.curSites[k][s], node);
        t -= w;
    }
}

void ExpectSameSample(CGibbsDP& a, CGibbsDP& b) {
    ASSERT_EQ(a.seqCount, b.seqCount);
    for (int s = 0; s < a.seqCount; ++s) {
        ASSERT_EQ(a.modules[s].moduleNum, b.modules[s].moduleNum) << "sequence " << s;
        for (int j = 0; j < a.modules[s].moduleNum; ++j) {
            EXPECT_EQ(a.modules[s].moduleStarts[j], b.modules[s].moduleStarts[j]);
        }
        EXPECT_EQ(a.modules[s].logRatio, b.modules[s].logRatio) << "sequence " << s;
        EXPECT_EQ(a.modules[s].moveLogRatio, b.modules[s].moveLogRatio) << "sequence " << s;
        for (int k = 0; k < a.motifCount; ++k) {
            const SITEINFO* x = a.curSites[k][s]->next;
            const SITEINFO* y = b.curSites[k][s]->next;
            for (; x && y; x = x->next, y = y->next) {
                EXPECT_EQ(x->pos, y->pos);
                EXPECT_EQ(x->strand, y->strand);
                EXPECT_TRUE(x->site == y->site);
            }
            EXPECT_TRUE(x == nullptr && y == nullptr) << "site lists differ in length";
        }
    }
}

struct Case {
    int bothStrands;
    int moduleLength;
    int independent;
};

class FastPath : public ::testing::TestWithParam<Case> {};

TEST_P(FastPath, TablesRecursionsAndDrawsMatchThePlainDefinitions) {
    const Case c = GetParam();
    const std::string fasta = MixedFasta(11, 9, 0, 420) + ">short\nACG\n>empty\n";
    SamplerFixture fast(fasta);
    SamplerFixture plain(fasta);
    for (CGibbsDP* g : {&fast.sampler, &plain.sampler}) {
        g->bothStrands = c.bothStrands;
        g->moduleLength = c.moduleLength;
        g->independent = c.independent;
    }
    fast.Setup(21);
    plain.Setup(21);
    std::srand(99);
    fast->RandPickSite();
    std::srand(99);
    plain->RandPickSite();

    const int K = fast->motifCount;
    const int S = fast->seqCount;
    std::vector<int> lengths(S);
    std::vector<std::vector<double>> fastStore(S), plainStore(S);
    std::vector<double*> fastTables(S), plainTables(S);
    for (int s = 0; s < S; ++s) {
        lengths[s] = fast->seqs[s].GetLength();
        fastStore[s].assign(lengths[s] * (2 * K + 1), 0.0);
        plainStore[s] = fastStore[s];
        fastTables[s] = fastStore[s].data();
        plainTables[s] = plainStore[s].data();
    }
    fast->CalLogBgPrPos(fastTables.data(), lengths.data());
    plain->CalLogBgPrPos(plainTables.data(), lengths.data());

    std::vector<double> pi(K + 1);
    int modulesDrawn = 0;
    int sitesDrawn = 0;
    MotifMatrices theta(K);
    for (int k = 0; k < K; ++k) theta.Resize(k, fast->widths[k]);
    for (int iteration = 0; iteration < 12; ++iteration) {
        double x = 0.0;
        std::srand(1000 + iteration);
        fast->SampleParameters(&x, pi.data(), theta.data());
        // generous module and site weights, so that every iteration draws some
        x = 0.01 * (1 + iteration % 3);
        for (int k = 0; k < K; ++k) pi[k] = 0.004 + 0.002 * k;
        pi[K] = 1.0 - (0.004 * K + 0.002 * K * (K - 1) / 2);
        fast->CalLogPrPos(fastTables.data(), lengths.data(), theta.data());
        PlainTables(*plain, plainStore, theta.data());
        for (int s = 0; s < S; ++s) {
            for (std::size_t e = 0; e < fastStore[s].size(); ++e) {
                ASSERT_EQ(fastStore[s][e], plainStore[s][e]) << "sequence " << s << " entry " << e;
            }
        }
        for (int s = 0; s < S; ++s) {
            const int n = lengths[s];
            if (n == 0) continue;
            std::vector<double> a(n), b(n);
            fast->CalModuleLogPr(n - 1, n, fastTables[s], pi.data(), a.data());
            PlainModuleLogPr(*plain, n - 1, n, plainTables[s], pi.data(), b.data());
            for (int t = 0; t < n; ++t) ASSERT_EQ(a[t], b[t]) << "sequence " << s << " t " << t;
        }
        const int move = iteration % 5 - 1;  // -1 .. 3
        int fastMove = move;
        int plainMove = move;
        std::srand(2000 + iteration);
        for (int s = 0; s < S; ++s)
            fast->ApproxSampleCurSeq(s, x, pi.data(), fastTables[s], &fastMove);
        std::srand(2000 + iteration);
        for (int s = 0; s < S; ++s)
            PlainSampleModule(*plain, s, x, pi.data(), plainTables[s], &plainMove);
        EXPECT_EQ(fastMove, plainMove);
        std::srand(3000 + iteration);
        for (int s = 0; s < S; ++s) {
            const int m = std::min(fast->moduleLength, lengths[s]);
            for (int j = 0; j < fast->modules[s].moduleNum; ++j) {
                const int start = fast->modules[s].moduleStarts[j];
                fast->SampleSites(pi.data(), fastTables[s], s, start + m - 1, m);
            }
        }
        std::srand(3000 + iteration);
        for (int s = 0; s < S; ++s) {
            const int m = std::min(plain->moduleLength, lengths[s]);
            for (int j = 0; j < plain->modules[s].moduleNum; ++j) {
                const int start = plain->modules[s].moduleStarts[j];
                PlainSampleSites(*plain, pi.data(), plainTables[s], s, start + m - 1, m);
            }
        }
        ExpectSameSample(*fast, *plain);
        EXPECT_EQ(fast->CalLogPostPrSample(), plain->CalLogPostPrSample());
        modulesDrawn += fast->CountModule(fast->modules);
        for (int k = 0; k < K; ++k) sitesDrawn += fast->siteTotals[k];
    }
    EXPECT_GT(modulesDrawn, 10);  // the comparison covered real samples
    EXPECT_GT(sitesDrawn, 10);
}

INSTANTIATE_TEST_SUITE_P(Options, FastPath,
                         ::testing::Values(Case{1, 200, 0}, Case{0, 200, 0}, Case{1, 60, 0},
                                           Case{1, 200, 1}));

}  // namespace
