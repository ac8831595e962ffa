// Realignment of each motif's final sites (AlignSites).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::SamplerFixture;
using testsupport::SetRecorded;

namespace {

using Site = std::tuple<std::string, int, int, int>;  // site, pos, strand, tally
using Lists = std::vector<std::vector<Site>>;         // per sequence, in list order

Lists Snapshot(CGibbsDP& g, SITEINFO** lists) {
    Lists out(g.seqCount);
    for (int s = 0; s < g.seqCount; ++s) {
        for (const SITEINFO* node = lists[s]->next; node; node = node->next) {
            out[s].emplace_back(node->site.CStr(), node->pos, node->strand, node->tally);
        }
    }
    return out;
}

void SetWidth(CGibbsDP& g, int k, int w) {
    g.widths[k] = w;
    delete[] g.countMat[k];
    g.countMat[k] = new int[4 * w]();
}

// Appends a final site of motif k at pos of sequence s; strand 1 forward, 0 reverse.
void AddFinalSite(CGibbsDP& g, int k, int s, int pos, int strand, int tally) {
    SITEINFO* node = new SITEINFO();
    const CString word = g.seqs[s].Mid(pos, g.widths[k]);
    node->site = strand == 1 ? word : Reverse(word);
    node->pos = pos;
    node->strand = strand;
    node->tally = tally;
    SITEINFO* tail = g.bestSites[k][s];
    while (tail->next) tail = tail->next;
    tail->next = node;
}

// Letters from a fixed generator (mt19937's sequence is the same everywhere).
std::string RandomLetters(std::mt19937& gen, int n, const std::string& alphabet = "ACGT") {
    std::string s;
    for (int i = 0; i < n; ++i) s += alphabet[gen() % alphabet.size()];
    return s;
}

struct Alignment {
    std::vector<Lists> lists;                // per motif
    std::vector<int> siteTotals;             // per motif
    std::vector<std::vector<int>> countMat;  // per motif: the counts of the last alignment made
};

// AlignSites written word by word from its definition, with the tool's string
// and word-score functions.
Alignment ReferenceAlign(CGibbsDP& g) {
    const int R = g.maxIter - g.burnIn;
    const int H = R / 2;
    Alignment out;
    std::vector<Lists>& result = out.lists;
    std::vector<int>& totals = out.siteTotals;
    for (int k = 0; k < g.motifCount; ++k) {
        const int w = g.widths[k];
        Lists lists = Snapshot(g, g.bestSites[k]);
        const auto counts = [&](const Lists& l) {
            std::vector<int> c(4 * w, 0);
            for (const auto& seqSites : l) {
                for (const Site& site : seqSites) {
                    const std::string& letters = std::get<0>(site);
                    for (int j = 0; j < w; ++j) {
                        const auto b = std::string("ACGT").find(letters[j]);
                        if (b != std::string::npos) ++c[4 * j + b];
                    }
                }
            }
            return c;
        };
        const auto score = [&](const std::vector<int>& c, double bg) {
            double t = 0.0;
            for (int j = 0; j < w; ++j) {
                for (int b = 0; b < 4; ++b) t += logGamma(c[4 * j + b] + 1);
            }
            return t - bg;
        };
        std::vector<int> entry;
        double bg0 = 0.0;
        int strongest = 0;
        for (const auto& seqSites : lists) {
            for (const Site& site : seqSites) {
                entry.push_back(std::get<1>(site));
                bg0 += g.CalLogBgPr(std::get<0>(site).c_str());
                strongest = std::max(strongest, std::get<3>(site));
            }
        }
        const int n = static_cast<int>(entry.size());
        totals.push_back(n <= 2 ? n : strongest < H ? 1 : n);
        out.countMat.push_back(counts(lists));
        if (n <= 2 || strongest < H) {
            result.push_back(lists);
            continue;
        }
        Lists kept = lists;
        double best = score(counts(lists), bg0);
        for (int pass = 0; pass < 20; ++pass) {
            const std::vector<int> c = counts(lists);
            std::vector<double> theta(4 * w);
            for (int e = 0; e < 4 * w; ++e) theta[e] = static_cast<double>(c[e] + 1) / (n + 4);
            double bg = 0.0;
            int i = 0;
            for (int s = 0; s < g.seqCount; ++s) {
                const CString& seq = g.seqs[s];
                for (Site& site : lists[s]) {
                    const int o = entry[i++];
                    const int lo = std::max(o - 5, 0);
                    int hi = o + 5;
                    if (hi + w > seq.GetLength()) hi = seq.GetLength() - w;
                    const int m = hi - lo + 1;
                    std::vector<double> slots(2 * m);
                    for (int t = lo; t <= hi; ++t) {
                        const CString x = seq.Mid(t, w);
                        const double gb = g.CalLogBgPr(x);
                        slots[2 * (t - lo)] = g.CalLogMotifPr(x, theta.data()) - gb;
                        slots[2 * (t - lo) + 1] =
                            g.bothStrands ? g.CalLogMotifPr(Reverse(x), theta.data()) - gb
                                          : -2000.0;
                    }
                    const int mx = Maximum(slots.data(), 2 * m);
                    std::vector<double> weight(2 * m);
                    double acc = 0.0;
                    for (int v = 0; v < 2 * m; ++v) {
                        const double d = slots[v] - slots[mx];
                        if (d > -200) acc += std::exp(d);
                        weight[v] = acc;
                    }
                    const double total = weight[2 * m - 1];
                    weight[2 * m - 1] += 0.1;
                    const double u = std::rand() / 2147483648.0 * total;
                    int v = 0;
                    while (!(u < weight[v])) ++v;
                    const int pos = lo + v / 2;
                    const CString x = seq.Mid(pos, w);
                    bg += g.CalLogBgPr(x);
                    site = Site((mx % 2 == 1 ? Reverse(x) : x).CStr(), pos, mx % 2 == 1 ? 0 : 1,
                                std::get<3>(site));
                }
            }
            out.countMat.back() = counts(lists);
            const double current = score(out.countMat.back(), bg);
            if (current > best) {
                best = current;
                kept = lists;
            }
        }
        result.push_back(kept);
    }
    return out;
}

}  // namespace

