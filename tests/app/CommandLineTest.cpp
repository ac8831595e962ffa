// The command line: argument lists against the record they produce, the
// missing-value rule and the three checks in their order.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

struct Parsed {
    INPUTPARAMETER param;
    bool ok = false;
    std::string error;
};

// Parses "./Tessalune" followed by the given words.
Parsed Parse(const std::vector<std::string>& words) {
    std::vector<std::string> argvText = {"./Tessalune"};
    argvText.insert(argvText.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (auto& w : argvText) argv.push_back(w.data());
    argv.push_back(nullptr);
    Parsed parsed;
    SetDefaultParam(&parsed.param);
    CString error;
    parsed.ok =
        ParseInputParam(&parsed.param, static_cast<int>(argvText.size()), argv.data(), &error);
    parsed.error = error.CStr();
    return parsed;
}

INPUTPARAMETER Defaults() {
    INPUTPARAMETER p;
    SetDefaultParam(&p);
    return p;
}

std::string Text(const CString& s) {
    return s.CStr();
}

// Every field but cmdLine.
void ExpectSameRecord(const INPUTPARAMETER& got, const INPUTPARAMETER& want,
                      const std::string& what) {
    EXPECT_EQ(got.bothStrands, want.bothStrands) << what;
    EXPECT_EQ(got.independent, want.independent) << what;
    EXPECT_EQ(got.fixModuleLength, want.fixModuleLength) << what;
    EXPECT_EQ(got.sampleParams, want.sampleParams) << what;
    EXPECT_EQ(got.outputBF, want.outputBF) << what;
    EXPECT_EQ(got.useBgFile, want.useBgFile) << what;
    EXPECT_EQ(got.readPWM, want.readPWM) << what;
    EXPECT_EQ(Text(got.seqFile), Text(want.seqFile)) << what;
    EXPECT_EQ(Text(got.bgFile), Text(want.bgFile)) << what;
    EXPECT_EQ(Text(got.outFile), Text(want.outFile)) << what;
    EXPECT_EQ(Text(got.pwmFile), Text(want.pwmFile)) << what;
    EXPECT_EQ(got.maxIter, want.maxIter) << what;
    EXPECT_EQ(got.motifCount, want.motifCount) << what;
    EXPECT_EQ(got.minWidth, want.minWidth) << what;
    EXPECT_EQ(got.maxWidth, want.maxWidth) << what;
    EXPECT_EQ(got.moduleLength, want.moduleLength) << what;
    EXPECT_EQ(got.runCount, want.runCount) << what;
    EXPECT_EQ(got.threshold, want.threshold) << what;
    EXPECT_EQ(got.useSeed, want.useSeed) << what;
    if (want.useSeed) {
        EXPECT_EQ(got.seed, want.seed) << what;
    }
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) text += w + " ";
    return text;
}

}  // namespace

TEST(CommandLine, Defaults) {
    const INPUTPARAMETER p = Defaults();
    EXPECT_EQ(p.bothStrands, 1);
    EXPECT_EQ(p.independent, 0);
    EXPECT_EQ(p.fixModuleLength, 1);
    EXPECT_EQ(p.sampleParams, 0);
    EXPECT_EQ(p.outputBF, 0);
    EXPECT_EQ(p.useBgFile, 0);
    EXPECT_EQ(p.readPWM, 0);
    EXPECT_EQ(Text(p.seqFile), "");
    EXPECT_EQ(Text(p.bgFile), "");
    EXPECT_EQ(Text(p.outFile), "Output.txt");
    EXPECT_EQ(Text(p.pwmFile), "");
    EXPECT_EQ(p.maxIter, 2000);
    EXPECT_EQ(p.motifCount, 3);
    EXPECT_EQ(p.minWidth, 10);
    EXPECT_EQ(p.maxWidth, 14);
    EXPECT_EQ(p.moduleLength, 200);
    EXPECT_EQ(p.runCount, 1);
    EXPECT_EQ(p.threshold, 0.5);
    EXPECT_EQ(p.useSeed, 0);
}

