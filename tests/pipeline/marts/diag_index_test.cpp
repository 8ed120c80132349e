// Diagnostic indexes against small warehouses built here: query choice and fallback, console
// lines, the full index's findings and its temporary filter table, the per-connection memo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/threads_scope.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/diag_index.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {
namespace {

using core::Document;
using testing::ThreadsScope;
using vandel::Vandel;

std::string compact(const Document& d) { return core::to_json(d, core::JsonStyle::compact); }

// The slim index with firms and periods sorted by key: the warehouse hands the aggregated rows
// back in no particular order.
std::string sorted_compact(const Document& index) {
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, Document>>>> firms;
    for (const auto& [firm, periods] : index.as_dict()) {
        std::vector<std::pair<std::string, Document>> ps(periods.as_dict().begin(), periods.as_dict().end());
        std::sort(ps.begin(), ps.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        firms.emplace_back(firm, std::move(ps));
    }
    std::sort(firms.begin(), firms.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    core::Dict out;
    for (auto& [firm, ps] : firms) {
        core::Dict p;
        for (auto& [k, v] : ps) p.set(k, std::move(v));
        out.set(firm, Document(std::move(p)));
    }
    return compact(Document(std::move(out)));
}

constexpr const char* kFindings =
    "CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, katman VARCHAR, "
    "kriter VARCHAR, deger DOUBLE, onceki_deger DOUBLE, aciklama VARCHAR, grup VARCHAR, yeni INTEGER)";

struct SlimCase {
    std::string name;
    std::string setup;
    std::string index;                 // sorted compact JSON
    std::vector<std::string> lines;    // standard output
};

TEST(DiagIndexSlim, ChoosesQueryFallsBackAndReports) {
    const std::vector<SlimCase> cases = {
        {"table missing", "", "{}", {"  [DIAG] Tablo yok, atlanıyor"}},
        {"neither grup with yeni nor katman",
         "CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, grup VARCHAR)",
         "{}",
         {"  [DIAG] Ne grup ne katman kolonu var"}},
        {"no findings at all", std::string(kFindings), "{}", {"  [DIAG] Bulgu yok"}},
        {"by group: new findings with a real group, distinct and sorted",
         std::string(kFindings) +
             "; INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) VALUES "
             "(7, '2401', 'L1', 'G2', 1), (7, '2401', 'L1', 'G1', 1), (7, '2401', 'L2', 'G2', 1), "
             "(7, '2401', 'L3', 'G9', 0), (7, '2402', 'L1', 'nan', 1), (7, '2402', 'L1', 'G3', 1), "
             "(8, '2401', 'L1', 'None', 1), (8, '2401', 'L1', '', 1), (8, '2401', 'L1', NULL, 1), "
             "(9, '2403', 'L1', 'G5', 0)",
         R"({"7":{"2401":{"bulgular":[],"yeni_gruplar":["G1","G2"]},)"
         R"("2402":{"bulgular":[],"yeni_gruplar":["G3"]}}})",
         {"  [DIAG] slim: 1 firma, 2 firma×dönem"}},
        {"only katman: every finding's layer, new or not; a null layer is listed as null",
         "CREATE TABLE diag_eus_kapsam_diskalma (muta VARCHAR, donem INTEGER, katman VARCHAR); "
         "INSERT INTO diag_eus_kapsam_diskalma VALUES ('5', 2401, 'B'), ('5', 2401, 'A'), "
         "('5', 2401, 'B'), ('6', 2402, 'C'), ('7', 2403, NULL)",
         R"({"5":{"2401":{"bulgular":[],"yeni_gruplar":["A","B"]}},)"
         R"("6":{"2402":{"bulgular":[],"yeni_gruplar":["C"]}},)"
         R"("7":{"2403":{"bulgular":[],"yeni_gruplar":[null]}}})",
         {"  [DIAG] slim: 3 firma, 3 firma×dönem"}},
        {"grup without yeni: by layer",
         "CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, katman VARCHAR, grup VARCHAR); "
         "INSERT INTO diag_eus_kapsam_diskalma VALUES (1, '2401', 'K', 'G')",
         R"({"1":{"2401":{"bulgular":[],"yeni_gruplar":["K"]}}})",
         {"  [DIAG] slim: 1 firma, 1 firma×dönem"}},
        {"new groups all empty: fallback over all findings, grup else katman",
         std::string(kFindings) +
             "; INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) VALUES "
             "(1, '2401', 'K1', '', 1), (1, '2401', 'K2', NULL, 0), (1, '2401', 'K3', 'G1', 0), "
             "(2, '2402', 'K1', 'nan', 1), (3, '2403', NULL, NULL, 0)",
         R"({"1":{"2401":{"bulgular":[],"yeni_gruplar":["","G1","K2"]}},)"
         R"("2":{"2402":{"bulgular":[],"yeni_gruplar":["nan"]}}})",
         {"  [DIAG] slim: 2 firma, 2 firma×dönem"}},
    };
    for (const auto& c : cases) {
        Vandel con(":memory:");
        if (!c.setup.empty()) con.execute(c.setup);
        core::ConsoleCapture cap;
        Document index = _build_diag_index_slim(con);
        EXPECT_EQ(sorted_compact(index), c.index) << c.name;
        EXPECT_EQ(cap.out_lines(), c.lines) << c.name;
        EXPECT_EQ(cap.err(), "") << c.name;
    }
    // Read ahead on a second connection (or, on one thread, where it is wanted): the same index and
    // lines, printed only when it is wanted.
    for (const int64_t threads : {1, 2}) {
        const ThreadsScope scope(threads);
        for (const auto& c : cases) {
            Vandel con(":memory:");
            if (!c.setup.empty()) con.execute(c.setup);
            core::ConsoleCapture cap;
            SlimIndexAhead ahead(con);
            EXPECT_EQ(cap.out(), "") << c.name << ", " << threads << " thread(s)";
            Document index = _build_diag_index_slim(con, ahead);
            EXPECT_EQ(sorted_compact(index), c.index) << c.name << ", " << threads << " thread(s)";
            EXPECT_EQ(cap.out_lines(), c.lines) << c.name << ", " << threads << " thread(s)";
            EXPECT_EQ(cap.err(), "") << c.name << ", " << threads << " thread(s)";
        }
    }
}

TEST(DiagIndexSlim, FirmsAndPeriodsInTheOrderTheirRowsArrive) {
    Vandel con(":memory:");
    con.execute(std::string(kFindings) +
                "; INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) "
                "SELECT (i * 7919) % 61, (2401 + (i * 31) % 5)::VARCHAR, 'K', 'G' || (i % 3), 1 "
                "FROM range(300) t(i) UNION ALL "
                "SELECT 100 + i % 5, (2401 + (i * 13) % 20)::VARCHAR, 'K', 'G' || (i % 3), 1 "
                "FROM range(200) t(i); SET threads = 1");
    // The arrival order of the aggregated rows: firms and their periods inserted scattered,
    // returned in ascending text order, so every run writes the same index. Firms 100 to 104
    // have 20 periods each, more than a small mapping holds before it is indexed.
    std::vector<std::string> firms;
    std::vector<std::pair<std::string, std::string>> periods;
    con.for_each_row(
        std::string(kSlimByGroup),
        [&](std::vector<Document>& row) {
            const std::string& m = row[0].as_text();
            if (std::find(firms.begin(), firms.end(), m) == firms.end()) firms.push_back(m);
            periods.emplace_back(m, row[1].as_text());
        });
    core::ConsoleCapture cap;
    Document index = _build_diag_index_slim(con);
    std::vector<std::string> index_firms;
    for (const auto& [firm, ps] : index.as_dict()) {
        index_firms.push_back(firm);
        std::vector<std::string> expected, got;
        for (const auto& [m, d] : periods)
            if (m == firm) expected.push_back(d);
        for (const auto& [d, entry] : ps.as_dict()) got.push_back(d);
        EXPECT_EQ(got, expected) << firm;
        // Looked up by key as well as read in order.
        EXPECT_EQ(index.as_dict().find(firm), &ps) << firm;
        for (const std::string& d : expected) EXPECT_NE(ps.as_dict().find(d), nullptr) << firm << " " << d;
    }
    EXPECT_EQ(index_firms, firms);
    EXPECT_TRUE(std::is_sorted(index_firms.begin(), index_firms.end()));
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  [DIAG] slim: 66 firma, " +
                                                         std::to_string(periods.size()) + " firma×dönem"}));
}

