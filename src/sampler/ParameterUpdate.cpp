// Model parameters of an iteration from the current sample: posterior means
// or one posterior draw, and the optional motif matrix file.

#include "model/GibbsDP.h"

// CountModule: the number of modules over all seqCount records.
int CGibbsDP::CountModule(const MODULEINFO* records) const {
    int M = 0;
    for (int s = 0; s < seqCount; ++s) M += records[s].moduleNum;
    return M;
}
