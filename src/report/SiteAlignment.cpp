// Realignment of each motif's final sites.

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Helpers.h"
#include "core/Random.h"
#include "model/GibbsDP.h"

namespace {

// Log-likelihood of the w letters (given by base codes) under log matrix lt,
// summed from 0.0 with the column rising, as CalLogMotifPr sums them.
double WindowScore(const std::uint8_t* codes, int step, int w, const double* lt) {
    double r = 0.0;
    for (int i = 0; i < w; ++i) r += lt[4 * i + codes[step * i]];
    return r;
}

}  // namespace

// AlignSites: refines each motif's final sites once. A motif with more than
// two sites whose strongest site was found in at least half of the recorded
// iterations is realigned over 20 passes: each pass re-estimates the matrix
// from the previous pass's alignment, lets every site choose its placement
// among the starts within five positions of where it was found (both strands
// when searched, the strand following the best placement), and the best-scoring
// alignment (counts against background) is kept. A weaker motif is left as it
// is, with siteTotals 1. Leaves curSites and bestSites equal.
void CGibbsDP::AlignSites() {
    const int K = motifCount;
    const int R = maxIter - burnIn;
    const int H = R / 2;
    std::vector<int> entryStarts;
    std::vector<double> theta;
    std::vector<double> logTheta;
    double slots[22];
    double weights[22];
    for (int k = 0; k < K; ++k) {
        const int w = widths[k];
        const int n = CalWeightMat(bestSites[k], countMat[k], w);
        siteTotals[k] = n;
        CopySample(bestSites[k], curSites[k]);
        if (n <= 2) continue;

        entryStarts.clear();
        double startBg = 0.0;
        int strongest = 0;
        for (int s = 0; s < seqCount; ++s) {
            for (const SITEINFO* node = bestSites[k][s]->next; node; node = node->next) {
                entryStarts.push_back(node->pos);
                startBg += CalLogBgPr(node->site);
                strongest = std::max(strongest, node->tally);
            }
        }
        if (strongest < H) {
            siteTotals[k] = 1;
            continue;
        }
        auto score = [&](double bgSum) {
            double t = 0.0;
            for (int j = 0; j < w; ++j) {
                for (int b = 0; b < 4; ++b) t += logGamma(countMat[k][4 * j + b] + basePrior[b]);
            }
            return t - bgSum;
        };
        double best = score(startBg);
        theta.resize(4 * w);
        logTheta.resize(4 * w);
        for (int pass = 0; pass < 20; ++pass) {
            for (int e = 0; e < 4 * w; ++e) {
                theta[e] = static_cast<double>(countMat[k][e] + 1) / (n + 4);
                logTheta[e] = std::log(theta[e]);
            }
            double bgSum = 0.0;
            int i = 0;
            for (int s = 0; s < seqCount; ++s) {
                const int length = seqs[s].GetLength();
                const std::uint8_t* code = seqCodes[s].code.data();
                const std::uint8_t* rcCode = seqCodes[s].rcCode.data();
                for (SITEINFO* node = bestSites[k][s]->next; node; node = node->next, ++i) {
                    const int o = entryStarts[i];
                    const int lo = std::max(o - 5, 0);
                    int hi = o + 5;
                    if (hi + w > length) hi = length - w;
                    const int m = hi - lo + 1;
                    for (int t = lo; t <= hi; ++t) {
                        const double g = CalLogBgPrCodes(code + t, w);
                        slots[2 * (t - lo)] = WindowScore(code + t, 1, w, logTheta.data()) - g;
                        // the reverse complement read from the window's last letter back
                        slots[2 * (t - lo) + 1] =
                            bothStrands
                                ? WindowScore(rcCode + t + w - 1, -1, w, logTheta.data()) - g
                                : kLogImpossible;
                    }
                    const int mx = Maximum(slots, 2 * m);
                    double cumulative = 0.0;
                    for (int v = 0; v < 2 * m; ++v) {
                        const double d = slots[v] - slots[mx];
                        if (d > -200) cumulative = cumulative + std::exp(d);
                        weights[v] = cumulative;
                    }
                    const double total = weights[2 * m - 1];
                    weights[2 * m - 1] += 0.1;
                    const double u = rng::Coin() * total;
                    int drawn = 2 * m - 1;
                    for (int v = 0; v < 2 * m; ++v) {
                        if (u < weights[v]) {
                            drawn = v;
                            break;
                        }
                    }
                    node->pos = lo + drawn / 2;
                    const CString word = seqs[s].Mid(node->pos, w);
                    bgSum += CalLogBgPrCodes(code + node->pos, w);
                    if (mx % 2 == 1) {
                        node->strand = 0;
                        node->site = Reverse(word);
                    } else {
                        node->strand = 1;
                        node->site = word;
                    }
                }
            }
            CalWeightMat(bestSites[k], countMat[k], w);
            const double current = score(bgSum);
            if (current > best) {
                best = current;
                CopySample(bestSites[k], curSites[k]);
            }
        }
    }
    CopySample(curSites, bestSites);
}
