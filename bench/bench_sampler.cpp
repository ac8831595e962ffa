// Sampler speed on a synthetic input: about 100 kb in 1-kb sequences, K = 3,
// widths 10..14, both strands. Prints nanoseconds per sequence position per
// iteration of the Gibbs loop, and the cost of one likelihood-table fill by
// the fast path beside the plain string-cutting definition.
//
//   make bench            (builds build-bench/bench_sampler and runs it)
//   build-bench/bench_sampler [iterations] [sequences] [length]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

// Random sequences with a planted 12-letter word every so often, from a fixed seed.
std::string SyntheticFasta(int sequences, int length) {
    std::mt19937 gen(12345);
    const char letters[] = "ACGT";
    const std::string planted[] = {"TTGACAGCTAGC", "GGGCGGGGCAAT", "CACGTGACCTTA"};
    std::string fasta;
    for (int s = 0; s < sequences; ++s) {
        std::string seq(length, 'A');
        for (char& c : seq) c = letters[gen() % 4];
        for (int p = static_cast<int>(gen() % 200); p + 12 < length; p += 150 + static_cast<int>(gen() % 200)) {
            seq.replace(p, 12, planted[gen() % 3]);
        }
        fasta += ">seq" + std::to_string(s) + "\n";
        for (int i = 0; i < length; i += 80) fasta += seq.substr(i, 80) + "\n";
    }
    return fasta;
}

// Runs one whole sampling run with standard output silenced; returns seconds.
double TimeRun(const std::string& fastaPath, const std::string& outPath, int iterations) {
    CGibbsDP sampler;
    sampler.seqFile = fastaPath.c_str();
    sampler.outFile = outPath.c_str();
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
    std::fflush(stdout);
    const int saved = dup(1);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    const auto start = Clock::now();
    sampler.DataAugmentation();
    std::fflush(stdout);
    const auto stop = Clock::now();
    dup2(saved, 1);
    close(devnull);
    close(saved);
    return Seconds(start, stop);
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 200;
    const int sequences = argc > 2 ? std::atoi(argv[2]) : 100;
    const int length = argc > 3 ? std::atoi(argv[3]) : 1000;
    char dir[] = "/tmp/tessalune-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string fastaPath = std::string(dir) + "/input.fa";
    const std::string outPath = std::string(dir) + "/out.txt";
    {
        std::FILE* f = std::fopen(fastaPath.c_str(), "w");
        const std::string text = SyntheticFasta(sequences, length);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const double positions = static_cast<double>(sequences) * length;

    const double setup = TimeRun(fastaPath, outPath, 0);
    const double whole = TimeRun(fastaPath, outPath, iterations);
    const double perIteration = (whole - setup) / iterations;
    std::printf("input: %d sequences x %d letters, K = 3, widths 10..14, both strands\n", sequences,
                length);
    std::printf("run of %d iterations: %.3f s (set-up and reports %.3f s)\n", iterations, whole, setup);
    std::printf("Gibbs loop: %.1f ns per position per iteration\n", perIteration / positions * 1e9);

    std::string command = "rm -rf '" + std::string(dir) + "'";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
