// First-order Markov background: estimation, word scores and the background
// slot of the likelihood tables.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

namespace {

// Probability given to a base or a transition that the input never shows.
// Without it a letter that never occurs (or one that is never followed by
// some letter) has probability 0, whose log is minus infinity. It is below
// any frequency a real input of a million letters can show; entries that do
// occur are left exactly as counted.
constexpr double kBgFloor = 1e-6;

// Background log-probability of a first letter that is N.
constexpr double kLogUnknownLetter = -1.386;

bool IsN(char c) {
    return c == 'N' || c == 'n';
}

[[noreturn]] void BackgroundFileError(const CString& name, long lineNo, const char* what) {
    std::fflush(stdout);
    if (lineNo > 0) {
        std::printf("Background file error: %s, line %ld: %s\n", name.CStr(), lineNo, what);
    } else {
        std::printf("Background file error: %s: %s\n", name.CStr(), what);
    }
    std::fflush(stdout);
    std::exit(1);
}

}  // namespace

// BuildBackground: counts letters (A, C, G, T only) and two-letter words (any
// pair without N, other letters counting as A) over all sequences, divides
// each transition row by the raw count of its first letter and the base
// counts by their sum. A letter that never occurs gets a uniform transition
// row; any base or transition still at 0 gets kBgFloor, so every log is finite.
void CGibbsDP::BuildBackground() {
    for (double& p : bgProb) p = 0.0;
    for (int s = 0; s < seqCount; ++s) {
        const CString& seq = seqs[s];
        const int n = seq.GetLength();
        for (int j = 0; j < n; ++j) {
            const char c = seq[j];
            if (c == 'A' || c == 'C' || c == 'G' || c == 'T') bgProb[base::Code(c)] += 1.0;
            if (j < n - 1) {
                const char next = seq[j + 1];
                if (!IsN(c) && !IsN(next)) bgProb[4 + 4 * base::Code(c) + base::Code(next)] += 1.0;
            }
        }
    }
    for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b) {
            double& p = bgProb[4 + 4 * a + b];
            p = bgProb[a] > 0.0 ? p / bgProb[a] : 0.25;
        }
    }
    const double total = bgProb[0] + bgProb[1] + bgProb[2] + bgProb[3];
    for (int a = 0; a < 4; ++a) bgProb[a] = total > 0.0 ? bgProb[a] / total : 0.25;
    for (int i = 0; i < 20; ++i) {
        if (bgProb[i] <= 0.0) bgProb[i] = kBgFloor;
        logBgProb[i] = std::log(bgProb[i]);
    }
}

// CalLogBgPr: background log-probability of a word of at least one letter;
// N counts as A.
double CGibbsDP::CalLogBgPr(const CString& word) {
    const int m = word.GetLength();
    if (m == 0) return 0.0;
    double r = logBgProb[base::Code(word[0])];
    for (int i = 0; i < m - 1; ++i) {
        r = r + logBgProb[4 + 4 * base::Code(word[i]) + base::Code(word[i + 1])];
    }
    return r;
}

double CGibbsDP::CalLogBgPrCodes(const std::uint8_t* codes, int m) const {
    if (m <= 0) return 0.0;
    double r = logBgProb[codes[0]];
    for (int i = 0; i < m - 1; ++i) r = r + logBgProb[4 + 4 * codes[i] + codes[i + 1]];
    return r;
}

// CalLogBgPrPos: the background slot (index 2K) of every row of every
// sequence: ln P(letter j | letter j-1), ln P(letter 0) for the first row, and
// -1.386 where the letter or the pair holds N. With -b the file's per-position
// values then replace the slots it names; a file that cannot be read or a
// malformed line ends the process with a message naming the file and line.
void CGibbsDP::CalLogBgPrPos(double** posLogPr, int* seqLengths) {
    const int stride = 2 * motifCount + 1;
    const int slot = 2 * motifCount;
    for (int s = 0; s < seqCount; ++s) {
        const int n = seqLengths[s];
        const CString& seq = seqs[s];
        double* table = posLogPr[s];
        for (int j = 0; j < n; ++j) {
            double v;
            if (j == 0) {
                v = IsN(seq[0]) ? kLogUnknownLetter : logBgProb[base::Code(seq[0])];
            } else {
                const char prev = seq[j - 1];
                const char cur = seq[j];
                v = (IsN(prev) || IsN(cur)) ? kLogUnknownLetter
                                            : logBgProb[4 + 4 * base::Code(prev) + base::Code(cur)];
            }
            table[static_cast<long long>(j) * stride + slot] = v;
        }
    }
    if (!useBgFile) return;

    std::FILE* file = std::fopen(bgFile.CStr(), "r");
    if (!file) BackgroundFileError(bgFile, 0, std::strerror(errno));
    std::string text;
    long lineNo = 0;
    while (ReadLine(file, text)) {
        ++lineNo;
        if (text.size() <= 10) continue;  // blank and short lines carry no position
        const CString line(text.c_str(), static_cast<int>(text.size()));
        if (CountFields(line) < 7) {
            std::fclose(file);
            BackgroundFileError(bgFile, lineNo, "fewer than 7 tab-separated fields");
        }
        double col[7];
        ReadData(line, 0, 7, col);
        // 1-based sequence number and position, rounded as written (x.9 counts as x + 1)
        const double seqField = col[0] + 0.1;
        if (!(seqField >= 1.0 && seqField < seqCount + 1.0)) {
            std::fclose(file);
            BackgroundFileError(bgFile, lineNo, "sequence number outside the input sequences");
        }
        const int seqNo = static_cast<int>(seqField);
        const double posField = col[6] + 0.1;
        if (!(posField >= 1.0 && posField < seqLengths[seqNo - 1] + 1.0)) {
            std::fclose(file);
            BackgroundFileError(bgFile, lineNo, "position outside its sequence");
        }
        const int posNo = static_cast<int>(posField);
        for (int c = 2; c <= 5; ++c) {
            if (!(col[c] > 0.0) || !std::isfinite(col[c])) {
                std::fclose(file);
                BackgroundFileError(bgFile, lineNo, "a probability is not a positive number");
            }
        }
        const int code = base::Code(seqs[seqNo - 1][posNo - 1]);
        static constexpr int kColumnOfCode[4] = {2, 4, 5,
                                                 3};  // A, C, G, T in file order A, T, C, G
        posLogPr[seqNo - 1][static_cast<long long>(posNo - 1) * stride + slot] =
            std::log(col[kColumnOfCode[code]]);
    }
    std::fclose(file);
}
