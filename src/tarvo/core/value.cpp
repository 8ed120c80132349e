#include "tarvo/core/value.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "tarvo/core/text.hpp"

namespace tarvo::core {

const char* kind_name(Kind k) {
    switch (k) {
        case Kind::boolean: return "boolean";
        case Kind::i64: return "i64";
        case Kind::f64: return "f64";
        case Kind::str: return "str";
        case Kind::mixed: return "mixed";
    }
    return "?";
}

const char* null_text(Kind k) {
    switch (k) {
        case Kind::f64: return "nan";
        case Kind::i64: return "<NA>";
        default: return "None";
    }
}

double Value::to_double() const {
    if (is_int()) return static_cast<double>(as_int());
    if (is_bool()) return as_bool() ? 1.0 : 0.0;
    return as_double();
}

std::string Value::text_form(Kind null_kind) const {
    struct Visitor {
        Kind null_kind;
        std::string operator()(Null) const { return null_text(null_kind); }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(int64_t v) const { return std::to_string(v); }
        std::string operator()(double v) const { return format_double(v); }
        std::string operator()(const std::string& s) const { return s; }
    };
    return std::visit(Visitor{null_kind}, v_);
}

namespace {

// "-12.5" for (-125, 1), "0.0728" for (728, 4), "7.0" for (7, 0): a whole number of units of
// 10^-decimals written with the point in place.
void append_decimal(std::string& out, int64_t units, int decimals) {
    if (units < 0) out += '-';
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, units < 0 ? -units : units);
    const std::string_view digits(buf, static_cast<size_t>(res.ptr - buf));
    const auto d = static_cast<size_t>(decimals);
    if (d == 0) {
        out += digits;
        out += ".0";
    } else if (digits.size() <= d) {
        out += "0.";
        out.append(d - digits.size(), '0');
        out += digits;
    } else {
        out += digits.substr(0, digits.size() - d);
        out += '.';
        out += digits.substr(digits.size() - d);
    }
}

}  // namespace

void append_double(std::string& out, double x) {
    if (std::isnan(x)) {
        out += "nan";
        return;
    }
    if (std::isinf(x)) {
        out += x > 0 ? "inf" : "-inf";
        return;
    }
    if (x == 0) {
        out += std::signbit(x) ? "-0.0" : "0.0";
        return;
    }
    // Between 1e-4 and 1e16 the number is written positionally. A scoreboard of a million firms
    // writes tens of millions of these (taking their scientific form apart was a twentieth of the
    // run's processor time), mostly whole numbers and amounts with a decimal or two.
    if (const double magnitude = std::fabs(x); magnitude >= 1e-4 && magnitude < 1e16) {
        // With at most four decimals, below 10^15: the fewest d for which the integer nearest
        // x * 10^d, divided by 10^d, gives x back. Below 2^50 that integer is the one the shortest
        // digits spell (no other with d decimals lies within the number's rounding interval), and
        // the division of two exact numbers rounds as reading the text back does.
        static constexpr double kTen[] = {1, 10, 100, 1000, 10000};
        for (int d = 0; d <= 4 && magnitude < 1e15 && magnitude * kTen[d] < 0x1.0p50; ++d) {
            const double scaled = std::nearbyint(x * kTen[d]);
            if (scaled / kTen[d] != x) continue;
            append_decimal(out, static_cast<int64_t>(scaled), d);
            return;
        }
        // Otherwise the shortest round-trip digits in fixed notation are those digits with the
        // point in place.
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed);
        const std::string_view fixed(buf, static_cast<size_t>(res.ptr - buf));
        out += fixed;
        if (fixed.find('.') == std::string_view::npos) out += ".0";
        return;
    }

    // Shortest round-trip digits in scientific form, e.g. "1.2345e+02", taken apart without
    // allocating: a large scoreboard writes millions of these.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const size_t epos = sci.find('e');
    char digit_buf[32];
    size_t n_digits = 0;
    for (char c : sci.substr(0, epos))
        if (c != '.') digit_buf[n_digits++] = c;
    const std::string_view digits(digit_buf, n_digits);
    const bool exp_negative = sci[epos + 1] == '-';
    int exp = 0;
    for (char c : sci.substr(epos + 2)) exp = exp * 10 + (c - '0');
    if (exp_negative) exp = -exp;

    if (exp >= -4 && exp < 16) {
        const int point = exp + 1;  // digits before the decimal point
        if (point <= 0) {
            out += "0.";
            out.append(static_cast<size_t>(-point), '0');
            out += digits;
        } else if (static_cast<size_t>(point) >= digits.size()) {
            out += digits;
            out.append(static_cast<size_t>(point) - digits.size(), '0');
            out += ".0";
        } else {
            out += digits.substr(0, static_cast<size_t>(point));
            out += '.';
            out += digits.substr(static_cast<size_t>(point));
        }
        return;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1) {
        out += '.';
        out += digits.substr(1);
    }
    out += 'e';
    out += exp < 0 ? '-' : '+';
    const int exp_size = exp < 0 ? -exp : exp;
    if (exp_size < 10) out += '0';
    char ebuf[8];
    const auto eres = std::to_chars(ebuf, ebuf + sizeof ebuf, exp_size);
    out.append(ebuf, eres.ptr);
}

