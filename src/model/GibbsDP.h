// The sampler object: the whole state of one sampling run (parameters,
// sequences, background model, current and best sample, motif widths, count
// matrices and priors) and the steps of the algorithm as member functions.
//
// Conventions: positions count from 0 in forward-strand coordinates for sites
// on either strand; probabilities are carried as natural logarithms;
// kLogImpossible (-2000) marks a window no site can occupy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/CString.h"
#include "model/MotifMatrices.h"

// Width bins of the width tally: every motif width lies below it.
constexpr int kWidthBins = 50;

// One node of a site list. A list starts with a head node that carries no
// site; its `next` is the first site.
struct SITEINFO {
    CString site;    // letters as read on the site's own strand
    int pos = 0;     // start in forward-strand coordinates
    int strand = 1;  // 1 forward, 0 reverse
    int tally = 0;   // pooled posterior count of a final site
    SITEINFO* next = nullptr;
};

// The modules of one sequence.
struct MODULEINFO {
    int moduleNum = 0;
    int* moduleStarts = nullptr;  // moduleNum starts, highest first
    double logRatio = 0.0;        // module vs background log-likelihood, all modules
    double moveLogRatio = 0.0;    // change of that ratio under the pending length move
};

// Integer views of one sequence for the per-position loops, built once per run.
struct SequenceCodes {
    std::vector<std::uint8_t> code;    // base code of each letter
    std::vector<std::uint8_t> rcCode;  // base code of the letter's complement
    std::vector<int> lastN;            // index of the last N or n at or before j; -1 if none
};

// The work data of one run, owned by the run driver and passed to the steps
// that use it: the parameter holders, the tallies, the sequence lengths and
// the per-position likelihood tables.
struct RunWork {
    RunWork() = default;
    RunWork(const RunWork&) = delete;
    RunWork& operator=(const RunWork&) = delete;
    ~RunWork();

    double moduleStartProb = 0.0;
    std::vector<double> mixWeights;  // K + 1
    MotifMatrices motifProb;
    std::vector<int*> siteTally;    // rows made by SetZerosMD
    std::vector<int> widthTally;    // K x 50
    std::vector<int*> moduleTally;  // rows made by SetZerosMD
    std::vector<int> seqLengths;
    std::vector<std::vector<double>> tableStore;
    std::vector<double*> posLogPr;  // per sequence, n x (2K + 1)
    int meanLength = 0;
    int lengthMove = -1;
};

class CGibbsDP {
  public:
    CGibbsDP();
    virtual ~CGibbsDP();
    CGibbsDP(const CGibbsDP&) = delete;
    CGibbsDP& operator=(const CGibbsDP&) = delete;

    // ---- run driver ----
    void DataAugmentation();
    void OutputInfo(int t);
    // The stages of DataAugmentation: set-up, one iteration (t from 1), and
    // the summary and reports.
    void SetUpRun(RunWork& work);
    void RunIteration(int t, RunWork& work);
    void FinishRun(RunWork& work);
    void SetUpTallies(RunWork& work);

    // ---- sequence input ----
    void ReadInputSeq();

    // ---- sampler state and site lists ----
    void Initialize();
    void RandPickSite();
    void AddSite(SITEINFO* head, SITEINFO* node);
    void DelSiteHead(SITEINFO** heads);
    void CopySample(SITEINFO*** from, SITEINFO*** to);
    void CopySample(SITEINFO** from, SITEINFO** to);
    void FreeMemery();
    // New array of seqCount empty heads.
    SITEINFO** NewSiteHeads();
    // Frees every node after the head, leaving the list empty.
    static void ClearList(SITEINFO* head);
    // Module coverage: the sum over all modules of min(L, n_s).
    long long ModuleCoverage() const;
    void BuildSequenceCodes();

    // ---- background model ----
    void BuildBackground();
    double CalLogBgPr(const CString& word);
    // Same as CalLogBgPr on m forward letters given by their base codes.
    double CalLogBgPrCodes(const std::uint8_t* codes, int m) const;
    void CalLogBgPrPos(double** posLogPr, int* seqLengths);

    // ---- motif likelihood tables ----
    void CalLogPrPos(double** posLogPr, int* seqLengths, double** motifProb);
    double CalLogMotifPr(CString word, const double* matrix);

    // ---- motif parameter update ----
    void UpdateParameters(double* moduleStartProb, double* mixWeights, double** motifProb);
    void SampleParameters(double* moduleStartProb, double* mixWeights, double** motifProb);
    int CountModule(const MODULEINFO* records) const;
    void LoadInputPWM();
    void ReadInputPWM(MotifMatrices& motifProb);

