// The command line: run parameters, their defaults, parsing, checks and the
// repetition of runs.
#pragma once

#include "core/CString.h"

// The banner that begins the echoed command line and the usage text.
inline constexpr const char* kBanner = "Tessalune 1.0: de novo discovery of cis-regulatory modules";

struct INPUTPARAMETER {
    CString cmdLine;      // banner line, then every word followed by one blank
    int bothStrands;      // -r: 1 both strands, 0 forward only
    int independent;      // -s: K independent motifs, no module structure
    int fixModuleLength;  // -d sets 0: sample the module length after burn-in
    int sampleParams;     // -P: draw the parameters each iteration
    int outputBF;         // -B: estimate the log posterior model odds
    int useBgFile;        // -b
    int readPWM;          // -M
    CString seqFile;      // -i
    CString bgFile;       // -b
    CString outFile;      // -o
    CString pwmFile;      // -M
    int maxIter;          // -n
    int motifCount;       // -K
    int minWidth;         // -w
    int maxWidth;         // -W
    int moduleLength;     // -L
    int runCount;         // -N
    double threshold;     // -c
    int useSeed;          // -S given
    unsigned int seed;    // -S: run r seeds the generator with seed + r
};

void PrintReadme();
void SetDefaultParam(INPUTPARAMETER* param);
// Builds cmdLine and applies every option. An option whose value word is
// missing (it is the last word) stops the parse: false, with the message in
// *error.
bool ParseInputParam(INPUTPARAMETER* param, int argc, char** argv, CString* error);
// The three checks in their fixed order; the message of the first that fails,
// or nullptr when all pass.
const char* CheckInputParam(const INPUTPARAMETER& param);
// One complete run (0-based run number runIndex). Returns 0, or 1 when a
// results file could not be written.
int RunModSampling(INPUTPARAMETER* param, int runIndex);
// The whole tool: usage, parse, checks, runs. Returns the exit status.
int RunTessalune(int argc, char** argv);
