// Collapsed log posterior of a sample and the count matrices of site lists.

#include <cmath>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

// CalWeightMat: fills counts (w rows x 4, A C G T) with the letters of the
// sites of the seqCount lists, in either case; other letters count nowhere.
// Returns the number of sites.
int CGibbsDP::CalWeightMat(SITEINFO** siteLists, int* counts, int w) {
    for (int i = 0; i < 4 * w; ++i) counts[i] = 0;
    int sites = 0;
    for (int s = 0; s < seqCount; ++s) {
        for (const SITEINFO* node = siteLists[s]->next; node; node = node->next) {
            ++sites;
            const int m = std::min(w, node->site.GetLength());
            for (int j = 0; j < m; ++j) {
                const int b = base::kCountCode[static_cast<unsigned char>(node->site[j])];
                if (b < 4) ++counts[4 * j + b];
            }
        }
    }
    return sites;
}

// CalBayesianScore: the log posterior of a sample with the motif matrices and
// mixture weights integrated out, without its module term. M modules cover
// `coverage` positions (the sum over modules of min(L, n_s)); n[k] sites of
// motif k of width w[k] with count matrix c[k]; bgSum the background log-
// likelihood of all site words. Natural logs.
double CGibbsDP::CalBayesianScore(int M, long long coverage, const int* n, int** c, const int* w,
                                  double bgSum) {
    const int K = motifCount;
    const long long N = totalLength;
    static const double kLn15 = std::log(15.0);
    double t = 0.0;
    // module starts among the positions that can start one
    t += logGamma(M + moduleStartPrior);
    t += logGamma(static_cast<int>(N - coverage + nonModulePrior));
    t -= logGamma(static_cast<int>(N - (coverage - M) + moduleStartPrior + nonModulePrior));
    // motif or background tokens inside modules
    long long siteCount = 0;
    for (int k = 0; k < K; ++k) siteCount += n[k];
    const long long B = coverage - siteCount;
    t += logGamma(static_cast<int>(B + modulePrior[K]));
    int priorSum = 0;
    for (int k = 0; k < K; ++k) {
        t += logGamma(n[k] + modulePrior[k]);
        priorSum += modulePrior[k];
    }
    priorSum += modulePrior[K];
    t -= logGamma(static_cast<int>(coverage + priorSum));
    // motif columns
    const int S = basePrior[0] + basePrior[1] + basePrior[2] + basePrior[3];
    for (int k = 0; k < K; ++k) {
        for (int j = 0; j < w[k]; ++j) {
            for (int b = 0; b < 4; ++b) t += logGamma(c[k][4 * j + b] + basePrior[b]);
        }
        t -= w[k] * logGamma(n[k] + S);
    }
    // site words as ratios against background
    t -= bgSum;
    // Poisson(15) prior on each width
    for (int k = 0; k < K; ++k) t += w[k] * kLn15 - logGamma(w[k] + 1);
    return t;
}

// CalLogPostPrSample: the log posterior score of the current sample. Leaves
// countMat and siteTotals[0..K-1] rebuilt from curSites.
double CGibbsDP::CalLogPostPrSample() {
    const int K = motifCount;
    for (int k = 0; k < K; ++k) siteTotals[k] = CalWeightMat(curSites[k], countMat[k], widths[k]);
    const int M = CountModule(modules);
    double bgSum = 0.0;
    for (int k = 0; k < K; ++k) {
        for (int s = 0; s < seqCount; ++s) {
            for (const SITEINFO* node = curSites[k][s]->next; node; node = node->next) {
                bgSum += CalLogBgPr(node->site);
            }
        }
    }
    const double score = CalBayesianScore(M, ModuleCoverage(), siteTotals, countMat, widths, bgSum);
    double ratioSum = 0.0;
    for (int s = 0; s < seqCount; ++s) ratioSum += modules[s].logRatio;
    return score + ratioSum;
}
