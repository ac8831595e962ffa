#include "CString.h"

#include <algorithm>
#include <cstring>
#include <utility>

CString::CString(const CString& source) {
    Assign(source.text, source.length);
}

CString::CString(CString&& source) noexcept
    : text(std::exchange(source.text, nullptr)), length(std::exchange(source.length, 0)) {}

CString::CString(char c) {
    const char one[2] = {c, '\0'};
    Assign(one, 1);
}

CString::CString(const char* s) {
    Assign(s, s ? static_cast<int>(std::strlen(s)) : 0);
}

CString::CString(const char* s, int count) {
    Assign(s, count);
}

CString::~CString() {
    delete[] text;
}

// Replaces the contents by count characters from s. The new buffer is made
// before the old one is freed, so s may point into this string's own text.
void CString::Assign(const char* s, int count) {
    char* buffer = new char[count + 1];
    if (count > 0) std::memcpy(buffer, s, count);
    buffer[count] = '\0';
    delete[] text;
    text = buffer;
    length = count;
}

CString CString::operator+(const CString& right) const {
    CString result;
    result.text = new char[length + right.length + 1];
    if (length > 0) std::memcpy(result.text, text, length);
    if (right.length > 0) std::memcpy(result.text + length, right.text, right.length);
    result.length = length + right.length;
    result.text[result.length] = '\0';
    return result;
}

CString CString::operator+(const char* s) const {
    return *this + CString(s);
}

CString& CString::operator=(const CString& source) {
    if (this != &source) Assign(source.text, source.length);
    return *this;
}

CString& CString::operator=(CString&& source) noexcept {
    if (this != &source) {
        delete[] text;
        text = std::exchange(source.text, nullptr);
        length = std::exchange(source.length, 0);
    }
    return *this;
}

CString& CString::operator=(const char* s) {
    Assign(s, s ? static_cast<int>(std::strlen(s)) : 0);
    return *this;
}

bool CString::operator==(const CString& other) const {
    if (length != other.length) return false;
    return length == 0 || std::memcmp(text, other.text, length) == 0;
}

CString CString::Left(int n) const {
    return CString(text, std::clamp(n, 0, length));
}

CString CString::Right(int n) const {
    const int count = std::clamp(n, 0, length);
    if (count == 0) return CString("");
    return CString(text + (length - count), count);
}

CString CString::Mid(int start, int count) const {
    if (length == 0) return CString("");
    count = std::max(count, 0);
    if (start < 0) start = 0;
    if (start >= length) start = length - 1;
    if (start + count > length) return *this;
    return CString(text + start, count);
}

void CString::SetAt(int pos, char c) {
    if (pos >= 0 && pos < length) text[pos] = c;
}

int CString::Find(const CString& needle, int start) const {
    start = std::max(start, 0);
    const int m = needle.length;
    if (start + m > length) return -1;
    for (int p = start; p <= length - m; ++p) {
        if (m == 0 || std::memcmp(text + p, needle.text, m) == 0) return p;
    }
    return -1;
}

int CString::Find(const char* needle, int start) const {
    return Find(CString(needle), start);
}

int CString::Find(const char* needle) const {
    return Find(CString(needle), 0);
}