TEST(DiagIndexSlim, FallbackOnTableWithoutKatmanFailsAndIsReported) {
    // The failure of a reading ahead comes out where the index is wanted, as the reading's own.
    for (const bool ahead : {false, true}) {
        Vandel con(":memory:");
        con.execute(
            "CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, grup VARCHAR, yeni INTEGER); "
            "INSERT INTO diag_eus_kapsam_diskalma VALUES (1, '2401', 'nan', 1)");
        const ThreadsScope scope(2);
        core::ConsoleCapture cap;
        std::optional<SlimIndexAhead> reading;
        if (ahead) reading.emplace(con);
        EXPECT_EQ(compact(reading ? _build_diag_index_slim(con, *reading) : _build_diag_index_slim(con)), "{}");
        // The warehouse's message runs over several lines; its first line names the missing column.
        const auto lines = cap.out_lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], "  [DIAG] slim hata: Binder Error: Referenced column \"katman\" not found in FROM clause!");
        EXPECT_NE(cap.err().find("BinderException: Binder Error: "), std::string::npos) << cap.err();
        EXPECT_NE(cap.err().find("_build_diag_index_slim"), std::string::npos) << cap.err();
    }
}

// One new finding of firm 1 in group G1, and its slim index.
constexpr const char* kOneFinding =
    "; INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) VALUES (1, '2401', 'K', 'G1', 1)";
