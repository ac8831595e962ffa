// Sampler state: initial widths, the allocated state, the first sample
// (RandPickSite) and the site-list operations.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::ReadFile;
using testsupport::SamplerFixture;
using testsupport::Site;
using testsupport::Sites;

namespace {

std::vector<const SITEINFO*> Nodes(const SITEINFO* head) {
    std::vector<const SITEINFO*> nodes;
    for (const SITEINFO* node = head; node; node = node->next) nodes.push_back(node);
    return nodes;
}

SITEINFO* NewSite(const char* word, int pos) {
    SITEINFO* node = new SITEINFO();
    node->site = word;
    node->pos = pos;
    return node;
}

// Width of motif k drawn from r: uniform over minWidth .. maxWidth, and
// maxWidth when the range is empty.
int DrawnWidth(int minWidth, int maxWidth, int r) {
    int w = minWidth + static_cast<int>((maxWidth - minWidth + 1) * ((r + 1) / 2147483649.0));
    return std::min(std::max(w, minWidth), maxWidth);
}

struct Config {
    const char* what;
    std::string fasta;
    int K;
    int minWidth;
    int maxWidth;
    int moduleLength;
    int independent;
};

void Configure(SamplerFixture& f, const Config& c) {
    f->motifCount = c.K;
    f->minWidth = c.minWidth;
    f->maxWidth = c.maxWidth;
    f->moduleLength = c.moduleLength;
    f->independent = c.independent;
}

// Replays the generator from `seed` and checks the first sample against the
// placement rule: per non-empty sequence one draw for the module start, then,
// when the slots fit inside the sequence, one draw per motif for its offset in
// its slot; otherwise the motifs are packed from the module start in motif
// order, without draws, and a motif that would leave the module gets no site.
void ExpectFirstSample(CGibbsDP& g, unsigned int seed, int nextDraw, const std::string& what) {
    const int K = g.motifCount;
    std::srand(seed);
    int widthSum = 0;
    for (int k = 0; k < K; ++k) {
        EXPECT_EQ(g.widths[k], DrawnWidth(g.minWidth, g.maxWidth, std::rand())) << what;
        widthSum += g.widths[k];
    }
    for (int i = 0; i < g.seqCount; ++i) {
        const std::string where = what + ", sequence " + std::to_string(i);
        const int n = g.seqs[i].GetLength();
        const MODULEINFO& mod = g.modules[i];
        if (n == 0) {
            EXPECT_EQ(mod.moduleNum, 0) << where;
            EXPECT_EQ(mod.moduleStarts, nullptr) << where;
            for (int k = 0; k < K; ++k) EXPECT_TRUE(Sites(g.curSites[k][i]).empty()) << where;
            continue;
        }
        const int span = std::min(g.moduleLength, n);
        const int gap = (span - widthSum) / K;
        ASSERT_EQ(mod.moduleNum, 1) << where;
        ASSERT_NE(mod.moduleStarts, nullptr) << where;
        const int start = std::rand() % (n - span + 1);
        EXPECT_EQ(mod.moduleStarts[0], start) << where;
        const bool slots = gap >= 0 && start + K * gap + widthSum <= n;
        int offset = 0;
        int previousEnd = 0;
        for (int k = 0; k < K; ++k) {
            const int w = g.widths[k];
            int pos = -1;
            if (slots) {
                pos = start + k * gap + offset + std::rand() % (gap + 1);
                offset += w;
            } else if (offset + w <= span) {
                pos = start + offset;
                offset += w;
            }
            const auto sites = Sites(g.curSites[k][i]);
            if (pos < 0) {
                EXPECT_TRUE(sites.empty()) << where << ", motif " << k;
                continue;
            }
            ASSERT_EQ(sites.size(), 1u) << where << ", motif " << k;
            const auto& [word, at, strand, tally] = sites[0];
            EXPECT_EQ(at, pos) << where << ", motif " << k;
            EXPECT_EQ(strand, 1) << where;
            EXPECT_EQ(tally, 0) << where;
            EXPECT_GE(at, previousEnd) << where << ": sites overlap or leave motif order";
            EXPECT_LE(at + w, n) << where << ", motif " << k << " leaves its sequence";
            EXPECT_EQ(word, std::string(g.seqs[i].CStr()).substr(at, w)) << where;
            previousEnd = at + w;
        }
    }
    EXPECT_EQ(std::rand(), nextDraw) << what << ": draws consumed";
}

// bestSites: an equal copy of curSites made of separate nodes.
void ExpectBestIsACopy(CGibbsDP& g, const std::string& what) {
    for (int k = 0; k < g.motifCount; ++k) {
        EXPECT_NE(g.bestSites[k], g.curSites[k]) << what;
        for (int i = 0; i < g.seqCount; ++i) {
            EXPECT_EQ(Sites(g.bestSites[k][i]), Sites(g.curSites[k][i])) << what;
            const auto best = Nodes(g.bestSites[k][i]);
            const auto cur = Nodes(g.curSites[k][i]);
            for (const SITEINFO* node : best) {
                EXPECT_EQ(std::find(cur.begin(), cur.end(), node), cur.end())
                    << what << ": shared node";
            }
        }
    }
}

}  // namespace

