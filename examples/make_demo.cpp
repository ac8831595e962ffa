// make_demo: generates Tessalune's bundled example data set.
//
// What it writes, into the directory given as its only argument:
//   demo.fa          20 synthetic DNA sequences of 500 to 1,000 bp, FASTA, 80 letters a line,
//                    headers ">demo01 synthetic promoter, 734 bp".
//   demo_truth.txt   every planted motif site, tab-separated (layout in examples/README.md).
//
// How the data are made:
//   - Background: a first-order Markov chain with the transition table kTransition below
//     (about 44% GC, CpG depleted as in vertebrate promoters); the first letter of each
//     sequence comes from kFirstLetter.
//   - Motifs: three made-up position frequency matrices, M1 (11 bp), M2 (12 bp) and M3 (14 bp),
//     percentages of A, C, G, T per column; most columns are dominated by one base, a few are
//     degenerate.
//   - Modules: 17 of the 20 sequences hold one module of 150 to 200 bp at a random place; the
//     other 3 are pure background. A module holds 2 to 4 sites (2 with probability 1/4, 3 with
//     1/2, 4 with 1/4): with 3 or more sites every motif is present once plus extra sites of
//     random motifs, with 2 sites two different motifs. Sites lie wholly inside the module,
//     never overlap, sit on either strand with equal probability (a reverse site is written as
//     the reverse complement of the letters drawn from the matrix) and replace the background
//     letters there.
//   - Randomness: SplitMix64 with the fixed seed kSeed, integer arithmetic only (probabilities
//     are whole per-mille or percent weights), so the files are identical on every machine.
//
// After writing, the program reads both files back and checks them (lengths, line width,
// letters, and every truth site against the sequence at its position and strand); it exits
// with status 1 if anything disagrees.
//
// Rebuild the data (from the repository root):
//   g++ -std=c++17 -O2 -o /tmp/make_demo examples/make_demo.cpp && /tmp/make_demo examples

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kSeed = 0x7E55A1E0D3A0C0DEULL;
constexpr int kSequenceCount = 20;
constexpr int kSequencesWithoutModule = 3;
constexpr int kMinLength = 500;
constexpr int kMaxLength = 1000;
constexpr int kMinModuleLength = 150;
constexpr int kMaxModuleLength = 200;
constexpr int kLineWidth = 80;

constexpr std::array<char, 4> kBases = {'A', 'C', 'G', 'T'};

// Background transition weights in per mille: row = previous letter, column = next letter,
// both in the order A, C, G, T. Stationary composition A 29.6%, C 21.7%, G 22.3%, T 26.5%.
constexpr std::array<std::array<int, 4>, 4> kTransition = {{
    {320, 190, 270, 220},  // after A
    {350, 260, 60, 330},   // after C: CpG depleted
    {290, 230, 250, 230},  // after G
    {230, 200, 280, 290},  // after T
}};
// First letter of a sequence, per mille (the stationary composition, rounded).
constexpr std::array<int, 4> kFirstLetter = {296, 217, 223, 264};

using Column = std::array<int, 4>;  // percent of A, C, G, T; sums to 100

struct Motif {
    std::string name;
    std::vector<Column> columns;
};

// Consensus TCAGGATGTCA (IUPAC TYAGGATGNCA): column 2 is C/T, column 9 nearly anything.
const Motif kM1 = {"M1",
                   {{2, 4, 2, 92},
                    {3, 52, 3, 42},
                    {93, 2, 3, 2},
                    {4, 2, 91, 3},
                    {3, 2, 92, 3},
                    {91, 3, 4, 2},
                    {4, 3, 2, 91},
                    {6, 2, 88, 4},
                    {30, 10, 20, 40},
                    {3, 92, 2, 3},
                    {90, 3, 5, 2}}};

// Consensus GACCTTGAAGCC (IUPAC GACCTTRAAGSC): column 7 is G/A, column 11 C/G.
const Motif kM2 = {"M2",
                   {{4, 5, 88, 3},
                    {88, 4, 5, 3},
                    {3, 91, 3, 3},
                    {3, 90, 3, 4},
                    {3, 4, 2, 91},
                    {3, 5, 2, 90},
                    {45, 3, 48, 4},
                    {89, 3, 5, 3},
                    {90, 3, 4, 3},
                    {4, 3, 90, 3},
                    {5, 50, 40, 5},
                    {4, 86, 4, 6}}};

