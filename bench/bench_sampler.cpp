// Sampler speed on a synthetic input: about 100 kb in 1-kb sequences, K = 3,
// widths 10..14, both strands, built from a fixed seed.
//
//   build-bench/bench_sampler loop [iterations]   ns per position per iteration
//                                                  of the Gibbs loop
//   build-bench/bench_sampler tables               one likelihood-table fill,
//                                                  fast path vs plain definition
//   build-bench/bench_sampler full                 seconds and peak memory of a
//                                                  default run (2000 iterations),
//                                                  plain, with -B and with -d
//
// `make bench` builds it and runs both. Figures depend on the machine; the
// numbers the runs compute do not.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

constexpr int kSequences = 100;
constexpr int kLength = 1000;

// Random sequences with planted 12-letter words every 150 to 350 letters.
std::string SyntheticFasta() {
    std::mt19937 gen(12345);
    const char letters[] = "ACGT";
    const std::string planted[] = {"TTGACAGCTAGC", "GGGCGGGGCAAT", "CACGTGACCTTA"};
    std::string fasta;
    for (int s = 0; s < kSequences; ++s) {
        std::string seq(kLength, 'A');
        for (char& c : seq) c = letters[gen() % 4];
        for (int p = static_cast<int>(gen() % 200); p + 12 < kLength;
             p += 150 + static_cast<int>(gen() % 200)) {
            seq.replace(p, 12, planted[gen() % 3]);
        }
        fasta += ">seq" + std::to_string(s) + "\n";
        for (int i = 0; i < kLength; i += 80) fasta += seq.substr(i, 80) + "\n";
    }
    return fasta;
}

struct Input {
    std::string dir;
    std::string fasta;
    std::string out;
};

Input MakeInput() {
    char pattern[] = "/tmp/tessalune-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    Input input{pattern, std::string(pattern) + "/input.fa", std::string(pattern) + "/out.txt"};
    std::FILE* f = std::fopen(input.fasta.c_str(), "w");
    const std::string text = SyntheticFasta();
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return input;
}

void Configure(CGibbsDP& sampler, const Input& input, int iterations) {
    sampler.seqFile = input.fasta.c_str();
    sampler.outFile = input.out.c_str();
    sampler.cmdLine = "bench ";
    sampler.motifCount = 3;
    sampler.moduleLength = 200;
    sampler.minWidth = 10;
    sampler.maxWidth = 14;
    sampler.maxIter = iterations;
    sampler.burnIn = static_cast<int>(iterations * 0.7);
    sampler.bothStrands = 1;
    sampler.fixModuleLength = 1;
    sampler.seed = 7;
}

// Standard output of the runs goes to /dev/null while fn runs.
template <typename Fn>
void Silently(Fn fn) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    fn();
    std::fflush(stdout);
    dup2(saved, 1);
    close(devnull);
    close(saved);
}

double TimeRun(const Input& input, int iterations) {
    CGibbsDP sampler;
    Configure(sampler, input, iterations);
    double seconds = 0.0;
    Silently([&] {
        const auto start = Clock::now();
        sampler.DataAugmentation();
        seconds = Seconds(start, Clock::now());
    });
    return seconds;
}

// One table fill by the fast path and by cutting each window as a string.
void TableFill(const Input& input) {
    CGibbsDP g;
    Configure(g, input, 1);
    RunWork work;
    Silently([&] { g.SetUpRun(work); });
    g.UpdateParameters(&work.moduleStartProb, work.mixWeights.data(), work.motifProb.data());
    const int K = g.motifCount;
    const int reps = 20;
    auto start = Clock::now();
    for (int r = 0; r < reps; ++r)
        g.CalLogPrPos(work.posLogPr.data(), work.seqLengths.data(), work.motifProb.data());
    const double fast = Seconds(start, Clock::now()) / reps;
    start = Clock::now();
    double checksum = 0.0;
    for (int s = 0; s < g.seqCount; ++s) {
        for (int j = 0; j < work.seqLengths[s]; ++j) {
            for (int k = 0; k < K; ++k) {
                const int w = g.widths[k];
                if (j < w - 1) continue;
                const CString word = g.seqs[s].Mid(j - w + 1, w);
                checksum += g.CalLogMotifPr(word, work.motifProb[k]);
                checksum += g.CalLogMotifPr(Reverse(word), work.motifProb[k]);
            }
        }
    }
    const double plain = Seconds(start, Clock::now());
    const double positions = static_cast<double>(kSequences) * kLength;
    std::printf("table fill: fast %.1f ns per position, plain %.1f ns per position (%.1fx)%s\n",
                fast / positions * 1e9, plain / positions * 1e9, plain / fast,
                checksum == 0.0 ? " " : "");
}

void Loop(int iterations) {
    const Input input = MakeInput();
    const double positions = static_cast<double>(kSequences) * kLength;
    const double setup = TimeRun(input, 0);
    const double whole = TimeRun(input, iterations);
    std::printf("input: %d sequences x %d letters, K = 3, widths 10..14, both strands\n",
                kSequences, kLength);
    std::printf("run of %d iterations: %.3f s (set-up and reports alone %.3f s)\n", iterations,
                whole, setup);
    std::printf("Gibbs loop: %.1f ns per position per iteration\n",
                (whole - setup) / iterations / positions * 1e9);
    const std::string command = "rm -rf '" + input.dir + "'";
    if (std::system(command.c_str()) != 0) std::perror("rm");
}

// A default run (2000 iterations) in a child process: wall seconds and the
// child's peak resident memory.
void Full() {
    const Input input = MakeInput();
    struct Mode {
        const char* name;
        int outputBF;
        int fixModuleLength;
    };
    const Mode modes[] = {{"default", 0, 1}, {"-B", 1, 1}, {"-d", 0, 0}};
    std::printf("default runs (2000 iterations, K = 3) on %d x %d letters:\n", kSequences, kLength);
    for (const Mode& mode : modes) {
        std::fflush(stdout);
        const auto start = Clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            CGibbsDP sampler;
            Configure(sampler, input, 2000);
            sampler.outputBF = mode.outputBF;
            sampler.fixModuleLength = mode.fixModuleLength;
            Silently([&] { sampler.DataAugmentation(); });
            std::_Exit(0);
        }
        int status = 0;
        struct rusage usage;
        wait4(pid, &status, 0, &usage);
        const double seconds = Seconds(start, Clock::now());
        std::printf("  %-8s %7.1f s   peak memory %6.1f MB%s\n", mode.name, seconds,
                    usage.ru_maxrss / 1024.0, status == 0 ? "" : "   (run failed)");
    }
    const std::string command = "rm -rf '" + input.dir + "'";
    if (std::system(command.c_str()) != 0) std::perror("rm");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "loop";
    if (mode == "loop") {
        Loop(argc > 2 ? std::atoi(argv[2]) : 200);
    } else if (mode == "tables") {
        const Input input = MakeInput();
        TableFill(input);
        const std::string command = "rm -rf '" + input.dir + "'";
        if (std::system(command.c_str()) != 0) std::perror("rm");
    } else if (mode == "full") {
        Full();
    } else {
        std::fprintf(stderr, "usage: %s loop [iterations] | tables | full\n", argv[0]);
        return 2;
    }
    return 0;
}
