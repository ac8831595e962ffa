// Shared helpers of the test suite: temporary files, running the real
// binary, and sampler objects built from small FASTA texts.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "model/GibbsDP.h"

namespace testsupport {

// Path of a fixture in tests/data.
std::string DataPath(const std::string& name);

// A fresh, empty scratch directory, removed when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return dir; }
    // Writes text to the file `name` inside the directory; returns its path.
    std::string Write(const std::string& name, const std::string& text) const;
    std::string File(const std::string& name) const { return dir + "/" + name; }

  private:
    std::string dir;
};

std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

struct RunResult {
    int status = -1;  // exit status of the process
    std::string out;  // standard output
    std::string err;  // standard error
};
// Runs the Tessalune binary with the given arguments in directory cwd.
RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd = ".");

// The first n values the C library generator gives after srand(seed).
std::vector<int> Draws(unsigned int seed, int n);

// n letters of a fixed, irregular ACGT pattern; salt shifts it.
std::string Letters(int n, int salt = 0);

// A site list as plain values: site, pos, strand, tally, in list order.
using Site = std::tuple<std::string, int, int, int>;
std::vector<Site> Sites(const SITEINFO* head);

// R recorded iterations after a burn-in of 10.
void SetRecorded(CGibbsDP& g, int R);

// A sampler whose sequences come from a FASTA text, with the tool's default
// parameters unless changed before Setup(). Setup() seeds the generator,
// reads the sequences (Initialize) and builds the background, as a run does.
class SamplerFixture {
  public:
    explicit SamplerFixture(const std::string& fasta);
    CGibbsDP& operator*() { return sampler; }
    CGibbsDP* operator->() { return &sampler; }
    void Setup(unsigned int seed = 1);

    CGibbsDP sampler;
    ScratchDir scratch;
};

}  // namespace testsupport
