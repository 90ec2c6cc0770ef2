// fpreal4: a real number held as a signed 32-bit integer of value x 10000.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

class fpreal4 {
public:
    constexpr fpreal4() = default;
    constexpr explicit fpreal4(int32_t raw) : raw_(raw) {}
    static fpreal4 FromDouble(double v) { return fpreal4(int32_t(std::lround(v * 10000.0))); }

    constexpr int32_t Raw() const { return raw_; }
    constexpr operator int32_t() const { return raw_; }
    constexpr double Value() const { return raw_ * 0.0001; }

    constexpr fpreal4 operator+(fpreal4 o) const { return fpreal4(raw_ + o.raw_); }
    constexpr fpreal4 operator-(fpreal4 o) const { return fpreal4(raw_ - o.raw_); }
    // Products and quotients round to the nearest 1/10000, halves away from zero.
    constexpr fpreal4 operator*(fpreal4 o) const { return fpreal4(Round(int64_t(raw_) * o.raw_, 10000)); }
    constexpr fpreal4 operator/(fpreal4 o) const {
        return o.raw_ == 0 ? fpreal4(0) : fpreal4(Round(int64_t(raw_) * 10000, o.raw_));
    }

    // Text form with four decimals and no trailing zeros ("1.5", "-0.0001", "2"), C locale.
    std::string ToString() const {
        char buf[32];
        int64_t r = raw_;
        const char* sign = r < 0 ? "-" : "";
        if (r < 0) r = -r;
        std::snprintf(buf, sizeof buf, "%s%lld.%04lld", sign, (long long)(r / 10000), (long long)(r % 10000));
        std::string s(buf);
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
        return s;
    }

private:
    static constexpr int32_t Round(int64_t n, int64_t d) {
        if (d < 0) n = -n, d = -d;
        return int32_t(n >= 0 ? (n + d / 2) / d : (n - d / 2) / d);
    }
    int32_t raw_ = 0;
};