TEST(CommandLine, ArgumentListsGiveTheirRecord) {
    using Change = std::function<void(INPUTPARAMETER&)>;
    struct Case {
        std::vector<std::string> words;
        Change change;
    };
    const std::vector<Case> cases = {
        {{}, [](INPUTPARAMETER&) {}},
        {{"-i", "seqs.fa"}, [](INPUTPARAMETER& p) { p.seqFile = "seqs.fa"; }},
        {{"-o", "out.txt"}, [](INPUTPARAMETER& p) { p.outFile = "out.txt"; }},
        {{"-n", "500"}, [](INPUTPARAMETER& p) { p.maxIter = 500; }},
        {{"-N", "3"}, [](INPUTPARAMETER& p) { p.runCount = 3; }},
        {{"-K", "2"}, [](INPUTPARAMETER& p) { p.motifCount = 2; }},
        {{"-L", "150"}, [](INPUTPARAMETER& p) { p.moduleLength = 150; }},
        {{"-w", "8"}, [](INPUTPARAMETER& p) { p.minWidth = 8; }},
        {{"-W", "20"}, [](INPUTPARAMETER& p) { p.maxWidth = 20; }},
        {{"-c", "0.75"}, [](INPUTPARAMETER& p) { p.threshold = 0.75; }},
        {{"-b", "bg.txt"},
         [](INPUTPARAMETER& p) {
             p.useBgFile = 1;
             p.bgFile = "bg.txt";
         }},
        {{"-M", "pwm.txt"},
         [](INPUTPARAMETER& p) {
             p.readPWM = 1;
             p.pwmFile = "pwm.txt";
         }},
        {{"-P"}, [](INPUTPARAMETER& p) { p.sampleParams = 1; }},
        {{"-s"}, [](INPUTPARAMETER& p) { p.independent = 1; }},
        {{"-d"}, [](INPUTPARAMETER& p) { p.fixModuleLength = 0; }},
        {{"-B"}, [](INPUTPARAMETER& p) { p.outputBF = 1; }},
        {{"-S", "7"},
         [](INPUTPARAMETER& p) {
             p.useSeed = 1;
             p.seed = 7;
         }},
        // -r: only a leading digit 0 selects the forward strand alone
        {{"-r", "0"}, [](INPUTPARAMETER& p) { p.bothStrands = 0; }},
        {{"-r", "0x"}, [](INPUTPARAMETER& p) { p.bothStrands = 0; }},
        {{"-r", "1"}, [](INPUTPARAMETER&) {}},
        {{"-r", "yes"}, [](INPUTPARAMETER&) {}},
        {{"-r", "2"}, [](INPUTPARAMETER&) {}},
        {{"-r", "0", "-r", "1"}, [](INPUTPARAMETER&) {}},
        // the value word is examined in its turn like every other word
        {{"-o", "-s"},
         [](INPUTPARAMETER& p) {
             p.outFile = "-s";
             p.independent = 1;
         }},
        {{"-i", "-d"},
         [](INPUTPARAMETER& p) {
             p.seqFile = "-d";
             p.fixModuleLength = 0;
         }},
        {{"-o", "-K", "4"},
         [](INPUTPARAMETER& p) {
             p.outFile = "-K";
             p.motifCount = 4;
         }},
        // only the second character names the option
        {{"-K3", "5"}, [](INPUTPARAMETER& p) { p.motifCount = 5; }},
        {{"-Kx", "4"}, [](INPUTPARAMETER& p) { p.motifCount = 4; }},
        {{"-sd"}, [](INPUTPARAMETER& p) { p.independent = 1; }},
        // numbers convert like atoi / atof
        {{"-K", "x"}, [](INPUTPARAMETER& p) { p.motifCount = 0; }},
        {{"-K", "12abc"}, [](INPUTPARAMETER& p) { p.motifCount = 12; }},
        {{"-K", "-2"}, [](INPUTPARAMETER& p) { p.motifCount = -2; }},
        {{"-n", " 7"}, [](INPUTPARAMETER& p) { p.maxIter = 7; }},
        {{"-c", ".5x"}, [](INPUTPARAMETER& p) { p.threshold = 0.5; }},
        {{"-c", "abc"}, [](INPUTPARAMETER& p) { p.threshold = 0.0; }},
        // repeated options: the last one wins
        {{"-K", "2", "-K", "5"}, [](INPUTPARAMETER& p) { p.motifCount = 5; }},
        {{"-o", "a.txt", "-o", "b.txt"}, [](INPUTPARAMETER& p) { p.outFile = "b.txt"; }},
        {{"-b", "x", "-b", "y"},
         [](INPUTPARAMETER& p) {
             p.useBgFile = 1;
             p.bgFile = "y";
         }},
        // stray words, a lone "-" and unknown letters change nothing
        {{"stray.txt", "-", "-x", "-Z", "5"}, [](INPUTPARAMETER&) {}},
        {{"-i", "in.fa", "-x"}, [](INPUTPARAMETER& p) { p.seqFile = "in.fa"; }},
        {{"-i", "a.fa", "-o",  "r.txt", "-n", "10", "-K", "2",  "-L", "80", "-w", "6", "-W",
          "9",  "-c",   "0.9", "-r",    "0",  "-P", "-B", "-d", "-N", "2",  "-S", "11"},
         [](INPUTPARAMETER& p) {
             p.seqFile = "a.fa";
             p.outFile = "r.txt";
             p.maxIter = 10;
             p.motifCount = 2;
             p.moduleLength = 80;
             p.minWidth = 6;
             p.maxWidth = 9;
             p.threshold = 0.9;
             p.bothStrands = 0;
             p.sampleParams = 1;
             p.outputBF = 1;
             p.fixModuleLength = 0;
             p.runCount = 2;
             p.useSeed = 1;
             p.seed = 11;
         }},
    };
    for (const auto& c : cases) {
        const std::string what = Joined(c.words);
        const Parsed parsed = Parse(c.words);
        ASSERT_TRUE(parsed.ok) << what << ": " << parsed.error;
        INPUTPARAMETER want = Defaults();
        c.change(want);
        ExpectSameRecord(parsed.param, want, what);
        EXPECT_EQ(Text(parsed.param.cmdLine), std::string(kBanner) + "\n./Tessalune " + what)
            << what;
    }
}

