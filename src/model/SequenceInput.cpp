// Reading the FASTA sequence file.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/Helpers.h"
#include "model/GibbsDP.h"

namespace {

[[noreturn]] void SequenceFileError(const CString& name, const char* detail) {
    std::puts("Input sequence file error!");
    std::fflush(stdout);
    std::fprintf(stderr, "Tessalune: %s: %s\n",
                 name.GetLength() ? name.CStr() : "(no -i file given)", detail);
    std::exit(1);
}

}  // namespace

// ReadInputSeq: reads the file named by seqFile and fills seqs, seqNames,
// seqCount and totalLength. A name is the header line (">" included) without
// its line ending. A sequence line contributes its letters, upper-cased, up to
// the first character that is not an ASCII letter. Lines are read whole, so
// long lines never split into pieces. Letters before the first header belong
// to no sequence: they are dropped with a warning. A file that cannot be read
// or holds no header ends the process with "Input sequence file error!".
void CGibbsDP::ReadInputSeq() {
    std::FILE* file = seqFile.GetLength() ? std::fopen(seqFile.CStr(), "r") : nullptr;
    if (!file) SequenceFileError(seqFile, seqFile.GetLength() ? std::strerror(errno) : "no file");

    std::vector<std::string> names;
    std::vector<std::string> letters;
    long long total = 0;
    long long strayLetters = 0;
    std::string line;
    while (ReadLine(file, line)) {
        if (line[0] == '>') {
            std::size_t end = line.size();
            if (end > 0 && line[end - 1] == '\n') {
                --end;
                if (end > 0 && line[end - 1] == '\r') --end;
            }
            names.emplace_back(line, 0, end);
            letters.emplace_back();
            continue;
        }
        std::size_t kept = 0;
        while (kept < line.size()) {
            const char c = line[kept];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) break;
            ++kept;
        }
        if (kept == 0) continue;
        if (letters.empty()) {
            strayLetters += static_cast<long long>(kept);
            continue;
        }
        std::string& seq = letters.back();
        for (std::size_t i = 0; i < kept; ++i) {
            const char c = line[i];
            seq.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        }
        total += static_cast<long long>(kept);
        if (total > INT_MAX / 2) {
            std::fclose(file);
            SequenceFileError(seqFile, "more letters than the tool can hold");
        }
    }
    const bool readFailed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (readFailed) SequenceFileError(seqFile, std::strerror(readErrno));
    if (names.empty()) SequenceFileError(seqFile, "no header line (a line beginning with '>')");
    if (strayLetters > 0) {
        std::fprintf(stderr,
                     "Tessalune: warning: %s: %lld letters before the first header line are "
                     "ignored\n",
                     seqFile.CStr(), strayLetters);
    }

    seqCount = static_cast<int>(names.size());
    seqs = new CString[seqCount];
    seqNames = new CString[seqCount];
    for (int k = 0; k < seqCount; ++k) {
        seqNames[k] = CString(names[k].data(), static_cast<int>(names[k].size()));
        seqs[k] = CString(letters[k].data(), static_cast<int>(letters[k].size()));
    }
    totalLength = static_cast<int>(total);
}
