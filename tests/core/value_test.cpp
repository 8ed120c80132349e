#include "tarvo/core/value.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/text.hpp"

namespace {

using namespace tarvo::core;

TEST(ValueTextForm, NumbersBooleansAndNulls) {
    struct Case {
        Value v;
        Kind null_kind;
        const char* text;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {Value(int64_t{123}), Kind::mixed, "123"},
        {Value(int64_t{-5}), Kind::mixed, "-5"},
        {Value(123.0), Kind::mixed, "123.0"},
        {Value(1500000.0), Kind::mixed, "1500000.0"},
        {Value(0.1), Kind::mixed, "0.1"},
        {Value(1.0 / 3), Kind::mixed, "0.3333333333333333"},
        {Value(1e16), Kind::mixed, "1e+16"},
        {Value(1.5e16), Kind::mixed, "1.5e+16"},
        {Value(9999999999999998.0), Kind::mixed, "9999999999999998.0"},
        {Value(1e-5), Kind::mixed, "1e-05"},
        {Value(0.0001), Kind::mixed, "0.0001"},
        {Value(-0.0), Kind::mixed, "-0.0"},
        {Value(1e100), Kind::mixed, "1e+100"},
        {Value(-1.5e-7), Kind::mixed, "-1.5e-07"},
        {Value(-123.456), Kind::mixed, "-123.456"},
        {Value(5e-324), Kind::mixed, "5e-324"},
        {Value(1.7976931348623157e308), Kind::mixed, "1.7976931348623157e+308"},
        {Value(std::nan("")), Kind::mixed, "nan"},
        {Value(inf), Kind::mixed, "inf"},
        {Value(-inf), Kind::mixed, "-inf"},
        {Value(true), Kind::mixed, "True"},
        {Value(false), Kind::mixed, "False"},
        {Value(), Kind::f64, "nan"},
        {Value(), Kind::i64, "<NA>"},
        {Value(), Kind::str, "None"},
        {Value(" x "), Kind::str, " x "},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.text_form(c.null_kind), c.text);
}

// Pseudo-random 64-bit words, the same sequence on every run.
struct XorShift {
    uint64_t state;
    uint64_t operator()() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// The text of a number, by the textbook route: the fewest significant digits whose "%.*e" reads
// back as the number, written positionally from 1e-4 up to 1e16 and in scientific form outside.
std::string text_by_printf(double x) {
    char buf[64];
    for (int precision = 0; precision < 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*e", precision, x);
        if (std::strtod(buf, nullptr) == x) break;
    }
    const std::string sci = buf;  // "-d.ddde+XX"
    const bool negative = sci[0] == '-';
    const size_t e = sci.find('e');
    std::string digits;
    for (size_t i = negative ? 1 : 0; i < e; ++i)
        if (sci[i] != '.') digits += sci[i];
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int exp = std::atoi(sci.c_str() + e + 1);
    std::string out = negative ? "-" : "";
    if (exp < -4 || exp >= 16) {
        out += digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "");
        char ebuf[16];
        std::snprintf(ebuf, sizeof ebuf, "e%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
        return out + ebuf;
    }
    if (exp < 0) return out + "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
    const auto point = static_cast<size_t>(exp) + 1;
    if (point >= digits.size()) return out + digits + std::string(point - digits.size(), '0') + ".0";
    return out + digits.substr(0, point) + "." + digits.substr(point);
}

// Numbers of every size, whole and not, and the edges where the written form changes, agree with
// the textbook route.
TEST(ValueTextForm, NumbersAgreeWithTheShortestPrintfDigits) {
    XorShift next{2463534242u};
    std::vector<double> values = {1e-4, std::nextafter(1e-4, 0.0), 1e16, std::nextafter(1e16, 0.0), 0x1.0p53,
                                  0x1.0p53 + 2, 0x1.0p52 + 1, 0.1 + 0.2, 207999396.8, 211999385.20000002, 0.0728};
    for (int i = 0; i < 40000; ++i) {
        const double mantissa = static_cast<double>(next() >> 11) * 0x1.0p-53;  // [0, 1)
        const int exponent = static_cast<int>(next() % 26) - 7;
        const double x = (next() & 1 ? -1 : 1) * mantissa * std::pow(10.0, exponent);
        values.push_back(x);
        values.push_back(std::trunc(x));                              // whole numbers
        values.push_back(std::round(x * 10) / 10);                    // a decimal or two
        values.push_back(static_cast<double>(next() % 100000) / 1e4);  // small decimals down to 1e-4
    }
    for (const double x : values) {
        if (x == 0) continue;
        ASSERT_EQ(format_double(x), text_by_printf(x)) << std::hexfloat << x;
    }
}

TEST(NumberConversion, AcceptsOnlyPlainDecimalText) {
    struct Case {
        const char* text;
        std::optional<double> number;
    };
    const Case cases[] = {
        {"12", 12},       {" 12.5 ", 12.5}, {"-3", -3},       {"+4", 4},
        {"1e3", 1000},    {"1.5E-2", 0.015}, {"00123", 123},  {".5", std::nullopt},
        {"5.", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt}, {"1_000", std::nullopt},
        {"1,5", std::nullopt}, {"0x10", std::nullopt}, {"", std::nullopt}, {"1.234.567", std::nullopt},
        {"\xC2\xA0" "7", 7},  // a no-break space is white space too
    };
    for (const auto& c : cases) EXPECT_EQ(parse_number(c.text), c.number) << c.text;
}

TEST(Rounding, HalfToEvenOnTheExactBinaryValue) {
    struct Case {
        double x;
        int decimals;
        double expected;
    };
    const Case cases[] = {
        {2.5, 0, 2},      {3.5, 0, 4},        {512.5, 0, 512},    {513.5, 0, 514},
        {-2.5, 0, -2},    {0.125, 2, 0.12},   {12.345, 2, 12.35}, {2.675, 2, 2.67},
        {71.456, 2, 71.46}, {0.123456, 4, 0.1235}, {71.456, 0, 71},
    };
    for (const auto& c : cases) EXPECT_EQ(round_half_even(c.x, c.decimals), c.expected) << c.x;
}

// The rounding must give what printf's fixed notation read back by strtod gives, bit for bit, on
// values of every size, on exact ties and next to them.
TEST(Rounding, AgreesWithPrintfBitForBit) {
    const auto by_printf = [](double x, int decimals) {
        char buf[512];
        std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
        const double r = std::strtod(buf, nullptr);
        return r == 0 ? std::copysign(0.0, x) : r;
    };
    XorShift next{88172645463325252u};
    std::vector<double> values = {0.5, 1.5, 0.125, 0.375, 2.675, 1e-300, -0.0, 123456789.98765, 0.00005, -0.00005,
                                  9007199254740993.0, 1e22, -1e300};
    for (int i = 0; i < 200000; ++i) {
        const double mantissa = static_cast<double>(next() >> 11) * 0x1.0p-53;  // [0, 1)
        const int exponent = static_cast<int>(next() % 40) - 20;
        const double x = (next() & 1 ? -1 : 1) * mantissa * std::pow(10.0, exponent);
        values.push_back(x);
        values.push_back(std::nextafter(x, 1e300));
        values.push_back(std::round(x * 16) / 16);  // exact binary ties at several places
    }
    for (const double x : values)
        for (const int decimals : {0, 1, 2, 4, 6})
            ASSERT_EQ(std::bit_cast<uint64_t>(round_half_even(x, decimals)), std::bit_cast<uint64_t>(by_printf(x, decimals)))
                << x << " to " << decimals << " places";
}

TEST(Truncation, TowardZeroAndNothingForNonFinite) {
    EXPECT_EQ(truncate_to_int(12.7), 12);
    EXPECT_EQ(truncate_to_int(-12.7), -12);
    EXPECT_EQ(truncate_to_int(std::nan("")), std::nullopt);
    EXPECT_EQ(truncate_to_int(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(truncate_to_int(1e30), std::nullopt);
}

TEST(Grouping, ThousandsWithCommas) {
    EXPECT_EQ(group_thousands(0), "0");
    EXPECT_EQ(group_thousands(999), "999");
    EXPECT_EQ(group_thousands(1000), "1,000");
    EXPECT_EQ(group_thousands(1234567), "1,234,567");
    EXPECT_EQ(group_thousands(-1234), "-1,234");
}

TEST(Text, UnicodeCaseMappingAndTrimming) {
    EXPECT_EQ(to_lower("\xC4\xB0HT\xC4\xB0MAL"), "i\xCC\x87ht" "i\xCC\x87mal");  // İHTİMAL
    EXPECT_EQ(to_lower("IHTIMAL"), "ihtimal");
    EXPECT_EQ(to_upper("c\xC4\xB1ss_x"), "CISS_X");  // cıss_x
    EXPECT_EQ(trim("\t a b \n"), "a b");
    EXPECT_EQ(trim("\xE2\x80\x83x\xE3\x80\x80"), "x");  // em space, ideographic space
}

TEST(Column, AstypeStrWritesNullsByKind) {
    Column f = Column::of_f64({1.0, std::nullopt});
    Column i = Column::of_i64({7, std::nullopt});
    Column s = Column::of_str({"a", std::nullopt});
    EXPECT_EQ(f.astype(str).text_at(1), "nan");
    EXPECT_EQ(f.astype(str).text_at(0), "1.0");
    EXPECT_EQ(i.astype(str).text_at(1), "<NA>");
    EXPECT_EQ(s.astype(str).text_at(1), "None");
    EXPECT_FALSE(s.astype(str).is_null(1));
}

TEST(Column, KindsWidenAndTextCellsStayIndependent) {
    Column c(Kind::i64);
    c.push_int(1);
    c.push_double(2.5);
    EXPECT_EQ(c.kind(), Kind::f64);
    EXPECT_EQ(c.get(0), Value(1.0));
    c.push_text("YI");
    EXPECT_EQ(c.kind(), Kind::mixed);

    Column r = Column::repeat(Value("x"), 3);
    r.set(1, Value("y"));
    EXPECT_EQ(r.get(0), Value("x"));
    EXPECT_EQ(r.get(1), Value("y"));
    Column t = r.take({2, 1});
    EXPECT_EQ(t.get(1), Value("y"));
}

// Each cell as its storage and text ("int 7", "double 7.0", "null nan"), and the column's kind.
std::vector<std::string> cells_of(const Column& c) {
    std::vector<std::string> out = {kind_name(c.kind())};
    for (size_t i = 0; i < c.size(); ++i) {
        const Value v = c.get(i);
        const char* storage = v.is_null() ? "null" : v.is_bool() ? "bool" : v.is_int() ? "int" : v.is_double() ? "double" : "text";
        out.push_back(std::string(storage) + " " + c.text_form(i));
    }
    return out;
}

TEST(Column, AstypeOfAMovedColumnGivesTheCopysResult) {
    // Kept as they stand only when the cells already have the kind's storage; every other case
    // converts as the copy does.
    Column pivoted(Kind::mixed, 4);  // doubles set into a column of nulls
    pivoted.set_double(1, -0.0);
    pivoted.set_double(3, 2.5);
    const std::vector<std::pair<Column, Kind>> cases = {
        {pivoted, f64},
        {pivoted, i64},
        {pivoted, mixed},
        {pivoted, str},
        {Column::of_i64({1, std::nullopt, -3}), f64},
        {Column::of_i64({1, std::nullopt, -3}), i64},
        {Column::of_f64({1.0, std::numeric_limits<double>::quiet_NaN(), std::nullopt}), f64},
        {Column::of_f64({2.0, std::nullopt}), i64},
        {Column::of_str({"4", std::nullopt}), f64},
        {Column::of_str({"4", std::nullopt}), mixed},
        {Column::from_values({true, nullptr}), f64},
        {Column::from_values({int64_t{1}, 2.5, nullptr}), f64},
        {Column(Kind::str, 2), f64},
        {Column(Kind::str, 2), i64},
        {Column(Kind::str, 2), str},
        {Column(Kind::f64), i64},
    };
    // The cells made, or the error raised.
    const auto outcome = [](auto convert) -> std::vector<std::string> {
        try {
            return cells_of(convert());
        } catch (const ValueError& e) {
            return {std::string("error: ") + e.what()};
        }
    };
    for (size_t k = 0; k < cases.size(); ++k) {
        const Column& column = cases[k].first;
        const Kind kind = cases[k].second;
        EXPECT_EQ(outcome([&] { return Column(column).astype(kind); }), outcome([&] { return column.astype(kind); }))
            << "case " << k;
    }
}

TEST(Column, NumericConversionFailsOrCoerces) {
    Column s = Column::of_str({"1", "x", std::nullopt});
    EXPECT_THROW(s.astype(f64), ValueError);
    Column n = s.to_numeric();
    EXPECT_EQ(n.get(0), Value(1.0));
    EXPECT_TRUE(n.is_null(1));
    EXPECT_TRUE(n.is_null(2));
    EXPECT_THROW(Column::of_f64({1.5}).astype(i64), ValueError);
    EXPECT_EQ(Column::of_f64({2.0}).astype(i64).get(0), Value(int64_t{2}));
}

}  // namespace
