// Per-position motif likelihood tables.

#include <algorithm>
#include <cmath>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

// CalLogMotifPr: log-likelihood of a word under one motif matrix (rows of
// A, C, G, T probabilities; at least as many rows as the word has letters),
// summed from 0.0 with the column rising. Letters other than C, G, T count as A.
double CGibbsDP::CalLogMotifPr(CString word, const double* matrix) {
    double r = 0.0;
    for (int i = 0; i < word.GetLength(); ++i) r += std::log(matrix[4 * i + base::Code(word[i])]);
    return r;
}

namespace {

// Writes motif k's two slots of row j: the window sums, or kLogImpossible
// where the window holds N (and in the reverse slot with one strand).
void StoreWindow(double* table, int stride, int k, int j, int w, const int* lastN, bool bothStrands,
                 double forward, double reverse) {
    double* row = table + static_cast<long long>(j) * stride;
    if (lastN[j] >= j - w + 1) {
        row[2 * k] = kLogImpossible;
        row[2 * k + 1] = kLogImpossible;
    } else {
        row[2 * k] = forward;
        row[2 * k + 1] = bothStrands ? reverse : kLogImpossible;
    }
}

// Log-likelihoods of the four windows whose forward codes start at cf, cf+1,
// cf+2, cf+3 (and, with both strands, of their reverse complements, whose
// codes run backwards from cr, cr+1, ...): each sum runs over the columns
// 0 .. w-1 in order from 0.0, in its own register, so the chains overlap.
template <bool kBothStrands>
void SumFourWindows(const double* lt, int w, const std::uint8_t* cf, const std::uint8_t* cr,
                    double* forward, double* reverse) {
    double f0 = 0.0, f1 = 0.0, f2 = 0.0, f3 = 0.0;
    double r0 = 0.0, r1 = 0.0, r2 = 0.0, r3 = 0.0;
    for (int i = 0; i < w; ++i) {
        const double* column = lt + 4 * i;
        f0 += column[cf[i]];
        f1 += column[cf[i + 1]];
        f2 += column[cf[i + 2]];
        f3 += column[cf[i + 3]];
        if (kBothStrands) {
            r0 += column[cr[-i]];
            r1 += column[cr[1 - i]];
            r2 += column[cr[2 - i]];
            r3 += column[cr[3 - i]];
        }
    }
    forward[0] = f0;
    forward[1] = f1;
    forward[2] = f2;
    forward[3] = f3;
    if (kBothStrands) {
        reverse[0] = r0;
        reverse[1] = r1;
        reverse[2] = r2;
        reverse[3] = r3;
    }
}

}  // namespace

// CalLogPrPos: rewrites the motif slots of every row of every non-empty
// sequence from the matrices: slot 2k the forward and slot 2k+1 the reverse
// log-likelihood of motif k's window ending at the row, kLogImpossible where
// the window starts before the sequence or holds N (and in every reverse slot
// with the forward strand only). The window sums equal
// CalLogMotifPr on the cut (and reverse-complemented) word bit for bit: the
// same logs, added in the same order.
void CGibbsDP::CalLogPrPos(double** posLogPr, int* seqLengths, double** motifProb) {
    const int K = motifCount;
    const int stride = 2 * K + 1;

    // ln of every matrix entry, once per fill
    std::vector<int> offset(K);
    int total = 0;
    for (int k = 0; k < K; ++k) {
        offset[k] = total;
        total += 4 * widths[k];
    }
    logThetaWork.resize(total);
    for (int k = 0; k < K; ++k) {
        for (int e = 0; e < 4 * widths[k]; ++e)
            logThetaWork[offset[k] + e] = std::log(motifProb[k][e]);
    }

    for (int s = 0; s < seqCount; ++s) {
        const int n = seqLengths[s];
        if (n <= 0) continue;
        double* table = posLogPr[s];
        const SequenceCodes& sc = seqCodes[s];
        const std::uint8_t* code = sc.code.data();
        const std::uint8_t* rcCode = sc.rcCode.data();
        const int* lastN = sc.lastN.data();
        for (int k = 0; k < K; ++k) {
            const int w = widths[k];
            const double* lt = logThetaWork.data() + offset[k];
            for (int j = 0; j < std::min(w - 1, n); ++j) {
                double* row = table + static_cast<long long>(j) * stride;
                row[2 * k] = kLogImpossible;
                row[2 * k + 1] = kLogImpossible;
            }
            // four windows at a time, then the rest one by one
            int j = w - 1;
            for (; j + 3 < n; j += 4) {
                const std::uint8_t* cf = code + (j - w + 1);
                double forward[4];
                double reverse[4] = {0.0, 0.0, 0.0, 0.0};
                if (bothStrands) {
                    SumFourWindows<true>(lt, w, cf, rcCode + j, forward, reverse);
                } else {
                    SumFourWindows<false>(lt, w, cf, nullptr, forward, reverse);
                }
                for (int x = 0; x < 4; ++x)
                    StoreWindow(table, stride, k, j + x, w, lastN, bothStrands, forward[x],
                                reverse[x]);
            }
            for (; j < n; ++j) {
                const std::uint8_t* cf = code + (j - w + 1);
                double f = 0.0;
                double r = 0.0;
                for (int i = 0; i < w; ++i) {
                    f += lt[4 * i + cf[i]];
                    if (bothStrands) r += lt[4 * i + rcCode[j - i]];
                }
                StoreWindow(table, stride, k, j, w, lastN, bothStrands, f, r);
            }
        }
    }
}
