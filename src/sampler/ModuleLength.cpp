// Metropolis-Hastings update of the module length after the burn-in.

#include <algorithm>
#include <cmath>

#include "core/Random.h"
#include "model/GibbsDP.h"

// UpdateModuleLength: accepts or rejects the pending move (0 grow at the
// module starts, 1 grow at the ends, 2 shrink at the starts, 3 shrink at the
// ends) from the edge-window ratios module sampling gathered, with a prior
// that multiplies by 14/15 per lengthening step. On acceptance L changes by
// lengthStep and, for moves at the starts, every start moves with it; a
// module window is then kept inside its sequence (a sequence shorter than the
// module holds one module, from position 0).
void CGibbsDP::UpdateModuleLength(int lengthMove) {
    double S = 0.0;
    for (int s = 0; s < seqCount; ++s) S += modules[s].moveLogRatio;
    const bool grow = lengthMove <= 1;
    const int newLength = grow ? moduleLength + lengthStep : moduleLength - lengthStep;
    const double c = grow ? std::log(0.9333333333333333) + S : std::log(1.0714285714285714) - S;
    bool accept = c > 0;
    if (!accept && c >= -200) accept = rng::AcceptUniform() < std::exp(c);
    if (!accept) return;
    moduleLength = newLength;
    const int shift = lengthMove == 0 ? -lengthStep : lengthMove == 2 ? lengthStep : 0;
    for (int s = 0; s < seqCount; ++s) {
        const int n = seqs[s].GetLength();
        const int lastStart = n - std::min(newLength, n);
        for (int j = 0; j < modules[s].moduleNum; ++j) {
            int& start = modules[s].moduleStarts[j];
            start = std::min(std::max(start + shift, 0), lastStart);
        }
    }
}
