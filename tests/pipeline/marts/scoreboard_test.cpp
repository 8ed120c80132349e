#include "tarvo/pipeline/marts/scoreboard.hpp"

#include <gtest/gtest.h>

#include "support/silver_warehouse.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/reference.hpp"

namespace {

using namespace tarvo;
using core::ConsoleCapture;
using core::JsonStyle;
using core::to_json;

void fill_two_firms(vandel::Vandel& con) {
    con.execute(R"(
        INSERT INTO fact_periodic VALUES
          ('7', '2401', 400.0, 1000.9, NULL), ('7', '2402', 612.5, 2500.7, 1499.8),
          ('9', '2401', -1.0, NULL, NULL),   ('9', '2402', 513.5, 90000000.0, NULL),
          ('5', '2402', NULL, 0.0, NULL),
          ('8', '2401', 10, 5.0, NULL);
        INSERT INTO dim_entity VALUES ('7', 'KOBI', 12, 3), ('9', 'KUR-TIC', 13, 3), ('5', 'MIKRO', 12, 3);
        INSERT INTO map_identity VALUES ('7', 'Öz Ltd'), ('9', 'nan');
        INSERT INTO ref_sube_bolge VALUES (12, 'Kadıköy', 3, 'İstanbul'), (13, 'Şişli', 3, 'İstanbul 2');
    )");
}

TEST(Scoreboard, DocumentKeyForKey) {
    vandel::Vandel con(":memory:");
    fixtures::create_silver_tables(con);
    fill_two_firms(con);
    ConsoleCapture cap;
    core::Document sb = marts::_build_scoreboard(con);
    // Firm 8 is not in dim_entity; firm 5 has neither a score nor a positive risk.
    EXPECT_EQ(to_json(sb["meta"], JsonStyle::compact),
              R"({"donemler":["2401","2402"],"risk_donemler":["2401","2402"],"son_donem":"2402","n_muta":2,)"
              R"("bolge_listesi":["İstanbul"],"sube_listesi":["Kadıköy","Şişli"],"pipeline_ts":"dummy_run","notebook":"brenk"})");
    EXPECT_EQ(to_json(sb["rows"], JsonStyle::compact),
              R"([{"muta":"9","unvan":null,"segment":"KUR-TIC","sube_kodu":13,"sube_adi":"Şişli","bolge_kodu":3,)"
              R"("bolge_adi":"İstanbul","ovik2401":-1,"ovik2402":514,"r2401":null,"r2402":90000000.0,)"
              R"("rd2401":null,"rd2402":null,"son_risk":90000000,"df2401":null,"df2402":0},)"
              R"({"muta":"7","unvan":"Öz Ltd","segment":"KOBI","sube_kodu":12,"sube_adi":"Kadıköy","bolge_kodu":3,)"
              R"("bolge_adi":"İstanbul","ovik2401":400,"ovik2402":612,"r2401":1000.9,"r2402":2500.7,)"
              R"("rd2401":null,"rd2402":1499.8,"son_risk":2500,"df2401":1500,"df2402":0}])");
    EXPECT_TRUE(sb.get("diag_index") != nullptr);
    EXPECT_EQ(sb.as_dict().begin()[2].first, "diag_index");
    EXPECT_TRUE(cap.out().find("[WARN]") == std::string::npos);
}

TEST(Scoreboard, EmptyAndUnmonitoredWarehouses) {
    vandel::Vandel con(":memory:");
    fixtures::create_silver_tables(con);
    {
        ConsoleCapture cap;
        EXPECT_EQ(to_json(marts::_build_scoreboard(con), JsonStyle::compact), R"({"meta":{},"rows":[]})");
        EXPECT_EQ(cap.out_lines(), std::vector<std::string>{"    [WARN] No periods in fact_periodic"});
    }
    con.execute("INSERT INTO fact_periodic VALUES ('1', '2401', NULL, -5, NULL), ('1', '2402', NULL, NULL, NULL)");
    EXPECT_EQ(to_json(marts::_build_scoreboard(con), JsonStyle::compact),
              R"({"meta":{"donemler":["2401","2402"],"son_donem":"2402","n_muta":0},"rows":[]})");
}

TEST(Scoreboard, ScoreCellsOptionalColumnsAndMissingLatestPeriod) {
    vandel::Vandel con(":memory:");
    fixtures::create_silver_tables(con, /*with_optional=*/true);
    con.execute(R"(
        ALTER TABLE fact_periodic ALTER ovik_skor TYPE VARCHAR;
        INSERT INTO fact_periodic VALUES
          ('1', '2401', 'YI', 10, NULL, NULL, NULL, NULL), ('2', '2401', '612.5', 20, NULL, 1, 2, 3),
          ('3', '2401', '-1', 30, NULL, NULL, NULL, NULL), ('4', '2401', 'abc', 40, NULL, NULL, NULL, NULL),
          ('5', '2401', NULL, 50.9, NULL, NULL, NULL, NULL), ('6', '2402', NULL, NULL, NULL, NULL, NULL, NULL);
        INSERT INTO dim_entity VALUES
          ('1', 'A', NULL, NULL, 'EI1', 'R', 'P', 'F', 'T'), ('2', 'A', NULL, NULL, NULL, NULL, NULL, NULL, NULL),
          ('3', 'A', NULL, NULL, NULL, NULL, NULL, NULL, NULL), ('4', 'A', NULL, NULL, NULL, NULL, NULL, NULL, NULL),
          ('5', 'A', NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    )");
    core::Document sb = marts::_build_scoreboard(con);
    const core::Table& rows = sb["rows"].as_rows();
    EXPECT_EQ(rows.names(), (std::vector<std::string>{
                                "muta", "unvan", "segment", "sube_kodu", "sube_adi", "bolge_kodu", "bolge_adi",
                                "son_izleme_kodu", "risk_grup_kodu", "pgy", "finansman_konu", "tahsis_onay_birimi",
                                "ovik2401", "ovik2402", "r2401", "r2402", "rd2401", "rd2402", "son_risk",
                                "depo_risk", "nakit_risk", "gnakit_risk", "df2401", "df2402"}));
    std::map<std::string, std::string> score;  // muta -> ovik2401 as JSON
    for (size_t i = 0; i < rows.nrows(); ++i)
        score[rows.at(i, "muta").as_text()] = core::to_json(core::Document::of(rows.at(i, "ovik2401")), JsonStyle::compact);
    EXPECT_EQ(score, (std::map<std::string, std::string>{
                         {"1", "\"YI\""}, {"2", "612"}, {"3", "-1"}, {"4", "null"}, {"5", "null"}}));
    // No firm has a row in the latest period: son_risk 0 and df = -whole part of r.
    for (size_t i = 0; i < rows.nrows(); ++i) {
        EXPECT_EQ(rows.at(i, "son_risk"), core::Value(int64_t{0}));
        EXPECT_TRUE(rows.at(i, "depo_risk").is_null());
        EXPECT_TRUE(rows.at(i, "ovik2402").is_null());
        if (rows.at(i, "muta").as_text() == "5") {
            EXPECT_EQ(rows.at(i, "df2401"), core::Value(int64_t{-50}));
        }
    }
}

// Period values reach their firm's row whatever order the period rows come in (a firm's periods
// together, every firm once per period, or neither), and both base rows of a firm listed twice
// get them.
TEST(Scoreboard, PeriodRowsInAnyOrderReachTheirFirms) {
    const std::vector<std::string> facts = {"('1', '2401', 100, 10, NULL)", "('1', '2402', 110, 11, 1)",
                                            "('2', '2401', 200, 20, NULL)", "('2', '2402', 220, 22, 2)",
                                            "('3', '2401', 300, 30, NULL)", "('3', '2402', 330, 33, 3)"};
    struct Case {
        const char* name;
        std::vector<size_t> order;  // of facts
        bool firm_listed_twice;
    };
    const Case cases[] = {{"firm by firm", {0, 1, 2, 3, 4, 5}, false},
                          {"period by period", {0, 2, 4, 1, 3, 5}, false},
                          {"mixed", {5, 0, 3, 2, 4, 1}, false},
                          {"firm listed twice", {4, 2, 0, 5, 3, 1}, true}};
    for (const Case& c : cases) {
        vandel::Vandel con(":memory:");
        fixtures::create_silver_tables(con);
        std::string insert = "INSERT INTO fact_periodic VALUES ";
        for (size_t k = 0; k < c.order.size(); ++k) insert += (k ? ", " : "") + facts[c.order[k]];
        con.execute(insert);
        con.execute(std::string("INSERT INTO dim_entity VALUES ('1', 'A', 1, 1), ('2', 'A', 1, 1), ('3', 'A', 1, 1)") +
                    (c.firm_listed_twice ? ", ('2', 'B', 1, 1)" : ""));
        core::Document sb = marts::_build_scoreboard(con);
        std::vector<std::string> got;
        const core::Table& rows = sb["rows"].as_rows();
        for (size_t i = 0; i < rows.nrows(); ++i)
            got.push_back(rows.at(i, "muta").as_text() + ":" + rows.at(i, "ovik2401").text_form() + "," +
                          rows.at(i, "ovik2402").text_form() + "," + rows.at(i, "son_risk").text_form());
        std::vector<std::string> expected = {"3:300,330,33", "2:200,220,22", "1:100,110,11"};
        if (c.firm_listed_twice) expected.insert(expected.begin() + 2, "2:200,220,22");
        EXPECT_EQ(got, expected) << c.name;
    }
}

TEST(BranchReference, CsvFormatAndSuffix) {
    fixtures::TempDir dir("ref_csv");
    vandel::Vandel con(":memory:");
    fixtures::create_silver_tables(con);
    {
        ConsoleCapture cap;
        marts::_export_sube_bolge_ref(con, dir.path(), "_x");
        EXPECT_EQ(cap.out_lines(), std::vector<std::string>{"    sube_bolge_ref.csv: 0 rows -> " +
                                                            (dir.path() / "sube_bolge_ref_x.csv").string()});
    }
    EXPECT_EQ(core::read_file(dir.path() / "sube_bolge_ref_x.csv"), "sube_kodu,sube_adi,bolge_kodu,bolge_adi\r\n");
    con.execute(R"(INSERT INTO ref_sube_bolge VALUES (20, 'Merkez, "Ana"', 1, NULL), (10, 'Çarşı', 2, 'Ege'), (5, 'Bir', 2, 'Ege'))");
    marts::_export_sube_bolge_ref(con, dir.path());
    EXPECT_EQ(core::read_file(dir.path() / "sube_bolge_ref.csv"),
              "sube_kodu,sube_adi,bolge_kodu,bolge_adi\r\n20,\"Merkez, \"\"Ana\"\"\",1,\r\n5,Bir,2,Ege\r\n10,Çarşı,2,Ege\r\n");
}

core::Document strip_fixture() {
    core::Document sb = core::Document::empty_dict();
    core::Dict meta;
    meta.set("donemler", core::List{"2401", "2402", "2403"});
    meta.set("risk_donemler", core::List{"2402", "2403"});
    meta.set("son_donem", "2403");
    meta.set("n_muta", int64_t{1});
    sb.set("meta", core::Document(std::move(meta)));
    core::Table t;
    t.set("muta", core::Column::of_str({"1"}));
    for (const char* p : {"ovik", "r", "rd", "df"})
        for (const char* d : {"2401", "2402", "2403"}) t.set(std::string(p) + d, core::Column::of_i64({1}));
    t.set("son_risk", core::Column::of_i64({5}));
    sb.set("rows", core::Document::rows(std::move(t)));
    return sb;
}

TEST(StripPeriods, KeepsReferencePeriodsOnly) {
    core::Document sb = strip_fixture();
    ConsoleCapture cap;
    marts::_strip_periods(sb, core::Document(core::List{"2401", int64_t{2402}}));
    EXPECT_EQ(cap.out_lines(), std::vector<std::string>{"    dönem filtresi: 3 -> 2 dönem"});
    EXPECT_EQ(to_json(sb["meta"], JsonStyle::compact),
              R"({"donemler":["2401","2402"],"risk_donemler":["2402"],"son_donem":"2402","n_muta":1})");
    EXPECT_EQ(sb["rows"].as_rows().names(),
              (std::vector<std::string>{"muta", "ovik2401", "ovik2402", "r2401", "r2402", "rd2401", "rd2402",
                                        "df2401", "df2402", "son_risk"}));
}

TEST(StripPeriods, NothingToRemoveAndNothingKept) {
    core::Document sb = strip_fixture();
    {
        ConsoleCapture cap;
        marts::_strip_periods(sb, core::Document(core::List{"2401", "2402", "2403"}));
        EXPECT_TRUE(cap.out().empty());
    }
    ConsoleCapture cap;
    marts::_strip_periods(sb, core::Document(core::List{"2024-01-01"}));
    EXPECT_EQ(cap.out_lines(), std::vector<std::string>{"    dönem filtresi: 3 -> 0 dönem"});
    EXPECT_EQ(to_json(sb["meta"], JsonStyle::compact),
              R"({"donemler":[],"risk_donemler":[],"son_donem":"2403","n_muta":1})");
    EXPECT_THROW(marts::_strip_periods(sb, core::Document("2401")), core::TypeError);
}

}  // namespace
