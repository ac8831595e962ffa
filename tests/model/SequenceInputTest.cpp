// Reading FASTA files: names, letters, line endings, long lines and empty
// sequences. Files that end the process are run through the binary in
// app/BinaryTest.cpp.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::DataPath;
using testsupport::ReadFile;
using testsupport::SamplerFixture;

namespace {

struct Sequences {
    std::vector<std::string> names;
    std::vector<std::string> seqs;
    int totalLength = 0;
};

Sequences Read(const std::string& fasta) {
    SamplerFixture f(fasta);
    f->ReadInputSeq();
    Sequences read;
    for (int k = 0; k < f->seqCount; ++k) {
        read.names.emplace_back(f->seqNames[k].CStr(), f->seqNames[k].GetLength());
        read.seqs.emplace_back(f->seqs[k].CStr(), f->seqs[k].GetLength());
    }
    read.totalLength = f->totalLength;
    return read;
}

int Sum(const std::vector<std::string>& seqs) {
    int total = 0;
    for (const auto& s : seqs) total += static_cast<int>(s.size());
    return total;
}

}  // namespace

TEST(SequenceInput, SmallFiles) {
    struct Case {
        const char* what;
        std::string fasta;
        std::vector<std::string> names;
        std::vector<std::string> seqs;
    };
    const std::vector<Case> cases = {
        {"lower case, several lines per sequence",
         ">a\nacgt\n>b\nggcc\nAAtt\n>c\nnnac\n",
         {">a", ">b", ">c"},
         {"ACGT", "GGCCAATT", "NNAC"}},
        {"a header with words", ">seq1 some text\nACGT\n", {">seq1 some text"}, {"ACGT"}},
        {"digits end the line's letters", ">d\nACGT1234ACGT\nTT\n", {">d"}, {"ACGTTT"}},
        {"a blank ends the line's letters", ">b\nacgt NNNN\n", {">b"}, {"ACGT"}},
        {"lines that begin with a non-letter add nothing",
         ">x\n;note\n 12\n1AC\nGG\n",
         {">x"},
         {"GG"}},
        {"every letter of the alphabet is kept", ">z\nRYKMswbdhvNXZ\n", {">z"}, {"RYKMSWBDHVNXZ"}},
        {"CRLF line endings",
         ">s1\r\nAC\r\nGT\r\n>s2 two\r\nTT\r\n",
         {">s1", ">s2 two"},
         {"ACGT", "TT"}},
        {"no final newline after letters", ">a\nACGT", {">a"}, {"ACGT"}},
        {"no final newline after a header: the name keeps its last letter",
         ">a\nAC\n>last",
         {">a", ">last"},
         {"AC", ""}},
        {"a carriage return inside a name stays", ">a\rb\nAC\n", {">a\rb"}, {"AC"}},
        {"empty sequences are kept", ">a\n>b\nAC\n>c\n", {">a", ">b", ">c"}, {"", "AC", ""}},
        {"a sequence of lines that add nothing is empty",
         ">a\n123\n\n>b\nA\n",
         {">a", ">b"},
         {"", "A"}},
        {"blank lines between sequence lines",
         ">a\n\nAC\n\nGT\n>b\nG\n",
         {">a", ">b"},
         {"ACGT", "G"}},
        {"a bare >", ">\nAC\n", {">"}, {"AC"}},
        {"letters before the first header are dropped", "ACGT\nTT\n>a\nGG\n", {">a"}, {"GG"}},
    };
    for (const auto& c : cases) {
        const Sequences read = Read(c.fasta);
        EXPECT_EQ(read.names, c.names) << c.what;
        EXPECT_EQ(read.seqs, c.seqs) << c.what;
        EXPECT_EQ(read.totalLength, Sum(c.seqs)) << c.what;
    }
}

TEST(SequenceInput, LongLinesAreReadWhole) {
    std::string letters;
    for (int i = 0; i < 25013; ++i) letters += "acgt"[(i * 7 + i / 3) % 4];
    std::string upper = letters;
    for (char& c : upper) c = static_cast<char>(c - 'a' + 'A');
    const std::string longName = ">h " + std::string(12000, 'x');
    const std::string head = std::string(9999, 'A');  // one letter short of the old piece size

    const Sequences read =
        Read(">long\n" + letters + "\n" + longName + "\nAC\n>edge\n" + head + "C\n");
    ASSERT_EQ(read.seqs.size(), 3u);
    EXPECT_EQ(read.seqs[0], upper);
    EXPECT_EQ(read.names[1], longName);
    EXPECT_EQ(read.seqs[1], "AC");
    EXPECT_EQ(read.seqs[2], head + "C");
    EXPECT_EQ(read.totalLength, 25013 + 2 + 10000);
}

TEST(SequenceInput, ClassicDataSet) {
    const Sequences read = Read(ReadFile(DataPath("crp0.fa")));
    ASSERT_EQ(read.seqs.size(), 18u);
    EXPECT_EQ(read.names[0], ">ce1cg 17 61");
    EXPECT_EQ(read.names[1], ">ara 17 55");
    for (const auto& s : read.seqs) EXPECT_EQ(s.size(), 105u);
    EXPECT_EQ(read.totalLength, 18 * 105);
    EXPECT_EQ(read.seqs[0].substr(0, 10), "TAATGTTTGT");
}