constexpr const char* kOneFindingIndex = R"({"1":{"2401":{"bulgular":[],"yeni_gruplar":["G1"]}}})";
// A finding of firm 2 added through query(), a change the memo cannot see.
constexpr const char* kUnseenFinding =
    "INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) VALUES (2, '2401', 'K', 'G2', 1)";

TEST(DiagIndexSlim, AggregatesOncePerConnectionAndPrintsEachTime) {
    Vandel con(":memory:");
    con.execute(std::string(kFindings) + kOneFinding);
    const std::string first = kOneFindingIndex;
    core::ConsoleCapture cap;
    EXPECT_EQ(compact(_build_diag_index_slim(con)), first);

    // A change the memo cannot see proves the second request reuses the first aggregate instead of
    // running it again.
    con.query(kUnseenFinding);
    EXPECT_EQ(compact(_build_diag_index(con)), first);

    // A statement run for its effect discards the memo; so does a new connection.
    con.execute("INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) "
                "VALUES (3, '2401', 'K', 'G3', 1)");
    EXPECT_EQ(sorted_compact(_build_diag_index_slim(con)),
              R"({"1":{"2401":{"bulgular":[],"yeni_gruplar":["G1"]}},)"
              R"("2":{"2401":{"bulgular":[],"yeni_gruplar":["G2"]}},)"
              R"("3":{"2401":{"bulgular":[],"yeni_gruplar":["G3"]}}})");
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  [DIAG] slim: 1 firma, 1 firma×dönem",
                                                         "  [DIAG] slim: 1 firma, 1 firma×dönem",
                                                         "  [DIAG] slim: 3 firma, 3 firma×dönem"}));
}