// Consensus TACCGAGTTAGCAT (IUPAC TACCGWGTTASCAT): column 6 is A/T, column 11 G/C, and the
// two end columns are weaker than the core.
const Motif kM3 = {"M3",
                   {{8, 10, 7, 75},
                    {86, 4, 6, 4},
                    {3, 90, 3, 4},
                    {3, 90, 4, 3},
                    {3, 4, 90, 3},
                    {48, 4, 4, 44},
                    {4, 3, 89, 4},
                    {5, 4, 4, 87},
                    {6, 6, 3, 85},
                    {88, 4, 4, 4},
                    {8, 40, 45, 7},
                    {5, 86, 4, 5},
                    {90, 3, 4, 3},
                    {6, 9, 7, 78}}};

const std::array<const Motif*, 3> kMotifs = {&kM1, &kM2, &kM3};

// SplitMix64: a small generator whose output depends only on the seed.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A whole number in 0 .. n-1; the modulo bias is below n / 2^64, far too small to matter.
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

    // An index 0..3 drawn with the given whole-number weights.
    int Pick(const std::array<int, 4>& weights) {
        int total = 0;
        for (int w : weights) {
            total += w;
        }
        int r = Below(total);
        for (int i = 0; i < 3; ++i) {
            if (r < weights[i]) {
                return i;
            }
            r -= weights[i];
        }
        return 3;
    }

  private:
    std::uint64_t state_;
};

struct Site {
    const Motif* motif = nullptr;
    int start = 0;  // 0-based, forward-strand coordinates
    char strand = '+';
    std::string letters;  // as read on the site's own strand
};

struct DemoSequence {
    std::string name;
    std::string letters;
    bool hasModule = false;
    int moduleStart = 0;  // 0-based, inclusive
    int moduleEnd = 0;    // 0-based, inclusive
    std::vector<Site> sites;
};

int BaseIndex(char c) {
    switch (c) {
        case 'A':
            return 0;
        case 'C':
            return 1;
        case 'G':
            return 2;
        default:
            return 3;
    }
}

std::string ReverseComplement(const std::string& s) {
    std::string out(s.rbegin(), s.rend());
    for (char& c : out) {
        c = kBases[3 - BaseIndex(c)];
    }
    return out;
}

std::string DrawBackground(SplitMix64& rng, int length) {
    std::string s;
    s.reserve(length);
    int prev = rng.Pick(kFirstLetter);
    s.push_back(kBases[prev]);
    while (static_cast<int>(s.size()) < length) {
        prev = rng.Pick(kTransition[prev]);
        s.push_back(kBases[prev]);
    }
    return s;
}

std::string DrawSite(SplitMix64& rng, const Motif& motif) {
    std::string s;
    for (const Column& column : motif.columns) {
        s.push_back(kBases[rng.Pick(column)]);
    }
    return s;
}

// The motifs of one module: 2 different ones, or all three plus 0 or 1 extra.
std::vector<const Motif*> DrawModuleMotifs(SplitMix64& rng) {
    const int r = rng.Below(4);
    const int siteCount = r == 0 ? 2 : (r == 3 ? 4 : 3);
    std::vector<const Motif*> chosen;
    if (siteCount == 2) {
        const int leftOut = rng.Below(3);
        for (int k = 0; k < 3; ++k) {
            if (k != leftOut) {
                chosen.push_back(kMotifs[k]);
            }
        }
    } else {
        chosen.assign(kMotifs.begin(), kMotifs.end());
        for (int extra = 3; extra < siteCount; ++extra) {
            chosen.push_back(kMotifs[rng.Below(3)]);
        }
    }
    return chosen;
}

