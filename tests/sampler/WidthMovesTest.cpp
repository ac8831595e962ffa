// The burn-in moves of a motif's width and phase: boundary flags, the
// conditional score, the acceptance test, and the two moves on a hand-made
// motif whose background makes the outcome of each proposal certain.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::Draws;
using testsupport::SamplerFixture;

namespace {

constexpr double kRandMax = 2147483647.0;

// The first seed whose first `n` draws satisfy the predicate.
unsigned int SeedWhere(int n, const std::function<bool(const std::vector<int>&)>& wanted) {
    for (unsigned int seed = 1; seed < 100000; ++seed) {
        if (wanted(Draws(seed, n))) return seed;
    }
    ADD_FAILURE() << "no seed found";
    return 1;
}

// A proposal coin from a raw draw.
double Coin(int r) {
    return r * (1.0 / 2147483648.0);
}

struct Site {
    int seq;
    int pos;
    int strand;  // 1 forward, 0 reverse
};

// Sequences of `length` A's with a G at each listed (sequence, position).
std::string Fasta(int count, int length, const std::vector<std::pair<int, int>>& gs) {
    std::vector<std::string> seqs(count, std::string(length, 'A'));
    for (const auto& g : gs) seqs[g.first][g.second] = 'G';
    std::string text;
    for (int s = 0; s < count; ++s) text += ">s" + std::to_string(s) + "\n" + seqs[s] + "\n";
    return text;
}

// One motif of width w with the given sites (appended in order), one module
// per sequence, and a background under which A and T cost nothing and C and G
// are almost impossible (ln p = -50): a proposal that brings a G or C into
// every site gains about 50 per site, and one that only trades A or T letters
// is decided by the counts and the width prior alone.
void Build(SamplerFixture& f, int w, int minWidth, int maxWidth, const std::vector<Site>& sites) {
    f->motifCount = 1;
    f->minWidth = minWidth;
    f->maxWidth = maxWidth;
    f.Setup();
    f->widths[0] = w;
    delete[] f->countMat[0];
    f->countMat[0] = new int[4 * w]();
    for (int i = 0; i < 20; ++i) {
        const int b = i < 4 ? i : (i - 4) % 4;
        f->logBgProb[i] = (b == 1 || b == 2) ? -50.0 : 0.0;
        f->bgProb[i] = std::exp(f->logBgProb[i]);
    }
    for (int s = 0; s < f->seqCount; ++s) {
        MODULEINFO& mod = f->modules[s];
        delete[] mod.moduleStarts;
        mod.moduleNum = 1;
        mod.moduleStarts = new int[1]{0};
    }
    std::vector<SITEINFO*> tails(f->seqCount);
    for (int s = 0; s < f->seqCount; ++s) tails[s] = f->curSites[0][s];
    for (const Site& site : sites) {
        SITEINFO* node = new SITEINFO();
        node->pos = site.pos;
        node->strand = site.strand;
        const CString word = f->seqs[site.seq].Mid(site.pos, w);
        node->site = site.strand == 1 ? word : Reverse(word);
        tails[site.seq]->next = node;
        tails[site.seq] = node;
    }
    f->CalLogPostPrSample();
}

// What a caller can see of motif 0: width, sites (in list order) and counts.
struct MotifView {
    int width = 0;
    std::vector<int> seq, pos, strand;
    std::vector<std::string> text;
    std::vector<int> counts;
    int total = 0;