TEST(DiagIndexSlim, ReadingAheadKeepsOneAggregatePerConnection) {
    const ThreadsScope scope(2);
    Vandel con(":memory:");
    con.execute(std::string(kFindings) + kOneFinding);
    const std::string first = kOneFindingIndex;
    core::ConsoleCapture cap;
    {
        SlimIndexAhead ahead(con);
        EXPECT_EQ(compact(_build_diag_index_slim(con, ahead)), first);
    }
    // Changes the memo cannot see: the index read ahead is the connection's, and a connection
    // that keeps one reads no other ahead.
    con.query(kUnseenFinding);
    EXPECT_EQ(compact(_build_diag_index_slim(con)), first);
    SlimIndexAhead again(con);
    EXPECT_EQ(compact(_build_diag_index_slim(con, again)), first);
    EXPECT_EQ(cap.out_lines(), std::vector<std::string>(3, "  [DIAG] slim: 1 firma, 1 firma×dönem"));
}

// Periods with equal group lists share one entry, and the second request returns the first
// index again: a change a caller makes to its index reaches neither the other periods nor the
// other request's index.
TEST(DiagIndexSlim, SharedEntriesAndRequestsStayApartWhenOneIsChanged) {
    Vandel con(":memory:");
    con.execute(std::string(kFindings) +
                "; INSERT INTO diag_eus_kapsam_diskalma (muta, donem, katman, grup, yeni) VALUES "
                "(1, '2401', 'K', 'G1', 1), (1, '2402', 'K', 'G1', 1), (2, '2401', 'K', 'G1', 1)");
    const std::string index = R"({"1":{"2401":{"bulgular":[],"yeni_gruplar":["G1"]},)"
                              R"("2402":{"bulgular":[],"yeni_gruplar":["G1"]}},)"
                              R"("2":{"2401":{"bulgular":[],"yeni_gruplar":["G1"]}}})";
    core::ConsoleCapture cap;
    Document first = _build_diag_index_slim(con);
    ASSERT_EQ(compact(first), index);
    first["1"]["2401"]["yeni_gruplar"].as_list().push_back(Document("G9"));
    first["1"]["2401"]["bulgular"].as_list().push_back(Document("f"));
    first.set("3", Document::empty_dict());
    EXPECT_EQ(compact(first), R"({"1":{"2401":{"bulgular":["f"],"yeni_gruplar":["G1","G9"]},)"
                              R"("2402":{"bulgular":[],"yeni_gruplar":["G1"]}},)"
                              R"("2":{"2401":{"bulgular":[],"yeni_gruplar":["G1"]}},"3":{}})");
    EXPECT_EQ(compact(_build_diag_index(con)), index);
}

// Findings for the full index: firm 10 stored as a number, matched by its text.
constexpr const char* kFullRows =
    "; INSERT INTO diag_eus_kapsam_diskalma VALUES "
    "(10, '2402', 'L2', 'k4', 3.0, NULL, 'ok', 'G1', 1), "
    "(10, '2401', 'L2', 'k2', NULL, 2.5, 'nan', 'G2', 1), "
    "(10, '2401', 'L1', 'k1', 1.5, 0.5, 'Açıklama', 'G1', 1), "
    "(10, '2401', 'L3', 'k3', 4.0, 4.0, 'None', 'None', 1), "
    "(10, '2401', 'L4', 'k5', 1.0, 1.0, '', 'G1', 1), "
    "(10, '2401', 'L0', 'k0', 9.0, 9.0, 'old', 'G7', 0), "
    "(11, '2401', 'L1', 'k1', 1.0, NULL, NULL, NULL, 1), "
    "(12, '2401', 'L1', 'k1', 1.0, NULL, NULL, 'G1', 1)";

