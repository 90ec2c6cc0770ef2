// DVI opcodes and the lengths of their parameters: the one table that the
// reader's page scanner, the progressive stream scanner and the page
// interpreter share. Each of them keeps its own rules about which opcodes it
// accepts where; this header only says how the bytes are laid out.
#pragma once

#include <array>
#include <cstdint>

namespace dviop {

enum : uint8_t {
    SetChar0 = 0,
    SetChar127 = 127,
    Set1 = 128, Set2, Set3, Set4,
    SetRule = 132,
    Put1 = 133, Put2, Put3, Put4,
    PutRule = 137,
    Nop = 138,
    Bop = 139,
    Eop = 140,
    Push = 141,
    Pop = 142,
    Right1 = 143, Right2, Right3, Right4,
    W0 = 147, W1, W2, W3, W4,
    X0 = 152, X1, X2, X3, X4,
    Down1 = 157, Down2, Down3, Down4,
    Y0 = 161, Y1, Y2, Y3, Y4,
    Z0 = 166, Z1, Z2, Z3, Z4,
    FntNum0 = 171,
    FntNum63 = 234,
    Fnt1 = 235, Fnt2, Fnt3, Fnt4,
    Xxx1 = 239, Xxx2, Xxx3, Xxx4,
    FntDef1 = 243, FntDef2, FntDef3, FntDef4,
    Pre = 247,
    Post = 248,
    PostPost = 249,
};

// The identification byte of the DVI format written by TeX.
constexpr int kDviId = 2;
// Fill byte after the post_post pointer and identification.
constexpr int kTrailerFill = 223;

// Bytes of an opcode's parameters that have a fixed length. For opcodes whose
// parameters go on with a variable part, the fixed part is given and
// VariableKind says how the rest is found:
//  - Xxx1..Xxx4: the fixed part is the length k[1..4]; k bytes follow.
//  - FntDef1..FntDef4: font number[1..4], checksum[4], s[4], d[4], a[1], l[1];
//    a + l bytes follow.
//  - Pre: i[1], num[4], den[4], mag[4], k[1]; k bytes follow.
// Opcodes 250 to 255 are undefined: their entry is kUndefined.
constexpr int kUndefined = -1;

enum class Variable : uint8_t { None, Special, FontDef, Preamble };

struct OpInfo {
    int8_t params;      // fixed parameter bytes, or kUndefined
    Variable variable;  // how a variable part follows
};

constexpr std::array<OpInfo, 256> MakeOpTable() {
    std::array<OpInfo, 256> t{};
    for (int op = 0; op < 256; ++op) t[op] = {0, Variable::None};
    auto sized = [&](int first, int n1) {  // first .. first+3 take 1..4 bytes
        for (int i = 0; i < 4; ++i) t[first + i] = {int8_t(n1 + i), Variable::None};
    };
    sized(Set1, 1);
    sized(Put1, 1);
    sized(Right1, 1);
    sized(W1, 1);
    sized(X1, 1);
    sized(Down1, 1);
    sized(Y1, 1);
    sized(Z1, 1);
    sized(Fnt1, 1);
    t[SetRule] = {8, Variable::None};
    t[PutRule] = {8, Variable::None};
    t[Bop] = {44, Variable::None};
    for (int i = 0; i < 4; ++i) t[Xxx1 + i] = {int8_t(1 + i), Variable::Special};
    for (int i = 0; i < 4; ++i) t[FntDef1 + i] = {int8_t(1 + i + 14), Variable::FontDef};
    t[Pre] = {14, Variable::Preamble};
    t[Post] = {28, Variable::None};
    t[PostPost] = {5, Variable::None};
    for (int op = 250; op < 256; ++op) t[op] = {kUndefined, Variable::None};
    return t;
}

inline constexpr std::array<OpInfo, 256> kOpTable = MakeOpTable();

constexpr int ParamLength(uint8_t op) { return kOpTable[op].params; }
constexpr Variable VariablePart(uint8_t op) { return kOpTable[op].variable; }

// For Xxx1..4 and FntDef1..4: how many bytes the length or font number takes.
constexpr int SizeByte(uint8_t op) {
    return op >= FntDef1 && op <= FntDef4 ? op - FntDef1 + 1
         : op >= Xxx1 && op <= Xxx4       ? op - Xxx1 + 1
                                          : 0;
}

static_assert(ParamLength(Bop) == 44 && ParamLength(Right3) == 3 && ParamLength(FntDef2) == 16);
static_assert(ParamLength(W0) == 0 && ParamLength(Z4) == 4 && ParamLength(Fnt4) == 4);
static_assert(ParamLength(255) == kUndefined && ParamLength(Post) == 28);

} // namespace dviop