    bool operator==(const MotifView& o) const {
        return width == o.width && seq == o.seq && pos == o.pos && strand == o.strand &&
               text == o.text && counts == o.counts && total == o.total;
    }
};

MotifView View(CGibbsDP& g) {
    MotifView v;
    v.width = g.widths[0];
    for (int s = 0; s < g.seqCount; ++s) {
        for (const SITEINFO* node = g.curSites[0][s]->next; node; node = node->next) {
            v.seq.push_back(s);
            v.pos.push_back(node->pos);
            v.strand.push_back(node->strand);
            v.text.push_back(node->site.CStr());
        }
    }
    v.counts.assign(g.countMat[0], g.countMat[0] + 4 * v.width);
    v.total = g.siteTotals[0];
    return v;
}

// Every site text is the sequence at its position with the motif's width (as
// read on its strand), and countMat is the count matrix of those texts.
void ExpectConsistent(CGibbsDP& g) {
    const int w = g.widths[0];
    for (int s = 0; s < g.seqCount; ++s) {
        for (const SITEINFO* node = g.curSites[0][s]->next; node; node = node->next) {
            ASSERT_GE(node->pos, 0);
            ASSERT_LE(node->pos + w, g.seqs[s].GetLength());
            const CString word = g.seqs[s].Mid(node->pos, w);
            const CString expected = node->strand == 1 ? word : Reverse(word);
            EXPECT_STREQ(node->site.CStr(), expected.CStr())
                << "sequence " << s << " pos " << node->pos;
        }
    }
    std::vector<int> counts(4 * w);
    const int n = g.CalWeightMat(g.curSites[0], counts.data(), w);
    EXPECT_EQ(n, g.siteTotals[0]);
    EXPECT_EQ(std::vector<int>(g.countMat[0], g.countMat[0] + 4 * w), counts);
}

// Four sequences of 60 letters, a motif of width 6 with forward sites at 10
// and 30 and reverse sites at 10 and 30.
const std::vector<Site> kSites = {{0, 10, 1}, {1, 30, 1}, {2, 10, 0}, {3, 30, 0}};
// The letters each site gains at the motif start (forward: the one before it;
// reverse: the one after it) and at the motif end.
const std::vector<std::pair<int, int>> kStartSide = {{0, 9}, {1, 29}, {2, 16}, {3, 36}};
const std::vector<std::pair<int, int>> kEndSide = {{0, 16}, {1, 36}, {2, 9}, {3, 29}};

enum class Outcome { Refused, Accepted, Rejected };

}  // namespace

