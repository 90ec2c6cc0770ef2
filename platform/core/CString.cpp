#include "platform/core/CString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// vsnprintf is locale-independent for the conversions used here as long as the
// process keeps the "C" numeric locale, which the programs never change.
std::string VFormat(const char* fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string out(size_t(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, ap);
    out.resize(size_t(n));
    return out;
}
} // namespace

int CString::Compare(const char* o) const { return std::strcmp(s_.c_str(), o ? o : ""); }
int CString::CompareNoCase(const char* o) const { return ::strcasecmp(s_.c_str(), o ? o : ""); }

CString CString::Left(int n) const {
    if (n <= 0) return {};
    return CString(s_.substr(0, size_t(n)));
}
CString CString::Right(int n) const {
    if (n <= 0) return {};
    if (n >= GetLength()) return *this;
    return CString(s_.substr(s_.size() - size_t(n)));
}
CString CString::Mid(int first) const { return Mid(first, GetLength()); }
CString CString::Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (first >= GetLength() || count <= 0) return {};
    return CString(s_.substr(size_t(first), size_t(count)));
}

int CString::Find(char c, int start) const {
    if (start < 0 || start >= GetLength()) return -1;
    auto p = s_.find(c, size_t(start));
    return p == std::string::npos ? -1 : int(p);
}
int CString::Find(const char* sub, int start) const {
    if (!sub || start < 0 || start > GetLength()) return -1;
    auto p = s_.find(sub, size_t(start));
    return p == std::string::npos ? -1 : int(p);
}
int CString::ReverseFind(char c) const {
    auto p = s_.rfind(c);
    return p == std::string::npos ? -1 : int(p);
}
int CString::FindOneOf(const char* set) const {
    if (!set) return -1;
    auto p = s_.find_first_of(set);
    return p == std::string::npos ? -1 : int(p);
}

CString& CString::MakeUpper() {
    for (auto& c : s_) c = Upper(c);
    return *this;
}
CString& CString::MakeLower() {
    for (auto& c : s_) c = Lower(c);
    return *this;
}
CString& CString::MakeReverse() {
    std::string r(s_.rbegin(), s_.rend());
    s_ = std::move(r);
    return *this;
}
CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < s_.size() && IsBlank(s_[i])) ++i;
    s_.erase(0, i);
    return *this;
}
CString& CString::TrimRight() {
    while (!s_.empty() && IsBlank(s_.back())) s_.pop_back();
    return *this;
}
CString& CString::TrimLeft(const char* set) {
    if (set) s_.erase(0, std::min(s_.find_first_not_of(set), s_.size()));
    return *this;
}
CString& CString::TrimRight(const char* set) {
    if (!set) return *this;
    auto p = s_.find_last_not_of(set);
    s_.erase(p == std::string::npos ? 0 : p + 1);
    return *this;
}
int CString::Replace(const char* from, const char* to) {
    if (!from || !*from) return 0;
    std::string f(from), t(to ? to : "");
    int count = 0;
    for (size_t p = s_.find(f); p != std::string::npos; p = s_.find(f, p + t.size())) {
        s_.replace(p, f.size(), t);
        ++count;
    }
    return count;
}
int CString::Replace(char from, char to) {
    int count = 0;
    for (auto& c : s_)
        if (c == from) c = to, ++count;
    return count;
}
int CString::Remove(char c) {
    auto before = s_.size();
    s_.erase(std::remove(s_.begin(), s_.end(), c), s_.end());
    return int(before - s_.size());
}
int CString::Insert(int at, const char* s) {
    if (at < 0) at = 0;
    if (at > GetLength()) at = GetLength();
    s_.insert(size_t(at), s ? s : "");
    return GetLength();
}
int CString::Delete(int at, int count) {
    if (at >= 0 && at < GetLength() && count > 0) s_.erase(size_t(at), size_t(count));
    return GetLength();
}

void CString::Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    s_ = VFormat(fmt, ap);
    va_end(ap);
}
void CString::AppendFormat(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    s_ += VFormat(fmt, ap);
    va_end(ap);
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) s_.resize(size_t(minLength));
    return s_.data();
}
char* CString::GetBufferSetLength(int length) {
    s_.resize(size_t(length < 0 ? 0 : length));
    return s_.data();
}
void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) s_.resize(std::strlen(s_.c_str()));
    else if (size_t(newLength) <= s_.size()) s_.resize(size_t(newLength));
}
