// The sampling run driver: set-up, the Gibbs iterations, the summary and the
// reports of one run, in their fixed order.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "model/GibbsDP.h"

// OutputInfo: the progress line of iteration t.
void CGibbsDP::OutputInfo(int t) { std::printf("Finish runing iteration %d.\n", t); }

// DataAugmentation: one complete sampling run.
void CGibbsDP::DataAugmentation() {
    std::srand(seed);
    Initialize();
    BuildBackground();
    if (readPWM) LoadInputPWM();
    std::fputs(cmdLine.CStr(), stdout);
    std::printf("\nInput %d sequences.\n", seqCount);
    RandPickSite();

    const int K = motifCount;
    std::vector<double> mixWeights(K + 1, 0.0);
    MotifMatrices motifProb(K);
    for (int k = 0; k < K; ++k) motifProb.Resize(k, widths[k]);

    std::vector<int> seqLengths(seqCount);
    std::vector<std::vector<double>> tableStore(seqCount);
    std::vector<double*> posLogPr(seqCount);
    long long lengthSum = 0;
    for (int s = 0; s < seqCount; ++s) {
        seqLengths[s] = seqs[s].GetLength();
        lengthSum += seqLengths[s];
        tableStore[s].assign(static_cast<std::size_t>(seqLengths[s]) * (2 * K + 1), 0.0);
        posLogPr[s] = tableStore[s].data();
    }
    const int meanLength = static_cast<int>(lengthSum / seqCount);
    (void)meanLength;
    CalLogBgPrPos(posLogPr.data(), seqLengths.data());
    int maxLength = 0;
    for (const int n : seqLengths) maxLength = std::max(maxLength, n);
    EnsureWorkArrays(maxLength);

    double moduleStartProb = 0.0;
    for (int t = 1; t <= maxIter; ++t) {
        if (sampleParams) {
            SampleParameters(&moduleStartProb, mixWeights.data(), motifProb.data());
        } else {
            UpdateParameters(&moduleStartProb, mixWeights.data(), motifProb.data());
        }
        if (t == 1 && readPWM) ReadInputPWM(motifProb);
        int lengthMove = -1;

        CalLogPrPos(posLogPr.data(), seqLengths.data(), motifProb.data());
        for (int i = 0; i < seqCount; ++i) {
            ApproxSampleCurSeq(i, moduleStartProb, mixWeights.data(), posLogPr[i], &lengthMove);
        }
        for (int i = 0; i < seqCount; ++i) {
            const int m = std::min(moduleLength, seqLengths[i]);
            for (int j = 0; j < modules[i].moduleNum; ++j) {
                const int start = modules[i].moduleStarts[j];
                SampleSites(mixWeights.data(), posLogPr[i], i, start + m - 1, m);
            }
        }
        const double score = CalLogPostPrSample();
        if (score > bestLogPost) {
            CopySample(curSites, bestSites);
            bestLogPost = score;
        }
        if (t % 50 == 0) OutputInfo(t);
    }
}
