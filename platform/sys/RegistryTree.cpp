#include "platform/sys/RegistryTree.h"

#include <algorithm>
#include <cstdio>

namespace sys {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

void FormatKeyEntries(const RegKey& key, const std::string& path, std::string& out) {
    if (!key.HasValues() && (key.HasChildren() || path.empty())) return;
    out += '[';
    out += path;
    out += "]\n";
    for (const std::string& name : key.ValueNames()) {
        const RegValue* v = key.Value(name);
        out += name.empty() ? std::string("@") : QuoteRegText(name);
        out += '=';
        if (v->type == RegValue::Type::Dword) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(v->dword));
            out += buf;
        } else {
            out += QuoteRegText(v->text);
        }
        out += '\n';
    }
}

bool ParseValueLine(std::string_view line, std::string& name, RegValue& value) {
    size_t pos = 0;
    if (line.empty()) return false;
    if (line[0] == '@') {
        name.clear();
        pos = 1;
    } else if (!UnquoteRegText(line, pos, name) || !IsValidValueName(name)) {
        return false;
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest[0] != '=') return false;
    rest = TrimLeft(rest.substr(1));
    if (!rest.empty() && rest[0] == '"') {
        size_t p = 0;
        std::string text;
        if (!UnquoteRegText(rest, p, text)) return false;
        if (!TrimLeft(rest.substr(p)).empty()) return false;
        value = RegValue::String(std::move(text));
        return true;
    }
    constexpr std::string_view kDword = "dword:";
    if (rest.size() > kDword.size() && FoldCase(rest.substr(0, kDword.size())) == kDword) {
        std::string_view digits = rest.substr(kDword.size());
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = (v << 4) | uint32_t(d);
        }
        value = RegValue::Dword(v);
        return true;
    }
    return false;
}

}  // namespace

std::string FoldCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool IsValidKeyName(std::string_view name) {
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (c == '\\' || IsControl(c)) return false;
    return true;
}

bool IsValidValueName(std::string_view name) {
    for (unsigned char c : name)
        if (IsControl(c)) return false;
    return true;
}

bool SplitKeyPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (path.empty()) return true;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!IsValidKeyName(part) || names.size() == kMaxKeyDepth) {
            names.clear();
            return false;
        }
        names.emplace_back(part);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

RegKey::RegKey(const RegKey& other) : name_(other.name_), values_(other.values_) {
    std::vector<std::pair<const RegKey*, RegKey*>> todo{{&other, this}};
    while (!todo.empty()) {
        auto [from, to] = todo.back();
        todo.pop_back();
        for (const auto& [k, child] : from->children_) {
            auto copy = std::make_unique<RegKey>(child->name_);
            copy->values_ = child->values_;
            todo.emplace_back(child.get(), copy.get());
            to->children_.emplace(k, std::move(copy));
        }
    }
}

RegKey::~RegKey() {
    // Detach the subtrees one level at a time, so no destructor below this
    // one has children left to destroy.
    std::vector<std::unique_ptr<RegKey>> todo;
    for (auto& [k, child] : children_) todo.push_back(std::move(child));
    children_.clear();
    while (!todo.empty()) {
        std::unique_ptr<RegKey> key = std::move(todo.back());
        todo.pop_back();
        for (auto& [k, child] : key->children_) todo.push_back(std::move(child));
        key->children_.clear();
    }
}

RegKey& RegKey::operator=(const RegKey& other) {
    if (this != &other) {
        RegKey copy(other);
        name_ = std::move(copy.name_);
        values_ = std::move(copy.values_);
        children_ = std::move(copy.children_);
    }
    return *this;
}

RegKey* RegKey::Child(std::string_view name) {
    auto it = children_.find(FoldCase(name));
    return it == children_.end() ? nullptr : it->second.get();
}

const RegKey* RegKey::Child(std::string_view name) const {
    auto it = children_.find(FoldCase(name));
    return it == children_.end() ? nullptr : it->second.get();
}

RegKey& RegKey::CreateChild(std::string_view name) {
    auto& slot = children_[FoldCase(name)];
    if (!slot) slot = std::make_unique<RegKey>(std::string(name));
    return *slot;
}

