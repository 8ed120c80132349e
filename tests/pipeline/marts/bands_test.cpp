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

// The scalar and the column band rule differ on purpose on the -1 sentinel; everywhere else
// they agree. A change to either rule that makes them "consistent" breaks the outputs.
TEST(ScoreBandRules, ScalarAndColumnRulesDifferOnlyOnTheSentinel) {
    struct RuleCase {
        Value in;
        Value scalar, column;
        const char* what;
    };
    const std::vector<RuleCase> cases = {
        {-1, "YI", "YI", "int -1"},
        {-1.0, "YI", "0-325", "double -1.0: numeric equality vs text form \"-1.0\""},
        {"-1", "0-325", "YI", "text -1: a number vs the marker's text form"},
        {"-1.0", "0-325", "0-325", "text -1.0 is a number for both"},
        {" -1", "0-325", "0-325", "text -1 with a blank is a number for both"},
        {-1.5, "0-325", "0-325", "a fraction below -1"},
        {"YI", "YI", "YI", "text YI"},
        {" YI", nullptr, nullptr, "YI with a blank"},
        {324.9, "0-325", "0-325", "fraction below a bound: truncated or not, same band"},
        {499.999, "325-500", "325-500", "fraction just below 500"},
        {824.5, "500-825", "500-825", "fraction just below 825"},
        {true, nullptr, nullptr, "boolean"},
        {"", nullptr, nullptr, "empty text"},
        {nullptr, nullptr, nullptr, "null"},
    };
    std::vector<Value> column_cells;
    for (const RuleCase& c : cases) column_cells.push_back(c.in);
    const Column column = _score_to_band_vec(Column::from_values(column_cells));
    ASSERT_EQ(column.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const RuleCase& c = cases[i];
        EXPECT_EQ(show(_score_to_band(c.in)), show(c.scalar)) << "scalar rule, " << c.what;
        EXPECT_EQ(show(column.get(i)), show(c.column)) << "column rule, " << c.what;
    }
}

// The band labels name the thresholds the scores are banded by.
TEST(ScoreBandRules, LabelsNameTheThresholds) {
    using namespace tarvo::core;
    const std::vector<std::pair<int, std::string>> lower_bounds = {
        {SCORE_ELEVATED, "325-500"}, {SCORE_WARNING, "500-825"}, {SCORE_HIGH, "825-1000"}};
    for (const auto& [bound, label] : lower_bounds) {
        const uint8_t band = band_of_number(bound);
        EXPECT_EQ(FLOW_BANDS[band], label) << bound;
        EXPECT_EQ(band_of_number(bound - 1), band - 1) << bound;
        EXPECT_TRUE(FLOW_BANDS[band - 1].ends_with("-" + std::to_string(bound))) << FLOW_BANDS[band - 1];
    }
}

// How a score cell is read: the marker by its text form, numbers as they are, texts through the
// strict number reading; the kinds the band rule and the trending lists build on.
TEST(ScoreCells, ReadByTextForm) {
    using tarvo::core::ScoreCellKind;
    struct CellCase {
        Value in;
        ScoreCellKind kind;
        double number;
    };
    const std::vector<CellCase> cases = {
        {-1, ScoreCellKind::yi, 0},        {"-1", ScoreCellKind::yi, 0},
        {"YI", ScoreCellKind::yi, 0},      {-1.0, ScoreCellKind::number, -1},
        {"-1.0", ScoreCellKind::number, -1}, {" 612 ", ScoreCellKind::number, 612},
        {"1e3", ScoreCellKind::number, 1000}, {824.5, ScoreCellKind::number, 824.5},
        {int64_t{900}, ScoreCellKind::number, 900}, {true, ScoreCellKind::flag, 1},
        {false, ScoreCellKind::flag, 0},   {" YI", ScoreCellKind::none, 0},
        {"yi", ScoreCellKind::none, 0},    {"1e999", ScoreCellKind::none, 0},
        {kNaN, ScoreCellKind::none, 0},    {kInf, ScoreCellKind::none, 0},
        {"None", ScoreCellKind::none, 0},  {"", ScoreCellKind::none, 0},
        {nullptr, ScoreCellKind::none, 0},
    };
    std::vector<Value> cells;
    for (const CellCase& c : cases) cells.push_back(c.in);
    const Column column = Column::from_values(cells);
    for (size_t i = 0; i < cases.size(); ++i) {
        const tarvo::core::ScoreCell got = tarvo::core::read_score_cell(column, i);
        EXPECT_EQ(got.kind, cases[i].kind) << show(cases[i].in);
        EXPECT_EQ(got.number, cases[i].number) << show(cases[i].in);
    }
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

TEST(SafeIntSeries, AMovedColumnGivesTheCopysResult) {
    // Period values as the scoreboard pivots them: doubles set into a column of nulls.
    Column pivoted(Kind::mixed, 5);
    pivoted.set_double(0, 105766526.0);
    pivoted.set_double(2, -0.0);
    pivoted.set_double(4, 1e300);
    Column pivoted_with_nan = pivoted;
    pivoted_with_nan.set_double(1, kNaN);
    Column pivoted_with_int = pivoted;
    pivoted_with_int.set(3, Value(int64_t{7}));
    const std::vector<std::pair<Column, const char*>> cases = {
        {pivoted, "doubles and nulls"},
        {pivoted_with_nan, "a NaN among them"},
        {pivoted_with_int, "a whole number among them"},
        {Column::of_i64({3, std::nullopt, -9}), "whole numbers"},
        {Column::of_f64({1.5, kInf, std::nullopt}), "doubles with an infinity"},
        {Column::from_values({int64_t{1}, "2", nullptr}), "a text among numbers"},
        {Column::from_values({false, 2.5}), "a boolean"},
        {Column(Kind::mixed, 3), "all null, mixed"},
        {Column(Kind::i64, 2), "all null, whole numbers"},
        {Column(Kind::str, 2), "all null, texts"},
        {Column(Kind::f64), "empty"},
    };
    for (const auto& [column, what] : cases) {
        const Column copied = _safe_int_series(column);
        const Column moved = _safe_int_series(Column(column));
        EXPECT_EQ(moved.kind(), copied.kind()) << what;
        ASSERT_EQ(moved.size(), copied.size()) << what;
        for (size_t i = 0; i < copied.size(); ++i) {
            const Value a = moved.get(i), b = copied.get(i);
            EXPECT_TRUE(a == b && a.is_int() == b.is_int() && a.text_form() == b.text_form())
                << what << ", row " << i << ": got " << show(a) << ", want " << show(b);
        }
    }
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
