// CString: the framework's 8-bit string, a value type over std::string.
#pragma once

#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"

class CString {
public:
    CString() = default;
    CString(const char* s) : s_(s ? s : "") {}
    CString(const char* s, int n) : s_(s ? std::string(s, s + (n < 0 ? 0 : n)) : std::string()) {}
    CString(const unsigned char* s) : CString(reinterpret_cast<const char*>(s)) {}
    CString(char c, int count = 1) : s_(count > 0 ? size_t(count) : 0, c) {}
    CString(std::string s) : s_(std::move(s)) {}
    CString(std::string_view s) : s_(s) {}

    int GetLength() const { return int(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    operator const char*() const { return s_.c_str(); }
    const char* c_str() const { return s_.c_str(); }
    const std::string& str() const { return s_; }
    std::string& str() { return s_; }

    char GetAt(int i) const { return (i >= 0 && i < GetLength()) ? s_[size_t(i)] : '\0'; }
    void SetAt(int i, char c) {
        if (i >= 0 && i < GetLength()) s_[size_t(i)] = c;
    }
    char operator[](int i) const { return GetAt(i); }

    CString& operator=(const char* s) { s_ = s ? s : ""; return *this; }
    CString& operator+=(const CString& o) { s_ += o.s_; return *this; }
    CString& operator+=(const char* s) { if (s) s_ += s; return *this; }
    CString& operator+=(char c) { s_ += c; return *this; }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.s_ + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.s_); }
    friend CString operator+(const CString& a, char c) { return CString(a.s_ + c); }

    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return a.s_ != b.s_; }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }

    int Compare(const char* o) const;
    int CompareNoCase(const char* o) const;

    CString Left(int n) const;
    CString Right(int n) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    int Find(char c, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char c) const;
    int FindOneOf(const char* set) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { TrimRight(); return TrimLeft(); }
    CString& TrimLeft(const char* set);
    CString& TrimRight(const char* set);
    int Replace(const char* from, const char* to);
    int Replace(char from, char to);
    int Remove(char c);
    int Insert(int at, const char* s);
    int Delete(int at, int count = 1);

    // printf-style formatting in the C locale.
    void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    // Writable buffer of at least minLength bytes; ReleaseBuffer(-1) takes the length up to the NUL.
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string s_;
};