std::string format_double(double x) {
    std::string out;
    append_double(out, x);
    return out;
}

std::string group_thousands(int64_t n) {
    std::string digits = std::to_string(n);
    size_t start = (n < 0) ? 1 : 0;
    std::string out;
    size_t len = digits.size() - start;
    for (size_t i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0) out += ',';
        out += digits[start + i];
    }
    return (n < 0 ? "-" : "") + out;
}

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::optional<double> parse_number(std::string_view text) {
    std::string_view t = trim_view(text);
    size_t i = 0, n = t.size();
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    size_t d0 = i;
    while (i < n && is_digit(t[i])) ++i;
    if (i == d0) return std::nullopt;
    if (i < n && t[i] == '.') {
        ++i;
        size_t f0 = i;
        while (i < n && is_digit(t[i])) ++i;
        if (i == f0) return std::nullopt;
    }
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        size_t e0 = i;
        while (i < n && is_digit(t[i])) ++i;
        if (i == e0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    std::string s(t);
    return std::strtod(s.c_str(), nullptr);
}

std::optional<double> to_number(const Value& v) {
    if (v.is_null()) return std::nullopt;
    if (v.is_text()) return parse_number(v.as_text());
    double d = v.to_double();
    if (std::isnan(d)) return std::nullopt;
    return d;
}

std::string fixed_text(double x, int decimals) {
    // 309 digits before the point at most, a sign, the point and at most 100 decimals.
    char buf[420];
    const std::to_chars_result written =
        std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, std::clamp(decimals, 0, 100));
    return std::string(buf, written.ptr);
}

double round_half_even(double x, int decimals) {
    if (!std::isfinite(x)) return x;
    // Whole numbers: the default rounding mode rounds to nearest, ties to even.
    if (decimals == 0) return std::nearbyint(x);
    // Fixed notation rounds the exact binary value correctly (at a fraction of printf's cost),
    // and reading it back gives the nearest double.
    const std::string text = fixed_text(x, decimals);
    double r = 0;
    std::from_chars(text.data(), text.data() + text.size(), r);
    if (r == 0) r = std::copysign(0.0, x);
    return r;
}

std::optional<int64_t> truncate_to_int(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    double t = std::trunc(x);
    if (t < -9.2233720368547758e18 || t >= 9.2233720368547758e18) return std::nullopt;
    return static_cast<int64_t>(t);
}

bool is_missing_marker(std::string_view t) { return t == "None" || t == "<NA>" || t == "nan"; }

bool is_missing_text(std::string_view t, bool with_nat) {
    return t.empty() || is_missing_marker(t) || t == "NaN" || (with_nat && t == "NaT");
}

}  // namespace tarvo::core
