// Sampler state: construction, allocation, the first sample, site lists and
// release.

#include <algorithm>

#include "core/Helpers.h"
#include "core/Random.h"
#include "model/GibbsDP.h"

CGibbsDP::CGibbsDP()
    : motifCount(1),
      moduleLength(-1),
      fixModuleLength(0),
      lengthStep(10),
      maxWidth(20),
      minWidth(8),
      independent(0),
      seqCount(0),
      bothStrands(1) {}

CGibbsDP::~CGibbsDP() {
    FreeMemery();
}

// Initialize: reads the sequences, allocates the state, draws the initial
// widths (one rand() per motif) and sets the priors.
void CGibbsDP::Initialize() {
    ReadInputSeq();
    BuildSequenceCodes();

    const int K = motifCount;
    widths = new int[K];
    for (int k = 0; k < K; ++k) {
        const int r = rng::Next();
        int w = minWidth + static_cast<int>((maxWidth - minWidth + 1) * ((r + 1) / 2147483649.0));
        if (w < minWidth) w = minWidth;
        if (w > maxWidth) w = maxWidth;
        widths[k] = w;
    }
    countMat = new int*[K];
    for (int k = 0; k < K; ++k) countMat[k] = new int[widths[k] * 4]();
    siteTotals = new int[K + 1]();
    modules = new MODULEINFO[seqCount];
    curSites = new SITEINFO**[K];
    bestSites = new SITEINFO**[K];
    for (int k = 0; k < K; ++k) {
        curSites[k] = NewSiteHeads();
        bestSites[k] = NewSiteHeads();
    }
    nonModulePrior = 1;
    moduleStartPrior = 1;
    modulePrior = new int[K + 1];
    for (int k = 0; k <= K; ++k) modulePrior[k] = 1;
    for (int& b : basePrior) b = 1;
    if (independent) {
        fixModuleLength = 1;
        moduleLength = totalLength;
    }
}

// Base codes, complement codes and the last-N index of every sequence.
void CGibbsDP::BuildSequenceCodes() {
    seqCodes.assign(seqCount, SequenceCodes());
    for (int s = 0; s < seqCount; ++s) {
        const CString& seq = seqs[s];
        const int n = seq.GetLength();
        SequenceCodes& sc = seqCodes[s];
        sc.code.resize(n);
        sc.rcCode.resize(n);
        sc.lastN.resize(n);
        int lastN = -1;
        for (int j = 0; j < n; ++j) {
            const char c = seq[j];
            sc.code[j] = base::kCode[static_cast<unsigned char>(c)];
            sc.rcCode[j] = base::kCode[static_cast<unsigned char>(
                base::kComplement[static_cast<unsigned char>(c)])];
            if (c == 'N' || c == 'n') lastN = j;
            sc.lastN[j] = lastN;
        }
    }
}

SITEINFO** CGibbsDP::NewSiteHeads() {
    SITEINFO** heads = new SITEINFO*[seqCount];
    for (int s = 0; s < seqCount; ++s) heads[s] = new SITEINFO();
    return heads;
}

// RandPickSite: the first sample. Each non-empty sequence gets one module at
// a random start, split into K consecutive slots, and motif k one forward
// site at a random offset in slot k. Draws: per sequence one for the start,
// then one per motif. Where the module is too short for the slots, sites that
// would leave the sequence are not placed by the slot formula: the motifs are
// then packed from the module start in motif order and a motif that no longer
// fits inside the module gets no site (no further draws for that sequence).
// An empty sequence gets no module, no site and no draw.
void CGibbsDP::RandPickSite() {
    const int K = motifCount;
    const int widthSum = Sum(widths, K);
    for (int i = 0; i < seqCount; ++i) {
        const int n = seqs[i].GetLength();
        if (n == 0) continue;
        const int span = std::min(moduleLength, n);
        const int gap = (span - widthSum) / K;
        MODULEINFO& mod = modules[i];
        mod.moduleNum = 1;
        mod.moduleStarts = new int[1];
        const int start = rng::Next() % (n - span + 1);
        mod.moduleStarts[0] = start;

        // The slot formula holds while gap >= 0; with gap 0 it packs the sites
        // from the start, which is sound only while they stay in the sequence.
        const bool slotsFit = gap >= 0 && start + K * gap + widthSum <= n;
        int offset = 0;
        for (int k = 0; k < K; ++k) {
            int pos;
            if (slotsFit) {
                const int d = rng::Next() % (gap + 1);
                pos = start + k * gap + offset + d;
            } else {
                if (start + offset + widths[k] > start + span) continue;
                pos = start + offset;
            }
            SITEINFO* node = new SITEINFO();
            node->pos = pos;
            node->strand = 1;
            node->site = seqs[i].Mid(pos, widths[k]);
            node->tally = 0;
            AddSite(curSites[k][i], node);
            offset += widths[k];
        }
    }
    bestLogPost = CalLogPostPrSample();
    CopySample(curSites, bestSites);
}

void CGibbsDP::AddSite(SITEINFO* head, SITEINFO* node) {
    node->next = head->next;
    head->next = node;
}

void CGibbsDP::ClearList(SITEINFO* head) {
    SITEINFO* node = head->next;
    while (node) {
        SITEINFO* next = node->next;
        delete node;
        node = next;
    }
    head->next = nullptr;
}

void CGibbsDP::DelSiteHead(SITEINFO** heads) {
    if (!heads) return;
    for (int s = 0; s < seqCount; ++s) {
        ClearList(heads[s]);
        delete heads[s];
    }
    delete[] heads;
}

void CGibbsDP::CopySample(SITEINFO** from, SITEINFO** to) {
    for (int s = 0; s < seqCount; ++s) {
        ClearList(to[s]);
        SITEINFO* tail = to[s];
        for (const SITEINFO* node = from[s]->next; node; node = node->next) {
            SITEINFO* copy = new SITEINFO();
            copy->site = node->site;
            copy->pos = node->pos;
            copy->strand = node->strand;
            copy->tally = node->tally;
            tail->next = copy;
            tail = copy;
        }
    }
}

void CGibbsDP::CopySample(SITEINFO*** from, SITEINFO*** to) {
    for (int k = 0; k < motifCount; ++k) CopySample(from[k], to[k]);
}

long long CGibbsDP::ModuleCoverage() const {
    long long coverage = 0;
    for (int s = 0; s < seqCount; ++s) {
        const long long m = std::min(moduleLength, seqs[s].GetLength());
        coverage += m * modules[s].moduleNum;
    }
    return coverage;
}

void CGibbsDP::FreeMemery() {
    if (seqs) {
        delete[] seqs;
        seqs = nullptr;
    }
    if (seqNames) {
        delete[] seqNames;
        seqNames = nullptr;
    }
    delete[] widths;
    widths = nullptr;
    delete[] siteTotals;
    siteTotals = nullptr;
    delete[] modulePrior;
    modulePrior = nullptr;
    if (countMat) {
        for (int k = 0; k < motifCount; ++k) delete[] countMat[k];
        delete[] countMat;
        countMat = nullptr;
    }
    if (modules) {
        for (int s = 0; s < seqCount; ++s) delete[] modules[s].moduleStarts;
        delete[] modules;
        modules = nullptr;
    }
    if (curSites) {
        for (int k = 0; k < motifCount; ++k) DelSiteHead(curSites[k]);
        delete[] curSites;
        curSites = nullptr;
    }
    if (bestSites) {
        for (int k = 0; k < motifCount; ++k) DelSiteHead(bestSites[k]);
        delete[] bestSites;
        bestSites = nullptr;
    }
}
