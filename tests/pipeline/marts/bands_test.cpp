// Score bands and value normalisers: boundaries, the YI marker in its spellings, missing-value
// texts, and the kinds of the columns that come back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tarvo/pipeline/marts/bands.hpp"

namespace {

using tarvo::core::Column;
using tarvo::core::Kind;
using tarvo::core::Value;
using namespace tarvo::marts;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Case {
    Value in;
    Value want;
    const char* what;
};

std::string show(const Value& v) {
    if (v.is_null()) return "null";
    std::string s(1, '\'');
    s += v.text_form();
    s += '\'';
    return s;
}

void expect_cases(Value (*op)(const Value&), const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        Value got = op(c.in);
        EXPECT_TRUE(got == c.want) << c.what << ": got " << show(got) << ", want " << show(c.want);
    }
}

TEST(FlowBands, LabelsInOrderAndSortedByText) {
    const std::vector<std::string> want = {"0-325", "325-500", "500-825", "825-1000", "YI"};
    ASSERT_EQ(FLOW_BANDS.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(FLOW_BANDS[i], want[i]);
    for (size_t i = 1; i < FLOW_BANDS.size(); ++i) EXPECT_LT(FLOW_BANDS[i - 1], FLOW_BANDS[i]);
}

TEST(ScoreToBand, SingleValues) {
    expect_cases(_score_to_band, {
        {324.9, "0-325", "324.9"},
        {325, "325-500", "lower bound 325"},
        {499.99, "325-500", "499.99"},
        {500, "500-825", "lower bound 500"},
        {824, "500-825", "824"},
        {825, "825-1000", "lower bound 825"},
        {1200, "825-1000", "above 1000"},
        {-5, "0-325", "negative"},
        {-0.5, "0-325", "small negative fraction"},
        {-1, "YI", "int -1"},
        {-1.0, "YI", "double -1.0"},
        {"YI", "YI", "text YI"},
        {"-1", "0-325", "text -1 is a number"},
        {" 612 ", "500-825", "spaces around a numeric text"},
        {"824.9", "500-825", "numeric text truncated"},
        {"1e3", "825-1000", "exponent text"},
        {"abc", nullptr, "letters"},
        {"", nullptr, "empty text"},
        {kNaN, nullptr, "NaN"},
        {"nan", nullptr, "text nan"},
        {" YI", nullptr, "YI with a leading space"},
        {nullptr, nullptr, "null"},
        {true, nullptr, "boolean"},
        {kInf, nullptr, "infinity"},
        {-kInf, nullptr, "negative infinity"},
        {"1e999", nullptr, "text that overflows to infinity"},
    });
}

TEST(ScoreToBandVec, MixedColumnKeepsOrderAndLength) {
    Column in = Column::from_values(
        {"YI", -1, "-1", 600, nullptr, "", "x", 824.5, -1.0, " 612 ", "None", "<NA>", "nan",
         kNaN, kInf, 325, 499.99, 1200, -5, true});
    const std::vector<Value> want = {"YI", "YI", "YI", "500-825", nullptr, nullptr, nullptr,
                                     "500-825", "0-325", "500-825", nullptr, nullptr, nullptr,
                                     nullptr, nullptr, "325-500", "325-500", "825-1000", "0-325",
                                     nullptr};
    Column got = _score_to_band_vec(in);
    EXPECT_EQ(got.kind(), Kind::str);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(got.get(i) == want[i]) << "row " << i << ": got " << show(got.get(i));

    std::vector<uint8_t> codes = _score_to_band_codes(in);
    ASSERT_EQ(codes.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(codes[i] == NO_BAND ? Value() : Value(FLOW_BANDS[codes[i]]), want[i]) << i;
}

TEST(ScoreToBandVec, TypedColumnsAndEmpty) {
    Column ints = _score_to_band_vec(Column::of_i64({-1, 0, std::nullopt, 825}));
    ASSERT_EQ(ints.size(), 4u);
    EXPECT_EQ(ints.get(0), Value("YI"));
    EXPECT_EQ(ints.get(1), Value("0-325"));
    EXPECT_TRUE(ints.is_null(2));
    EXPECT_EQ(ints.get(3), Value("825-1000"));

    Column reals = _score_to_band_vec(Column::of_f64({-1.0, 824.999, kNaN}));
    EXPECT_EQ(reals.get(0), Value("0-325"));  // text form "-1.0" is not the marker
    EXPECT_EQ(reals.get(1), Value("500-825"));
    EXPECT_TRUE(reals.is_null(2));

    Column empty = _score_to_band_vec(Column(Kind::mixed));
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.kind(), Kind::str);
}

TEST(SafeInt, SingleValues) {
    expect_cases(_safe_int, {
        {"None", nullptr, "text None"},
        {"<NA>", nullptr, "text <NA>"},
        {"nan", nullptr, "text nan"},
        {"", nullptr, "empty text"},
        {nullptr, nullptr, "null"},
        {"NaN", nullptr, "NaN with capitals"},
        {kNaN, nullptr, "double NaN"},
        {kInf, nullptr, "infinity"},
        {1e300, nullptr, "outside int64"},
        {"7", int64_t{7}, "text 7"},
        {7.9, int64_t{7}, "7.9 truncated"},
        {"12.7", int64_t{12}, "text 12.7"},
        {"-3.9", int64_t{-3}, "toward zero"},
        {"1e3", int64_t{1000}, "exponent"},
        {" 42 ", int64_t{42}, "surrounding spaces"},
        {int64_t{9007199254740993}, int64_t{9007199254740993}, "int unchanged"},
        {"abc", nullptr, "letters"},
        {true, nullptr, "boolean"},
    });
}

TEST(SafeIntSeries, CellsKeepTheirKindOfNumber) {
    Column got = _safe_int_series(Column::from_values(
        {12, 12.5, "7", " 8 ", "7.0", "1e3", "x", nullptr, kNaN, "nan", "", "+5", "-0", true,
         "99999999999999999999"}));
    const std::vector<Value> want = {int64_t{12}, 12.5,    int64_t{7}, int64_t{8}, 7.0,
                                     1000.0,      nullptr, nullptr,    nullptr,    nullptr,
                                     nullptr,     int64_t{5}, int64_t{0}, int64_t{1}, 1e20};
    EXPECT_EQ(got.kind(), Kind::mixed);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(got.get(i) == want[i]) << "row " << i << ": got " << show(got.get(i));
}

TEST(SafeIntSeries, ResultKinds) {
    struct KindCase {
        Column in;
        Kind want;
        const char* what;
    };
    const std::vector<KindCase> cases = {
        {Column::of_str({"1", "2", std::nullopt}), Kind::i64, "whole texts"},
        {Column::of_str({"1.5", "x"}), Kind::f64, "fractional text"},
        {Column::of_f64({1.0, kNaN}), Kind::f64, "doubles stay doubles"},
        {Column::of_i64({std::nullopt}), Kind::i64, "all-null int column"},
        {Column::of_str({"a", std::nullopt}), Kind::f64, "no number at all"},
    };
    for (const auto& c : cases) EXPECT_EQ(_safe_int_series(c.in).kind(), c.want) << c.what;

    Column nulls = _safe_int_series(Column::of_f64({kNaN, 2.0}));
    EXPECT_TRUE(nulls.is_null(0));
    EXPECT_EQ(nulls.text_form(0), "nan");
    EXPECT_EQ(_safe_int_series(Column(Kind::mixed)).size(), 0u);
}

TEST(CleanStr, SingleValues) {
    expect_cases(_clean_str, {
        {"", "", "empty text stays"},
        {"  Acme A.S.  ", "  Acme A.S.  ", "no trimming"},
        {12, "12", "int"},
        {12.0, "12.0", "whole double keeps its point"},
        {"nan", nullptr, "text nan"},
        {"None", nullptr, "text None"},
        {"<NA>", nullptr, "text <NA>"},
        {"NaN", "NaN", "only the three markers count"},
        {kNaN, nullptr, "double NaN"},
        {nullptr, nullptr, "null"},
        {true, "True", "boolean"},
        {"ŞUBE İZMİR", "ŞUBE İZMİR", "non-ASCII text unchanged"},
    });
}

}  // namespace
