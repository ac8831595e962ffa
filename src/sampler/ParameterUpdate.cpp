// Model parameters of an iteration from the current sample: posterior means
// or one posterior draw, and the optional motif matrix file.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Helpers.h"
#include "core/StochasticDistribution.h"
#include "model/GibbsDP.h"

namespace {

// Background tokens inside modules: module positions (all positions with -s)
// not covered by a motif site. A sample whose sites overrun their module (the
// first sample, when a module is shorter than its motifs together) would make
// it negative; no count can be.
long long BackgroundTokens(const CGibbsDP& g) {
    long long B = g.independent ? g.totalLength : g.ModuleCoverage();
    for (int k = 0; k < g.motifCount; ++k)
        B -= static_cast<long long>(g.widths[k]) * g.siteTotals[k];
    return B < 0 ? 0 : B;
}

}  // namespace

// CountModule: the number of modules over all seqCount records.
int CGibbsDP::CountModule(const MODULEINFO* records) const {
    int M = 0;
    for (int s = 0; s < seqCount; ++s) M += records[s].moduleNum;
    return M;
}

// UpdateParameters: posterior means given the sample. moduleStartProb: the
// probability that a position starts a module; mixWeights[0..K]: the motif
// and (last) background token weights inside modules; motifProb[k]: width x 4
// matrices.
void CGibbsDP::UpdateParameters(double* moduleStartProb, double* mixWeights, double** motifProb) {
    const int K = motifCount;
    const long long M = CountModule(modules);
    if (independent) {
        *moduleStartProb = 0.9999999999;
    } else {
        const long long C = ModuleCoverage();
        *moduleStartProb =
            static_cast<double>(M + moduleStartPrior) /
            static_cast<double>((totalLength - C) + M + moduleStartPrior + nonModulePrior);
    }
    const long long B = BackgroundTokens(*this);
    long long T = B + modulePrior[K];
    for (int k = 0; k < K; ++k) T += siteTotals[k] + modulePrior[k];
    for (int k = 0; k < K; ++k) {
        mixWeights[k] =
            static_cast<double>(siteTotals[k] + modulePrior[k]) / static_cast<double>(T);
    }
    mixWeights[K] = static_cast<double>(B + modulePrior[K]) / static_cast<double>(T);
    for (int k = 0; k < K; ++k) {
        for (int j = 0; j < widths[k]; ++j) {
            int e[4];
            for (int b = 0; b < 4; ++b) e[b] = countMat[k][4 * j + b] + basePrior[b];
            const int sum = e[0] + e[1] + e[2] + e[3];
            for (int b = 0; b < 4; ++b) motifProb[k][4 * j + b] = static_cast<double>(e[b]) / sum;
        }
    }
}

// SampleParameters: one draw from the posterior, with the shapes of the
// posterior mean. Draws, in order: the Beta of the module start (none with
// -s), the mixture weights, then the matrix rows motif by motif and column by
// column.
void CGibbsDP::SampleParameters(double* moduleStartProb, double* mixWeights, double** motifProb) {
    const int K = motifCount;
    CStochasticDistribution variates;
    const long long M = CountModule(modules);
    if (independent) {
        *moduleStartProb = 0.9999999999;
    } else {
        const long long C = ModuleCoverage();
        *moduleStartProb = variates.Beta(static_cast<int>(M + moduleStartPrior),
                                         static_cast<int>(totalLength - C + nonModulePrior));
    }
    std::vector<int> shapes(K + 1);
    for (int k = 0; k < K; ++k) shapes[k] = siteTotals[k] + modulePrior[k];
    shapes[K] = static_cast<int>(BackgroundTokens(*this) + modulePrior[K]);
    variates.Dirichlet(shapes.data(), K + 1, mixWeights);
    for (int k = 0; k < K; ++k) {
        for (int j = 0; j < widths[k]; ++j) {
            int e[4];
            for (int b = 0; b < 4; ++b) e[b] = countMat[k][4 * j + b] + basePrior[b];
            variates.Dirichlet(e, 4, motifProb[k] + 4 * j);
        }
    }
}

