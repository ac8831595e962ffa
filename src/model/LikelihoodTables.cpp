// Per-position motif likelihood tables.

#include <algorithm>
#include <cmath>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

namespace {

// Windows filled per sweep; the accumulators stay in the first-level cache.
constexpr int kTableBlock = 256;

}  // namespace

// CalLogMotifPr: log-likelihood of a word under one motif matrix (rows of
// A, C, G, T probabilities; at least as many rows as the word has letters),
// summed from 0.0 with the column rising. Letters other than C, G, T count as A.
double CGibbsDP::CalLogMotifPr(CString word, const double* matrix) {
    double r = 0.0;
    for (int i = 0; i < word.GetLength(); ++i) r += std::log(matrix[4 * i + base::Code(word[i])]);
    return r;
}

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
        for (int e = 0; e < 4 * widths[k]; ++e) logThetaWork[offset[k] + e] = std::log(motifProb[k][e]);
    }

    tableAccWork.resize(2 * kTableBlock);
    double* forwardAcc = tableAccWork.data();
    double* reverseAcc = forwardAcc + kTableBlock;
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
            // Windows in blocks: column i of every window of the block is added
            // in one sweep, so each window still sums its columns 0 .. w-1 in
            // order from 0.0, but the additions of different windows overlap.
            for (int j0 = w - 1; j0 < n; j0 += kTableBlock) {
                const int count = std::min(kTableBlock, n - j0);
                std::fill(forwardAcc, forwardAcc + count, 0.0);
                std::fill(reverseAcc, reverseAcc + count, 0.0);
                for (int i = 0; i < w; ++i) {
                    const double* column = lt + 4 * i;
                    const std::uint8_t* cf = code + (j0 - w + 1 + i);
                    for (int x = 0; x < count; ++x) forwardAcc[x] += column[cf[x]];
                    if (bothStrands) {
                        const std::uint8_t* cr = rcCode + (j0 - i);
                        for (int x = 0; x < count; ++x) reverseAcc[x] += column[cr[x]];
                    }
                }
                for (int x = 0; x < count; ++x) {
                    const int j = j0 + x;
                    double* row = table + static_cast<long long>(j) * stride;
                    if (lastN[j] >= j - w + 1) {
                        row[2 * k] = kLogImpossible;
                        row[2 * k + 1] = kLogImpossible;
                    } else {
                        row[2 * k] = forwardAcc[x];
                        row[2 * k + 1] = bothStrands ? reverseAcc[x] : kLogImpossible;
                    }
                }
            }
        }
    }
}
