// Log posterior model odds of the module model against pure background, by
// importance sampling from a proposal built on the final sites.

#include <cmath>
#include <vector>

#include "core/Helpers.h"
#include "core/StochasticDistribution.h"
#include "model/GibbsDP.h"

namespace {

constexpr int kDraws = 100;

// ln of the sum of exp(v[i]); terms more than 300 below the largest count 0.
double LogSumExp(const std::vector<double>& v) {
    const double m = v[Maximum(v.data(), static_cast<int>(v.size()))];
    double sum = 0.0;
    for (const double x : v) sum += x - m >= -300 ? std::exp(x - m) : 0.0;
    return m + std::log(sum);
}

}  // namespace

// CalLogNullModel: the log-likelihood of all sequences under the background.
double CGibbsDP::CalLogNullModel() {
    double total = 0.0;
    for (int s = 0; s < seqCount; ++s) total += CalLogBgPr(seqs[s]);
    return total;
}

// ShrinkCount: turns the final counts into the proposal's shapes, scaled by f
// with one pseudo-count each: the motif columns (to f times the motif's site
// count), the background tokens inside the estimated modules (may be negative,
// then its share is 0), the mixture counts, and the module starts.
void CGibbsDP::ShrinkCount(double f) {
    const int K = motifCount;
    const int L = moduleLength;
    for (int k = 0; k < K; ++k) {
        for (int j = 0; j < widths[k]; ++j) {
            int* column = countMat[k] + 4 * j;
            const double sum = static_cast<double>(column[0] + column[1] + column[2] + column[3]);
            for (int b = 0; b < 4; ++b) {
                column[b] = static_cast<int>(column[b] / (sum + 0.001) * siteTotals[k] * f) + 1;
            }
        }
    }
    long long background = static_cast<long long>(moduleCount) * L;
    for (int k = 0; k < K; ++k) background -= static_cast<long long>(siteTotals[k]) * widths[k];
    siteTotals[K] = static_cast<int>(background);
    for (int k = 0; k <= K; ++k) siteTotals[k] = static_cast<int>(siteTotals[k] * f) + 1;
    totalLength = static_cast<int>((totalLength - static_cast<long long>(moduleCount) * L) * f) + 1;
    moduleCount = static_cast<int>(moduleCount * f) + 1;
}

// ProposeParameter: draws one parameter set from the proposal (x, then the
// mixture weights, then the matrices motif by motif and column by column) and
// returns its log weight ln q, the shapes used as exponents.
double CGibbsDP::ProposeParameter(double* x, double* mixWeights, double** motifProb) {
    const int K = motifCount;
    CStochasticDistribution variates;
    *x = variates.Beta(moduleCount, totalLength);
    double lq = moduleCount * std::log(*x + 1e-200) + totalLength * std::log(1 - *x + 1e-200);
    variates.Dirichlet(siteTotals, K + 1, mixWeights);
    for (int k = 0; k <= K; ++k) lq += siteTotals[k] * std::log(mixWeights[k] + 1e-200);
    for (int k = 0; k < K; ++k) {
        for (int j = 0; j < widths[k]; ++j) {
            const int* shapes = countMat[k] + 4 * j;
            double* theta = motifProb[k] + 4 * j;
            variates.Dirichlet(shapes, 4, theta);
            for (int b = 0; b < 4; ++b) lq += shapes[b] * std::log(theta[b] + 1e-200);
        }
    }
    return lq;
}

// ProbSeqGParam: log-likelihood of sequence s under a drawn parameter set, by
// the module forward recursion; an empty sequence contributes 0.
double CGibbsDP::ProbSeqGParam(int s, double x, double* mixWeights, double* table) {
    const int n = seqs[s].GetLength();
    if (n == 0) return 0.0;
    EnsureWorkArrays(n);
    return ModuleForward(table, n, x, mixWeights, mixPrefixWork.data(), windowWork.data(),
                         forwardWork.data(), nullptr);
}

// ISforBF: the log posterior model odds, ln(sum_i p(data|theta_i)/q(theta_i))
// - ln(sum_i 1/q(theta_i)) - ln p(data|background) - K ln 3, over 100 draws.
// Uses the run's likelihood tables (their background slots stay as set up)
// and parameter holders as work space. Stores the result in logOdds.
double CGibbsDP::ISforBF(double* x, double* mixWeights, MotifMatrices& motifProb, int* seqLengths,
                         double** posLogPr) {
    const int K = motifCount;
    const double nullModel = CalLogNullModel();
    for (int k = 0; k < K; ++k) {
        if (static_cast<int>(motifProb.Size(k)) != 4 * widths[k]) motifProb.Resize(k, widths[k]);
    }
    ShrinkCount(0.3);
    std::vector<double> a(kDraws), b(kDraws);
    for (int i = 0; i < kDraws; ++i) {
        const double lq = ProposeParameter(x, mixWeights, motifProb.data());
        CalLogPrPos(posLogPr, seqLengths, motifProb.data());
        double ll = 0.0;
        for (int s = 0; s < seqCount; ++s) ll += ProbSeqGParam(s, *x, mixWeights, posLogPr[s]);
        a[i] = -lq;
        b[i] = ll - lq;
    }
    const double A = LogSumExp(a);
    const double B = LogSumExp(b);
    logOdds = B - A - nullModel - K * std::log(3.0);
    return logOdds;
}