void PlantModule(SplitMix64& rng, DemoSequence& seq) {
    const int length = static_cast<int>(seq.letters.size());
    const int moduleLength = kMinModuleLength + rng.Below(kMaxModuleLength - kMinModuleLength + 1);
    seq.hasModule = true;
    seq.moduleStart = rng.Below(length - moduleLength + 1);
    seq.moduleEnd = seq.moduleStart + moduleLength - 1;

    for (const Motif* motif : DrawModuleMotifs(rng)) {
        const int width = static_cast<int>(motif->columns.size());
        Site site;
        site.motif = motif;
        bool overlaps = true;
        while (overlaps) {  // at most 4 sites of at most 14 bp in 150 bp: always ends quickly
            site.start = seq.moduleStart + rng.Below(moduleLength - width + 1);
            overlaps = std::any_of(seq.sites.begin(), seq.sites.end(), [&](const Site& other) {
                return site.start < other.start + static_cast<int>(other.letters.size()) &&
                       other.start < site.start + width;
            });
        }
        site.strand = rng.Below(2) == 0 ? '+' : '-';
        site.letters = DrawSite(rng, *motif);
        const std::string forward =
            site.strand == '+' ? site.letters : ReverseComplement(site.letters);
        seq.letters.replace(site.start, width, forward);
        seq.sites.push_back(site);
    }
    std::sort(seq.sites.begin(), seq.sites.end(),
              [](const Site& a, const Site& b) { return a.start < b.start; });
}

std::vector<DemoSequence> Generate() {
    SplitMix64 rng(kSeed);

    // Which sequences stay pure background: a partial Fisher-Yates shuffle.
    std::vector<int> order(kSequenceCount);
    for (int i = 0; i < kSequenceCount; ++i) {
        order[i] = i;
    }
    for (int i = 0; i < kSequencesWithoutModule; ++i) {
        std::swap(order[i], order[i + rng.Below(kSequenceCount - i)]);
    }
    std::vector<bool> withoutModule(kSequenceCount, false);
    for (int i = 0; i < kSequencesWithoutModule; ++i) {
        withoutModule[order[i]] = true;
    }

    std::vector<DemoSequence> seqs(kSequenceCount);
    for (int i = 0; i < kSequenceCount; ++i) {
        DemoSequence& seq = seqs[i];
        seq.name = std::string("demo") + (i + 1 < 10 ? "0" : "") + std::to_string(i + 1);
        const int length = kMinLength + rng.Below(kMaxLength - kMinLength + 1);
        seq.letters = DrawBackground(rng, length);
        if (!withoutModule[i]) {
            PlantModule(rng, seq);
        }
    }
    return seqs;
}

bool WriteFasta(const std::string& path, const std::vector<DemoSequence>& seqs) {
    std::ofstream out(path, std::ios::binary);
    for (const DemoSequence& seq : seqs) {
        out << '>' << seq.name << " synthetic promoter, " << seq.letters.size() << " bp\n";
        for (std::size_t p = 0; p < seq.letters.size(); p += kLineWidth) {
            out << seq.letters.substr(p, kLineWidth) << '\n';
        }
    }
    return static_cast<bool>(out.flush());
}

bool WriteTruth(const std::string& path, const std::vector<DemoSequence>& seqs) {
    std::ofstream out(path, std::ios::binary);
    out << "sequence\tmodule_start\tmodule_end\tmotif\tsite_start\tstrand\tsite\n";
    std::string noModule;
    for (const DemoSequence& seq : seqs) {
        if (!seq.hasModule) {
            noModule += ' ' + seq.name;
        }
        for (const Site& site : seq.sites) {
            out << seq.name << '\t' << seq.moduleStart << '\t' << seq.moduleEnd << '\t'
                << site.motif->name << '\t' << site.start << '\t' << site.strand << '\t'
                << site.letters << '\n';
        }
    }
    out << "# no module:" << noModule << '\n';
    return static_cast<bool>(out.flush());
}

