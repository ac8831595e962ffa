// Beta and Dirichlet variates under a fixed seed: which draws they consume,
// in which order, and the shapes that carry no uniform at all.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "core/StochasticDistribution.h"
#include "support/TestSupport.h"

using testsupport::Draws;

namespace {

constexpr unsigned int kSeed = 20240611;

// The first `count` values of the generator after srand(seed).
// Minus a Gamma(shape) variate from draws[from .. from+shape-1].
double LogUniformSum(const std::vector<int>& draws, int from, int shape) {
    double x = 0.0;
    for (int i = 0; i < shape; ++i) x = x + std::log((draws[from + i] + 1.0) / 2147483649.0);
    return x;
}

}  // namespace

TEST(StochasticDistribution, BetaUsesAUniformsForXThenBForY) {
    struct Case {
        int a;
        int b;
    };
    for (const Case c : std::vector<Case>{{1, 1}, {3, 2}, {2, 7}, {10, 1}}) {
        const std::vector<int> draws = Draws(kSeed, c.a + c.b + 1);
        std::srand(kSeed);
        const double v = CStochasticDistribution().Beta(c.a, c.b);
        EXPECT_EQ(std::rand(), draws[c.a + c.b]) << "Beta(" << c.a << "," << c.b << ") draws";
        const double x = LogUniformSum(draws, 0, c.a);
        const double y = LogUniformSum(draws, c.a, c.b);
        EXPECT_DOUBLE_EQ(v, x / (x + y)) << "Beta(" << c.a << "," << c.b << ")";
        EXPECT_GT(v, 0.0);
        EXPECT_LT(v, 1.0);
    }
}

TEST(StochasticDistribution, BetaWithAnEmptyShape) {
    struct Case {
        int a;
        int b;
        double expected;
    };
    for (const Case c :
         std::vector<Case>{{3, 0, 1.0}, {1, 0, 1.0}, {0, 4, 0.0}, {0, 1, 0.0}, {0, 0, 0.5}}) {
        const std::vector<int> draws = Draws(kSeed, c.a + c.b + 1);
        std::srand(kSeed);
        EXPECT_EQ(CStochasticDistribution().Beta(c.a, c.b), c.expected) << c.a << "," << c.b;
        EXPECT_EQ(std::rand(), draws[c.a + c.b]) << "Beta(" << c.a << "," << c.b << ") draws";
    }
}

TEST(StochasticDistribution, DirichletConsumesDrawsComponentByComponent) {
    const std::vector<std::vector<int>> shapes = {
        {1, 1, 1, 1}, {0, 2, 0, 1}, {5}, {3, 0}, {2, 6, 1, 1, 4},
    };
    for (const auto& alpha : shapes) {
        const int n = static_cast<int>(alpha.size());
        const int total = std::accumulate(alpha.begin(), alpha.end(), 0);
        const std::vector<int> draws = Draws(kSeed, total + 1);
        std::srand(kSeed);
        std::vector<double> out(n, -1.0);
        CStochasticDistribution().Dirichlet(alpha.data(), n, out.data());
        EXPECT_EQ(std::rand(), draws[total]) << "draws consumed for " << n << " shapes";

        std::vector<double> gamma(n);
        double gammaSum = 0.0;
        for (int i = 0, from = 0; i < n; from += alpha[i], ++i) {
            gamma[i] = LogUniformSum(draws, from, alpha[i]);
            gammaSum += gamma[i];
        }
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            if (alpha[i] == 0) {
                EXPECT_EQ(out[i], 0.0) << "empty shape " << i;
            } else {
                EXPECT_GT(out[i], 0.0) << i;
                EXPECT_DOUBLE_EQ(out[i], gamma[i] / gammaSum) << i;
            }
            sum += out[i];
        }
        EXPECT_NEAR(sum, 1.0, 1e-12);
    }
}

TEST(StochasticDistribution, DirichletWithEveryShapeEmptyIsUniform) {
    const std::vector<int> draws = Draws(kSeed, 1);
    std::srand(kSeed);
    const int alpha[3] = {0, 0, 0};
    double out[3] = {-1.0, -1.0, -1.0};
    CStochasticDistribution().Dirichlet(alpha, 3, out);
    for (const double v : out) EXPECT_EQ(v, 1.0 / 3);
    EXPECT_EQ(std::rand(), draws[0]) << "no draw for empty shapes";
}

TEST(StochasticDistribution, SameSeedGivesTheSameVariates) {
    const auto sequence = [] {
        std::srand(kSeed);
        CStochasticDistribution dist;
        std::vector<double> values;
        const int alpha[4] = {3, 1, 4, 1};
        double out[4];
        for (int round = 0; round < 3; ++round) {
            values.push_back(dist.Beta(2, 5));
            dist.Dirichlet(alpha, 4, out);
            values.insert(values.end(), out, out + 4);
        }
        return values;
    };
    const std::vector<double> first = sequence();
    EXPECT_EQ(sequence(), first);
    std::srand(kSeed + 1);
    EXPECT_NE(CStochasticDistribution().Beta(2, 5), first[0]);
}
