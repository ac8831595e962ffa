#include "app/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "model/GibbsDP.h"

namespace {

// Integer value like atoi: the longest leading numeric prefix, 0 without one;
// values beyond the int range are clamped instead of wrapping.
int IntValue(const char* text) {
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double RealValue(const char* text) {
    return std::strtod(text, nullptr);
}

bool TakesValue(char option) {
    switch (option) {
        case 'i':
        case 'o':
        case 'n':
        case 'N':
        case 'r':
        case 'K':
        case 'L':
        case 'w':
        case 'W':
        case 'b':
        case 'c':
        case 'M':
        case 'S':
            return true;
        default:
            return false;
    }
}

}  // namespace

void PrintReadme() {
    std::puts("\n******************************");
    std::puts(kBanner);
    std::puts("******************************");
    std::puts("\nUsage: ./Tessalune -i Seqfile (options)");
    std::puts(
        "Seqfile must be in FASTA format and each line in the file should contain no more "
        "than 10K characters\n");
    std::puts("Options:");
    std::puts("\t-o\tOutput file (default output.txt)");
    std::puts("\t-n\tMaximum number of iterations (default 2000)");
    std::puts("\t-c\tThreshold for motif prediction (between 0 and 1; default 0.5)");
    std::puts("\t\tYou may increase this parameter if Tessalune predicts many sites");
    std::puts("\t-r\t1: search for both strands; 0: only search for forward strand (default 1)");
    std::puts("\t-K\tNumber of transcription factors (default 3)");
    std::puts("\t-L\tModule length (default 200)");
    std::puts("\t-w\tMinimum width for motifs (default 10); should be >= 5 ");
    std::puts("\t-W\tMaximum width for motifs (default 14); should be <= 40 ");
    std::puts("\t-P\tSample parameters each iteration. See readme file for details");
    std::puts("\t-B\tOutput log-posterior model odds over null model (pure background)");
    std::puts(
        "\t-s\tDegerate to search for K independent motifs without considering module "
        "structure");
    std::puts("\t-S\tRandom seed (default: the current time)");
}

void SetDefaultParam(INPUTPARAMETER* param) {
    param->bothStrands = 1;
    param->independent = 0;
    param->fixModuleLength = 1;
    param->sampleParams = 0;
    param->outputBF = 0;
    param->useBgFile = 0;
    param->readPWM = 0;
    param->seqFile = "";
    param->bgFile = "";
    param->outFile = "Output.txt";
    param->pwmFile = "";
    param->maxIter = 2000;
    param->motifCount = 3;
    param->minWidth = 10;
    param->maxWidth = 14;
    param->moduleLength = 200;
    param->runCount = 1;
    param->threshold = 0.5;
    param->useSeed = 0;
    param->seed = 0;
}

// Every word, the program path included, is echoed into cmdLine. Only the
// second character of a word beginning with "-" names its option, and the
// value word is examined in its turn like any other word, so "-o -s" sets the
// results file to "-s" and also selects -s.
bool ParseInputParam(INPUTPARAMETER* param, int argc, char** argv, CString* error) {
    param->cmdLine = CString(kBanner) + "\n";
    for (int i = 0; i < argc; ++i) {
        param->cmdLine = param->cmdLine + argv[i] + " ";
        const char* word = argv[i];
        if (word[0] != '-' || word[1] == '\0') continue;
        const char option = word[1];
        const char* value = nullptr;
        if (TakesValue(option)) {
            if (i + 1 >= argc) {
                *error = CString("Option -") + CString(option) + " needs a value!";
                return false;
            }
            value = argv[i + 1];
        }
        switch (option) {
            case 'i':
                param->seqFile = value;
                break;
            case 'o':
                param->outFile = value;
                break;
            case 'n':
                param->maxIter = IntValue(value);
                break;
            case 'N':
                param->runCount = IntValue(value);
                break;
            case 'r':
                param->bothStrands = value[0] == '0' ? 0 : 1;
                break;
            case 'K':
                param->motifCount = IntValue(value);
                break;
            case 'L':
                param->moduleLength = IntValue(value);
                break;
            case 'w':
                param->minWidth = IntValue(value);
                break;
            case 'W':
                param->maxWidth = IntValue(value);
                break;
            case 'b':
                param->useBgFile = 1;
                param->bgFile = value;
                break;
            case 'c':
                param->threshold = RealValue(value);
                break;
            case 'M':
                param->readPWM = 1;
                param->pwmFile = value;
                break;
            case 'S':
                param->useSeed = 1;
                param->seed = static_cast<unsigned int>(std::strtoll(value, nullptr, 10));
                break;
            case 'P':
                param->sampleParams = 1;
                break;
            case 's':
                param->independent = 1;
                break;
            case 'd':
                param->fixModuleLength = 0;
                break;
            case 'B':
                param->outputBF = 1;
                break;
            default:
                break;
        }
    }
    return true;
}

const char* CheckInputParam(const INPUTPARAMETER& param) {
    if (param.minWidth < 5 || param.maxWidth > 40) return "input motif width range error!";
    if (param.motifCount <= 0) return "Input number of transcription factors error!";
    if (param.moduleLength < param.minWidth) return "Input module length too small!";
    return nullptr;
}

int RunModSampling(INPUTPARAMETER* param, int runIndex) {
    CGibbsDP sampler;
    sampler.cmdLine = param->cmdLine;
    sampler.seqFile = param->seqFile;
    sampler.outFile = param->outFile;
    sampler.bgFile = param->bgFile;
    sampler.pwmFile = param->pwmFile;
    sampler.motifCount = param->motifCount;
    sampler.moduleLength = param->moduleLength;
    sampler.minWidth = param->minWidth;
    sampler.maxWidth = param->maxWidth;
    sampler.maxIter = param->maxIter;
    sampler.bothStrands = param->bothStrands;
    sampler.independent = param->independent;
    sampler.fixModuleLength = param->fixModuleLength;
    sampler.sampleParams = param->sampleParams;
    sampler.outputBF = param->outputBF;
    sampler.useBgFile = param->useBgFile;
    sampler.readPWM = param->readPWM;
    sampler.threshold = param->threshold;
    sampler.burnIn = static_cast<int>(sampler.maxIter * 0.7);
    // Repeated runs get distinct seeds, so runs started in the same second differ.
    const unsigned int base =
        param->useSeed ? param->seed : static_cast<unsigned int>(std::time(nullptr));
    sampler.seed = base + static_cast<unsigned int>(runIndex);
    sampler.DataAugmentation();
    return sampler.failedFiles.empty() ? 0 : 1;
}

int RunTessalune(int argc, char** argv) {
    if (argc <= 1) {
        PrintReadme();
        return 0;
    }
    INPUTPARAMETER param;
    SetDefaultParam(&param);
    CString error;
    if (!ParseInputParam(&param, argc, argv, &error)) {
        std::puts(error.CStr());
        return 1;
    }
    if (const char* message = CheckInputParam(param)) {
        std::puts(message);
        return 1;
    }
    int status = 0;
    for (int r = 0; r < param.runCount; ++r) {
        if (RunModSampling(&param, r) != 0) status = 1;
    }
    return status;
}