TEST(SiteAlignment, SmallOrWeakMotifsAreLeftAsFound) {
    // R = 600, H = 300. Motif 0 gets the listed sites (tallies), each found a
    // little before the planted word, so that an alignment would move them.
    struct Case {
        const char* what;
        std::vector<int> tallies;
        int siteTotal;
        bool aligned;
    };
    const std::vector<Case> cases = {
        {"no site", {}, 0, false},
        {"one site", {600}, 1, false},
        {"two sites", {600, 600}, 2, false},
        {"strongest site below R / 2", {299, 100, 299, 50}, 1, false},
        {"strongest site at R / 2 is aligned", {300, 100, 10, 50}, 4, true},
    };
    const std::string word = "GATTACAGGC";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 gen(7);
        std::string fasta;
        for (int s = 0; s < 4; ++s)
            fasta += ">s\n" + RandomLetters(gen, 20) + word + RandomLetters(gen, 20) + "\n";
        SamplerFixture g(fasta);
        g->motifCount = 1;
        g.Setup();
        SetRecorded(*g, 600);
        SetWidth(*g, 0, 10);
        for (std::size_t i = 0; i < c.tallies.size(); ++i) {
            AddFinalSite(*g, 0, static_cast<int>(i), 20 - static_cast<int>(i), 1, c.tallies[i]);
        }
        const Lists found = Snapshot(*g, g->bestSites[0]);

        g->AlignSites();

        EXPECT_EQ(g->siteTotals[0], c.siteTotal);
        EXPECT_EQ(Snapshot(*g, g->curSites[0]), Snapshot(*g, g->bestSites[0]));
        if (c.aligned) {
            EXPECT_NE(Snapshot(*g, g->bestSites[0]), found);
        } else {
            EXPECT_EQ(Snapshot(*g, g->bestSites[0]), found);
        }
    }
}

TEST(SiteAlignment, SitesMoveOntoThePlantedWordUpToTheSequenceEnds) {
    // Eight 40-letter sequences hold one copy of a 10-letter word: at the
    // start of sequence 0 (site found 5 after it), at the very end of
    // sequence 1 (site found 5 before it), reverse complemented in sequence 2
    // (site found as forward), and at 12 in the others.
    const std::string word = "GATTACAGGC";
    const int w = 10;
    struct Expected {
        int pos;
        int strand;
    };
    for (const int both : {1, 0}) {
        SCOPED_TRACE(both ? "both strands" : "-r 0");
        std::mt19937 gen(11);
        std::vector<std::string> seqs;
        seqs.push_back(word + RandomLetters(gen, 30));
        seqs.push_back(RandomLetters(gen, 30) + word);
        seqs.push_back(RandomLetters(gen, 15) + Reverse(word.c_str()).CStr() +
                       RandomLetters(gen, 15));
        for (int s = 3; s < 8; ++s)
            seqs.push_back(RandomLetters(gen, 12) + word + RandomLetters(gen, 18));
        std::string fasta;
        for (const auto& s : seqs) fasta += ">s\n" + s + "\n";
        SamplerFixture g(fasta);
        g->motifCount = 1;
        g->bothStrands = both;
        g.Setup();
        SetRecorded(*g, 600);
        SetWidth(*g, 0, w);
        const std::vector<int> found = {5, 25, 15, 12, 12, 12, 12, 12};
        for (int s = 0; s < 8; ++s) AddFinalSite(*g, 0, s, found[s], 1, 600);

        g->AlignSites();

        const Lists aligned = Snapshot(*g, g->bestSites[0]);
        EXPECT_EQ(g->siteTotals[0], 8);
        ASSERT_EQ(aligned[0].size(), 1u);
        EXPECT_EQ(aligned[0][0], Site(word, 0, 1, 600));
        EXPECT_EQ(aligned[1][0], Site(word, 30, 1, 600));
        if (both) {
            EXPECT_EQ(aligned[2][0], Site(word, 15, 0, 600));
        }
        for (int s = 0; s < 8; ++s) {
            ASSERT_EQ(aligned[s].size(), 1u);
            const auto& [letters, pos, strand, tally] = aligned[s][0];
            EXPECT_GE(pos, std::max(found[s] - 5, 0));
            EXPECT_LE(pos, std::min(found[s] + 5, 40 - w));
            if (!both) {
                EXPECT_EQ(strand, 1);
            }
            const CString cut = g->seqs[s].Mid(pos, w);
            EXPECT_EQ(letters, (strand == 1 ? cut : Reverse(cut)).CStr());
            if (s >= 3) {
                EXPECT_EQ(aligned[s][0], Site(word, 12, 1, 600));
            }
        }
    }
}

