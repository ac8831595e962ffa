// Posterior tallies over the recorded iterations: site starts per position,
// motif and strand; motif widths; module coverage per position.

#include <algorithm>
#include <climits>

#include "model/GibbsDP.h"

// SetZerosMD: makes each sequence's rows (n_s x 2K site counters, n_s module
// counters) and zeroes all three stores.
void CGibbsDP::SetZerosMD(int** siteTally, int* widthTally, int** moduleTally) {
    const int K = motifCount;
    for (int s = 0; s < seqCount; ++s) {
        const std::size_t n = static_cast<std::size_t>(seqs[s].GetLength());
        delete[] siteTally[s];
        delete[] moduleTally[s];
        siteTally[s] = new int[n * 2 * K]();
        moduleTally[s] = new int[n]();
    }
    for (int i = 0; i < K * kWidthBins; ++i) widthTally[i] = 0;
}

// RecordMD: adds the current sample. Every position of every module (none
// with -s), every site at its start, motif and strand (0 forward, 1 reverse),
// and every motif's width.
void CGibbsDP::RecordMD(int** siteTally, int* widthTally, int** moduleTally) {
    const int K = motifCount;
    if (!independent) {
        for (int s = 0; s < seqCount; ++s) {
            const int n = seqs[s].GetLength();
            const int m = std::min(moduleLength, n);
            for (int j = 0; j < modules[s].moduleNum; ++j) {
                const int st = modules[s].moduleStarts[j];
                for (int p = std::max(st, 0); p < std::min(st + m, n); ++p) ++moduleTally[s][p];
            }
        }
    }
    for (int k = 0; k < K; ++k) {
        for (int s = 0; s < seqCount; ++s) {
            const int n = seqs[s].GetLength();
            for (const SITEINFO* node = curSites[k][s]->next; node; node = node->next) {
                if (node->pos < 0 || node->pos >= n) continue;
                const int d = node->strand == 1 ? 0 : 1;
                ++siteTally[s][(static_cast<long long>(node->pos) * K + k) * 2 + d];
            }
        }
        if (widths[k] >= 0 && widths[k] < kWidthBins) ++widthTally[k * kWidthBins + widths[k]];
    }
}

// SumNeighborMD: for every site count above 5% of the recorded iterations,
// moves the counts of its window (2 positions before to 5 after, both strands
// of the motif when both are searched) into the window's strongest cell, so a
// site sampled at slightly shifted positions or on the other strand counts
// once. Ties keep the centre. Works in place, column by column.
void CGibbsDP::SumNeighborMD(int** siteTally) {
    const int K = motifCount;
    const int columns = 2 * K;
    const int R = maxIter - burnIn;
    if (R <= 0) return;
    const double trigger = 0.05 * R;
    for (int c = 0; c < columns; ++c) {
        if (!bothStrands && c % 2 == 1) continue;
        const int c0 = bothStrands ? (c % 2 == 1 ? c - 1 : c) : c;
        const int c1 = bothStrands ? c0 + 1 : c;
        for (int s = 0; s < seqCount; ++s) {
            const int n = seqs[s].GetLength();
            int* tally = siteTally[s];
            for (int p = 0; p <= n - 3; ++p) {
                const int v = tally[static_cast<long long>(p) * columns + c];
                if (v <= trigger) continue;
                const int lo = std::max(p - 2, 0);
                const int hi = std::min(p + 5, n - 2);
                long long bestCell = static_cast<long long>(p) * columns + c;
                int bestValue = v;
                long long sum = 0;
                for (int col = c0; col <= c1; ++col) {
                    for (int q = lo; q <= hi; ++q) {
                        const long long cell = static_cast<long long>(q) * columns + col;
                        if (tally[cell] > bestValue) {
                            bestValue = tally[cell];
                            bestCell = cell;
                        }
                        sum += tally[cell];
                        tally[cell] = 0;
                    }
                }
                tally[bestCell] = static_cast<int>(std::min<long long>(sum, INT_MAX));
            }
        }
    }
}

// DeleteMD: frees every row of the per-sequence stores.
void CGibbsDP::DeleteMD(int** siteTally, int* widthTally, int** moduleTally) {
    for (int s = 0; s < seqCount; ++s) {
        delete[] siteTally[s];
        siteTally[s] = nullptr;
        delete[] moduleTally[s];
        moduleTally[s] = nullptr;
    }
    for (int i = 0; i < motifCount * kWidthBins; ++i) widthTally[i] = 0;
}