// Reads both files back and checks them against each other; returns a description of the
// first problem found, or an empty string.
std::string CheckFiles(const std::string& fastaPath, const std::string& truthPath,
                       const std::vector<DemoSequence>& expected) {
    std::ifstream fasta(fastaPath);
    std::vector<std::string> names;
    std::vector<std::string> letters;
    std::string line;
    bool lastLineShort = false;
    while (std::getline(fasta, line)) {
        if (!line.empty() && line[0] == '>') {
            names.push_back(line.substr(1, line.find(' ') - 1));
            letters.emplace_back();
            lastLineShort = false;
            continue;
        }
        if (letters.empty() || lastLineShort || line.empty() ||
            static_cast<int>(line.size()) > kLineWidth ||
            line.find_first_not_of("ACGT") != std::string::npos) {
            return "bad sequence line in " + fastaPath + ": " + line;
        }
        lastLineShort = static_cast<int>(line.size()) < kLineWidth;
        letters.back() += line;
    }
    if (static_cast<int>(names.size()) != kSequenceCount) {
        return "wrong number of sequences in " + fastaPath;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int n = static_cast<int>(letters[i].size());
        if (names[i] != expected[i].name || letters[i] != expected[i].letters || n < kMinLength ||
            n > kMaxLength) {
            return "sequence " + names[i] + " differs from the one generated";
        }
    }

    std::ifstream truth(truthPath);
    std::getline(truth, line);  // header
    int siteLines = 0;
    int previousEnd = -1;
    std::string previousName;
    while (std::getline(truth, line)) {
        if (!line.empty() && line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, motifName, strand, site;
        int moduleStart = 0, moduleEnd = 0, start = 0;
        fields >> name >> moduleStart >> moduleEnd >> motifName >> start >> strand >> site;
        const auto it = std::find(names.begin(), names.end(), name);
        if (!fields || it == names.end()) {
            return "unreadable truth line: " + line;
        }
        const std::string& seq = letters[it - names.begin()];
        const int width = static_cast<int>(site.size());
        const int siteEnd = start + width - 1;
        if (name != previousName) {
            previousEnd = -1;
            previousName = name;
        }
        if (start < moduleStart || siteEnd > moduleEnd ||
            moduleEnd >= static_cast<int>(seq.size()) || start <= previousEnd) {
            return "site outside its module or overlapping the previous one: " + line;
        }
        previousEnd = siteEnd;
        const std::string forward = seq.substr(start, width);
        const std::string onStrand = strand == "+" ? forward : ReverseComplement(forward);
        if (onStrand != site) {
            return "site letters do not match the sequence: " + line;
        }
        ++siteLines;
    }
    int expectedSites = 0;
    for (const DemoSequence& seq : expected) {
        expectedSites += static_cast<int>(seq.sites.size());
    }
    if (siteLines != expectedSites) {
        return "wrong number of site lines in " + truthPath;
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_demo OUTPUT_DIRECTORY\n";
        return 2;
    }
    const std::string dir = argv[1];
    const std::string fastaPath = dir + "/demo.fa";
    const std::string truthPath = dir + "/demo_truth.txt";

    const std::vector<DemoSequence> seqs = Generate();
    if (!WriteFasta(fastaPath, seqs)) {
        std::cerr << "make_demo: cannot write " << fastaPath << '\n';
        return 1;
    }
    if (!WriteTruth(truthPath, seqs)) {
        std::cerr << "make_demo: cannot write " << truthPath << '\n';
        return 1;
    }
    const std::string problem = CheckFiles(fastaPath, truthPath, seqs);
    if (!problem.empty()) {
        std::cerr << "make_demo: self-check failed: " << problem << '\n';
        return 1;
    }

    long total = 0;
    long gc = 0;
    int modules = 0;
    std::array<int, 3> perMotif = {0, 0, 0};
    for (const DemoSequence& seq : seqs) {
        total += static_cast<long>(seq.letters.size());
        gc += std::count_if(seq.letters.begin(), seq.letters.end(),
                            [](char c) { return c == 'C' || c == 'G'; });
        modules += seq.hasModule ? 1 : 0;
        for (const Site& site : seq.sites) {
            ++perMotif[site.motif->name[1] - '1'];
        }
    }
    std::cout << "wrote " << fastaPath << ": " << seqs.size() << " sequences, " << total
              << " bp, GC " << (1000 * gc / total) / 10.0 << "%\n"
              << "wrote " << truthPath << ": " << modules << " modules, "
              << perMotif[0] + perMotif[1] + perMotif[2] << " sites (M1 " << perMotif[0] << ", M2 "
              << perMotif[1] << ", M3 " << perMotif[2] << ")\n";
    return 0;
}