TEST(SamplerState, InitialWidths) {
    struct Case {
        int minWidth;
        int maxWidth;
        int K;
    };
    const std::vector<Case> cases = {{10, 14, 3}, {8, 8, 4}, {12, 10, 3}, {5, 40, 9}, {6, 7, 1}};
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.minWidth) + ".." + std::to_string(c.maxWidth);
        SamplerFixture f(">a\nACGTACGT\n");
        f->motifCount = c.K;
        f->minWidth = c.minWidth;
        f->maxWidth = c.maxWidth;
        f.Setup(77);
        const int next = std::rand();
        std::srand(77);
        for (int k = 0; k < c.K; ++k) {
            const int w = f->widths[k];
            EXPECT_EQ(w, DrawnWidth(c.minWidth, c.maxWidth, std::rand())) << what;
            EXPECT_LE(w, c.maxWidth) << what;
            if (c.minWidth <= c.maxWidth) {
                EXPECT_GE(w, c.minWidth) << what;
            } else {
                EXPECT_EQ(w, c.maxWidth) << what;
            }
        }
        EXPECT_EQ(std::rand(), next) << what << ": one draw per motif";
    }
}

TEST(SamplerState, InitializeAllocatesAnEmptySample) {
    SamplerFixture f(">a\nACGTACGTAC\n>b\n>c\nGGG\n");
    f.Setup();
    const int K = f->motifCount;
    EXPECT_EQ(f->seqCount, 3);
    EXPECT_EQ(f->totalLength, 13);
    EXPECT_EQ(f->moduleLength, 200);
    for (int i = 0; i < f->seqCount; ++i) {
        EXPECT_EQ(f->modules[i].moduleNum, 0);
        EXPECT_EQ(f->modules[i].moduleStarts, nullptr);
        EXPECT_EQ(f->modules[i].logRatio, 0.0);
    }
    std::vector<const SITEINFO*> heads;
    for (int k = 0; k < K; ++k) {
        for (int i = 0; i < f->seqCount; ++i) {
            for (SITEINFO*** sample : {f->curSites, f->bestSites}) {
                const SITEINFO* head = sample[k][i];
                ASSERT_NE(head, nullptr);
                EXPECT_EQ(head->next, nullptr);
                EXPECT_EQ(head->site.GetLength(), 0);
                heads.push_back(head);
            }
        }
    }
    std::sort(heads.begin(), heads.end());
    EXPECT_EQ(std::adjacent_find(heads.begin(), heads.end()), heads.end())
        << "every head is its own node";
    EXPECT_EQ(f->moduleStartPrior, 1);
    EXPECT_EQ(f->nonModulePrior, 1);
    for (int k = 0; k <= K; ++k) EXPECT_EQ(f->modulePrior[k], 1);
    for (const int b : f->basePrior) EXPECT_EQ(b, 1);
}

TEST(SamplerState, IndependentModeCoversWholeSequences) {
    SamplerFixture f(ReadFile(DataPath("crp0.fa")));
    f->independent = 1;
    f->fixModuleLength = 0;
    f.Setup();
    EXPECT_EQ(f->moduleLength, 18 * 105);
    EXPECT_EQ(f->fixModuleLength, 1);
    f->RandPickSite();
    for (int i = 0; i < f->seqCount; ++i) EXPECT_EQ(f->modules[i].moduleStarts[0], 0);
}

