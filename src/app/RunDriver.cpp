// The sampling run driver: set-up, the Gibbs iterations, the summary and the
// reports of one run, in their fixed order.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/Random.h"
#include "model/GibbsDP.h"

RunWork::~RunWork() {
    for (int* row : siteTally) delete[] row;
    for (int* row : moduleTally) delete[] row;
}

// OutputInfo: the progress line of iteration t.
void CGibbsDP::OutputInfo(int t) {
    std::printf("Finish runing iteration %d.\n", t);
}

// DataAugmentation: one complete sampling run.
void CGibbsDP::DataAugmentation() {
    RunWork work;
    SetUpRun(work);
    for (int t = 1; t <= maxIter; ++t) RunIteration(t, work);
    FinishRun(work);
}

// SetUpRun: seeds the generator, reads the sequences and the optional input
// files, builds the background, writes the echoed command line and the
// sequence count, places the first sample and sizes the run's work data.
void CGibbsDP::SetUpRun(RunWork& work) {
    std::srand(seed);
    Initialize();
    BuildBackground();
    if (readPWM) LoadInputPWM();
    std::fputs(cmdLine.CStr(), stdout);
    std::printf("\nInput %d sequences.\n", seqCount);
    RandPickSite();

    const int K = motifCount;
    work.mixWeights.assign(K + 1, 0.0);
    work.motifProb = MotifMatrices(K);
    for (int k = 0; k < K; ++k) work.motifProb.Resize(k, widths[k]);

    work.seqLengths.resize(seqCount);
    work.tableStore.resize(seqCount);
    work.posLogPr.resize(seqCount);
    long long lengthSum = 0;
    int maxLength = 0;
    for (int s = 0; s < seqCount; ++s) {
        const int n = seqs[s].GetLength();
        work.seqLengths[s] = n;
        lengthSum += n;
        maxLength = std::max(maxLength, n);
        work.tableStore[s].assign(static_cast<std::size_t>(n) * (2 * K + 1), 0.0);
        work.posLogPr[s] = work.tableStore[s].data();
    }
    work.meanLength = static_cast<int>(lengthSum / seqCount);
    SetUpTallies(work);
    CalLogBgPrPos(work.posLogPr.data(), work.seqLengths.data());
    EnsureWorkArrays(maxLength);
}

// SetUpTallies: the three tally stores of the run, made and zeroed.
void CGibbsDP::SetUpTallies(RunWork& work) {
    work.siteTally.assign(seqCount, nullptr);
    work.moduleTally.assign(seqCount, nullptr);
    work.widthTally.assign(static_cast<std::size_t>(motifCount) * kWidthBins, 0);
    SetZerosMD(work.siteTally.data(), work.widthTally.data(), work.moduleTally.data());
}

// RunIteration: iteration t (1-based) of the Gibbs sampler.
void CGibbsDP::RunIteration(int t, RunWork& work) {
    const int K = motifCount;
    double* mixWeights = work.mixWeights.data();
    if (t <= burnIn && t % 50 == 0) {
        for (int k = 0; k < K; ++k) UpdateWidth(k);
        for (int k = 0; k < K; ++k) PhaseShift(k);
        for (int k = 0; k < K; ++k) work.motifProb.Resize(k, widths[k]);
    }
    if (sampleParams) {
        SampleParameters(&work.moduleStartProb, mixWeights, work.motifProb.data());
    } else {
        UpdateParameters(&work.moduleStartProb, mixWeights, work.motifProb.data());
    }
    if (t == 1 && readPWM) ReadInputPWM(work.motifProb);
    work.lengthMove = -1;
    const bool lengthMoves = t >= burnIn + 2 && fixModuleLength == 0;
    if (lengthMoves) {
        work.lengthMove = rng::Next() % 4;
        if (moduleLength <= 80 && work.lengthMove >= 2) work.lengthMove = -1;
        if (moduleLength >= std::min(500, work.meanLength) && work.lengthMove <= 1)
            work.lengthMove = -1;
    }

    CalLogPrPos(work.posLogPr.data(), work.seqLengths.data(), work.motifProb.data());
    for (int i = 0; i < seqCount; ++i) {
        ApproxSampleCurSeq(i, work.moduleStartProb, mixWeights, work.posLogPr[i], &work.lengthMove);
    }
    if (lengthMoves && work.lengthMove >= 0) UpdateModuleLength(work.lengthMove);
    for (int i = 0; i < seqCount; ++i) {
        const int m = std::min(moduleLength, work.seqLengths[i]);
        for (int j = 0; j < modules[i].moduleNum; ++j) {
            const int start = modules[i].moduleStarts[j];
            SampleSites(mixWeights, work.posLogPr[i], i, start + m - 1, m);
        }
    }
    const double score = CalLogPostPrSample();
    if (score > bestLogPost) {
        CopySample(curSites, bestSites);
        bestLogPost = score;
    }
    if (t > burnIn)
        RecordMD(work.siteTally.data(), work.widthTally.data(), work.moduleTally.data());
    if (t % 50 == 0) OutputInfo(t);
}

// FinishRun: the summary and report stages after the last iteration.
void CGibbsDP::FinishRun(RunWork& work) {
    const int D = maxIter - burnIn + 1;
    SumNeighborMD(work.siteTally.data());
    InferModule(work.moduleTally.data(), work.seqLengths.data());
    FindOptimum(work.siteTally.data(), work.widthTally.data(), D);
    AlignSites();
    if (outputBF) {
        ISforBF(&work.moduleStartProb, work.mixWeights.data(), work.motifProb,
                work.seqLengths.data(), work.posLogPr.data());
    }
    Output(outFile, work.moduleTally.data(), work.seqLengths.data());
    OutputModPr(work.moduleTally.data(), work.seqLengths.data(), D, outFile);
    DeleteMD(work.siteTally.data(), work.widthTally.data(), work.moduleTally.data());
    for (const std::string& failure : failedFiles) {
        std::printf("Cannot write results file %s\n", failure.c_str());
    }
}