namespace {

[[noreturn]] void MatrixFileError(const CString& name, long lineNo, const std::string& what) {
    std::fflush(stdout);
    if (lineNo > 0) {
        std::printf("Motif matrix file error: %s, line %ld: %s\n", name.CStr(), lineNo,
                    what.c_str());
    } else {
        std::printf("Motif matrix file error: %s: %s\n", name.CStr(), what.c_str());
    }
    std::fflush(stdout);
    std::exit(1);
}

// Four non-negative finite numbers separated by tabs or blanks, nothing else.
bool ParseRow(const std::string& line, double* values) {
    const char* p = line.c_str();
    for (int b = 0; b < 4; ++b) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || !(v >= 0.0) || !std::isfinite(v)) return false;
        if (*end != '\0' && *end != '\t' && *end != ' ' && *end != '\r' && *end != '\n')
            return false;
        values[b] = v;
        p = end;
    }
    for (; *p; ++p) {
        if (*p != '\t' && *p != ' ' && *p != '\r' && *p != '\n') return false;
    }
    return true;
}

}  // namespace

// LoadInputPWM: reads and checks the motif matrix file (-M) before the run
// writes anything, and keeps its matrices, each row smoothed and normalised
// as (v + 0.0025 S) / (1.01 S) with S the row sum. A ">" line opens a block
// whose width (1..49) follows it; the next `width` lines are its rows of four
// numbers for A, C, G, T. Blocks beyond the K-th are ignored with a warning.
void CGibbsDP::LoadInputPWM() {
    inputPWM.clear();
    std::FILE* file = std::fopen(pwmFile.CStr(), "r");
    if (!file) MatrixFileError(pwmFile, 0, std::strerror(errno));
    std::string line;
    long lineNo = 0;
    int ignored = 0;
    while (ReadLine(file, line)) {
        ++lineNo;
        if (line[0] != '>') continue;
        if (static_cast<int>(inputPWM.size()) >= motifCount) {
            ++ignored;
            continue;
        }
        const int w = std::atoi(line.c_str() + 1);
        if (w < 1 || w > 49) {
            std::fclose(file);
            MatrixFileError(pwmFile, lineNo, "motif width must be between 1 and 49");
        }
        std::vector<double> matrix(static_cast<std::size_t>(w) * 4);
        for (int j = 0; j < w; ++j) {
            if (!ReadLine(file, line)) {
                std::fclose(file);
                MatrixFileError(pwmFile, lineNo,
                                "the block ends after " + std::to_string(j) + " of " +
                                    std::to_string(w) + " rows");
            }
            ++lineNo;
            double* row = matrix.data() + 4 * j;
            if (!ParseRow(line, row)) {
                std::fclose(file);
                MatrixFileError(pwmFile, lineNo,
                                "a row must hold four non-negative numbers (A C G T)");
            }
            const double S = row[0] + row[1] + row[2] + row[3];
            if (!(S > 0.0)) {
                std::fclose(file);
                MatrixFileError(pwmFile, lineNo, "the row sums to 0");
            }
            for (int b = 0; b < 4; ++b) row[b] = (row[b] + 0.0025 * S) / (1.01 * S);
        }
        inputPWM.push_back(std::move(matrix));
    }
    std::fclose(file);
    if (inputPWM.empty())
        MatrixFileError(pwmFile, 0, "no matrix block (a line beginning with '>')");
    if (ignored > 0) {
        std::fprintf(stderr,
                     "Tessalune: warning: %s: %d matrix block(s) beyond the first %d ignored\n",
                     pwmFile.CStr(), ignored, motifCount);
    }
}

// ReadInputPWM: replaces the widths, the matrices and the count-matrix
// storage of the motifs that the matrix file holds; other motifs keep the
// matrices just computed.
void CGibbsDP::ReadInputPWM(MotifMatrices& motifProb) {
    for (int m = 0; m < static_cast<int>(inputPWM.size()); ++m) {
        const int w = static_cast<int>(inputPWM[m].size() / 4);
        widths[m] = w;
        motifProb.Resize(m, w);
        for (int e = 0; e < 4 * w; ++e) motifProb[m][e] = inputPWM[m][e];
        delete[] countMat[m];
        countMat[m] = new int[4 * w]();
    }
}
