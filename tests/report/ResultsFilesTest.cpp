// The two results files of a run, on a small hand-checked final state: the
// report (command line, module lines, motif blocks) and the module
// probabilities.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/Helpers.h"
#include "support/TestSupport.h"

using testsupport::ReadFile;
using testsupport::SamplerFixture;

namespace {

// A run of positions [from, to] of sequence seq with one module tally, and
// how the module-probability file prints it with D = 5.
struct TallyRun {
    int seq;
    int from;
    int to;
    int tally;
    const char* printed;
};

// R = 4 (H = 2, D = 5), L = 50 (L / 5 = 10). Sequence 0 has three regions:
// [5,15] of exactly L / 5 (tallies at H inside neither close nor open it),
// [30,39] one position shorter, and one open from 50 to the end. Sequence 1
// has [0,10] without a shown site and [18,28].
const std::vector<TallyRun> kTallies = {
    {0, 0, 2, 0, "0.000"},   {0, 3, 3, 2, "0.400"},   {0, 4, 4, 0, "0.000"},
    {0, 5, 9, 3, "0.600"},   {0, 10, 11, 2, "0.400"}, {0, 12, 14, 3, "0.600"},
    {0, 15, 15, 1, "0.200"}, {0, 16, 29, 0, "0.000"}, {0, 30, 38, 3, "0.600"},
    {0, 39, 49, 0, "0.000"}, {0, 50, 59, 4, "0.800"}, {1, 0, 9, 4, "0.800"},
    {1, 10, 17, 0, "0.000"}, {1, 18, 27, 3, "0.600"}, {1, 28, 28, 1, "0.200"},
    {1, 29, 39, 0, "0.000"},
};

std::string Placed(int n, const std::vector<std::pair<int, std::string>>& words) {
    std::string s(n, 'A');
    for (const auto& [pos, word] : words) s.replace(pos, word.size(), word);
    return s;
}

const std::string kCmdLine =
    "Tessalune 1.0: de novo discovery of cis-regulatory modules\n./Tessalune -i in%d.fa ";

// The final state: motif 1 (width 4) has 4 sites, motif 2 (width 3) has 3,
// motif 3 (width 5) has 2. Motifs 1 and 2 both start a site at 9 of
// sequence 0; motif 3's site at 12 lies in a reported region. The command
// line and the first sequence name hold a "%d", to be printed as it is.
class ReportState {
  public:
    ReportState()
        : g(">s%d 1\n" +
            Placed(60, {{5, "CGTT"}, {9, "CCTT"}, {15, "NCA"}, {32, "GGTA"}, {52, "GAN"}}) +
            "\n>s2\n" + Placed(40, {{20, "TAGT"}}) + "\n") {
        g->motifCount = 3;
        g.Setup();
        g->moduleLength = 50;
        g->maxIter = 14;
        g->burnIn = 10;
        g->cmdLine = kCmdLine.c_str();
        const int widths[] = {4, 3, 5};
        for (int k = 0; k < 3; ++k) g->widths[k] = widths[k];
        Add(0, 0, 32, 1, 4);
        Add(0, 0, 9, 1, 3);
        Add(0, 0, 5, 1, 5);
        Add(0, 1, 20, 0, 2);
        Add(1, 0, 52, 1, 4);
        Add(1, 0, 15, 0, 3);
        Add(1, 0, 9, 0, 4);
        Add(2, 0, 12, 1, 4);
        Add(2, 1, 2, 1, 4);
        rows = {std::vector<int>(60), std::vector<int>(40)};
        for (const TallyRun& r : kTallies) {
            for (int p = r.from; p <= r.to; ++p) rows[r.seq][p] = r.tally;
        }
        tally = {rows[0].data(), rows[1].data()};
    }

    void Add(int k, int s, int pos, int strand, int count) {
        SITEINFO* node = new SITEINFO();
        const CString word = g->seqs[s].Mid(pos, g->widths[k]);
        node->site = strand == 1 ? word : Reverse(word);
        node->pos = pos;
        node->strand = strand;
        node->tally = count;
        SITEINFO* tail = g->bestSites[k][s];
        while (tail->next) tail = tail->next;
        tail->next = node;
    }

    void Write() {
        g->Output(g->outFile, tally.data(), lengths.data());
        g->OutputModPr(tally.data(), lengths.data(), 5, g->outFile);
    }
    std::string Report() const { return ReadFile(g.scratch.File("Output.txt")); }
    std::string ModPr() const { return ReadFile(g.scratch.File("Output.txt_modpr.txt")); }