    // ---- module sampling ----
    void ApproxSampleCurSeq(int s, double x, double* mixWeights, double* table, int* lengthMove);
    double CalModuleLogPr(int end, int span, const double* table, const double* mixWeights,
                          double* out);
    double ModuleForward(const double* table, int n, double x, const double* mixWeights, double* G,
                         double* W, double* F, double* strandSums);
    void ExcludeCurSeq(int s);
    void SampleModule(double* windowLogPr, double* forwardLogPr, double x, int n, int s,
                      int* lengthMove, double* mixPrefix);

    // ---- site sampling ----
    void SampleSites(double* mixWeights, double* table, int s, int end, int n);

    // ---- module length update ----
    void UpdateModuleLength(int lengthMove);

    // ---- posterior score and count matrices ----
    int CalWeightMat(SITEINFO** siteLists, int* counts, int w);
    double CalBayesianScore(int M, long long coverage, const int* n, int** c, const int* w,
                            double bgSum);
    double CalLogPostPrSample();

    // ---- motif width and phase-shift moves ----
    void UpdateWidth(int k);
    void PhaseShift(int k);
    void CheckBoundary(SITEINFO** lists, bool* out);
    double CalLogPCondPW(long long a, long long b, int w, const int* counts, double bgSum);
    bool MH(double oldScore, double newScore, double extra);

    // ---- posterior tallies ----
    void SetZerosMD(int** siteTally, int* widthTally, int** moduleTally);
    void RecordMD(int** siteTally, int* widthTally, int** moduleTally);
    void SumNeighborMD(int** siteTally);
    void DeleteMD(int** siteTally, int* widthTally, int** moduleTally);

    // ---- final widths, sites and module count ----
    void InferModule(int** moduleTally, int* seqLengths);
    void FindOptimum(int** siteTally, int* widthTally, int D);

    // ---- site alignment ----
    void AlignSites();

    // ---- results files ----
    void Output(CString fileName, int** moduleTally, int* seqLengths);
    void OutputModPr(int** moduleTally, int* seqLengths, int D, CString fileName);

    // ---- model odds ----
    double ISforBF(double* x, double* mixWeights, MotifMatrices& motifProb, int* seqLengths,
                   double** posLogPr);
    double CalLogNullModel();
    void ShrinkCount(double f);
    double ProposeParameter(double* x, double* mixWeights, double** motifProb);
    double ProbSeqGParam(int s, double x, double* mixWeights, double* table);

    // ---- run parameters and state ----
    int motifCount;
    int moduleLength;
    int moduleCount = 0;
    int modulePositions = 0;
    int fixModuleLength;
    int lengthStep;
    SITEINFO*** curSites = nullptr;
    MODULEINFO* modules = nullptr;
    int** countMat = nullptr;
    int* widths = nullptr;
    int maxWidth;
    int minWidth;
    int* siteTotals = nullptr;
    double threshold = 0.5;
    int independent;
    int sampleParams = 0;
    int useBgFile = 0;
    CString* seqs = nullptr;
    CString* seqNames = nullptr;
    CString pwmFile;
    int readPWM = 0;
    int seqCount;
    CString outFile;
    CString seqFile;
    CString bgFile;
    double bgProb[20] = {};
    SITEINFO*** bestSites = nullptr;
    double bestLogPost = 0.0;
    int outputBF = 0;
    double logOdds = 0.0;
    int bothStrands;
    int totalLength = 0;
    int maxIter = 0;
    int burnIn = 0;
    int moduleStartPrior = 1;
    int nonModulePrior = 1;
    int* modulePrior = nullptr;
    int basePrior[4] = {1, 1, 1, 1};
    CString cmdLine;

    // Seed of the run's random generator.
    unsigned int seed = 0;
    // Results files that could not be written, each with the reason; the run
    // driver reports them and the process then fails.
    std::vector<std::string> failedFiles;

    // ---- derived data for the per-position loops ----
    std::vector<SequenceCodes> seqCodes;
    double logBgProb[20] = {};  // ln of bgProb, taken once per run
    // Per sequence, n x K: LogSum of the two strands' motif log-likelihoods of
    // the window ending at each row, filled by module sampling and read by
    // site sampling of the same iteration (rows where a site can end).
    std::vector<std::vector<double>> strandLogPr;
    // Matrices of the motif matrix file (rows smoothed), applied at iteration 1.
    std::vector<std::vector<double>> inputPWM;

    // Sizes the work arrays for sequences of up to n letters.
    void EnsureWorkArrays(int n);
    // Sequence s's block of strandLogPr, sized for it (new rows hold kLogImpossible).
    double* StrandSumBlock(int s);
    // ln of each mixture weight into logMixWork.
    void LoadLogMixWeights(const double* mixWeights);

  private:
    // Work arrays reused for every sequence and module of the run.
    std::vector<double> mixPrefixWork, windowWork, forwardWork, siteForwardWork;
    std::vector<double> candidateWork, logThetaWork, logMixWork;
    std::vector<int> startWork;
};
