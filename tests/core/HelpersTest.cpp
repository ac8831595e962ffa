// Numeric and sequence helpers.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/Helpers.h"

TEST(Helpers, ReverseComplement) {
    struct Case {
        const char* word;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"ACGT", "ACGT"}, {"AAC", "GTT"}, {"ANRT", "AYNT"}, {"acgT", "Agca"}, {"SW", "WS"},
        {"RY", "RY"},     {"A9-", "-9T"}, {"", ""},         {"G", "C"},       {"KMBD", "DBMK"},
    };
    for (const auto& c : cases) {
        const CString result = Reverse(CString(c.word));
        EXPECT_STREQ(result.CStr(), c.expected) << c.word;
        EXPECT_EQ(result.GetLength(), static_cast<int>(std::string(c.expected).size())) << c.word;
    }
}

TEST(Helpers, WordCode) {
    struct Case {
        const char* word;
        int expected;
    };
    const std::vector<Case> cases = {
        {"A", 0},  {"T", 3}, {"AC", 1}, {"CA", 4}, {"GT", 11},  {"TT", 15},
        {"NC", 1}, {"", 0},  {"c", 0},  {"cG", 2}, {"GCA", 36}, {"TTTTTTTTTTTTTTT", 1073741823},
    };
    for (const auto& c : cases) EXPECT_EQ(WordCode(CString(c.word)), c.expected) << c.word;
}

TEST(Helpers, LogGammaSmallArguments) {
    struct Case {
        int n;
        double expected;
    };
    const std::vector<Case> cases = {
        {1, 0.0},
        {2, 0.0},
        {0, 0.0},
        {-3, 0.0},
        {3, std::log(2.0)},
        {5, std::log(24.0)},
        {11, std::log(3628800.0)},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(logGamma(c.n), c.expected) << c.n;
}

// The value is the plain sum ln(n-1) + ... + ln 2 in that order, bit for bit,
// on the first call and on every repeat, below and above any cache boundary,
// whatever order the arguments come in.
TEST(Helpers, LogGammaIsExactlyTheDescendingSum) {
    const auto descending = [](int n) {
        double s = 0.0;
        for (int k = n - 1; k > 1; --k) s += std::log(static_cast<double>(k));
        return s;
    };
    for (const int n : {100001, 100000, 7, 1000, 65535, 65536, 65537, 999, 250000}) {
        const double expected = descending(n);
        EXPECT_EQ(logGamma(n), expected) << n;
        EXPECT_EQ(logGamma(n), expected) << "repeated " << n;
        EXPECT_NEAR(logGamma(n), std::lgamma(static_cast<double>(n)), 1e-9 * n) << n;
    }
}

TEST(Helpers, LogSum) {
    EXPECT_EQ(LogSum(0.0, 0.0), std::log(2.0));
    EXPECT_EQ(LogSum(-1000.0, 0.0), 0.0);
    EXPECT_EQ(LogSum(0.0, -1000.0), 0.0);
    EXPECT_EQ(LogSum(-3.0, -303.0), -3.0);
    EXPECT_EQ(LogSum(0.0, -30.0), std::log(std::exp(-30.0) + 1.0));
    EXPECT_EQ(LogSum(-30.0, 0.0), std::log(std::exp(-30.0) + 1.0));
    EXPECT_DOUBLE_EQ(LogSum(std::log(3.0), std::log(5.0)), std::log(8.0));
    EXPECT_DOUBLE_EQ(LogSum(-700.0, -700.5), -700.0 + std::log(1.0 + std::exp(-0.5)));
}

TEST(Helpers, MinimumMaximumAndSumTakeTheFirstOnTies) {
    const int ints[] = {3, 1, 1};
    const int falling[] = {5, 4, 3};
    const double doubles[] = {2.0, 5.0, 5.0};
    const double negatives[] = {-1.0, -3.0};
    EXPECT_EQ(Minimum(ints, 3), 1);
    EXPECT_EQ(Minimum(ints, 1), 0);
    EXPECT_EQ(Minimum(falling, 3), 2);
    EXPECT_EQ(Maximum(doubles, 3), 1);
    EXPECT_EQ(Maximum(doubles, 1), 0);
    EXPECT_EQ(Maximum(negatives, 2), 0);
    EXPECT_EQ(Sum(ints, 3), 5);
    EXPECT_EQ(Sum(ints, 0), 0);
    EXPECT_EQ(Sum(ints, -1), 0);
}

TEST(Helpers, ReadDataParsesTabSeparatedFields) {
    struct Case {
        const char* line;
        int skip;
        std::vector<double> expected;
        const char* before;
    };
    const std::vector<Case> cases = {
        {"1\t2.5\t-3\n", 0, {1.0, 2.5, -3.0}, ""},
        {"1\t\t3", 0, {1.0, 0.0, 3.0}, ""},
        {"\t4", 0, {0.0, 4.0}, ""},
        {"1\t2", 0, {1.0, 2.0, 0.0, 0.0}, ""},  // fields the line lacks
        {"", 0, {0.0, 0.0}, ""},
        {" 12abc\tx\t1e-3\r\n", 0, {12.0, 0.0, 0.001}, ""},
        {"name\t7\t8", 1, {7.0, 8.0}, "name"},
        {"a\tb\t5\t6\n", 2, {5.0, 6.0}, "a\tb"},
        {"2\tx\t0.1\t0.2\t0.3\t0.4\t17\n", 0, {2.0, 0.0, 0.1, 0.2, 0.3, 0.4, 17.0}, ""},
    };
    for (const auto& c : cases) {
        const int n = static_cast<int>(c.expected.size());
        std::vector<double> out(n + 1, 99.0);
        const CString before = ReadData(CString(c.line), c.skip, n, out.data());
        EXPECT_STREQ(before.CStr(), c.before) << c.line;
        for (int i = 0; i < n; ++i)
            EXPECT_DOUBLE_EQ(out[i], c.expected[i]) << c.line << " field " << i;
        EXPECT_EQ(out[n], 99.0) << c.line << ": wrote past the n fields";
    }
}

TEST(Helpers, CountFields) {
    struct Case {
        const char* line;
        int expected;
    };
    const std::vector<Case> cases = {
        {"", 1}, {"abc", 1}, {"a\tb", 2}, {"\t\t", 3}, {"1\t0\t.1\t.2\t.3\t.4\t5\n", 7},
    };
    for (const auto& c : cases) EXPECT_EQ(CountFields(CString(c.line)), c.expected) << c.line;
}
