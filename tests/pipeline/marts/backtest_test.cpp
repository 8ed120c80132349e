// Back-test summary and firm lists against small warehouses built here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/backtest.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {
namespace {

using core::Document;
using vandel::Vandel;

std::string compact(const Document& d) { return core::to_json(d, core::JsonStyle::compact); }

struct Case {
    std::string name;
    std::string setup;
    std::string doc;
    std::vector<std::string> lines;
};

TEST(BacktestSummary, EntriesGuardsAndClosingLine) {
    const std::vector<Case> cases = {
        {"no table", "", R"({"eus":null,"yis":null,"ml":null})", {"  [BACKTEST] Tablo yok, atlanıyor"}},
        {"empty tables",
         "CREATE TABLE backtest_eus (donem VARCHAR, tp INTEGER); CREATE TABLE backtest_ml (fold INTEGER)",
         R"({"eus":null,"yis":null,"ml":null})",
         {"  [BACKTEST] Tablo yok, atlanıyor"}},
        {"eus rows sorted by the first column, sums and rounded means",
         "CREATE TABLE backtest_eus (donem VARCHAR, tp INTEGER, fp INTEGER, fn INTEGER, tn INTEGER, "
         "precision_val DOUBLE, recall_val DOUBLE, f1 DOUBLE); "
         "INSERT INTO backtest_eus VALUES ('2402', 3, 1, NULL, 10, 0.5, 0.25, NULL), "
         "('2401', 2, 0, 4, 20, 0.123456, 0.25, NULL)",
         R"({"eus":{"donem_metrikleri":[)"
         R"({"donem":"2401","tp":2,"fp":0,"fn":4,"tn":20,"precision_val":0.123456,"recall_val":0.25,"f1":null},)"
         R"({"donem":"2402","tp":3,"fp":1,"fn":null,"tn":10,"precision_val":0.5,"recall_val":0.25,"f1":null}],)"
         R"("toplam_donem":2,"toplam_tp":5,"toplam_fp":1,"toplam_fn":4,"toplam_tn":30,)"
         R"("ort_precision":0.3117,"ort_recall":0.25,"ort_f1":NaN},"yis":null,"ml":null})",
         {"  [BACKTEST] Özet: eus"}},
        {"yis without tp and f1; fractional counts summed before the fraction is dropped; an exact "
         "half rounds to even; a stored NaN is kept in the rows and left out of the mean",
         "CREATE TABLE backtest_yis (donem INTEGER, fp DOUBLE, precision_val DOUBLE); "
         "INSERT INTO backtest_yis VALUES (2401, 1.5, 0.03125), (2402, 1.5, 0.03125), (2403, 0.9, 'NaN')",
         R"({"eus":null,"yis":{"donem_metrikleri":[)"
         R"({"donem":2401,"fp":1.5,"precision_val":0.03125},{"donem":2402,"fp":1.5,"precision_val":0.03125},)"
         R"({"donem":2403,"fp":0.9,"precision_val":NaN}],)"
         R"("toplam_donem":3,"toplam_tp":0,"toplam_fp":3,"toplam_fn":0,"toplam_tn":0,)"
         R"("ort_precision":0.0312,"ort_recall":null,"ort_f1":null},"ml":null})",
         {"  [BACKTEST] Özet: yis"}},
        {"ml keeps its six keys even with count columns",
         "CREATE TABLE backtest_ml (fold INTEGER, tp INTEGER, auc DOUBLE, f1 DOUBLE); "
         "INSERT INTO backtest_ml VALUES (2, 5, 0.8, 0.6), (1, 7, 0.7, 0.4)",
         R"({"eus":null,"yis":null,"ml":{"fold_detay":[{"fold":1,"tp":7,"auc":0.7,"f1":0.4},)"
         R"({"fold":2,"tp":5,"auc":0.8,"f1":0.6}],"toplam_fold":2,"ort_auc":0.75,)"
         R"("ort_precision":null,"ort_recall":null,"ort_f1":0.5}})",
         {"  [BACKTEST] Özet: ml"}},
        {"a failing model is null and the others are still read",
         "CREATE TABLE backtest_eus (donem VARCHAR, tp VARCHAR); INSERT INTO backtest_eus VALUES ('2401', 'x'); "
         "CREATE TABLE backtest_ml (fold INTEGER, auc DOUBLE); INSERT INTO backtest_ml VALUES (1, 0.9)",
         R"({"eus":null,"yis":null,"ml":{"fold_detay":[{"fold":1,"auc":0.9}],"toplam_fold":1,)"
         R"("ort_auc":0.9,"ort_precision":null,"ort_recall":null,"ort_f1":null}})",
         {"  [BACKTEST] eus: column tp holds a value that is not a number: 'x'", "  [BACKTEST] Özet: ml"}},
    };
    for (const auto& c : cases) {
        Vandel con(":memory:");
        if (!c.setup.empty()) con.execute(c.setup);
        core::ConsoleCapture cap;
        EXPECT_EQ(compact(_build_backtest_summary(con)), c.doc) << c.name;
        EXPECT_EQ(cap.out_lines(), c.lines) << c.name;
    }
}

TEST(BacktestSummary, FailureGoesToStandardErrorWithItsKind) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE backtest_yis (donem VARCHAR, tn VARCHAR); INSERT INTO backtest_yis VALUES ('1', 'a')");
    core::ConsoleCapture cap;
    _build_backtest_summary(con);
    EXPECT_EQ(cap.err(), "Traceback (most recent call last):\n  in _build_backtest_summary\n"
                         "TypeError: column tn holds a value that is not a number: 'a'\n");
}

