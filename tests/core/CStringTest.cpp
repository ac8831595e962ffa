// The string class: substrings, concatenation, comparison, search and copies.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/CString.h"

namespace {

// A string must hold exactly `expected`, with the terminating zero in place.
void ExpectText(const CString& s, const std::string& expected, const std::string& what) {
    EXPECT_EQ(std::string(s.CStr()), expected) << what;
    EXPECT_EQ(s.GetLength(), static_cast<int>(expected.size())) << what;
    EXPECT_EQ(s[s.GetLength()], '\0') << what;
}

}  // namespace

TEST(CString, SubstringsAndConcatenation) {
    const CString acg("ACG");
    const CString acgta("ACGTA");
    struct Case {
        const char* what;
        std::function<CString()> make;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"Left(10) of ACG", [&] { return acg.Left(10); }, "ACG"},
        {"Right(10) of ACG", [&] { return acg.Right(10); }, "ACG"},
        {"Left(2) of ACG", [&] { return acg.Left(2); }, "AC"},
        {"Right(2) of ACG", [&] { return acg.Right(2); }, "CG"},
        {"Left(0) of ACG", [&] { return acg.Left(0); }, ""},
        {"Right(0) of ACG", [&] { return acg.Right(0); }, ""},
        {"Mid(2,3) of ACGTA", [&] { return acgta.Mid(2, 3); }, "GTA"},
        {"Mid(3,4) of ACGTA: past the end gives the whole string", [&] { return acgta.Mid(3, 4); },
         "ACGTA"},
        {"Mid(9,1) of ACGTA: start moved to the last letter", [&] { return acgta.Mid(9, 1); }, "A"},
        {"Mid(9,2) of ACGTA", [&] { return acgta.Mid(9, 2); }, "ACGTA"},
        {"Mid(-2,2) of ACGTA", [&] { return acgta.Mid(-2, 2); }, "AC"},
        {"Mid(4,1) of ACGTA", [&] { return acgta.Mid(4, 1); }, "A"},
        {"Mid(2,0) of ACGTA", [&] { return acgta.Mid(2, 0); }, ""},
        {"Mid(0,5) of ACGTA", [&] { return acgta.Mid(0, 5); }, "ACGTA"},
        {"string + string", [&] { return acg + CString("TT"); }, "ACGTT"},
        {"string + C string", [&] { return acg + "TT"; }, "ACGTT"},
        {"empty left operand", [] { return CString() + CString("AC"); }, "AC"},
        {"empty left operand, C string", [] { return CString() + "AC"; }, "AC"},
        {"empty right operand", [&] { return acg + CString(); }, "ACG"},
        {"two empty operands", [] { return CString() + CString(); }, ""},
        {"from a character", [] { return CString('x'); }, "x"},
        {"Left of a default string", [] { return CString().Left(3); }, ""},
        {"Right of a default string", [] { return CString().Right(3); }, ""},
        {"Mid of a default string", [] { return CString().Mid(0, 2); }, ""},
        {"copy of a default string", [] { return CString(CString()); }, ""},
    };
    for (const auto& c : cases) ExpectText(c.make(), c.expected, c.what);
}

TEST(CString, Find) {
    struct Case {
        const char* text;
        const char* needle;
        int start;
        int expected;
    };
    const std::vector<Case> cases = {
        {"ACNT", "N", 0, 2},     {"ACGT", "N", 0, -1},    {"ab\tcd", "\t", 5, -1},
        {"ACGACG", "ACG", 0, 0}, {"ACGACG", "ACG", 1, 3}, {"ACGACG", "ACG", 4, -1},
        {"AAAA", "AA", 2, 2},    {"AAAA", "AA", 3, -1},   {"ACGT", "ACGTA", 0, -1},
        {"ACGT", "", 2, 2},      {"ACGT", "", 4, 4},      {"ACGT", "", 5, -1},
        {"ACGT", "T", 3, 3},     {"", "A", 0, -1},        {"xyz", "yz", 1, 1},
    };
    for (const auto& c : cases) {
        const CString text(c.text);
        const std::string what = std::string("\"") + c.text + "\" find \"" + c.needle + "\" from " +
                                 std::to_string(c.start);
        EXPECT_EQ(text.Find(CString(c.needle), c.start), c.expected) << what;
        EXPECT_EQ(text.Find(c.needle, c.start), c.expected) << what;
        if (c.start == 0) {
            EXPECT_EQ(text.Find(c.needle), c.expected) << what;
        }
    }
}

TEST(CString, Equality) {
    struct Case {
        CString a;
        CString b;
        bool equal;
    };
    const std::vector<Case> cases = {
        {CString("AC"), CString("ACG"), false}, {CString("AC"), CString("AC"), true},
        {CString("AC"), CString("AG"), false},  {CString(), CString(), true},
        {CString(), CString(""), true},         {CString(""), CString("A"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal) << c.a.CStr() << " vs " << c.b.CStr();
        EXPECT_EQ(c.b == c.a, c.equal) << c.b.CStr() << " vs " << c.a.CStr();
    }
}

TEST(CString, SetAtIgnoresPositionsOutsideTheString) {
    CString s("ACGT");
    s.SetAt(-1, 'x');
    s.SetAt(4, 'x');
    ExpectText(s, "ACGT", "out of range");
    s.SetAt(0, 'T');
    s.SetAt(3, 'A');
    ExpectText(s, "TCGA", "in range");
}

TEST(CString, CopiesAreDeepAndSelfAssignmentKeepsTheString) {
    CString original("ACGT");
    CString copy(original);
    copy.SetAt(0, 'G');
    CString assigned;
    assigned = original;
    assigned.SetAt(1, 'T');
    ExpectText(original, "ACGT", "original after changing its copies");
    ExpectText(copy, "GCGT", "copy");
    ExpectText(assigned, "ATGT", "assigned copy");

    CString& alias = original;
    original = alias;
    ExpectText(original, "ACGT", "after self-assignment");

    original = "TTAAC";
    ExpectText(original, "TTAAC", "assigned from a C string");
    original = "";
    ExpectText(original, "", "assigned the empty C string");
}
