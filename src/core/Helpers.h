// Numeric and sequence helpers shared by the models and the sampler.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "CString.h"

namespace base {

// Base codes: C, G and T are 1, 2 and 3; A and every other character
// (lower case, N, ambiguity letters, anything) is 0. This is the column order
// A, C, G, T of every probability and count matrix.
constexpr std::array<std::uint8_t, 256> MakeCodeTable() {
    std::array<std::uint8_t, 256> table{};
    table['C'] = 1;
    table['G'] = 2;
    table['T'] = 3;
    return table;
}
inline constexpr std::array<std::uint8_t, 256> kCode = MakeCodeTable();

// The letter that stands opposite a letter on the other strand; letters
// without a complement (N, lower case, digits, ...) stay as they are.
constexpr std::array<char, 256> MakeComplementTable() {
    std::array<char, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = static_cast<char>(c);
    table['A'] = 'T';
    table['T'] = 'A';
    table['C'] = 'G';
    table['G'] = 'C';
    table['R'] = 'Y';
    table['Y'] = 'R';
    return table;
}
inline constexpr std::array<char, 256> kComplement = MakeComplementTable();

inline int Code(char c) {
    return kCode[static_cast<unsigned char>(c)];
}

// Counting code for the count matrices: A..T in either case give 0..3, every
// other letter (N included) gives 4 and is not counted.
constexpr std::array<std::uint8_t, 256> MakeCountTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& v : table) v = 4;
    table['A'] = table['a'] = 0;
    table['C'] = table['c'] = 1;
    table['G'] = table['g'] = 2;
    table['T'] = table['t'] = 3;
    return table;
}
inline constexpr std::array<std::uint8_t, 256> kCountCode = MakeCountTable();

}  // namespace base

// Log-likelihood of a window that no motif site may occupy.
constexpr double kLogImpossible = -2000.0;

// Reverse complement of a word (see base::kComplement).
CString Reverse(CString word);
// Base-4 code of a word, its first letter the most significant digit.
int WordCode(CString word);
// values[0] + ... + values[n-1]; 0 when n <= 0.
int Sum(const int* values, int n);
// ln((n-1)!), summed from ln(n-1) down to ln 2; 0 for n <= 2. Values are
// remembered, so a repeated argument costs one lookup.
double logGamma(int n);
// Index of the first smallest / largest of the first n values (n >= 1).
int Minimum(const int* values, int n);
int Maximum(const double* values, int n);
// Parses the tab-separated line: skips `skip` fields, returns the text before
// them and stores the next n fields, converted like atof, in out[0..n-1].
// Fields the line lacks read as 0.0.
CString ReadData(CString line, int skip, int n, double* out);
// Number of tab-separated fields of a line (an empty line has one).
int CountFields(const CString& line);

// Reads one physical line of any length into line, its line feed included
// when present. Returns false at the end of the file.
bool ReadLine(std::FILE* file, std::string& line);

// ln(e^a + e^b); a term more than 300 below the other is ignored.
inline double LogSum(double a, double b) {
    double hi = a;
    double lo = b;
    if (a < b) {
        hi = b;
        lo = a;
    }
    const double d = lo - hi;
    if (d > -300) return hi + std::log(std::exp(d) + 1.0);
    return hi;
}
