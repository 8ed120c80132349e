// Trending watch lists: selection rules, boundaries, reasons, orders and limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/marts/trending_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/trending.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {
namespace {

using core::Document;
using core::Value;
using trending_testing::Firm;
using trending_testing::make_scoreboard;

const std::vector<std::string> kListKeys = {"fastest_rising", "persistent_high",
                                            "low_but_rising", "regime_change",
                                            "caught_yi",      "missed_yi"};

std::vector<std::string> periods(size_t n) {
    static const std::vector<std::string> all = {"2301", "2302", "2303", "2304",
                                                 "2305", "2306", "2307", "2308"};
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n)};
}

Document build(const Document& board) {
    static vandel::Vandel con(":memory:");
    return _build_trending_lists(con, board);
}

// The trending document for firms scored over as many periods as the first firm has scores.
Document build(const std::vector<Firm>& firms) {
    return build(make_scoreboard(periods(firms.front().scores.size()), firms));
}

const core::List& list(const Document& doc, const std::string& key) { return doc[key].as_list(); }

// The "muta" texts of a list, in order.
std::vector<std::string> mutas(const Document& doc, const std::string& key) {
    std::vector<std::string> out;
    for (const Document& e : list(doc, key)) out.push_back(e["muta"].to_value().text_form());
    return out;
}

// The entry of firm `muta` in a list, or nullptr.
const Document* entry(const Document& doc, const std::string& key, const std::string& muta) {
    for (const Document& e : list(doc, key))
        if (e["muta"].to_value().text_form() == muta) return &e;
    return nullptr;
}

std::string reason_of(const Document& doc, const std::string& key, const std::string& muta) {
    const Document* e = entry(doc, key, muta);
    return e ? (*e)["reason"].as_text() : std::string("<absent>");
}

TEST(TrendingLists, DegenerateDocumentHasSixEmptyListsInOrder) {
    const std::string expected =
        R"({"fastest_rising":[],"regime_change":[],"persistent_high":[],"low_but_rising":[],)"
        R"("caught_yi":[],"missed_yi":[]})";
    std::vector<std::pair<std::string, Document>> cases = {
        {"one period", make_scoreboard(periods(1), {{"1", 5, {900}}})},
        {"no rows", make_scoreboard(periods(4), {})},
        {"empty board", Document::empty_dict()},
    };
    for (const auto& [name, board] : cases)
        EXPECT_EQ(core::to_json(build(board), core::JsonStyle::compact), expected) << name;
}

TEST(TrendingLists, RejectsNonMappingAndMissingKeyColumns) {
    static vandel::Vandel con(":memory:");
    EXPECT_THROW(_build_trending_lists(con, Document::empty_list()), core::TypeError);

    Document no_muta = make_scoreboard(periods(3), {{"1", 5, {100, 200, 600}}});
    no_muta["rows"].as_rows().drop("muta");
    EXPECT_THROW(build(no_muta), core::KeyError);

    Document no_risk = make_scoreboard(periods(3), {{"1", 5, {100, 200, 600}}});
    no_risk["rows"].as_rows().drop("son_risk");
    EXPECT_THROW(build(no_risk), core::KeyError);
}

TEST(TrendingLists, YiMarkerIsIntegerMinusOneOrTextsYiAndMinusOne) {
    // Previous score 900 makes a new YI firm "caught"; a cell that is not the marker leaves the
    // firm out of both YI lists.
    struct Case {
        Value latest;
        bool yi;
    };
    const std::vector<Case> cases = {
        {Value(int64_t{-1}), true}, {Value("-1"), true},    {Value("YI"), true},
        {Value(-1.0), false},       {Value("-1.0"), false}, {Value(" YI"), false},
        {Value("yi"), false},
    };
    std::vector<Firm> firms;
    for (size_t k = 0; k < cases.size(); ++k)
        firms.push_back({Value(std::to_string(k)), 10, {100, 900, cases[k].latest}});
    Document doc = build(firms);
    for (size_t k = 0; k < cases.size(); ++k) {
        const std::string m = std::to_string(k);
        EXPECT_EQ(entry(doc, "caught_yi", m) != nullptr, cases[k].yi)
            << cases[k].latest.text_form();
        EXPECT_EQ(entry(doc, "missed_yi", m), nullptr);
    }
}

