// Beta and Dirichlet variates with whole-number shapes, built from sums of
// logarithms of uniforms (the sum of k values ln u is minus a Gamma(k, 1)
// variate). No state: callers make one as a local object.
#pragma once

class CStochasticDistribution {
  public:
    // One Beta(a, b) variate: a uniforms for X, then b for Y, X / (X + Y).
    // Beta(a, 0) is 1 and Beta(0, b) is 0; Beta(0, 0) gives 0.5.
    double Beta(int a, int b);
    // One Dirichlet(alpha[0..n-1]) variate into out[0..n-1], the uniforms
    // consumed component by component. A shape of 0 or less gives a share of
    // exactly 0; when every shape is 0 or less, every share is 1 / n.
    void Dirichlet(const int* alpha, int n, double* out);
};