TEST(DiagIndexFull, FindingsKeysAndNewGroupsInOrder) {
    Vandel con(":memory:");
    con.execute(std::string(kFindings) + kFullRows);
    core::ConsoleCapture cap;
    const std::string index = _build_diag_index_full(con, {"10", "11", "999"});
    EXPECT_EQ(index,
              R"({"10":{"2401":{"bulgular":[)"
              R"({"katman":"L1","kriter":"k1","aciklama":"Açıklama","deger":1.5,"onceki":0.5,"grup":"G1","yeni":1},)"
              R"({"katman":"L2","kriter":"k2","onceki":2.5,"grup":"G2","yeni":1},)"
              R"({"katman":"L3","kriter":"k3","deger":4.0,"onceki":4.0,"yeni":1},)"
              R"({"katman":"L4","kriter":"k5","deger":1.0,"onceki":1.0,"grup":"G1","yeni":1}],)"
              R"("yeni_gruplar":["G1","G2"]},)"
              R"("2402":{"bulgular":[{"katman":"L2","kriter":"k4","aciklama":"ok","deger":3.0,"grup":"G1","yeni":1}],)"
              R"("yeni_gruplar":["G1"]}},)"
              R"("11":{"2401":{"bulgular":[{"katman":"L1","kriter":"k1","deger":1.0,"yeni":1}],"yeni_gruplar":[]}}})");
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  [DIAG] full: 2 firma, 6 bulgu"}));
}

// The findings reach the index a chunk of rows at a time: a firm, and a period within it, whose
// rows run across chunks stay one entry, and the next firm and period open after them.
TEST(DiagIndexFull, FirmsAndPeriodsRunningAcrossChunksStayWhole) {
    Vandel con(":memory:");
    con.execute(std::string(kFindings) +
                "; INSERT INTO diag_eus_kapsam_diskalma "
                "SELECT 1, '2401', printf('L%05d', i), 'k', NULL, NULL, NULL, "
                "       CASE WHEN i % 1500 = 7 THEN 'G' || (i // 1500) END, 1 FROM range(5000) t(i); "
                "INSERT INTO diag_eus_kapsam_diskalma VALUES (1, '2402', 'L', 'k', NULL, NULL, NULL, NULL, 1), "
                "(2, '2401', 'L', 'k', NULL, NULL, NULL, 'G9', 1)");
    std::string expected = R"({"1":{"2401":{"bulgular":[)";
    for (int i = 0; i < 5000; ++i) {
        char katman[8];
        std::snprintf(katman, sizeof katman, "L%05d", i);
        expected += std::string(i ? "," : "") + R"({"katman":")" + katman + R"(","kriter":"k",)";
        if (i % 1500 == 7) expected += R"("grup":"G)" + std::to_string(i / 1500) + R"(",)";
        expected += R"("yeni":1})";
    }
    expected += R"(],"yeni_gruplar":["G0","G1","G2","G3"]},)"
                R"("2402":{"bulgular":[{"katman":"L","kriter":"k","yeni":1}],"yeni_gruplar":[]}},)"
                R"("2":{"2401":{"bulgular":[{"katman":"L","kriter":"k","grup":"G9","yeni":1}],"yeni_gruplar":["G9"]}}})";
    core::ConsoleCapture cap;
    EXPECT_EQ(_build_diag_index_full(con, {"2", "1"}), expected);
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  [DIAG] full: 2 firma, 5002 bulgu"}));
}

