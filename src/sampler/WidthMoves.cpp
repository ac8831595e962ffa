// Metropolis-Hastings moves of a motif's width and phase during the burn-in.

#include <cmath>

#include "core/Helpers.h"
#include "core/Random.h"
#include "model/GibbsDP.h"

namespace {

// The sites of one motif rebuilt with new starts (and width), with their
// count matrix and the background sums of the old and the new site words.
struct Proposal {
    SITEINFO** lists = nullptr;
    int* counts = nullptr;
    double oldBg = 0.0;
    double newBg = 0.0;
};

}  // namespace

// CheckBoundary: out[0] (startBlocked) when some site has its first motif
// column at an end of its sequence, out[1] (endBlocked) when some site has its
// last column there. A forward site reads left to right; a reverse site's
// first column is the complement of its rightmost letter.
void CGibbsDP::CheckBoundary(SITEINFO** lists, bool* out) {
    bool startBlocked = false;
    bool endBlocked = false;
    for (int s = 0; s < seqCount && !(startBlocked && endBlocked); ++s) {
        const int length = seqs[s].GetLength();
        for (const SITEINFO* node = lists[s]->next; node; node = node->next) {
            const int w = node->site.GetLength();
            const bool atLeft = node->pos <= 0;
            const bool atRight = node->pos >= length - w;
            if (node->strand == 1) {
                startBlocked = startBlocked || atLeft;
                endBlocked = endBlocked || atRight;
            } else {
                startBlocked = startBlocked || atRight;
                endBlocked = endBlocked || atLeft;
            }
        }
    }
    out[0] = startBlocked;
    out[1] = endBlocked;
}

// CalLogPCondPW: the conditional log score of a motif's sites with width w
// and counts (w x 4) against background sum bgSum; a and b are shared by the
// old and the new geometry of a move. Terms added left to right.
double CGibbsDP::CalLogPCondPW(long long a, long long b, int w, const int* counts, double bgSum) {
    static const double kLn15 = std::log(15.0);
    const int S = basePrior[0] + basePrior[1] + basePrior[2] + basePrior[3];
    const int n = w > 0 ? counts[0] + counts[1] + counts[2] + counts[3] : 0;
    double score = logGamma(static_cast<int>(a)) - logGamma(static_cast<int>(b));
    for (int j = 0; j < w; ++j) {
        for (int base = 0; base < 4; ++base)
            score += logGamma(counts[4 * j + base] + basePrior[base]);
    }
    score = score - w * logGamma(n + S) - bgSum + w * kLn15 - logGamma(w + 1);
    return score;
}

// MH: accepts with probability min(1, exp(newScore - oldScore + extra)); a
// difference below -200 is refused and one above 0 accepted without a draw.
bool CGibbsDP::MH(double oldScore, double newScore, double extra) {
    const double d = newScore - oldScore + extra;
    if (d < -200) return false;
    if (d > 0) return true;
    return rng::AcceptUniform() < std::exp(d);
}

namespace {

// Rebuilds motif k's sites of `from` with each site's start moved by
// shiftForward (forward sites) or shiftReverse (reverse sites) and width w.
Proposal Rebuild(CGibbsDP& g, SITEINFO** from, int w, int shiftForward, int shiftReverse) {
    Proposal p;
    p.lists = g.NewSiteHeads();
    for (int s = 0; s < g.seqCount; ++s) {
        SITEINFO* tail = p.lists[s];
        for (const SITEINFO* node = from[s]->next; node; node = node->next) {
            SITEINFO* copy = new SITEINFO();
            copy->strand = node->strand;
            copy->pos = node->pos + (node->strand == 1 ? shiftForward : shiftReverse);
            const CString word = g.seqs[s].Mid(copy->pos, w);
            copy->site = node->strand == 1 ? word : Reverse(word);
            p.newBg += g.CalLogBgPr(copy->site);
            p.oldBg += g.CalLogBgPr(node->site);
            tail->next = copy;
            tail = copy;
        }
    }
    p.counts = new int[4 * w];
    g.CalWeightMat(p.lists, p.counts, w);
    return p;
}

// An accepted proposal replaces motif k's sites and counts; a refused one is freed.
void Settle(CGibbsDP& g, int k, const Proposal& p, bool accept) {
    if (accept) {
        delete[] g.countMat[k];
        g.countMat[k] = p.counts;
        g.DelSiteHead(g.curSites[k]);
        g.curSites[k] = p.lists;
    } else {
        delete[] p.counts;
        g.DelSiteHead(p.lists);
    }
}

}  // namespace

// UpdateWidth: proposes to grow or shrink motif k by one column at its start
// or its end (two coins: side, then direction) and accepts by MH on the
// conditional score. A proposal that would push a site out of its sequence or
// leave minWidth..maxWidth is refused without a further draw.
void CGibbsDP::UpdateWidth(int k) {
    const int w = widths[k];
    bool blocked[2];
    CheckBoundary(curSites[k], blocked);
    const bool atStart = rng::Coin() <= 0.5;
    const int d = rng::Coin() > 0.5 ? 1 : -1;
    if (d == 1 && atStart && blocked[0]) return;
    if (d == 1 && !atStart && blocked[1]) return;
    const int newWidth = w + d;
    if (newWidth < minWidth || newWidth > maxWidth || newWidth < 1 || newWidth >= kWidthBins)
        return;

    // forward sites move at their start side, reverse sites at their end side
    const int shiftForward = atStart ? -d : 0;
    const int shiftReverse = atStart ? 0 : -d;
    Proposal p = Rebuild(*this, curSites[k], newWidth, shiftForward, shiftReverse);

    const int K = motifCount;
    long long sites = 0;
    for (int j = 0; j < K; ++j) sites += siteTotals[j];
    const long long a = ModuleCoverage() - 15LL * CountModule(modules) - sites;
    long long b = a + modulePrior[K];
    for (int j = 0; j < K; ++j) b += modulePrior[j] + siteTotals[j];
    const double oldScore = CalLogPCondPW(a, b, w, countMat[k], p.oldBg);
    const double newScore = CalLogPCondPW(a, b, newWidth, p.counts, p.newBg);
    const bool accept = MH(oldScore, newScore, 0);
    if (accept) widths[k] = newWidth;
    Settle(*this, k, p, accept);
}

// PhaseShift: proposes to move all of motif k's sites by one letter towards
// the motif start or end (forward and reverse sites in opposite sequence
// directions), keeping the width, and accepts by MH.
void CGibbsDP::PhaseShift(int k) {
    const int w = widths[k];
    bool blocked[2];
    CheckBoundary(curSites[k], blocked);
    const bool towardsStart = rng::Coin() <= 0.5;
    if (towardsStart && blocked[0]) return;
    if (!towardsStart && blocked[1]) return;
    const int shift = towardsStart ? -1 : 1;
    Proposal p = Rebuild(*this, curSites[k], w, shift, -shift);
    const double oldScore = CalLogPCondPW(2, 2, w, countMat[k], p.oldBg);
    const double newScore = CalLogPCondPW(2, 2, w, p.counts, p.newBg);
    Settle(*this, k, p, MH(oldScore, newScore, 0));
}
