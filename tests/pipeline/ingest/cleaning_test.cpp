#include <gtest/gtest.h>

#include "tarvo/core/column.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"

namespace tarvo::ingest {
namespace {

using core::Column;
using core::Value;

// Cells of a str column as texts, null written as "<null>".
std::vector<std::string> texts(const Column& c) {
    EXPECT_EQ(c.kind(), core::str);
    std::vector<std::string> out;
    for (size_t i = 0; i < c.size(); ++i) out.push_back(c.is_null(i) ? "<null>" : c.text_at(i));
    return out;
}

TEST(NormalizeMuta, NormalFormOfEachKindOfCell) {
    struct Case {
        Value in;
        std::string want;
    };
    const std::vector<Case> cases{
        {"00123", "123"},
        {" 00123 ", "123"},
        {"\t00123\u00a0", "123"},  // Unicode white space is trimmed too
        {"123.0", "123"},
        {"1.23e2", "123"},
        {"12.7", "12"},
        {"-12.7", "-12"},
        {"-5", "-5"},
        {"+7", "7"},
        {"-0", "0"},
        {"000", "0"},
        {"123456789012345678", "123456789012345678"},  // no detour through a double
        {123.0, "123"},
        {-12.7, "-12"},
        {int64_t{42}, "42"},
        {"abc", "<null>"},
        {"12a", "<null>"},
        {"1,5", "<null>"},
        {".5", "<null>"},
        {"", "<null>"},
        {"   ", "<null>"},
        {"nan", "<null>"},
        {"NaN", "<null>"},
        {"None", "<null>"},
        {"<NA>", "<null>"},
        {"inf", "<null>"},
        {Value(), "<null>"},
        {true, "<null>"},  // its text form "True" is not a number
        {99999999999999999999.0, "<null>"},  // beyond the whole-number range
    };
    for (const Case& c : cases) {
        Column col(core::mixed);
        col.push_back(c.in);
        EXPECT_EQ(texts(_normalize_muta(col)), std::vector<std::string>{c.want}) << c.in.text_form();
    }
}

TEST(NormalizeMuta, NullInFloatColumnAndWholeFloatColumn) {
    Column f = Column::of_f64({123.0, std::nullopt, 1e3});
    EXPECT_EQ(texts(_normalize_muta(f)), (std::vector<std::string>{"123", "<null>", "1000"}));
}

TEST(CleanStrCol, TrimsAndNullsOnlyTheMissingMarkers) {
    Column col(core::mixed);
    for (Value v : std::vector<Value>{"  Acme A.Ş.  ", "NaT", "None", "<NA>", "nan", "NaN", "", "  ", "0", "none",
                                      "NULL", "N/A", Value(), int64_t{7}, 1.5})
        col.push_back(v);
    EXPECT_EQ(texts(_clean_str_col(col)),
              (std::vector<std::string>{"Acme A.Ş.", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>",
                                        "<null>", "0", "none", "NULL", "N/A", "<null>", "7", "1.5"}));
}

TEST(FindScoreColumns, FirstMatchOnFullLowerCasing) {
    EXPECT_EQ(_find_skor_col({"MUTA", "YIS_SKOR", "eus_skor"}), "YIS_SKOR");
    EXPECT_EQ(_find_skor_col({"MUTA", "label"}), std::nullopt);
    EXPECT_EQ(_find_skor_col({}), std::nullopt);
    EXPECT_EQ(_find_ihtimal_col({"MUTA", "YIS_IHTIMAL", "x_ihtimal"}), "YIS_IHTIMAL");
    // The dotted capital İ lower-cases to "i" + U+0307, so this spelling is no match.
    EXPECT_EQ(_find_ihtimal_col({"MUTA", "\u0130HT\u0130MAL"}), std::nullopt);
    EXPECT_EQ(_find_ihtimal_col({"\u0130HT\u0130MAL", "IHTIMAL"}), "IHTIMAL");
    // Non-ASCII elsewhere in the name does not get in the way.
    EXPECT_EQ(_find_skor_col({"Müşteri", "Güncel SKOR"}), "Güncel SKOR");
}

core::Table muta_table(std::vector<std::optional<std::string>> mutas) {
    core::Table t;
    t.set("muta", Column::of_str(std::move(mutas)));
    t.set("n", Column::of_i64({1, 2, 3}));
    return t;
}

TEST(FilterMutas, KeepsMembersInOrder) {
    core::Table t = muta_table({"5", "7", "5"});
    EXPECT_EQ(_filter_mutas(t, std::nullopt).nrows(), 3u);

    core::Table kept = _filter_mutas(t, std::unordered_set<std::string>{"5"});
    EXPECT_EQ(texts(kept["muta"]), (std::vector<std::string>{"5", "5"}));
    EXPECT_EQ(kept["n"].int_at(0), 1);
    EXPECT_EQ(kept["n"].int_at(1), 3);

    EXPECT_EQ(_filter_mutas(t, std::unordered_set<std::string>{}).nrows(), 0u);
    // The filter holds normal forms: "05" matches nothing.
    EXPECT_EQ(_filter_mutas(t, std::unordered_set<std::string>{"05"}).nrows(), 0u);
}

TEST(PrepareMutas, NormalisesDropsNullsThenFilters) {
    core::Table t;
    t.set("Must No", Column::of_str({"007", "x", " 8 ", std::nullopt, "9.9"}));
    t.set("n", Column::of_i64({1, 2, 3, 4, 5}));

    core::Table all = prepare_mutas(t, "Must No", std::nullopt);
    EXPECT_EQ(all.names(), (std::vector<std::string>{"Must No", "n", "muta"}));
    EXPECT_EQ(texts(all["muta"]), (std::vector<std::string>{"7", "8", "9"}));
    EXPECT_EQ(texts(all["Must No"]), (std::vector<std::string>{"007", " 8 ", "9.9"}));

    core::Table some = prepare_mutas(t, "Must No", std::unordered_set<std::string>{"8", "9"});
    EXPECT_EQ(texts(some["muta"]), (std::vector<std::string>{"8", "9"}));
    EXPECT_EQ(some["n"].int_at(0), 3);

    // When the customer number column is `muta` itself it is replaced in place.
    core::Table m;
    m.set("muta", Column::of_str({"0012", "-"}));
    m.set("n", Column::of_i64({1, 2}));
    core::Table prepared = prepare_mutas(m, "muta", std::nullopt);
    EXPECT_EQ(prepared.names(), (std::vector<std::string>{"muta", "n"}));
    EXPECT_EQ(texts(prepared["muta"]), (std::vector<std::string>{"12"}));
}

}  // namespace
}  // namespace tarvo::ingest
