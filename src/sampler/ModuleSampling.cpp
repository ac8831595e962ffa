// Module sampling: the module forward recursion over a sequence and the
// backward draw of its modules.

#include <algorithm>
#include <cmath>

#include "core/Helpers.h"
#include "core/Random.h"
#include "model/GibbsDP.h"

namespace {

const double kLogHalf = std::log(0.5);

}  // namespace

void CGibbsDP::EnsureWorkArrays(int n) {
    const std::size_t need = n > 0 ? static_cast<std::size_t>(n) : 1;
    if (mixPrefixWork.size() < need) {
        mixPrefixWork.resize(need);
        windowWork.resize(need);
        forwardWork.resize(need);
        siteForwardWork.resize(need);
    }
    const std::size_t candidates = 2 * static_cast<std::size_t>(motifCount) + 1;
    if (candidateWork.size() < candidates) candidateWork.resize(candidates);
    if (logMixWork.size() < candidates) logMixWork.resize(candidates);
}

namespace {

// One step of the in-module mixture: out[t], t >= 1, for the table row of
// window position t. The letter is a background letter, or the last letter of
// a site of motif k (either strand with probability one half) that starts
// inside the stretch. With both strands, the two strands' LogSum of each motif
// is stored in strandSums[k] when strandSums is given.
inline double MixtureStep(const double* out, int t, const double* row, int K, const int* widths,
                          const double* logPi, bool bothStrands, double* strandSums) {
    double v = out[t - 1] + row[2 * K] + logPi[K];
    for (int k = 0; k < K; ++k) {
        const int w = widths[k];
        if (t + 1 < w) continue;
        double site;
        if (bothStrands) {
            const double strands = LogSum(row[2 * k], row[2 * k + 1]);
            if (strandSums) strandSums[k] = strands;
            site = strands + logPi[k] + kLogHalf;
        } else {
            site = row[2 * k] + logPi[k];
        }
        if (t + 1 > w) site += out[t - w];
        v = LogSum(v, site);
    }
    return v;
}

}  // namespace

double* CGibbsDP::StrandSumBlock(int s) {
    if (static_cast<int>(strandLogPr.size()) != seqCount) strandLogPr.resize(seqCount);
    std::vector<double>& sums = strandLogPr[s];
    const std::size_t need = static_cast<std::size_t>(seqs[s].GetLength()) * motifCount;
    if (sums.size() != need) sums.assign(need, kLogImpossible);
    return sums.data();
}

// A weight of exactly 0 (a proposal of the model-odds estimate drawn with an
// empty shape) gets ln 1e-200 instead of minus infinity, so that differences
// of prefix values stay finite; every positive weight keeps its own log.
void CGibbsDP::LoadLogMixWeights(const double* mixWeights) {
    EnsureWorkArrays(0);
    static const double kLogTiny = std::log(1e-200);
    for (int k = 0; k <= motifCount; ++k) {
        logMixWork[k] = mixWeights[k] > 0.0 ? std::log(mixWeights[k]) : kLogTiny;
    }
}

// CalModuleLogPr: the in-module mixture over positions end-span+1 .. end:
// out[t] is the log-likelihood of the first t+1 of them when all lie inside
// one module, as a run of background letters and whole motif sites. Returns
// out[span-1].
double CGibbsDP::CalModuleLogPr(int end, int span, const double* table, const double* mixWeights,
                                double* out) {
    if (span <= 0) return 0.0;
    const int K = motifCount;
    const long long stride = 2 * K + 1;
    LoadLogMixWeights(mixWeights);
    const double* logPi = logMixWork.data();
    const int first = end - span + 1;
    out[0] = table[first * stride + 2 * K] + logPi[K];
    for (int t = 1; t < span; ++t) {
        out[t] = MixtureStep(out, t, table + (first + t) * stride, K, widths, logPi, bothStrands,
                             nullptr);
    }
    return out[span - 1];
}

// ModuleForward: the module forward recursion over a whole sequence of n > 0
// letters (table: its likelihood rows), under start probability x: G the
// in-module prefix values (CalModuleLogPr over the whole sequence), W[i]
// (i >= a-1) the in-module value of the window of a = min(L, n) letters ending
// at i, F[i] the log-likelihood of letters 0..i over all module placements
// ending at or before i. The two recursions run in one loop, so their chains
// overlap; each value is computed exactly as on its own. With both strands,
// the strands' LogSums are stored in strandSums (n x K) for site sampling.
// Returns F[n-1], the log-likelihood of the sequence.
double CGibbsDP::ModuleForward(const double* table, int n, double x, const double* mixWeights,
                               double* G, double* W, double* F, double* strandSums) {
    const int K = motifCount;
    const long long stride = 2 * K + 1;
    const int a = std::min(moduleLength, n);
    LoadLogMixWeights(mixWeights);
    const double* logPi = logMixWork.data();
    const double logX = std::log(x);
    const double logNotX = std::log(1 - x);
    for (int i = 0; i < n; ++i) {
        const double* row = table + i * stride;
        if (i == 0) {
            G[0] = row[2 * K] + logPi[K];
        } else {
            G[i] = MixtureStep(G, i, row, K, widths, logPi, bothStrands,
                               strandSums ? strandSums + static_cast<long long>(i) * K : nullptr);
        }
        const double bg = row[2 * K];
        if (i <= a - 2) {
            F[i] = i == 0 ? bg : F[i - 1] + bg;  // no module can end yet
            continue;
        }
        W[i] = i == a - 1 ? G[i] : G[i] - G[i - a];
        const double before = i >= 1 ? F[i - 1] : 0.0;  // F[-1] = 0, the empty prefix
        const double beforeModule = i - a >= 0 ? F[i - a] : 0.0;
        F[i] = LogSum(before + logNotX + bg, beforeModule + logX + W[i]);
    }
    return F[n - 1];
}