TEST(SiteAlignment, WithoutABetterPassTheFinalSitesStayExactly) {
    // Every window of a run of A scores the same, so no pass can beat the
    // start; the lists keep their order, starts, strands and tallies.
    SamplerFixture g(">a\n" + std::string(30, 'A') + "\n>b\n" + std::string(12, 'A') + "\n>c\n" +
                     std::string(40, 'A') + "\n");
    g->motifCount = 1;
    g.Setup();
    SetRecorded(*g, 600);
    SetWidth(*g, 0, 8);
    AddFinalSite(*g, 0, 0, 22, 1, 420);
    AddFinalSite(*g, 0, 0, 3, 1, 300);
    AddFinalSite(*g, 0, 1, 0, 1, 651);
    AddFinalSite(*g, 0, 2, 16, 1, 333);
    const Lists found = Snapshot(*g, g->bestSites[0]);

    g->AlignSites();

    EXPECT_EQ(g->siteTotals[0], 4);
    EXPECT_EQ(Snapshot(*g, g->bestSites[0]), found);
    EXPECT_EQ(Snapshot(*g, g->curSites[0]), found);
}

TEST(SiteAlignment, MatchesTheWordByWordDefinition) {
    // Random sequences with N, ambiguity letters and a planted word, sites at
    // both sequence ends and on both strands, a sequence as long as the
    // width, and two motifs (one too weak to align).
    struct Case {
        const char* what;
        int bothStrands;
        unsigned seed;
    };
    const std::vector<Case> cases = {
        {"both strands", 1, 3}, {"both strands, other draws", 1, 8}, {"-r 0", 0, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 gen(c.seed);
        const std::string alphabet = "ACGTACGTACGTACGTNRY";
        const std::string word = "TTGACATCGA";
        std::string fasta;
        for (int s = 0; s < 6; ++s) {
            fasta += ">s\n" + RandomLetters(gen, 3 + s, alphabet) + word +
                     RandomLetters(gen, 25, alphabet) + "\n";
        }
        fasta += ">w\n" + word + "\n";
        SamplerFixture g(fasta);
        g->motifCount = 2;
        g->bothStrands = c.bothStrands;
        g.Setup();
        SetRecorded(*g, 100);
        SetWidth(*g, 0, 10);
        SetWidth(*g, 1, 7);
        for (int s = 0; s < 6; ++s) {
            const int n = g->seqs[s].GetLength();
            AddFinalSite(*g, 0, s, static_cast<int>(gen() % (n - 9)), static_cast<int>(gen() % 2),
                         50 + s);
        }
        AddFinalSite(*g, 0, 0, 0, 1, 80);
        AddFinalSite(*g, 0, 5, g->seqs[5].GetLength() - 10, 0, 80);
        AddFinalSite(*g, 0, 6, 0, 0, 10);
        for (int s = 0; s < 4; ++s) AddFinalSite(*g, 1, s, 2 * s, 1, 49);

        const Lists found = Snapshot(*g, g->bestSites[0]);
        std::srand(c.seed);
        const Alignment expected = ReferenceAlign(*g);
        ASSERT_NE(expected.lists[0], found) << "the case must move sites";
        const int nextDraw = std::rand();
        std::srand(c.seed);
        g->AlignSites();
        EXPECT_EQ(std::rand(), nextDraw) << "the same number of draws";

        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(Snapshot(*g, g->bestSites[k]), expected.lists[k]) << "motif " << k;
            EXPECT_EQ(Snapshot(*g, g->curSites[k]), expected.lists[k]) << "motif " << k;
            EXPECT_EQ(g->siteTotals[k], expected.siteTotals[k]) << "motif " << k;
            EXPECT_EQ(std::vector<int>(g->countMat[k], g->countMat[k] + 4 * g->widths[k]),
                      expected.countMat[k])
                << "motif " << k;
        }
    }
}
