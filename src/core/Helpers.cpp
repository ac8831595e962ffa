#include "Helpers.h"

#include <cstdlib>
#include <unordered_map>
#include <vector>

CString Reverse(CString word) {
    const int m = word.GetLength();
    CString result(word);
    for (int i = 0; i < m; ++i) {
        result.SetAt(m - 1 - i, base::kComplement[static_cast<unsigned char>(word[i])]);
    }
    return result;
}

int WordCode(CString word) {
    int code = 0;
    for (int j = 0; j < word.GetLength(); ++j) code = code * 4 + base::Code(word[j]);
    return code;
}

int Sum(const int* values, int n) {
    int total = 0;
    for (int i = 0; i < n; ++i) total += values[i];
    return total;
}

namespace {

// ln((n-1)!) as the plain descending sum of logs; its last bit depends on
// that order, so it cannot be extended from a neighbouring value.
double LogGammaSum(int n) {
    double s = 0.0;
    for (int k = n - 1; k > 1; --k) s += std::log(static_cast<double>(k));
    return s;
}

// Small arguments (counts of sites and bases) recur constantly: a flat table.
// Large ones (positions outside modules, up to the total length) go to a map.
constexpr int kDenseLimit = 1 << 16;

}  // namespace

double logGamma(int n) {
    if (n <= 2) return 0.0;
    if (n < kDenseLimit) {
        static std::vector<double> dense(kDenseLimit, -1.0);
        double& v = dense[n];
        if (v < 0.0) v = LogGammaSum(n);
        return v;
    }
    static std::unordered_map<int, double> sparse;
    const auto found = sparse.find(n);
    if (found != sparse.end()) return found->second;
    const double v = LogGammaSum(n);
    sparse.emplace(n, v);
    return v;
}

int Minimum(const int* values, int n) {
    int best = 0;
    for (int i = 1; i < n; ++i) {
        if (values[i] < values[best]) best = i;
    }
    return best;
}

int Maximum(const double* values, int n) {
    int best = 0;
    for (int i = 1; i < n; ++i) {
        if (values[i] > values[best]) best = i;
    }
    return best;
}

CString ReadData(CString line, int skip, int n, double* out) {
    const int length = line.GetLength();
    int pos = -1;
    for (int i = 0; i < skip; ++i) pos = line.Find("\t", pos + 1);
    CString before("");
    if (pos > 0) before = line.Left(pos);
    for (int i = 0; i < n; ++i) {
        if (pos >= length) {  // the line has no field left
            out[i] = 0.0;
            continue;
        }
        int next = line.Find("\t", pos + 1);
        if (next < 0) next = length;
        const int count = next - pos - 1;
        out[i] = count > 0 ? std::atof(line.Mid(pos + 1, count).CStr()) : 0.0;
        pos = next;
    }
    return before;
}

int CountFields(const CString& line) {
    int fields = 1;
    for (int i = 0; i < line.GetLength(); ++i) {
        if (line[i] == '\t') ++fields;
    }
    return fields;
}

bool ReadLine(std::FILE* file, std::string& line) {
    line.clear();
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, file)) {
        line += buffer;
        if (line.back() == '\n') return true;
    }
    return !line.empty();
}
