// The two results files: the report of a run and the module probabilities.
// Each is appended in one piece and flushed; a file that cannot be written is
// recorded in failedFiles, reported by the run driver, and fails the process.

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

namespace {

void AppendFormat(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

void AppendFormat(std::string& text, const char* format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written >= static_cast<int>(sizeof buffer)) {  // a long number: format it again in full
        std::vector<char> large(written + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        text.append(large.data(), written);
    } else if (written > 0) {
        text.append(buffer, written);
    }
    va_end(again);
}

// Appends text to the file in one write; returns an empty string, or what went wrong.
std::string AppendToFile(const char* name, const std::string& text) {
    std::FILE* file = std::fopen(name, "a+");
    if (!file) return std::strerror(errno);
    const std::size_t written = std::fwrite(text.data(), 1, text.size(), file);
    int error = written == text.size() ? 0 : errno;
    if (std::fflush(file) != 0 && error == 0) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
    if (written != text.size() && error == 0) error = EIO;
    return error ? std::strerror(error) : std::string();
}

}  // namespace

// Output: appends the run's report to the results file: the command line, the
// model odds (-B), the module section (not with -s) and each motif's frequency
// matrix with consensus letters and its sites. Rebuilds countMat and
// siteTotals from the final lists and sets moduleCount to the number of
// module lines. Module regions: positions inside a module in more than half of
// the recorded iterations, from the first such position to the first one below
// half; a region of at least L / 5 holding a site start is one module line.
void CGibbsDP::Output(CString fileName, int** moduleTally, int* seqLengths) {
    const int K = motifCount;
    const int R = maxIter - burnIn;
    const int H = R / 2;
    std::vector<int> blockWidth(K, 0);
    for (int k = 0; k < K; ++k) {
        const SITEINFO* firstSite = nullptr;
        for (int s = 0; s < seqCount && !firstSite; ++s) firstSite = bestSites[k][s]->next;
        if (!firstSite) {
            siteTotals[k] = 0;
            continue;
        }
        const int width = firstSite->site.GetLength();
        blockWidth[k] = width;
        delete[] countMat[k];
        countMat[k] = new int[4 * width]();
        siteTotals[k] = CalWeightMat(bestSites[k], countMat[k], width);
    }

    std::string moduleLines;
    moduleCount = 0;
    std::vector<int> labels;
    for (int s = 0; s < seqCount && R > 0 && !independent; ++s) {
        const int n = seqLengths[s];
        labels.assign(n, 0);
        for (int k = 0; k < K; ++k) {
            if (siteTotals[k] <= 2) continue;
            for (const SITEINFO* node = bestSites[k][s]->next; node; node = node->next) {
                if (node->pos >= 0 && node->pos < n)
                    labels[node->pos] = node->strand == 1 ? k + 1 : -(k + 1);
            }
        }
        bool inside = false;
        int start = 0;
        for (int p = 0; p < n; ++p) {
            const int v = moduleTally[s][p];
            if (!inside) {
                if (v > H) {
                    inside = true;
                    start = p;
                }
                continue;
            }
            if (v >= H) continue;
            inside = false;
            const int end = p;
            if (end - start < moduleLength / 5) continue;
            std::string siteLabels;
            for (int q = start; q <= end; ++q) {
                if (labels[q] > 0) AppendFormat(siteLabels, "+%d(%d)", labels[q], q);
                if (labels[q] < 0) AppendFormat(siteLabels, "%d(%d)", labels[q], q);
            }
            if (siteLabels.empty()) continue;
            moduleLines += seqNames[s].CStr();
            AppendFormat(moduleLines, "\t[%d,%d]\t", start, end);
            moduleLines += siteLabels;
            moduleLines += "\n";
            ++moduleCount;
        }
    }

    std::string report(cmdLine.CStr());
    report += "\n\n";
    if (outputBF) AppendFormat(report, "\nLog-PMO(K=%d)=%.2lf\n\n", K, logOdds);
    if (!independent) {
        AppendFormat(report, "\n\n****************\n# of Modules:%d\n", moduleCount);
        report += moduleLines;
    }
    for (int k = 0; k < K; ++k) {
        AppendFormat(report, "\n\n\n**********************\nMotif_%d:\n", k + 1);
        const int n = siteTotals[k];
        if (n <= 2) {
            report += "No sites found!\n\n";
            continue;
        }
        const int width = blockWidth[k];
        AppendFormat(report, "number of sites: %d\n\tA\tC\tG\tT\tCon\n", n);
        static const char kBases[] = "ACGT";
        for (int j = 0; j < width; ++j) {
            const int* row = countMat[k] + 4 * j;
            AppendFormat(report, "%d\t", j + 1);
            int top = 0;
            for (int b = 0; b < 4; ++b) {
                AppendFormat(report, "%.3lf\t", static_cast<double>(row[b]) / n);
                if (row[b] > row[top]) top = b;
            }
            report += kBases[top];
            report += "\n";
        }
        for (int s = 0; s < seqCount; ++s) {
            for (const SITEINFO* node = bestSites[k][s]->next; node; node = node->next) {
                report += seqNames[s].CStr();
                report += node->strand == 1 ? "\tf\t" : "\tr\t";
                AppendFormat(report, "%d\t", node->pos);
                AppendFormat(report, "\t%.3lf\t\n",
                             R > 0 ? static_cast<double>(node->tally) / R : 0.0);
                report += node->site.CStr();
                report += "\n";
            }
        }
    }
    const std::string problem = AppendToFile(fileName.CStr(), report);
    if (!problem.empty()) failedFiles.push_back(std::string(fileName.CStr()) + ": " + problem);
}

// OutputModPr: appends to <fileName>_modpr.txt, for every sequence, its name
// and length and then one line per position: its module tally over D (0.000
// for every position when nothing was recorded).
void CGibbsDP::OutputModPr(int** moduleTally, int* seqLengths, int D, CString fileName) {
    const CString name = fileName + "_modpr.txt";
    const int R = maxIter - burnIn;
    std::string report = "\n**********\n";
    for (int s = 0; s < seqCount; ++s) {
        report += seqNames[s].CStr();
        AppendFormat(report, "(%d)\n", seqLengths[s]);
        for (int p = 0; p < seqLengths[s]; ++p) {
            const double v = R > 0 && D > 0 ? static_cast<double>(moduleTally[s][p]) / D : 0.0;
            AppendFormat(report, "%.3lf\n", v);
        }
    }
    const std::string problem = AppendToFile(name.CStr(), report);
    if (!problem.empty()) failedFiles.push_back(std::string(name.CStr()) + ": " + problem);
}