// A value that cannot be read as a number, chunks after the first, ends the request with "{}"
// and its line; the connection serves the next request.
TEST(DiagIndexFull, UnreadableValueDeepInTheFindingsIsReported) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, katman VARCHAR, "
                "kriter VARCHAR, deger VARCHAR, onceki_deger DOUBLE, aciklama VARCHAR, grup VARCHAR, yeni INTEGER); "
                "INSERT INTO diag_eus_kapsam_diskalma SELECT 1, '2401', printf('L%05d', i), 'k', "
                "CASE WHEN i = 4500 THEN 'x' ELSE '1' END, NULL, NULL, NULL, 1 FROM range(5000) t(i); "
                "INSERT INTO diag_eus_kapsam_diskalma VALUES (2, '2401', 'L', 'k', '2', NULL, NULL, NULL, 1)");
    core::ConsoleCapture cap;
    EXPECT_EQ(_build_diag_index_full(con, {"1"}), "{}");
    EXPECT_EQ(_build_diag_index_full(con, {"2"}),
              R"({"2":{"2401":{"bulgular":[{"katman":"L","kriter":"k","deger":2.0,"yeni":1}],"yeni_gruplar":[]}}})");
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  [DIAG] full hata: could not convert string to float: 'x'",
                                                         "  [DIAG] full: 1 firma, 1 bulgu"}));

    // A date is read as its text, which is no number either.
    Vandel dated(":memory:");
    dated.execute("CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, katman VARCHAR, "
                  "kriter VARCHAR, deger DATE, onceki_deger DOUBLE, aciklama VARCHAR, grup VARCHAR, yeni INTEGER); "
                  "INSERT INTO diag_eus_kapsam_diskalma VALUES (3, '2401', 'L', 'k', '2024-01-31', NULL, NULL, NULL, 1)");
    EXPECT_EQ(_build_diag_index_full(dated, {"3"}), "{}");
    EXPECT_EQ(cap.out_lines().back(), "  [DIAG] full hata: could not convert string to float: '2024-01-31'");
}

TEST(DiagIndexFull, QuietEmptyResults) {
    struct Case {
        std::string name;
        std::string setup;
        std::vector<std::string> ids;
    };
    const std::vector<Case> cases = {
        {"table missing", "", {"10"}},
        {"no listed firm has findings", std::string(kFindings) + kFullRows, {"999"}},
        {"empty list", std::string(kFindings) + kFullRows, {}},
    };
    for (const auto& c : cases) {
        Vandel con(":memory:");
        if (!c.setup.empty()) con.execute(c.setup);
        core::ConsoleCapture cap;
        EXPECT_EQ(_build_diag_index_full(con, c.ids), "{}") << c.name;
        EXPECT_EQ(cap.out(), "") << c.name;
        EXPECT_EQ(cap.err(), "") << c.name;
    }
}

TEST(DiagIndexFull, EmptyListSendsNoStatement) {
    // On a closed connection any statement fails; an empty list must not get that far.
    Vandel con(":memory:");
    con.close();
    core::ConsoleCapture cap;
    EXPECT_EQ(_build_diag_index_full(con, {}), "{}");
    EXPECT_EQ(cap.out(), "");
    EXPECT_EQ(_build_diag_index_full(con, {"1"}), "{}");
    EXPECT_EQ(cap.out_lines(),
              (std::vector<std::string>{"  [DIAG] full hata: Connection Error: Connection already closed!"}));
    EXPECT_EQ(cap.err(), "Traceback (most recent call last):\n  in _build_diag_index_full\n"
                         "ConnectionException: Connection Error: Connection already closed!\n");
}