// ExcludeCurSeq: removes the modules and every motif site of sequence s from
// the sample, taking the sites out of siteTotals and countMat.
void CGibbsDP::ExcludeCurSeq(int s) {
    MODULEINFO& mod = modules[s];
    mod.moduleNum = 0;
    delete[] mod.moduleStarts;
    mod.moduleStarts = nullptr;
    for (int k = 0; k < motifCount; ++k) {
        SITEINFO* head = curSites[k][s];
        for (SITEINFO* node = head->next; node;) {
            --siteTotals[k];
            const int m = std::min(widths[k], node->site.GetLength());
            for (int j = 0; j < m; ++j) {
                const int b = base::kCountCode[static_cast<unsigned char>(node->site[j])];
                if (b < 4) --countMat[k][4 * j + b];
            }
            SITEINFO* next = node->next;
            delete node;
            node = next;
        }
        head->next = nullptr;
    }
}

// ApproxSampleCurSeq: resamples the modules of sequence s. F[i] is the
// log-likelihood of letters 0..i summed over all module placements ending at
// or before i; W[i] that of the module window of a = min(L, n) letters ending
// at i; G the in-module prefix values. An empty sequence loses its modules and
// sites and gets none.
void CGibbsDP::ApproxSampleCurSeq(int s, double x, double* mixWeights, double* table,
                                  int* lengthMove) {
    const int n = seqs[s].GetLength();
    MODULEINFO& mod = modules[s];
    if (n == 0) {
        ExcludeCurSeq(s);
        mod.logRatio = 0.0;
        mod.moveLogRatio = 0.0;
        return;
    }
    EnsureWorkArrays(n);
    double* G = mixPrefixWork.data();
    double* W = windowWork.data();
    double* F = forwardWork.data();
    double* strandSums = bothStrands ? StrandSumBlock(s) : nullptr;
    ModuleForward(table, n, x, mixWeights, G, W, F, strandSums);
    ExcludeCurSeq(s);
    SampleModule(W, F, x, n, s, lengthMove, G);
}

// SampleModule: draws the modules of sequence s backwards from its end. At
// each candidate end i the module ends there with probability
// exp(F[i-a] + W[i] + ln x - F[i]); an accepted module adds its log-ratio
// against background to logRatio and, with a pending length move, the ratio
// of the move's edge window to moveLogRatio (a window that leaves the sequence
// cancels the move). Modules never overlap. Starts are stored highest first.
void CGibbsDP::SampleModule(double* windowLogPr, double* forwardLogPr, double x, int n, int s,
                            int* lengthMove, double* mixPrefix) {
    MODULEINFO& mod = modules[s];
    mod.logRatio = 0.0;
    mod.moveLogRatio = 0.0;
    const double* W = windowLogPr;
    const double* F = forwardLogPr;
    const double* G = mixPrefix;
    const std::uint8_t* code = seqCodes[s].code.data();
    const int a = std::min(moduleLength, n);
    const int h = lengthStep;
    const double logX = std::log(x);
    startWork.clear();
    int i = n - 1;
    while (i >= a - 1) {
        const double e = i == a - 1 ? logX + W[i] - F[i] : F[i - a] + W[i] + logX - F[i];
        bool accept = false;
        if (e > -200) accept = rng::AcceptUniform() < std::exp(e);
        if (independent) accept = true;
        if (!accept) {
            --i;
            continue;
        }
        const int start = i - a + 1;
        startWork.push_back(start);
        mod.logRatio += W[i] - CalLogBgPrCodes(code + start, a);
        if (*lengthMove >= 0) {
            int e0 = 0;
            switch (*lengthMove) {
                case 0:
                    e0 = start - h;
                    break;
                case 1:
                    e0 = i + 1;
                    break;
                case 2:
                    e0 = start;
                    break;
                default:
                    e0 = i - h + 1;
                    break;
            }
            const int e1 = e0 + h - 1;
            if (e0 < 0 || e1 >= n) {
                *lengthMove = -1;
            } else {
                const double inModule = e0 == 0 ? G[e1] : G[e1] - G[e0 - 1];
                mod.moveLogRatio += inModule - CalLogBgPrCodes(code + e0, h);
            }
        }
        i = start - 1;
    }
    // A lengthening move would make modules that lie fewer than lengthStep
    // letters apart overlap: it is cancelled like one that leaves the sequence.
    if (*lengthMove == 0 || *lengthMove == 1) {
        for (std::size_t j = 1; j < startWork.size(); ++j) {
            if (startWork[j - 1] - (startWork[j] + a) < h) *lengthMove = -1;
        }
    }
    mod.moduleNum = static_cast<int>(startWork.size());
    if (mod.moduleNum > 0) {
        mod.moduleStarts = new int[mod.moduleNum];
        std::copy(startWork.begin(), startWork.end(), mod.moduleStarts);
    }
}