TEST(BacktestFirmaLists, ListsGuardsAndLines) {
    const std::vector<Case> cases = {
        {"no table", "", R"({"eus":null,"yis":null,"ml":null})", {}},
        {"only TN rows, and an empty table",
         "CREATE TABLE backtest_eus_firma (entity_id VARCHAR, kategori VARCHAR); "
         "INSERT INTO backtest_eus_firma VALUES ('1', 'TN'), ('2', 'TN'); "
         "CREATE TABLE backtest_ml_firma (entity_id VARCHAR, kategori VARCHAR)",
         R"({"eus":null,"yis":null,"ml":null})",
         {}},
        {"distinct keys per list in key order, a firm in two lists, numbers as text, FN before FP in the line",
         "CREATE TABLE backtest_yis_firma (entity_id BIGINT, kategori VARCHAR, donem VARCHAR); "
         "INSERT INTO backtest_yis_firma VALUES (4, 'FN', '2402'), (1, 'TP', '2401'), (1, 'TP', '2402'), "
         "(2, 'FP', '2401'), (3, 'FN', '2401'), (1, 'FN', '2403'), (5, 'TN', '2401')",
         R"({"eus":null,"yis":{"tp":["1"],"fp":["2"],"fn":["1","3","4"]},"ml":null})",
         {"  [BACKTEST] yis firma: TP=1, FN=3, FP=1"}},
        {"a failing model is reported, the others still listed",
         "CREATE TABLE backtest_eus_firma (id VARCHAR, kategori VARCHAR); "
         "INSERT INTO backtest_eus_firma VALUES ('1', 'TP'); "
         "CREATE TABLE backtest_ml_firma (entity_id VARCHAR, kategori VARCHAR); "
         "INSERT INTO backtest_ml_firma VALUES ('9', 'FP')",
         R"({"eus":null,"yis":null,"ml":{"tp":[],"fp":["9"],"fn":[]}})",
         {"<eus failure>", "  [BACKTEST] ml firma: TP=0, FN=0, FP=1"}},
    };
    for (const auto& c : cases) {
        Vandel con(":memory:");
        if (!c.setup.empty()) con.execute(c.setup);
        core::ConsoleCapture cap;
        EXPECT_EQ(compact(_build_backtest_firma_lists(con)), c.doc) << c.name;
        auto lines = cap.out_lines();
        ASSERT_EQ(lines.size(), c.lines.size()) << c.name;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (c.lines[i] == "<eus failure>") {
                EXPECT_EQ(lines[i].rfind("  [BACKTEST] eus firma: Binder Error: ", 0), 0u) << lines[i];
                EXPECT_NE(cap.err().find("in _build_backtest_firma_lists\nBinderException: Binder Error: "),
                          std::string::npos)
                    << cap.err();
            } else {
                EXPECT_EQ(lines[i], c.lines[i]) << c.name;
            }
        }
    }
}

}  // namespace
}  // namespace tarvo::marts