// The index is written as JSON text straight from the rows, for a page to embed: each kind of
// stored cell, a number that is not finite, and texts that could end a script element.
TEST(DiagIndexFull, CellsOfEveryKindAreStrictScriptSafeJson) {
    struct Case {
        std::string name;
        std::string columns;  // katman, kriter, deger
        std::string values;   // the same three of the one finding
        std::string finding;  // its JSON up to "yeni"
    };
    const std::vector<Case> cases = {
        {"numbers as stored", "katman INTEGER, kriter DOUBLE, deger DOUBLE", "2, 0.5, 7",
         R"({"katman":2,"kriter":0.5,"deger":7.0,)"},
        {"flag and null", "katman BOOLEAN, kriter VARCHAR, deger DOUBLE", "true, NULL, NULL",
         R"({"katman":true,"kriter":null,)"},
        {"not finite", "katman DOUBLE, kriter VARCHAR, deger DOUBLE", "'nan'::DOUBLE, 'k', 'inf'::DOUBLE",
         R"({"katman":null,"kriter":"k","deger":null,)"},
        {"values read as numbers", "katman DATE, kriter DECIMAL(6,2), deger VARCHAR", "'2024-01-31', 12.5, ' 2.50 '",
         R"({"katman":"2024-01-31","kriter":12.5,"deger":2.5,)"},
        {"whole and flag values read as numbers", "katman SMALLINT, kriter BIGINT, deger BOOLEAN", "-3, 9007199254740993, true",
         R"({"katman":-3,"kriter":9007199254740993,"deger":1.0,)"},
        {"text that could end the page's script", "katman VARCHAR, kriter VARCHAR, deger DOUBLE",
         "'</script>', 'a \"b\" & c', 1.5",
         R"({"katman":"\u003c/script\u003e","kriter":"a \"b\" \u0026 c","deger":1.5,)"},
    };
    for (const Case& c : cases) {
        Vandel con(":memory:");
        con.execute("CREATE TABLE diag_eus_kapsam_diskalma (muta VARCHAR, donem VARCHAR, " + c.columns +
                    ", onceki_deger DOUBLE, aciklama VARCHAR, grup VARCHAR, yeni INTEGER); "
                    "INSERT INTO diag_eus_kapsam_diskalma VALUES ('<7>', '2401', " + c.values +
                    ", NULL, NULL, 'G<1>', 1)");
        core::ConsoleCapture cap;
        EXPECT_EQ(_build_diag_index_full(con, {"<7>"}),
                  R"({"\u003c7\u003e":{"2401":{"bulgular":[)" + c.finding +
                      R"("grup":"G\u003c1\u003e","yeni":1}],"yeni_gruplar":["G\u003c1\u003e"]}}})")
            << c.name;
    }
}

bool filter_table_exists(Vandel& con) {
    return con.query("SELECT table_name FROM information_schema.tables WHERE table_name='_diag_filter'")
               .nrows() > 0;
}

TEST(DiagIndexFull, RepeatedRequestsStartFromAnEmptyFilter) {
    Vandel con(":memory:");
    con.execute(std::string(kFindings) + kFullRows);
    // A filter left behind by a failed request, holding a firm of its own.
    con.execute("CREATE TEMP TABLE _diag_filter (muta VARCHAR); INSERT INTO _diag_filter VALUES ('12')");
    core::ConsoleCapture cap;
    const std::string first = _build_diag_index_full(con, {"11"});
    EXPECT_FALSE(filter_table_exists(con));
    const std::string second = _build_diag_index_full(con, {"12"});
    EXPECT_FALSE(filter_table_exists(con));
    EXPECT_EQ(first,
              R"({"11":{"2401":{"bulgular":[{"katman":"L1","kriter":"k1","deger":1.0,"yeni":1}],"yeni_gruplar":[]}}})");
    EXPECT_EQ(second,
              R"({"12":{"2401":{"bulgular":[{"katman":"L1","kriter":"k1","deger":1.0,"grup":"G1","yeni":1}],)"
              R"("yeni_gruplar":["G1"]}}})");
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  [DIAG] full: 1 firma, 1 bulgu",
                                                         "  [DIAG] full: 1 firma, 1 bulgu"}));
}

TEST(DiagIndexFull, DetailQueryFailureIsReportedAndLeavesFilterForNextRequest) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE diag_eus_kapsam_diskalma (muta BIGINT, donem VARCHAR, kriter VARCHAR)");
    core::ConsoleCapture cap;
    EXPECT_EQ(_build_diag_index_full(con, {"1"}), "{}");
    const auto lines = cap.out_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "  [DIAG] full hata: Binder Error: Table \"d\" does not have a column named \"yeni\"");
    EXPECT_NE(cap.err().find("BinderException: Binder Error: "), std::string::npos) << cap.err();
    EXPECT_TRUE(filter_table_exists(con));
}

}  // namespace
}  // namespace tarvo::marts