TEST(TrendingLists, NewYiReasonsCaughtOrMissed) {
    struct Case {
        std::vector<Value> scores;  // the last one is the latest period
        std::string list;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{300, 900, "YI"}, "caught_yi", "Yakalandı: Önceki dönem skor: 900"},
        {{300, 825, "YI"}, "caught_yi", "Yakalandı: Önceki dönem skor: 825"},
        {{300, 824, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 824 (<825)"},
        {{150, 600, "YI"}, "caught_yi", "Yakalandı: Hızlı yükseliş: 150->600"},
        {{100, 850, "YI"}, "caught_yi",
         "Yakalandı: Önceki dönem skor: 850, Hızlı yükseliş: 100->850"},
        {{199.9, 500, "YI"}, "caught_yi", "Yakalandı: Hızlı yükseliş: 199->500"},
        {{200, 600, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 600 (<825)"},
        {{150, 499.9, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 499 (<825)"},
        {{300, 700, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 700 (<825)"},
        {{300, nullptr, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor ? (<825)"},
        {{300, "abc", "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor ? (<825)"},
        // The third-last cell: markers and missing cells never make a rapid rise; "-1.0" is
        // not a marker and reads as -1.
        {{"YI", 600, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 600 (<825)"},
        {{"-1", 600, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 600 (<825)"},
        {{nullptr, 600, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 600 (<825)"},
        {{"-1.0", 600, "YI"}, "caught_yi", "Yakalandı: Hızlı yükseliş: -1->600"},
        {{" 150 ", 600, "YI"}, "caught_yi", "Yakalandı: Hızlı yükseliş: 150->600"},
        // Only the third-last period is looked at.
        {{150, 400, 600, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 600 (<825)"},
        // With two periods there is no third-last period.
        {{600, "YI"}, "missed_yi", "Kaçırıldı: Önceki dönem skor 600 (<825)"},
    };
    for (const Case& c : cases) {
        Document doc = build({Firm{"7", 10, c.scores}});
        const std::string other = c.list == "caught_yi" ? "missed_yi" : "caught_yi";
        ASSERT_EQ(list(doc, c.list).size(), 1u) << c.reason;
        EXPECT_TRUE(list(doc, other).empty()) << c.reason;
        const Document& e = list(doc, c.list)[0];
        EXPECT_EQ(e["reason"].as_text(), c.reason);
        EXPECT_EQ(e["score_last"], Document(1000)) << c.reason;
    }
}

TEST(TrendingLists, YiInEarlierPeriodsIsNotNewYi) {
    Document doc = build({Firm{"always", 5, {"YI", -1, "YI"}},
                          Firm{"twice", 5, {900, "YI", "YI"}},
                          Firm{"new", 5, {"YI", 900, "YI"}}});
    EXPECT_EQ(mutas(doc, "caught_yi"), std::vector<std::string>{"new"});
    EXPECT_TRUE(list(doc, "missed_yi").empty());
}

TEST(TrendingLists, NewYiListsOrderByRiskWithMissingAndZeroAsZero) {
    // Risks 0, null, 5, -3, 5, 7: null counts as 0 and keeps its row order after the 0.
    std::vector<Firm> firms = {
        {"a", 0, {900, "YI"}},       {"b", nullptr, {900, "YI"}}, {"c", 5, {900, "YI"}},
        {"d", -3, {900, "YI"}},      {"e", 5, {900, "YI"}},       {"f", 7, {900, "YI"}},
    };
    Document doc = build(firms);
    EXPECT_EQ(mutas(doc, "caught_yi"),
              (std::vector<std::string>{"f", "c", "e", "a", "b", "d"}));
}

TEST(TrendingLists, ThreePeriodGainUsesFourthLastOrFirstPeriod) {
    struct Case {
        std::vector<Value> scores;
        int64_t delta_3;
    };
    const std::vector<Case> cases = {
        {{400, 600}, 200},                 // two periods: the first, same as the last gain
        {{350, 400, 600}, 250},            // three: the first
        {{300, 350, 400, 600}, 300},       // four: the fourth-last is the first
        {{100, 300, 350, 400, 600}, 300},  // five: the fourth-last is the second
    };
    for (const Case& c : cases) {
        Document doc = build({Firm{"1", 10, c.scores}});
        const Document* e = entry(doc, "fastest_rising", "1");
        ASSERT_NE(e, nullptr) << c.scores.size();
        EXPECT_EQ((*e)["delta_3"], Document(c.delta_3)) << c.scores.size();
    }
}

TEST(TrendingLists, FastestRisersBoundariesAndEntry) {
    Document doc = build({
        Firm{"frac", 10, {490.7, 600.0, 640.9}},
        Firm{"at500", 10, {400, 450, 500}},
        Firm{"below", 10, {400, 450, 499.9}},
        Firm{"flat_last", 10, {400, 600, 600}},
        Firm{"flat_3", 10, {600, 500, 600}},
    });
    EXPECT_EQ(mutas(doc, "fastest_rising"), (std::vector<std::string>{"frac", "at500"}));
    EXPECT_EQ(core::to_json(*entry(doc, "fastest_rising", "frac"), core::JsonStyle::compact),
              R"({"muta":"frac","unvan":"Ffrac","son_risk":10,"score_last":640,"delta_3":150,)"
              R"j("reason":"Son 3 dönemde +150 puan artış (şu an 640)"})j");
}

TEST(TrendingLists, RegimeChangeEarlySignalAndRapidJump) {
    struct Case {
        std::vector<Value> scores;
        std::string reason;  // "<absent>" when the firm is not listed
    };
    const std::vector<Case> cases = {
        {{400, 450, 499, 620}, "Band geçişi: Önceden 400 skor verilmişti, şimdi 620"},
        {{50, 330, 480, 700}, "Band geçişi: Önceden 330 skor verilmişti, şimdi 700"},
        {{50, 900, 480, 700}, "Band geçişi: Önceden 480 skor verilmişti, şimdi 700"},
        {{50, 900, 200, 700}, "Band geçişi: Hızlı sıçrama (900), şimdi 700"},
        {{99.9, 325, 200, 700}, "Band geçişi: Önceden 325 skor verilmişti, şimdi 700"},
        {{100, 900, 200, 700}, "<absent>"},   // jump must start below 100
        {{50, 324.9, 200, 700}, "<absent>"},  // and land at 325 or more
        {{300, 499.5, 500.0}, "Band geçişi: Önceden 499 skor verilmişti, şimdi 500"},
        {{400, 500, 600}, "<absent>"},        // previous 500 is not below the line
        {{400, 450, 499.9}, "<absent>"},      // latest must reach 500
        {{600, 200, 700}, "<absent>"},        // candidate without any sign
        {{50, 90, 700}, "<absent>"},          // the pair ending in the last period is ignored
        {{50, 700}, "<absent>"},              // two periods: no rapid jump
        {{"YI", 450, 700}, "Band geçişi: Önceden 450 skor verilmişti, şimdi 700"},
    };
    for (const Case& c : cases) {
        Document doc = build({Firm{"1", 10, c.scores}});
        EXPECT_EQ(reason_of(doc, "regime_change", "1"), c.reason);
    }
}

TEST(TrendingLists, RegimeChangeOrderedByLatestScoreStable) {
    Document doc = build({
        Firm{"a", 1, {400, 450, 600.2}},
        Firm{"b", 9, {400, 450, 700}},
        Firm{"c", 5, {400, 450, 600.9}},
        Firm{"d", 3, {400, 450, 800}},
    });
    // 600.2 and 600.9 both report 600 and keep their row order.
    EXPECT_EQ(mutas(doc, "regime_change"), (std::vector<std::string>{"d", "b", "a", "c"}));
    EXPECT_EQ(list(doc, "regime_change")[2]["score_last"], Document(600));
}

TEST(TrendingLists, PersistentHighCountsOverLastSixPeriods) {
    // For n periods, `need` high periods among the last min(n, 6) list the firm, one fewer not.
    struct Case {
        size_t n;
        int need;
    };
    for (const Case& c : std::vector<Case>{{2, 2}, {3, 2}, {4, 3}, {5, 3}, {6, 4}, {8, 4}}) {
        auto firm = [&](const std::string& m, int highs) {
            std::vector<Value> s(c.n, Value(100));
            for (int h = 0; h < highs; ++h) s[c.n - 1 - static_cast<size_t>(h)] = Value(825);
            return Firm{m, 10, s};
        };
        std::vector<Firm> firms = {firm("in", c.need), firm("out", c.need - 1)};
        if (c.n > 6) {  // high scores before the look-back window do not count
            std::vector<Value> s(c.n, Value(900));
            for (size_t p = c.n - 6; p < c.n; ++p) s[p] = Value(p + 1 == c.n ? 825 : 100);
            firms.push_back(Firm{"old", 10, s});
        }
        Document doc = build(make_scoreboard(periods(c.n), firms));
        EXPECT_EQ(mutas(doc, "persistent_high"), std::vector<std::string>{"in"}) << c.n;
        const size_t n_check = std::min<size_t>(c.n, 6);
        EXPECT_EQ(reason_of(doc, "persistent_high", "in"),
                  "Son " + std::to_string(n_check) + " dönemin " + std::to_string(c.need) +
                      " tanesinde skor >= 825")
            << c.n;
    }
}

TEST(TrendingLists, PersistentHighNeedsPositiveRiskAndCountsYiAsHigh) {
    Document doc = build({
        Firm{"six", 10, {830, 840, 850, 860, 100, 900}},
        Firm{"zero_risk", 0, {900, 900, 900, 900, 900, 900}},
        Firm{"null_risk", nullptr, {900, 900, 900, 900, 900, 900}},
        // Marker cells count as 1000 (the integer -1 sits in a whole-number column here).
        Firm{"yi_cells", 10, {"YI", "-1", 100, 824.9, -1, 830}},
        Firm{"just_below", 10, {824.9, 824.9, 824.9, 824.9, 824, 830}},
    });
    EXPECT_EQ(mutas(doc, "persistent_high"), (std::vector<std::string>{"six", "yi_cells"}));
    EXPECT_EQ(reason_of(doc, "persistent_high", "six"), "Son 6 dönemin 5 tanesinde skor >= 825");
    EXPECT_EQ(reason_of(doc, "persistent_high", "yi_cells"),
              "Son 6 dönemin 4 tanesinde skor >= 825");
}

TEST(TrendingLists, LowButRisingBoundaries) {
    Document doc = build({
        Firm{"example", 10, {300, 410, 420}},      // gain 120, last gain 10
        Firm{"floor", 10, {225, 300, 325}},        // 325, gain exactly 100
        Firm{"ceiling", 10, {600, 700, 825}},      // 825 is excluded
        Firm{"gain_short", 10, {225.1, 300, 325}}, // gain 99.9
        Firm{"flat_last", 10, {200, 420, 420}},    // last gain 0
        Firm{"prev_yi", 10, {200, "YI", 420}},     // YI in the second-last period
        Firm{"below", 10, {200, 300, 324.9}},
    });
    EXPECT_EQ(mutas(doc, "low_but_rising"), (std::vector<std::string>{"example", "floor"}));
    EXPECT_EQ(reason_of(doc, "low_but_rising", "example"), "Erken sinyal: 420 skor, +120 artış");
    const Document* e = entry(doc, "low_but_rising", "floor");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ((*e)["delta_3"], Document(100));
}

TEST(TrendingLists, FirmWithYiRowIsLeftOutOfTheOtherLists) {
    // Two rows share muta 7: the YI row keeps its twin out of the four score lists.
    Document doc = build({
        Firm{"7", 10, {900, "YI"}},
        Firm{"7", 20, {400, 600}},
        Firm{"8", 20, {400, 600}},
    });
    EXPECT_EQ(mutas(doc, "fastest_rising"), std::vector<std::string>{"8"});
    EXPECT_EQ(mutas(doc, "caught_yi"), std::vector<std::string>{"7"});
}

TEST(TrendingLists, RiskOrderNullsLastStable) {
    Document doc = build({
        Firm{"a", nullptr, {400, 600}}, Firm{"b", 10, {400, 600}}, Firm{"c", 30, {400, 600}},
        Firm{"d", 10, {400, 600}},      Firm{"e", -5, {400, 600}},
    });
    EXPECT_EQ(mutas(doc, "fastest_rising"), (std::vector<std::string>{"c", "b", "d", "e", "a"}));
}

TEST(TrendingLists, EachListIsCutToFiveHundred) {
    // 600 firms in "fastest_rising" and 600 in "missed_yi", firm i with risk i, except that
    // firm 101 shares risk 100 with firm 100: the 500th place goes to firm 101 (after firm 100,
    // its tie in row order), and firm 99 is cut.
    std::vector<Firm> firms;
    for (int i = 0; i < 600; ++i)
        firms.push_back(Firm{"r" + std::to_string(i), i == 101 ? 100 : i, {400, 600}});
    for (int i = 0; i < 600; ++i)
        firms.push_back(Firm{"y" + std::to_string(i), i == 101 ? 100 : i, {300, "YI"}});
    Document doc = build(firms);
    for (const std::string key : {"fastest_rising", "missed_yi"}) {
        const std::string p = key == "missed_yi" ? "y" : "r";
        std::vector<std::string> got = mutas(doc, key);
        ASSERT_EQ(got.size(), 500u) << key;
        EXPECT_EQ(got.front(), p + "599") << key;
        EXPECT_EQ(got[498], p + "100") << key;
        EXPECT_EQ(got[499], p + "101") << key;
    }
    EXPECT_EQ(TRENDING_LIMIT, 500);
}

TEST(TrendingLists, EntryKeysPerList) {
    Document doc = build({
        Firm{"fast", 10, {300, 400, 600}},
        Firm{"regime", 10, {400, 450, 600}},
        Firm{"high", 10, {900, 900, 900}},
        Firm{"low", 10, {300, 400, 420}},
        Firm{"yi", 10, {900, 900, "YI"}},
    });
    auto keys = [&](const std::string& list_key) {
        std::vector<std::string> out;
        for (const auto& [k, v] : list(doc, list_key).at(0).as_dict()) out.push_back(k);
        return out;
    };
    const std::vector<std::string> with_delta = {"muta",       "unvan",   "son_risk",
                                                 "score_last", "delta_3", "reason"};
    const std::vector<std::string> plain = {"muta", "unvan", "son_risk", "score_last", "reason"};
    EXPECT_EQ(keys("fastest_rising"), with_delta);
    EXPECT_EQ(keys("low_but_rising"), with_delta);
    EXPECT_EQ(keys("regime_change"), plain);
    EXPECT_EQ(keys("persistent_high"), plain);
    EXPECT_EQ(keys("caught_yi"), plain);
}

}  // namespace
}  // namespace tarvo::marts
