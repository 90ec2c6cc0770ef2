// String8: 8-bit string with a shared, reference-counted buffer. A string
// without a record is the null string, distinct from the empty string; the
// null string reads as "" everywhere.
#pragma once

#include <atomic>
#include <cstddef>

#include "base/Errors.h"

class CString;

class PELLIX_API String8 {
public:
    String8(const char* text = nullptr) { InitByCString(text); }
    String8(const unsigned char* text) { InitByCString(reinterpret_cast<const char*>(text)); }
    String8(const CString& text);
    String8(const String8& other);
    String8(String8&& other) noexcept : rec_(other.rec_) { other.rec_ = nullptr; }
    ~String8() { Release(); }

    String8& operator=(const String8& other);
    String8& operator=(String8&& other) noexcept;
    String8& operator+=(const String8& other);

    String8 SubStr(int start, int count) const;
    String8 UpCase() const;
    String8 DownCase() const;

    int GetLength() const { return rec_ ? rec_->length : 0; }
    char& operator[](int i) const { return rec_ ? rec_->text[i] : EmptyText()[0]; }
    operator const char*() const { return rec_ ? rec_->text : EmptyText(); }
    const char* c_str() const { return rec_ ? rec_->text : EmptyText(); }
    int IsNull() const { return rec_ == nullptr; }

    static const String8 Null;

    // Sharing, for tests: how many strings hold this string's record (0 for null).
    int RefCount() const { return rec_ ? rec_->refs.load() : 0; }

    friend PELLIX_API String8 operator+(const String8& a, const String8& b);

    // Allocator of the buffer records; tests replace it to inject a failure.
    using RecordAllocator = void* (*)(std::size_t);
    static RecordAllocator SetRecordAllocator(RecordAllocator alloc);

private:
    struct Record {
        char* text;
        int length;
        std::atomic<int> refs;
    };

    void InitByCString(const char* text);
    void Release();
    static Record* NewRecord(int length);
    static char* EmptyText();

    Record* rec_ = nullptr;
};

// Byte-wise comparison as signed 8-bit characters, the NUL taking part.
PELLIX_API int operator==(const String8& a, const String8& b);
PELLIX_API int operator!=(const String8& a, const String8& b);
PELLIX_API int operator<(const String8& a, const String8& b);
PELLIX_API int operator>(const String8& a, const String8& b);
PELLIX_API int operator<=(const String8& a, const String8& b);
PELLIX_API int operator>=(const String8& a, const String8& b);

#include <functional>
#include <string_view>

template <>
struct std::hash<String8> {
    std::size_t operator()(const String8& s) const noexcept {
        return std::hash<std::string_view>{}(std::string_view(s.c_str(), std::size_t(s.GetLength())));
    }
};