TEST(SamplerState, FirstSampleFollowsThePlacementRule) {
    const std::string crp = ReadFile(DataPath("crp0.fa"));
    const std::string mixed = ReadFile(DataPath("mixed_lengths.fa"));
    const std::vector<Config> configs = {
        {"defaults, sequences shorter than the module", crp, 3, 10, 14, 200, 0},
        {"one motif", crp, 1, 10, 14, 200, 0},
        {"modules shorter than the sequences", crp, 3, 10, 14, 50, 0},
        {"fixed widths in a short module", crp, 2, 12, 12, 30, 0},
        {"slots one letter short: sites run past the module", crp, 3, 10, 10, 29, 0},
        {"wide motifs that cannot all fit", crp, 9, 5, 40, 200, 0},
        {"module shorter than the sites: packed inside the module", crp, 3, 10, 10, 25, 0},
        {"independent motifs", crp, 3, 10, 14, 200, 1},
        {"empty and short sequences", mixed, 3, 10, 14, 200, 0},
        {"empty and short sequences, fixed widths", mixed, 3, 10, 10, 200, 0},
        {"empty and short sequences, one narrow motif", mixed, 1, 5, 5, 200, 0},
        {"empty and short sequences, short modules", mixed, 2, 6, 9, 40, 0},
        {"empty and short sequences, independent", mixed, 5, 10, 14, 200, 1},
        {"sequence one letter short of the packed sites", ">a\n" + std::string(29, 'C') + "\n", 3,
         10, 10, 200, 0},
        {"sequence exactly as long as the sites", ">a\n" + std::string(30, 'G') + "\n", 3, 10, 10,
         200, 0},
    };
    for (const auto& c : configs) {
        for (const unsigned int seed : {1u, 2u, 12345u}) {
            const std::string what = std::string(c.what) + ", seed " + std::to_string(seed);
            SamplerFixture f(c.fasta);
            Configure(f, c);
            f.Setup(seed);
            f->RandPickSite();
            const int next = std::rand();
            ExpectFirstSample(*f, seed, next, what);
            ExpectBestIsACopy(*f, what);
            EXPECT_TRUE(std::isfinite(f->bestLogPost)) << what;
            EXPECT_EQ(f->bestLogPost, f->CalLogPostPrSample()) << what;
        }
    }
}

TEST(SamplerState, ShortSequencesGetOnlyTheSitesThatFit) {
    SamplerFixture f(ReadFile(DataPath("mixed_lengths.fa")));
    Configure(f, {"", "", 3, 10, 10, 200, 0});
    f.Setup();
    f->RandPickSite();
    const int empty = 1, tiny = 2, short25 = 4;
    EXPECT_EQ(f->modules[empty].moduleNum, 0);
    EXPECT_EQ(f->modules[tiny].moduleNum, 1);
    EXPECT_EQ(f->modules[tiny].moduleStarts[0], 0);
    EXPECT_EQ(f->modules[short25].moduleStarts[0], 0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(Sites(f->curSites[k][empty]).empty()) << k;
        EXPECT_TRUE(Sites(f->curSites[k][tiny]).empty()) << k;
    }
    const std::string seq = f->seqs[short25].CStr();
    EXPECT_EQ(Sites(f->curSites[0][short25]), (std::vector<Site>{{seq.substr(0, 10), 0, 1, 0}}));
    EXPECT_EQ(Sites(f->curSites[1][short25]), (std::vector<Site>{{seq.substr(10, 10), 10, 1, 0}}));
    EXPECT_TRUE(Sites(f->curSites[2][short25]).empty());
    for (const int normal : {0, 3, 5}) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(Sites(f->curSites[k][normal]).size(), 1u) << normal;
    }
}

TEST(SamplerState, SiteListOperations) {
    SamplerFixture f(">a\nACGTACGTACGTACGTACGTACGTACGTAC\n>b\nTTTTGGGGCCCCAAAATTTTGGGGCCCCAA\n");
    Configure(f, {"", "", 2, 5, 5, 200, 0});
    f.Setup();
    f->RandPickSite();

    // AddSite puts a node right after the head: lists read in reverse order of insertion
    f->AddSite(f->curSites[1][0], NewSite("AAAAA", 3));
    f->AddSite(f->curSites[1][0], NewSite("CCCCC", 9));
    const auto withAdded = Sites(f->curSites[1][0]);
    ASSERT_EQ(withAdded.size(), 3u);
    EXPECT_EQ(std::get<0>(withAdded[0]), "CCCCC");
    EXPECT_EQ(std::get<0>(withAdded[1]), "AAAAA");

    // copying replaces what the target held and keeps the list order
    f->AddSite(f->bestSites[0][1], NewSite("GGGGG", 1));
    f->curSites[0][0]->next->tally = 42;
    f->curSites[0][0]->next->strand = 0;
    f->CopySample(f->curSites, f->bestSites);
    ExpectBestIsACopy(*f, "whole-sample copy");

    // copying empty lists empties the target
    for (int i = 0; i < f->seqCount; ++i) CGibbsDP::ClearList(f->curSites[1][i]);
    f->CopySample(f->curSites[1], f->bestSites[1]);
    for (int i = 0; i < f->seqCount; ++i) EXPECT_TRUE(Sites(f->bestSites[1][i]).empty());
    EXPECT_FALSE(Sites(f->bestSites[0][0]).empty())
        << "the one-motif copy leaves other motifs alone";

    f->DelSiteHead(nullptr);
}