TEST(CommandLine, EchoedCommandLineEndsInABlank) {
    const Parsed parsed = Parse({"-i", "seqs.fa", "-K", "2"});
    EXPECT_EQ(Text(parsed.param.cmdLine),
              "Tessalune 1.0: de novo discovery of cis-regulatory modules\n"
              "./Tessalune -i seqs.fa -K 2 ");
}

TEST(CommandLine, OptionWithoutItsValueWordStops) {
    struct Case {
        std::vector<std::string> words;
        const char* message;
    };
    std::vector<Case> cases = {
        {{"-K3"}, "Option -K needs a value!"},
        {{"-K", "2", "-o"}, "Option -o needs a value!"},
        {{"-o", "-n"}, "Option -n needs a value!"},  // -n, the value of -o, is itself examined
        {{"-i", "x.fa", "-Sx"}, "Option -S needs a value!"},
    };
    static const std::vector<std::string> kLetters = {"i", "o", "n", "N", "r", "K", "L",
                                                      "w", "W", "b", "c", "M", "S"};
    for (const auto& letter : kLetters) cases.push_back({{"-" + letter}, nullptr});
    for (const auto& c : cases) {
        const std::string what = Joined(c.words);
        const Parsed parsed = Parse(c.words);
        EXPECT_FALSE(parsed.ok) << what;
        const std::string expected =
            c.message ? c.message : "Option -" + c.words.back().substr(1, 1) + " needs a value!";
        EXPECT_EQ(parsed.error, expected) << what;
    }
    for (const std::string flag : {"-P", "-s", "-d", "-B", "-x", "-"}) {
        EXPECT_TRUE(Parse({"-i", "x.fa", flag}).ok) << flag << " as the last word";
    }
}

TEST(CommandLine, ChecksInTheirOrder) {
    using Change = std::function<void(INPUTPARAMETER&)>;
    const char* width = "input motif width range error!";
    const char* factors = "Input number of transcription factors error!";
    const char* length = "Input module length too small!";
    struct Case {
        const char* what;
        Change change;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"defaults", [](INPUTPARAMETER&) {}, nullptr},
        {"-w 4", [](INPUTPARAMETER& p) { p.minWidth = 4; }, width},
        {"-w 5", [](INPUTPARAMETER& p) { p.minWidth = 5; }, nullptr},
        {"-W 41", [](INPUTPARAMETER& p) { p.maxWidth = 41; }, width},
        {"-W 40", [](INPUTPARAMETER& p) { p.maxWidth = 40; }, nullptr},
        {"-K 0", [](INPUTPARAMETER& p) { p.motifCount = 0; }, factors},
        {"-K -2", [](INPUTPARAMETER& p) { p.motifCount = -2; }, factors},
        {"-K 1", [](INPUTPARAMETER& p) { p.motifCount = 1; }, nullptr},
        {"-L 9", [](INPUTPARAMETER& p) { p.moduleLength = 9; }, length},
        {"-L 10", [](INPUTPARAMETER& p) { p.moduleLength = 10; }, nullptr},
        {"-w 12 -W 10",
         [](INPUTPARAMETER& p) {
             p.minWidth = 12;
             p.maxWidth = 10;
         },
         nullptr},
        {"-w 4 -W 41 -K 0",
         [](INPUTPARAMETER& p) {
             p.minWidth = 4;
             p.maxWidth = 41;
             p.motifCount = 0;
         },
         width},
        {"-K 0 -L 3",
         [](INPUTPARAMETER& p) {
             p.motifCount = 0;
             p.moduleLength = 3;
         },
         factors},
        {"-w 4 -L 3",
         [](INPUTPARAMETER& p) {
             p.minWidth = 4;
             p.moduleLength = 3;
         },
         width},
        {"unchecked fields",
         [](INPUTPARAMETER& p) {
             p.maxIter = -5;
             p.runCount = -1;
             p.threshold = 7.0;
         },
         nullptr},
    };
    for (const auto& c : cases) {
        INPUTPARAMETER p = Defaults();
        c.change(p);
        const char* message = CheckInputParam(p);
        if (c.message) {
            ASSERT_NE(message, nullptr) << c.what;
            EXPECT_STREQ(message, c.message) << c.what;
        } else {
            EXPECT_EQ(message, nullptr) << c.what << ": " << (message ? message : "");
        }
    }
}
