// Site sampling inside one module window.

#include <cmath>

#include "core/Helpers.h"
#include "core/Random.h"
#include "model/GibbsDP.h"

namespace {

const double kLogHalf = std::log(0.5);

}  // namespace

// SampleSites: draws the motif sites of the module window of n letters that
// ends at `end` in sequence s. A forward recursion over the window (H[t]: the
// window's first t+1 letters as a run of background letters and whole sites)
// is followed by a backward draw from the window end: at each unassigned
// letter one draw picks a site of some motif and strand ending there, or a
// background letter. Sites never overlap and never leave the window; each is
// inserted after its list head, so every list ends up ordered by position.
// The strands' LogSums are those that module sampling stored this iteration.
void CGibbsDP::SampleSites(double* mixWeights, double* table, int s, int end, int n) {
    if (n <= 0) return;
    EnsureWorkArrays(n);
    const int K = motifCount;
    const int stride = 2 * K + 1;
    const int bgSlot = 2 * K;
    const int b = end - n + 1;
    const int wMin = widths[Minimum(widths, K)];
    double* H = siteForwardWork.data();
    double* cumulative = candidateWork.data();
    LoadLogMixWeights(mixWeights);
    const double* logPi = logMixWork.data();
    const double logPiBg = logPi[K];
    const double* strandSums = bothStrands ? StrandSumBlock(s) : nullptr;

    H[0] = table[static_cast<long long>(b) * stride + bgSlot];
    for (int t = 1; t < n; ++t) {
        const long long i = b + t;
        const double* row = table + i * stride;
        double v = H[t - 1] + row[bgSlot];
        if (t + 1 >= wMin) v = v + logPiBg;
        for (int k = 0; k < K; ++k) {
            const int w = widths[k];
            if (t + 1 < w) continue;
            double site;
            if (bothStrands) {
                site = strandSums[i * K + k] + logPi[k] + kLogHalf;
            } else {
                site = row[2 * k] + logPi[k];
            }
            if (t + 1 > w) site += H[t - w];
            v = LogSum(v, site);
        }
        H[t] = v;
    }

    const int strands = bothStrands ? 2 : 1;
    const double logZ = bothStrands ? kLogHalf : 0.0;  // ln 0.5, or ln 1
    int t = n - 1;
    while (t >= wMin - 1) {
        const double* row = table + static_cast<long long>(b + t) * stride;
        double running = 0.0;
        for (int k = 0; k < K; ++k) {
            const int w = widths[k];
            for (int d = 0; d < strands; ++d) {
                const double m = row[2 * k + d];
                double logP;
                if (t >= w) {
                    logP = H[t - w] + m + logPi[k] + logZ;
                } else if (t == w - 1) {
                    logP = m + logPi[k] + logZ;
                } else {
                    logP = H[t] - 2000;
                }
                logP = logP - H[t];
                running += logP < -200 ? 0.0 : std::exp(logP);
                cumulative[k * strands + d] = running;
            }
        }
        const double u = rng::AcceptUniform();
        int chosen = -1;
        for (int c = 0; c < K * strands; ++c) {
            if (cumulative[c] > u) {
                chosen = c;
                break;
            }
        }
        if (chosen < 0) {  // a background letter
            --t;
            continue;
        }
        const int k = chosen / strands;
        const bool forward = chosen % strands == 0;
        const int w = widths[k];
        SITEINFO* node = new SITEINFO();
        node->pos = b + t - w + 1;
        node->strand = forward ? 1 : 0;
        const CString word = seqs[s].Mid(node->pos, w);
        node->site = forward ? word : Reverse(word);
        node->tally = 0;
        AddSite(curSites[k][s], node);
        t -= w;
    }
}