    SamplerFixture g;
    std::vector<std::vector<int>> rows;
    std::vector<int*> tally;
    std::vector<int> lengths = {60, 40};
};

const std::string kModuleSection =
    "\n\n****************\n# of Modules:2\n"
    ">s%d 1\t[5,15]\t+1(5)-2(9)-2(15)\n"
    ">s2\t[18,28]\t-1(20)\n";

const std::string kMotifBlocks =
    "\n\n\n**********************\nMotif_1:\n"
    "number of sites: 4\n\tA\tC\tG\tT\tCon\n"
    "1\t0.250\t0.500\t0.250\t0.000\tC\n"
    "2\t0.000\t0.500\t0.500\t0.000\tC\n"
    "3\t0.000\t0.000\t0.000\t1.000\tT\n"
    "4\t0.500\t0.000\t0.000\t0.500\tA\n"
    ">s%d 1\tf\t32\t\t1.000\t\nGGTA\n"
    ">s%d 1\tf\t9\t\t0.750\t\nCCTT\n"
    ">s%d 1\tf\t5\t\t1.250\t\nCGTT\n"
    ">s2\tr\t20\t\t0.500\t\nACTA\n"
    "\n\n\n**********************\nMotif_2:\n"
    "number of sites: 3\n\tA\tC\tG\tT\tCon\n"
    "1\t0.333\t0.000\t0.333\t0.333\tA\n"
    "2\t0.333\t0.000\t0.667\t0.000\tG\n"
    "3\t0.000\t0.000\t0.333\t0.000\tG\n"
    ">s%d 1\tf\t52\t\t1.000\t\nGAN\n"
    ">s%d 1\tr\t15\t\t0.750\t\nTGN\n"
    ">s%d 1\tr\t9\t\t1.000\t\nAGG\n"
    "\n\n\n**********************\nMotif_3:\n"
    "No sites found!\n\n";

std::string ExpectedModPr() {
    std::string text = "\n**********\n>s%d 1(60)\n";
    for (const TallyRun& r : kTallies) {
        if (r.seq != 0) continue;
        for (int p = r.from; p <= r.to; ++p) text += std::string(r.printed) + "\n";
    }
    text += ">s2(40)\n";
    for (const TallyRun& r : kTallies) {
        if (r.seq != 1) continue;
        for (int p = r.from; p <= r.to; ++p) text += std::string(r.printed) + "\n";
    }
    return text;
}

}  // namespace

TEST(ResultsFiles, ReportLayout) {
    struct Case {
        const char* what;
        int independent;
        int outputBF;
        std::string middle;  // between the command line's "\n\n" and the motif blocks
        int moduleCount;
    };
    const std::vector<Case> cases = {
        {"default", 0, 0, kModuleSection, 2},
        {"-s: no module section", 1, 0, "", 0},
        {"-B: the model odds before the modules", 0, 1,
         "\nLog-PMO(K=3)=-12.50\n\n" + kModuleSection, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportState state;
        state.g->independent = c.independent;
        state.g->outputBF = c.outputBF;
        state.g->logOdds = -12.5;

        state.Write();

        EXPECT_EQ(state.Report(), kCmdLine + "\n\n" + c.middle + kMotifBlocks);
        EXPECT_EQ(state.ModPr(), ExpectedModPr());
        EXPECT_EQ(state.g->moduleCount, c.moduleCount);
        EXPECT_EQ(std::vector<int>(state.g->siteTotals, state.g->siteTotals + 3),
                  std::vector<int>({4, 3, 2}));
    }
}

TEST(ResultsFiles, EachRunAppendsAndKeepsWhatIsThere) {
    ReportState state;
    state.g.scratch.Write("Output.txt", "earlier report\n");
    state.g.scratch.Write("Output.txt_modpr.txt", "earlier values\n");

    state.Write();
    state.Write();

    const std::string report = kCmdLine + "\n\n" + kModuleSection + kMotifBlocks;
    EXPECT_EQ(state.Report(), "earlier report\n" + report + report);
    EXPECT_EQ(state.ModPr(), "earlier values\n" + ExpectedModPr() + ExpectedModPr());
    EXPECT_TRUE(state.g->failedFiles.empty());
}
