// The tool's string class: a heap buffer with a terminating zero and an int
// length. Every string owns its buffer; copies are deep and every substring
// operation returns a new string. A default-constructed string has no buffer
// and behaves as the empty string everywhere.
#pragma once

class CString {
  public:
    CString() = default;
    CString(const CString& source);
    CString(CString&& source) noexcept;
    explicit CString(char c);
    CString(const char* s);  // NOLINT: implicit on purpose, like a literal
    CString(const char* s, int count);
    ~CString();

    CString operator+(const CString& right) const;
    CString operator+(const char* s) const;
    CString& operator=(const CString& source);
    CString& operator=(CString&& source) noexcept;
    CString& operator=(const char* s);
    bool operator==(const CString& other) const;
    bool operator!=(const CString& other) const { return !(*this == other); }

    // No range check: position GetLength() yields the terminating zero. A
    // string without a buffer yields zero at every position.
    char operator[](int i) const { return text ? text[i] : '\0'; }
    int GetLength() const { return length; }
    // Zero-terminated text; "" for a string without a buffer.
    const char* CStr() const { return text ? text : ""; }

    CString Left(int n) const;
    CString Right(int n) const;
    // Clamps start into the string; a count reaching past the end gives a
    // copy of the whole string (not the tail from start).
    CString Mid(int start, int count) const;
    void SetAt(int pos, char c);
    // Position of the first occurrence of needle at or after start, or -1.
    int Find(const CString& needle, int start) const;
    int Find(const char* needle, int start) const;
    int Find(const char* needle) const;

  private:
    void Assign(const char* s, int count);

    char* text = nullptr;
    int length = 0;
};
