// Trending enrichment: flags and reasons written into the scoreboard's row table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pipeline/marts/trending_fixture.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/marts/enrichment.hpp"
#include "tarvo/pipeline/marts/trending.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {
namespace {

using core::Dict;
using core::Document;
using core::List;
using core::Value;

const std::vector<std::string> kFlags = {"_hizli_yukselen", "_rejim_degisimi", "_potansiyel_yi",
                                         "_erken_sinyal",   "_yakalanan",      "_kacirilan"};

Document entry(Value muta, const char* reason) {
    Dict e;
    e.set("muta", Document::of(muta));
    if (reason != nullptr) e.set("reason", Document(reason));
    return Document(std::move(e));
}

Document trending_doc(std::vector<std::pair<std::string, List>> lists) {
    Dict d;
    for (auto& [k, v] : lists) d.set(k, Document(std::move(v)));
    return Document(std::move(d));
}

Document board_with_mutas(const std::vector<Value>& mutas) {
    Dict board;
    board.set("rows", Document::rows(trending_testing::row_table({{"muta", mutas}})));
    return Document(std::move(board));
}

// The flags of row `i` as a 0/1 text in flag order, e.g. "100100".
std::string flags_of(const Document& board, size_t i) {
    std::string out;
    for (const std::string& f : kFlags) out += board["rows"].as_rows()[f].text_form(i);
    return out;
}

std::string reason_of(const Document& board, size_t i) {
    return board["rows"].as_rows()["_ovik_neden"].text_form(i);
}

std::vector<std::string> enrich(Document& board, const Document& trending) {
    core::ConsoleCapture capture;
    _enrich_with_trending(board, trending);
    return capture.out_lines();
}

TEST(TrendingEnrichment, FlagsAndReasonsPerFirm) {
    Document trending = trending_doc({
        {"fastest_rising", {entry("1", "fast 1"), entry("2", "fast 2")}},
        {"regime_change", {}},
        {"low_but_rising", {entry("1", "low 1"), entry("3", "")}},
        {"caught_yi", {entry(int64_t{123}, "caught 123")}},
        {"missed_yi", {entry("4", nullptr)}},
    });
    Document board = board_with_mutas({"1", "2", "3", "123", "4", "9", "1", nullptr});
    EXPECT_EQ(enrich(board, trending),
              std::vector<std::string>{"    trending flags: 6 entities enriched"});

    struct Expect {
        std::string flags, reason;
    };
    const std::vector<Expect> rows = {
        {"100100", "fast 1 | low 1"},  // two lists, reasons in list order
        {"100000", "fast 2"},
        {"000100", ""},                // an empty reason sets the flag only
        {"000010", "caught 123"},      // the number 123 matches the text 123
        {"000001", ""},                // an entry without a reason
        {"000000", ""},                // in no list
        {"100100", "fast 1 | low 1"},  // a second row of the same firm
        {"000000", ""},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(flags_of(board, i), rows[i].flags) << i;
        EXPECT_EQ(reason_of(board, i), rows[i].reason) << i;
    }
    const core::Table& t = board["rows"].as_rows();
    EXPECT_EQ(t["_hizli_yukselen"].kind(), core::i64);
    EXPECT_EQ(t["_ovik_neden"].kind(), core::str);
}

TEST(TrendingEnrichment, ExistingColumnsAreReplacedInPlaceAndRerunIsStable) {
    core::Table t = trending_testing::row_table({{"muta", {"1", "2"}},
                                        {"_yakalanan", {7, 7}},
                                        {"_ovik_neden", {"old", "old"}},
                                        {"son_risk", {5, 6}}});
    Dict board;
    board.set("rows", Document::rows(std::move(t)));
    Document doc(std::move(board));
    Document trending = trending_doc({{"caught_yi", {entry("2", "c")}}});

    enrich(doc, trending);
    Document first = doc;
    EXPECT_EQ(enrich(doc, trending),
              std::vector<std::string>{"    trending flags: 1 entities enriched"});
    EXPECT_EQ(doc, first);

    const std::vector<std::string> expected_names = {
        "muta",           "_yakalanan",    "_ovik_neden",  "son_risk",  "_hizli_yukselen",
        "_rejim_degisimi", "_potansiyel_yi", "_erken_sinyal", "_kacirilan"};
    EXPECT_EQ(doc["rows"].as_rows().names(), expected_names);
    EXPECT_EQ(flags_of(doc, 0), "000000");
    EXPECT_EQ(flags_of(doc, 1), "000010");
    EXPECT_EQ(reason_of(doc, 0), "");
}

TEST(TrendingEnrichment, ListOfMappingsBecomesRowTableInPlace) {
    List rows;
    for (const char* m : {"5", "6"}) rows.push_back(entry(m, "x"));
    Dict board;
    board.set("rows", Document(std::move(rows)));
    board.set("diag_index", Document::empty_dict());
    Document doc(std::move(board));

    enrich(doc, trending_doc({{"missed_yi", {entry("6", "m")}}}));
    ASSERT_TRUE(doc["rows"].is_rows());
    EXPECT_EQ(doc.as_dict().begin()->first, "rows");
    EXPECT_EQ(flags_of(doc, 1), "000001");
    EXPECT_EQ(doc["rows"].as_rows()["reason"].text_form(1), "x");
}

TEST(TrendingEnrichment, ErrorsOnWrongKindsAndMissingRows) {
    Document board = Document::empty_dict();
    core::ConsoleCapture capture;
    EXPECT_THROW(_enrich_with_trending(board, Document::empty_dict()), core::KeyError);
    Document list = Document::empty_list();
    EXPECT_THROW(_enrich_with_trending(list, Document::empty_dict()), core::TypeError);
    Document ok = board_with_mutas({"1"});
    EXPECT_THROW(_enrich_with_trending(ok, Document::empty_list()), core::TypeError);
    EXPECT_EQ(capture.out(), "");
}

TEST(TrendingEnrichment, FlaggedRowsMatchTheTrendingLists) {
    // Every flagged row stands in its list and every listed firm's rows carry the flag.
    std::vector<trending_testing::Firm> firms;
    const std::vector<std::vector<Value>> patterns = {
        {300, 400, 600, 640},  {400, 450, 499, 620}, {900, 900, 900, 900}, {300, 330, 400, 450},
        {100, 150, 900, "YI"}, {100, 300, 700, "YI"}, {500, 500, 500, 500}, {50, 900, 200, 700},
    };
    for (size_t i = 0; i < 40; ++i)
        firms.push_back({Value(std::to_string(i)), static_cast<int>(i % 7), patterns[i % 8]});
    Document board = trending_testing::make_scoreboard({"2401", "2402", "2403", "2404"}, firms);
    vandel::Vandel con(":memory:");
    Document trending = _build_trending_lists(con, board);
    enrich(board, trending);

    const std::vector<std::string> lists = {"fastest_rising", "regime_change", "persistent_high",
                                            "low_but_rising", "caught_yi",     "missed_yi"};
    const core::Table& t = board["rows"].as_rows();
    size_t flagged = 0;
    for (size_t k = 0; k < lists.size(); ++k) {
        std::vector<std::string> listed;
        for (const Document& e : trending[lists[k]].as_list())
            listed.push_back(e["muta"].as_text());
        for (size_t i = 0; i < t.nrows(); ++i) {
            bool in_list = std::find(listed.begin(), listed.end(), t["muta"].text_form(i)) !=
                           listed.end();
            EXPECT_EQ(t[kFlags[k]].int_at(i), in_list ? 1 : 0) << lists[k] << " row " << i;
            flagged += in_list;
        }
    }
    EXPECT_GT(flagged, 0u);
}

}  // namespace
}  // namespace tarvo::marts