// startBlocked: a site's first motif column at an end of its sequence (a
// forward site at 0, a reverse site ending at the last letter); endBlocked:
// its last column there. A site beyond an end counts as well.
TEST(WidthMoves, CheckBoundaryFlags) {
    struct Case {
        const char* what;
        std::vector<Site> sites;  // width 5 unless the text is given below
        int textLength;
        bool start, end;
    };
    // sequence 0 has 30 letters, sequence 1 has 50
    const std::vector<Case> cases = {
        {"inside", {{0, 10, 1}, {1, 10, 0}}, 5, false, false},
        {"forward site at 0", {{0, 0, 1}}, 5, true, false},
        {"forward site ending at the last letter", {{0, 25, 1}}, 5, false, true},
        {"reverse site at 0", {{0, 0, 0}}, 5, false, true},
        {"reverse site ending at the last letter", {{0, 25, 0}}, 5, true, false},
        {"forward site before the start", {{0, -1, 1}}, 5, true, false},
        {"reverse site past the end", {{0, 26, 0}}, 5, true, false},
        {"each site against its own sequence", {{1, 25, 1}}, 5, false, false},
        {"the site text gives the width", {{0, 23, 1}}, 7, false, true},
        {"both, from two sequences", {{0, 0, 1}, {1, 0, 0}}, 5, true, true},
        {"no site", {}, 5, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(">a\n" + std::string(30, 'A') + "\n>b\n" + std::string(50, 'C') + "\n");
        f->motifCount = 1;
        f.Setup();
        for (const Site& site : c.sites) {
            SITEINFO* node = new SITEINFO();
            node->pos = site.pos;
            node->strand = site.strand;
            node->site = std::string(c.textLength, 'A').c_str();
            f->AddSite(f->curSites[0][site.seq], node);
        }
        bool out[2] = {!c.start, !c.end};
        f->CheckBoundary(f->curSites[0], out);
        EXPECT_EQ(out[0], c.start);
        EXPECT_EQ(out[1], c.end);
    }
}

// d = new - old + extra: below -200 refused and above 0 accepted without a
// draw; otherwise one draw r, accepted when r / 2147483647.0 < exp(d).
TEST(WidthMoves, MetropolisHastingsTest) {
    struct Case {
        double oldScore, newScore, extra;
        bool draws;
        bool accepted;  // when no draw is made
    };
    const std::vector<Case> cases = {
        {3.0, 3.0, 0.0, true, false},                                       // d = 0
        {0.0, -0.5, 0.0, true, false},    {0.0, -200.0, 0.0, true, false},  // the edge still draws
        {0.0, -250.0, 0.0, false, false}, {5.0, 5.0, -201.0, false, false},
        {0.0, 1e-9, 0.0, false, true},    {1.0, 4.0, -2.0, false, true},
        {10.0, 1.0, 9.5, false, true},
    };
    for (const auto& c : cases) {
        const double d = c.newScore - c.oldScore + c.extra;
        SCOPED_TRACE("d = " + std::to_string(d));
        SamplerFixture f(">a\nACGTACGTAC\n");
        f->motifCount = 1;
        f.Setup();
        for (unsigned int seed = 1; seed <= 12; ++seed) {
            const std::vector<int> ref = Draws(seed, 2);
            std::srand(seed);
            const bool accepted = f->MH(c.oldScore, c.newScore, c.extra);
            EXPECT_EQ(std::rand(), ref[c.draws ? 1 : 0]) << "seed " << seed;
            EXPECT_EQ(accepted, c.draws ? ref[0] / kRandMax < std::exp(d) : c.accepted)
                << "seed " << seed;
        }
    }
}

TEST(WidthMoves, ConditionalScoreByHand) {
    SamplerFixture f(">a\nACGTACGTAC\n");
    f->motifCount = 1;
    f.Setup();
    // a = 5, b = 7, two columns (the second has an N: it sums to 2, n is the
    // first column's 3), background sum -4.5
    const std::vector<int> counts = {2, 0, 0, 1, 0, 2, 0, 0};
    const double expected = std::log(24.0) - std::log(720.0) + std::log(2.0) + std::log(2.0) -
                            2 * std::log(720.0) + 4.5 + 2 * std::log(15.0) - std::log(2.0);
    EXPECT_NEAR(f->CalLogPCondPW(5, 7, 2, counts.data(), -4.5), expected, 1e-9);
    // one empty column, a = b
    const std::vector<int> empty = {0, 0, 0, 0};
    EXPECT_NEAR(f->CalLogPCondPW(2, 2, 1, empty.data(), 0.0), -std::log(6.0) + std::log(15.0),
                1e-12);
}

// Two coins (side, then direction), then the checks, then at most one draw
// in the acceptance test. An accepted move leaves width, sites and counts
// describing the new geometry; siteTotals never changes.
TEST(WidthMoves, UpdateWidthOnAHandMadeMotif) {
    struct Case {
        const char* what;
        std::vector<Site> sites;
        int w, minWidth, maxWidth;
        std::vector<std::pair<int, int>> gs;
        bool atStart, grow;
        Outcome outcome;
        std::vector<int> newPos;  // when accepted, in site order
    };
    const std::vector<Case> cases = {
        {"grow at the start",
         kSites,
         6,
         5,
         7,
         kStartSide,
         true,
         true,
         Outcome::Accepted,
         {9, 29, 10, 30}},
        {"grow at the end",
         kSites,
         6,
         5,
         7,
         kEndSide,
         false,
         true,
         Outcome::Accepted,
         {10, 30, 9, 29}},
        {"shrink at the start",
         kSites,
         6,
         5,
         7,
         {},
         true,
         false,
         Outcome::Accepted,
         {11, 31, 10, 30}},
        {"shrink at the end",
         kSites,
         6,
         5,
         7,
         {},
         false,
         false,
         Outcome::Accepted,
         {10, 30, 11, 31}},
        {"grow refused by the score", kSites, 6, 5, 7, {}, true, true, Outcome::Rejected, {}},
        {"shrink at minWidth", kSites, 6, 6, 7, {}, true, false, Outcome::Refused, {}},
        {"grow at maxWidth", kSites, 6, 5, 6, kStartSide, true, true, Outcome::Refused, {}},
        {"grow at the start, forward site at 0",
         {{0, 0, 1}, {2, 10, 0}},
         6,
         5,
         7,
         kStartSide,
         true,
         true,
         Outcome::Refused,
         {}},
        {"grow at the start, reverse site at the end",
         {{0, 10, 1}, {2, 54, 0}},
         6,
         5,
         7,
         kStartSide,
         true,
         true,
         Outcome::Refused,
         {}},
        {"grow at the end, reverse site at 0",
         {{0, 10, 1}, {2, 0, 0}},
         6,
         5,
         7,
         kEndSide,
         false,
         true,
         Outcome::Refused,
         {}},
        {"grow at the end, forward site at the end",
         {{0, 54, 1}, {2, 10, 0}},
         6,
         5,
         7,
         kEndSide,
         false,
         true,
         Outcome::Refused,
         {}},
        // a blocked side still shrinks
        {"shrink at the start, forward site at 0",
         {{0, 0, 1}, {2, 10, 0}},
         6,
         5,
         7,
         {},
         true,
         false,
         Outcome::Accepted,
         {1, 10}},
        {"grow to 50 columns", {{0, 5, 1}}, 49, 5, 60, {{0, 4}}, true, true, Outcome::Refused, {}},
        {"shrink to 0 columns", {{0, 10, 1}}, 1, 0, 7, {}, true, false, Outcome::Refused, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(Fasta(4, 60, c.gs));
        Build(f, c.w, c.minWidth, c.maxWidth, c.sites);
        ExpectConsistent(*f);
        const MotifView before = View(*f);

        const bool rejected = c.outcome == Outcome::Rejected;
        const unsigned int seed = SeedWhere(3, [&](const std::vector<int>& r) {
            return (Coin(r[0]) <= 0.5) == c.atStart && (Coin(r[1]) > 0.5) == c.grow &&
                   (!rejected || r[2] / kRandMax > 0.01);
        });
        const std::vector<int> ref = Draws(seed, 4);
        std::srand(seed);
        f->UpdateWidth(0);
        EXPECT_EQ(std::rand(), ref[rejected ? 3 : 2]) << "random numbers taken";

        const MotifView after = View(*f);
        if (c.outcome != Outcome::Accepted) {
            EXPECT_TRUE(after == before);
            continue;
        }
        EXPECT_EQ(after.width, c.w + (c.grow ? 1 : -1));
        EXPECT_EQ(after.pos, c.newPos);
        EXPECT_EQ(after.seq, before.seq);
        EXPECT_EQ(after.strand, before.strand);
        EXPECT_EQ(after.total, before.total);
        ExpectConsistent(*f);
    }
}

// One coin, then the checks, then at most one draw. Forward and reverse
// sites move in opposite directions; the width and siteTotals stay.
TEST(WidthMoves, PhaseShiftOnAHandMadeMotif) {
    struct Case {
        const char* what;
        std::vector<Site> sites;
        std::vector<std::pair<int, int>> gs;
        bool towardsStart;
        Outcome outcome;
        bool drawn;  // whether the acceptance test draws
        std::vector<int> newPos;
    };
    const std::vector<Case> cases = {
        {"towards the start", kSites, kStartSide, true, Outcome::Accepted, false, {9, 29, 11, 31}},
        {"towards the end", kSites, kEndSide, false, Outcome::Accepted, false, {11, 31, 9, 29}},
        // the same words after the shift: d = 0, one draw, accepted below 1
        {"nothing changes but the positions",
         kSites,
         {},
         true,
         Outcome::Accepted,
         true,
         {9, 29, 11, 31}},
        // the forward site at 10 loses its G
        {"refused by the score", kSites, {{0, 15}}, true, Outcome::Rejected, true, {}},
        {"towards the start, forward site at 0",
         {{0, 0, 1}, {2, 10, 0}},
         kStartSide,
         true,
         Outcome::Refused,
         false,
         {}},
        {"towards the start, reverse site at the end",
         {{0, 10, 1}, {2, 54, 0}},
         kStartSide,
         true,
         Outcome::Refused,
         false,
         {}},
        {"towards the end, reverse site at 0",
         {{0, 10, 1}, {2, 0, 0}},
         kEndSide,
         false,
         Outcome::Refused,
         false,
         {}},
        {"towards the end, forward site at the end",
         {{0, 54, 1}, {2, 10, 0}},
         kEndSide,
         false,
         Outcome::Refused,
         false,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SamplerFixture f(Fasta(4, 60, c.gs));
        Build(f, 6, 5, 7, c.sites);
        const MotifView before = View(*f);
        const unsigned int seed = SeedWhere(2, [&](const std::vector<int>& r) {
            return (Coin(r[0]) <= 0.5) == c.towardsStart && r[1] > 0 && r[1] < 2147483647;
        });
        const std::vector<int> ref = Draws(seed, 3);
        std::srand(seed);
        f->PhaseShift(0);
        EXPECT_EQ(std::rand(), ref[c.drawn ? 2 : 1]) << "random numbers taken";

        const MotifView after = View(*f);
        if (c.outcome != Outcome::Accepted) {
            EXPECT_TRUE(after == before);
            continue;
        }
        EXPECT_EQ(after.width, 6);
        EXPECT_EQ(after.pos, c.newPos);
        EXPECT_EQ(after.strand, before.strand);
        EXPECT_EQ(after.total, before.total);
        ExpectConsistent(*f);
    }
}
