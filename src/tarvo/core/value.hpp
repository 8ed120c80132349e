// Scalar values and their text forms.
//
// A `Value` is null | bool | int64 | double | UTF-8 text. Many rules of the pipeline depend on a
// value's *text form*, so it is defined here once:
//   ints in decimal; doubles as the shortest text that reads back exactly, with ".0" on whole
//   values ("123.0"), exponent form below 1e-4 or from 1e16 ("1e-05", "1e+16"), and "nan",
//   "inf", "-inf"; booleans "True"/"False"; a null's text form depends on the kind of column
//   it sits in ("nan" for floating point, "<NA>" for nullable integers, "None" elsewhere).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tarvo::core {

// The kind of a column (and of a value's storage). `mixed` columns hold cells of several kinds.
enum class Kind { boolean, i64, f64, str, mixed };

// Short names so code reads `ids.astype(str)`.
inline constexpr Kind boolean = Kind::boolean;
inline constexpr Kind i64 = Kind::i64;
inline constexpr Kind f64 = Kind::f64;
inline constexpr Kind str = Kind::str;
inline constexpr Kind mixed = Kind::mixed;

const char* kind_name(Kind k);

struct Null {
    bool operator==(const Null&) const = default;
};

class Value {
public:
    using Storage = std::variant<Null, bool, int64_t, double, std::string>;

    Value() = default;
    Value(Null) {}
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int v) : v_(int64_t{v}) {}
    Value(int64_t v) : v_(v) {}
    Value(double v) : v_(v) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(const char* s) : v_(std::string(s)) {}

    bool is_null() const { return std::holds_alternative<Null>(v_); }
    bool is_bool() const { return std::holds_alternative<bool>(v_); }
    bool is_int() const { return std::holds_alternative<int64_t>(v_); }
    bool is_double() const { return std::holds_alternative<double>(v_); }
    bool is_text() const { return std::holds_alternative<std::string>(v_); }
    // A number in the arithmetic sense: int, double or bool.
    bool is_number() const { return is_int() || is_double() || is_bool(); }

    bool as_bool() const { return std::get<bool>(v_); }
    int64_t as_int() const { return std::get<int64_t>(v_); }
    double as_double() const { return std::get<double>(v_); }
    const std::string& as_text() const { return std::get<std::string>(v_); }
    // Numeric value of an int, double or bool (0/1); requires is_number().
    double to_double() const;

    const Storage& storage() const { return v_; }

    // Text form; `null_kind` decides how a null is written (see file comment).
    std::string text_form(Kind null_kind = Kind::mixed) const;

    // Equality of kind and value (1 != 1.0 != "1"), as the pipeline's set lookups need.
    bool operator==(const Value& o) const { return v_ == o.v_; }

private:
    Storage v_;
};

// Text form of a double: shortest round-trip digits, ".0" on whole values, exponent form
// below 1e-4 or from 1e16, "nan", "inf", "-inf".
std::string format_double(double x);
// The same text appended to `out`.
void append_double(std::string& out, double x);
// x in fixed notation to `decimals` places (0 to 100) as printf's "%.*f" writes it: the exact
// binary value correctly rounded, exact ties to even ("2.67" for 2.675 at 2 places, "-0" for -0.3).
std::string fixed_text(double x, int decimals);

// Text form of a null sitting in a column of the given kind: "nan", "<NA>" or "None".
const char* null_text(Kind k);

// "1234567" -> "1,234,567" (and "-1,234" for negatives).
std::string group_thousands(int64_t n);

// Strict number conversion: surrounding ASCII/Unicode whitespace is trimmed, then the text must
// match [+-]?[0-9]+(\.[0-9]+)?([eE][+-]?[0-9]+)? in full. Anything else (".5", "5.", "inf",
// "nan", "1_000", "1,5") is not a number.
std::optional<double> parse_number(std::string_view text);

// Number conversion of a value: numbers unchanged (bool as 0/1), text through parse_number,
// null and NaN give nothing.
std::optional<double> to_number(const Value& v);

// Rounding to `decimals` places: correct rounding of the exact binary value, exact halves to
// the even neighbour (12.345 -> 12.35, 2.675 -> 2.67, 0.125 -> 0.12, 2.5 -> 2 at 0 places).
double round_half_even(double x, int decimals = 0);

// Truncation toward zero to a whole number; nothing for NaN, infinities and values outside
// the int64 range.
std::optional<int64_t> truncate_to_int(double x);

// True for the text forms a null takes in a column ("None", "<NA>", "nan", see null_text): such a
// text stands for a missing value wherever a value is normalised.
bool is_missing_marker(std::string_view t);

// True for the texts that stand for a missing value when cleaning: "", the missing markers,
// "NaN" (and "NaT" when `with_nat`).
bool is_missing_text(std::string_view t, bool with_nat = false);

}  // namespace tarvo::core