bool RegKey::RemoveChild(std::string_view name) { return children_.erase(FoldCase(name)) > 0; }

std::vector<std::string> RegKey::ChildNames() const {
    std::vector<std::string> out;
    out.reserve(children_.size());
    for (const auto& [k, child] : children_) out.push_back(child->name_);
    return out;
}

const RegValue* RegKey::Value(std::string_view name) const {
    auto it = values_.find(FoldCase(name));
    return it == values_.end() ? nullptr : &it->second.value;
}

void RegKey::SetValue(std::string_view name, RegValue value) {
    auto [it, inserted] = values_.try_emplace(FoldCase(name), NamedValue{std::string(name), RegValue{}});
    it->second.value = std::move(value);
}

bool RegKey::RemoveValue(std::string_view name) { return values_.erase(FoldCase(name)) > 0; }

std::vector<std::string> RegKey::ValueNames() const {
    std::vector<std::string> out;
    out.reserve(values_.size());
    for (const auto& [k, v] : values_) out.push_back(v.name);
    return out;
}

const RegKey* RegKey::Find(const std::vector<std::string>& path) const {
    const RegKey* key = this;
    for (const std::string& name : path) {
        key = key->Child(name);
        if (!key) return nullptr;
    }
    return key;
}

RegKey* RegKey::Find(const std::vector<std::string>& path) {
    return const_cast<RegKey*>(static_cast<const RegKey*>(this)->Find(path));
}

bool RegKey::operator==(const RegKey& other) const {
    std::vector<std::pair<const RegKey*, const RegKey*>> todo{{this, &other}};
    while (!todo.empty()) {
        auto [a, b] = todo.back();
        todo.pop_back();
        if (a->name_ != b->name_ || a->values_.size() != b->values_.size() ||
            a->children_.size() != b->children_.size())
            return false;
        for (const auto& [k, v] : a->values_) {
            auto it = b->values_.find(k);
            if (it == b->values_.end() || it->second.name != v.name || !(it->second.value == v.value)) return false;
        }
        for (const auto& [k, c] : a->children_) {
            auto it = b->children_.find(k);
            if (it == b->children_.end()) return false;
            todo.emplace_back(c.get(), it->second.get());
        }
    }
    return true;
}

std::string QuoteRegText(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (IsControl(c)) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    out += '"';
    return out;
}

bool UnquoteRegText(std::string_view in, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= in.size() || in[pos] != '"') return false;
    for (size_t i = pos + 1; i < in.size(); ++i) {
        char c = in[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= in.size()) return false;
        switch (in[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (i + 2 >= in.size()) return false;
            int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += char(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

std::string FormatRegistry(const RegKey& root) {
    std::string out = "; veloran registry 1\n";
    // Depth first, children in name order. The stack holds the keys still to
    // write, next one on top, each with the length of its parent's path: all
    // keys written between its push and its pop lie below that parent, so
    // `path` then starts with the parent's path.
    std::vector<std::pair<const RegKey*, size_t>> todo{{&root, 0}};
    std::string path;
    while (!todo.empty()) {
        auto [key, parentLength] = todo.back();
        todo.pop_back();
        path.resize(parentLength);
        if (key != &root) {
            if (!path.empty()) path += '\\';
            path += key->name_;
        }
        FormatKeyEntries(*key, path, out);
        for (auto it = key->children_.rbegin(); it != key->children_.rend(); ++it)
            todo.emplace_back(it->second.get(), path.size());
    }
    return out;
}

RegKey ParseRegistry(std::string_view text, int* badLines) {
    RegKey root;
    RegKey* current = nullptr;
    int bad = 0;
    std::vector<std::string> names;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = TrimRight(TrimLeft(text.substr(start, end - start)));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 2 || !SplitKeyPath(line.substr(1, line.size() - 2), names)) {
                ++bad;
                continue;
            }
            current = &root;
            for (const std::string& n : names) current = &current->CreateChild(n);
            continue;
        }
        std::string name;
        RegValue value;
        if (!current || !ParseValueLine(line, name, value)) {
            ++bad;
            continue;
        }
        current->SetValue(name, std::move(value));
    }
    if (badLines) *badLines = bad;
    return root;
}

}  // namespace sys
