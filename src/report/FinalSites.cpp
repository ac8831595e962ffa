// The run's answer from the tallies: module count, final widths and sites.

#include <climits>
#include <cmath>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

// InferModule: modulePositions = the positions inside a module in more than
// half of the recorded iterations; moduleCount = modulePositions / L. Without
// recorded iterations there is no posterior and no module.
void CGibbsDP::InferModule(int** moduleTally, int* seqLengths) {
    const int R = maxIter - burnIn;
    modulePositions = 0;
    moduleCount = 0;
    if (R <= 0) return;
    const int H = R / 2;
    for (int s = 0; s < seqCount; ++s) {
        for (int p = 0; p < seqLengths[s]; ++p) {
            if (moduleTally[s][p] > H) ++modulePositions;
        }
    }
    moduleCount = moduleLength > 0 ? modulePositions / moduleLength : 0;
}

// FindOptimum: for each motif, the final width (the recorded widths' sum over
// the divisor D = R + 1, rounded) and the final sites: every start whose
// pooled count reaches int(D x threshold), forward strand first, each list
// rebuilt in decreasing start order with the site's count in `tally`.
// Without recorded iterations every motif keeps its width and gets no site.
void CGibbsDP::FindOptimum(int** siteTally, int* widthTally, int D) {
    const int K = motifCount;
    const int R = maxIter - burnIn;
    const double cut = D * threshold;
    // A threshold above the int range (or not a number) selects nothing; one
    // below it selects every start, as any negative threshold does.
    int t = INT_MAX;
    if (cut < static_cast<double>(INT_MAX) && cut > static_cast<double>(INT_MIN))
        t = static_cast<int>(cut);
    else if (cut <= static_cast<double>(INT_MIN))
        t = INT_MIN;
    for (int k = 0; k < K; ++k) {
        if (R > 0) {
            // Every recorded width counts, so a width given by the matrix file
            // outside minWidth..maxWidth is kept rather than summed to 0.
            long long S = 0;
            for (int w = 0; w < kWidthBins; ++w)
                S += static_cast<long long>(w) * widthTally[k * kWidthBins + w];
            const int width = static_cast<int>(static_cast<double>(S) / D + 0.5);
            if (width >= 1 && width != widths[k]) {
                widths[k] = width;
                delete[] countMat[k];
                countMat[k] = new int[4 * width]();
            }
        }
        DelSiteHead(bestSites[k]);
        bestSites[k] = NewSiteHeads();
        if (R <= 0) continue;
        const int w = widths[k];
        for (int s = 0; s < seqCount; ++s) {
            const int n = seqs[s].GetLength();
            const int* tally = siteTally[s];
            for (int p = 0; p <= n - w; ++p) {
                const int f = tally[(static_cast<long long>(p) * K + k) * 2];
                const int r = tally[(static_cast<long long>(p) * K + k) * 2 + 1];
                if (f < t && r < t) continue;
                SITEINFO* node = new SITEINFO();
                const CString word = seqs[s].Mid(p, w);
                node->pos = p;
                if (f >= t) {
                    node->site = word;
                    node->strand = 1;
                    node->tally = f;
                } else {
                    node->site = Reverse(word);
                    node->strand = 0;
                    node->tally = r;
                }
                AddSite(bestSites[k][s], node);
            }
        }
    }
}
