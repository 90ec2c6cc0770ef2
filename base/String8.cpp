#include "base/String8.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/core/CString.h"

const String8 String8::Null;

namespace {
void* DefaultRecordAlloc(std::size_t n) { return std::malloc(n); }
std::atomic<String8::RecordAllocator> g_recordAlloc{&DefaultRecordAlloc};

// Signed byte comparison: <0, 0, >0, the terminating NUL taking part.
int Compare(const char* a, const char* b) {
    for (;; ++a, ++b) {
        signed char ca = static_cast<signed char>(*a), cb = static_cast<signed char>(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

bool IsLead(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }
} // namespace

String8::RecordAllocator String8::SetRecordAllocator(RecordAllocator alloc) {
    return g_recordAlloc.exchange(alloc ? alloc : &DefaultRecordAlloc);
}

char* String8::EmptyText() {
    static char empty[1] = {'\0'};
    empty[0] = '\0'; // a caller may have written through operator[] of a null string
    return empty;
}

String8::Record* String8::NewRecord(int length) {
    if (length < 0) length = 0;
    void* mem = g_recordAlloc.load()(sizeof(Record));
    if (!mem) throw MemoryAllocError(int(sizeof(Record)));
    char* text;
    try {
        text = new char[std::size_t(length) + 1];
    } catch (...) {
        std::free(mem);
        throw;
    }
    text[0] = '\0';
    return new (mem) Record{text, length, {1}};
}

String8::String8(const CString& text) { InitByCString(text.c_str()); }

String8::String8(const String8& other) : rec_(other.rec_) {
    if (rec_) rec_->refs.fetch_add(1, std::memory_order_relaxed);
}

void String8::InitByCString(const char* text) {
    rec_ = nullptr;
    if (!text) return;
    int n = int(std::strlen(text));
    Record* r = NewRecord(n);
    std::memcpy(r->text, text, std::size_t(n) + 1);
    rec_ = r;
}

void String8::Release() {
    Record* r = rec_;
    rec_ = nullptr;
    if (r && r->refs.fetch_sub(1, std::memory_order_acq_rel) <= 1) {
        delete[] r->text;
        r->~Record();
        std::free(r);
    }
}

String8& String8::operator=(const String8& other) {
    Record* r = other.rec_; // taken first: other may be this string
    if (r) r->refs.fetch_add(1, std::memory_order_relaxed);
    Release();
    rec_ = r;
    return *this;
}

String8& String8::operator=(String8&& other) noexcept {
    if (this != &other) {
        Release();
        rec_ = other.rec_;
        other.rec_ = nullptr;
    }
    return *this;
}

String8& String8::operator+=(const String8& other) {
    if (!rec_) return *this = other;
    *this = *this + other;
    return *this;
}

String8 operator+(const String8& a, const String8& b) {
    int la = a.GetLength(), lb = b.GetLength();
    String8 out;
    out.rec_ = String8::NewRecord(la + lb);
    std::memcpy(out.rec_->text, a.c_str(), std::size_t(la) + 1);
    std::memcpy(out.rec_->text + la, b.c_str(), std::size_t(lb) + 1);
    return out;
}

String8 String8::SubStr(int start, int count) const {
    int len = GetLength();
    if (start < 0) start = 0;
    if (start > len) start = len;
    if (count < 0) count = 0;
    if (count > len - start) count = len - start;
    const char* src = c_str() + start;
    int n = 0;
    while (n < count && src[n]) ++n; // stop at an embedded NUL
    String8 out;
    out.rec_ = NewRecord(n);
    std::memcpy(out.rec_->text, src, std::size_t(n));
    out.rec_->text[n] = '\0';
    return out;
}

namespace {
// Case mapping that copies a double-byte character (lead byte with the high
// bit set, and its trail byte) unchanged.
template <char From, char To>
void MapCase(char* t, int len) {
    for (int i = 0; i < len && t[i]; ++i) {
        if (IsLead(t[i])) {
            if (t[i + 1] == '\0') break;
            ++i;
            continue;
        }
        if (t[i] >= From && t[i] <= From + 25) t[i] = char(t[i] - From + To);
    }
}
} // namespace

String8 String8::UpCase() const {
    if (!rec_) return String8();
    String8 out;
    out.rec_ = NewRecord(rec_->length);
    std::memcpy(out.rec_->text, rec_->text, std::size_t(rec_->length) + 1);
    MapCase<'a', 'A'>(out.rec_->text, rec_->length);
    return out;
}

String8 String8::DownCase() const {
    if (!rec_) return String8();
    String8 out;
    out.rec_ = NewRecord(rec_->length);
    std::memcpy(out.rec_->text, rec_->text, std::size_t(rec_->length) + 1);
    MapCase<'A', 'a'>(out.rec_->text, rec_->length);
    return out;
}

int operator==(const String8& a, const String8& b) { return Compare(a, b) == 0; }
int operator!=(const String8& a, const String8& b) { return !(a == b); }
int operator<(const String8& a, const String8& b) { return Compare(a, b) < 0; }
int operator>(const String8& a, const String8& b) { return b < a; }
int operator<=(const String8& a, const String8& b) { return Compare(a, b) <= 0; }
int operator>=(const String8& a, const String8& b) { return b <= a; }
