#include "support/TestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::string DataPath(const std::string& name) {
    return std::string(TESSALUNE_TEST_DATA) + "/" + name;
}

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/tessalune-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) throw std::runtime_error("mkdtemp failed");
    dir = made;
}

ScratchDir::~ScratchDir() {
    const std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) std::perror("rm");
}

std::string ScratchDir::Write(const std::string& name, const std::string& text) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

namespace {

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd) {
    ScratchDir capture;
    std::string command = "cd " + Quote(cwd) + " && " + Quote(TESSALUNE_BINARY);
    for (const auto& a : args) command += " " + Quote(a);
    command += " >" + Quote(capture.File("out")) + " 2>" + Quote(capture.File("err"));
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(capture.File("out"));
    result.err = ReadFile(capture.File("err"));
    return result;
}

std::vector<int> Draws(unsigned int seed, int n) {
    std::srand(seed);
    std::vector<int> values(n);
    for (int& v : values) v = std::rand();
    return values;
}

std::string Letters(int n, int salt) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "ACGT"[(i * 7 + i / 5 + salt) % 4];
    return s;
}

std::vector<Site> Sites(const SITEINFO* head) {
    std::vector<Site> sites;
    for (const SITEINFO* node = head->next; node; node = node->next) {
        sites.emplace_back(node->site.CStr(), node->pos, node->strand, node->tally);
    }
    return sites;
}

void SetRecorded(CGibbsDP& g, int R) {
    g.maxIter = 10 + R;
    g.burnIn = 10;
}

SamplerFixture::SamplerFixture(const std::string& fasta) {
    sampler.seqFile = scratch.Write("input.fa", fasta).c_str();
    sampler.motifCount = 3;
    sampler.moduleLength = 200;
    sampler.minWidth = 10;
    sampler.maxWidth = 14;
    sampler.maxIter = 2000;
    sampler.burnIn = 1400;
    sampler.bothStrands = 1;
    sampler.independent = 0;
    sampler.fixModuleLength = 1;
    sampler.threshold = 0.5;
    sampler.outFile = scratch.File("Output.txt").c_str();
}

void SamplerFixture::Setup(unsigned int seed) {
    std::srand(seed);
    sampler.Initialize();
    sampler.BuildBackground();
}

}  // namespace testsupport
