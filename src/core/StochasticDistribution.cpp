#include "StochasticDistribution.h"

#include <cmath>

#include "Random.h"

namespace {

// Minus a Gamma(shape, 1) variate: the sum of `shape` values ln u.
double NegGammaSum(int shape) {
    double x = 0.0;
    for (int i = 0; i < shape; ++i) x = x + std::log(rng::OpenUniform());
    return x;
}

}  // namespace

double CStochasticDistribution::Beta(int a, int b) {
    const double x = NegGammaSum(a);
    const double y = NegGammaSum(b);
    if (x + y == 0.0) return 0.5;  // both shapes empty: no information
    return x / (x + y);
}

void CStochasticDistribution::Dirichlet(const int* alpha, int n, double* out) {
    double total = 0.0;
    for (int i = 0; i < n; ++i) {
        out[i] = NegGammaSum(alpha[i]);
        total = total + out[i];
    }
    if (total == 0.0) {  // every shape empty: the uniform point
        for (int i = 0; i < n; ++i) out[i] = 1.0 / n;
        return;
    }
    for (int i = 0; i < n; ++i) out[i] = out[i] / total;
}
