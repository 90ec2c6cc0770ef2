// In-memory registry keys and values, and the text format of one registry
// root's file. Key and value names compare without regard to ASCII case and
// keep the spelling they were first given.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

struct RegValue {
    enum class Type { String, Dword };
    Type type = Type::String;
    std::string text;    // String
    uint32_t dword = 0;  // Dword

    static RegValue String(std::string s) { return {Type::String, std::move(s), 0}; }
    static RegValue Dword(uint32_t v) { return {Type::Dword, {}, v}; }
    bool operator==(const RegValue&) const = default;
};

// ASCII case folding used for every name comparison.
std::string FoldCase(std::string_view s);

// A key name is valid when it is not empty and holds neither a backslash nor a
// control character. Value names may be empty (the default value) but hold no
// control character.
bool IsValidKeyName(std::string_view name);
bool IsValidValueName(std::string_view name);

// The deepest key the store holds: a path of at most this many key names.
inline constexpr size_t kMaxKeyDepth = 512;

// Splits "A\B\C" into its key names; false when a name is invalid or the path
// is deeper than kMaxKeyDepth. An empty path is the root itself.
bool SplitKeyPath(std::string_view path, std::vector<std::string>& names);

class RegKey {
public:
    explicit RegKey(std::string name = {}) : name_(std::move(name)) {}
    // Copying, comparing, formatting and destroying walk the tree without
    // recursion, so their stack use does not grow with the depth.
    RegKey(const RegKey& other);
    RegKey& operator=(const RegKey& other);
    RegKey(RegKey&&) noexcept = default;
    RegKey& operator=(RegKey&&) noexcept = default;
    ~RegKey();

    const std::string& Name() const { return name_; }

    RegKey* Child(std::string_view name);
    const RegKey* Child(std::string_view name) const;
    RegKey& CreateChild(std::string_view name);
    bool RemoveChild(std::string_view name);
    bool HasChildren() const { return !children_.empty(); }
    // Names in case-insensitive order.
    std::vector<std::string> ChildNames() const;

    const RegValue* Value(std::string_view name) const;
    void SetValue(std::string_view name, RegValue value);
    bool RemoveValue(std::string_view name);
    std::vector<std::string> ValueNames() const;
    bool HasValues() const { return !values_.empty(); }

    // Walks a split path; null when a key on the way is missing.
    const RegKey* Find(const std::vector<std::string>& path) const;
    RegKey* Find(const std::vector<std::string>& path);

    bool operator==(const RegKey& other) const;

private:
    friend std::string FormatRegistry(const RegKey& root);
    struct NamedValue {
        std::string name;
        RegValue value;
    };
    std::string name_;
    std::map<std::string, NamedValue> values_;               // by folded name
    std::map<std::string, std::unique_ptr<RegKey>> children_;  // by folded name
};

// The file format, one line per entry:
//   ; comment
//   [Software\Veloran\Viewer]        a key (the text between the first '[' and the last ']')
//   "Name"="text"                    a string value; @ names the default value
//   "Name"=dword:0000002a            a 32-bit value in hexadecimal
// Quoted texts escape \\ \" \n \r \t and \xHH (any other control byte).
// Keys are listed when they hold values or have no subkeys; their parents
// exist implicitly.
std::string FormatRegistry(const RegKey& root);

// Reads the format leniently: a line that does not parse is skipped and
// counted in *badLines; value lines before the first key line are skipped too.
RegKey ParseRegistry(std::string_view text, int* badLines = nullptr);

// The quoted form of a text, and its reverse (false on a malformed quote).
std::string QuoteRegText(std::string_view s);
bool UnquoteRegText(std::string_view in, size_t& pos, std::string& out);

}  // namespace sys
