#include "tarvo/ml/backtest.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "ml/planted_warehouse.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/pipeline/marts/driver.hpp"

namespace {

using namespace tarvo;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

fs::path planted_db(const fixtures::TempDir& dir, const fixtures::PlantedOptions& options) {
    fs::create_directories(dir / "db");
    const fs::path db = dir / "db" / "ovik.duckdb";
    vandel::Vandel con(db.string());
    fixtures::build_planted_warehouse(con, options);
    return db;
}

TEST(Backtest, FindsAPlantedSignalPeriodByPeriod) {
    fixtures::TempDir dir("backtest_planted");
    const fs::path db = planted_db(dir, {});
    core::ConsoleCapture cap;
    ml::run_backtest(db.string(), 3, 4);
    const Lines out = cap.out_lines();

    // Ten periods, horizon 3: the newest period with a known outcome is 2407; four folds.
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0], "  Running back-test...");
    for (size_t i = 1; i <= 4; ++i) {
        const std::regex line("  \\[BACKTEST\\] " + fixtures::planted_period(static_cast<int>(i) + 2) +
                              ": AUC ml 0\\.[0-9]{3}, eus 0\\.[0-9]{3}, yis -; [0-9,]+ firma, [0-9]+ pozitif");
        EXPECT_TRUE(std::regex_match(out[i], line)) << out[i];
    }
    EXPECT_EQ(out[5], "  [BACKTEST] -> backtest_eus, backtest_yis, backtest_ml: 4 dönem, firma listeleri 2407");

    vandel::Vandel con(db.string(), vandel::Access::read_only);
    // The model finds the overdue-days signal; the random score finds nothing; without yis
    // scores there is no yis AUC.
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT donem, auc > 0.75 FROM backtest_ml ORDER BY 1"),
              (Lines{"'2404' | True", "'2405' | True", "'2406' | True", "'2407' | True"}));
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT bool_and(auc BETWEEN 0.4 AND 0.6) FROM backtest_eus"), (Lines{"True"}));
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(*), COUNT(auc) FROM backtest_yis"), (Lines{"4 | 0"}));
    // The three models are measured on the same firms and outcomes.
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(DISTINCT (donem, tp + fn, tp + fp + fn + tn)) FROM "
                                       "(SELECT * FROM backtest_ml UNION ALL SELECT * FROM backtest_eus "
                                       "UNION ALL SELECT * FROM backtest_yis)"),
              (Lines{"4"}));
}

TEST(Backtest, ShuffledOutcomesGiveAChanceLevelAuc) {
    fixtures::TempDir dir("backtest_shuffled");
    const fs::path db = planted_db(dir, {.shuffled = true});
    core::ConsoleCapture cap;
    ml::run_backtest(db.string(), 3, 4);
    vandel::Vandel con(db.string(), vandel::Access::read_only);
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(*), bool_and(auc BETWEEN 0.4 AND 0.6) FROM backtest_ml"),
              (Lines{"4 | True"}));
}

TEST(Backtest, TablesHaveTheReadersColumnsAndTheMartsPrintThem) {
    fixtures::TempDir dir("backtest_marts");
    const fs::path db = planted_db(dir, {.firms = 1500});
    {
        core::ConsoleCapture quiet;
        ml::run_backtest(db.string(), 3, 2);
        ml::run_backtest(db.string(), 3, 3);  // replaces the first run's tables
    }
    Lines firm_lines;
    {
        vandel::Vandel con(db.string(), vandel::Access::read_only);
        for (const char* model : {"eus", "yis", "ml"}) {
            const std::string table = std::string("backtest_") + model;
            EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT string_agg(column_name || ' ' || data_type, ', ' ORDER BY "
                                               "ordinal_position) FROM information_schema.columns WHERE table_name = '" +
                                                   table + "'"),
                      (Lines{"'donem VARCHAR, tp BIGINT, fp BIGINT, fn BIGINT, tn BIGINT, precision_val DOUBLE, "
                             "recall_val DOUBLE, f1 DOUBLE, auc DOUBLE'"}))
                << table;
            EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(*) FROM " + table), (Lines{"3"})) << table;
            EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT string_agg(column_name || ' ' || data_type, ', ' ORDER BY "
                                               "ordinal_position) FROM information_schema.columns WHERE table_name = '" +
                                                   table + "_firma'"),
                      (Lines{"'entity_id VARCHAR, kategori VARCHAR'"}));
            // Every firm scored in the newest evaluated period is in exactly one category.
            EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(*) = COUNT(DISTINCT entity_id), COUNT(*) = (SELECT "
                                               "tp + fp + fn + tn FROM " + table + " ORDER BY donem DESC LIMIT 1) FROM " +
                                                   table + "_firma"),
                      (Lines{"True | True"}));
            const auto n = [&](const char* k) {
                return tarvo::testing::query_rows(con, "SELECT COUNT(*) FROM " + table + "_firma WHERE kategori = '" + k + "'")[0];
            };
            firm_lines.push_back("  [BACKTEST] " + std::string(model) + " firma: TP=" + n("TP") + ", FN=" + n("FN") +
                                 ", FP=" + n("FP"));
        }
    }
    std::string newest_auc;
    {
        vandel::Vandel con(db.string(), vandel::Access::read_only);
        newest_auc = tarvo::testing::query_rows(con, "SELECT round(auc, 4) FROM backtest_ml ORDER BY donem DESC LIMIT 1")[0];
    }
    core::ConsoleCapture cap;
    const auto [scoreboard, trending] = marts::run_marts(db);
    // The model description carries the newest evaluated period's AUC.
    EXPECT_EQ(scoreboard["ml_model"]["auc"].to_value().text_form(), newest_auc);
    Lines backtest_lines;
    for (const std::string& line : cap.out_lines())
        if (line.rfind("  [BACKTEST]", 0) == 0) backtest_lines.push_back(line);
    Lines expected = {"  [BACKTEST] Özet: eus, yis, ml"};
    expected.insert(expected.end(), firm_lines.begin(), firm_lines.end());
    EXPECT_EQ(backtest_lines, expected);
}

TEST(Backtest, TooLittleHistoryRemovesEarlierTables) {
    fixtures::TempDir dir("backtest_short");
    const fs::path db = planted_db(dir, {.firms = 600, .periods = 6});
    core::ConsoleCapture cap;
    ml::run_backtest(db.string(), 2, 1);  // 2404 is evaluated: trained on 2401-2402
    ASSERT_EQ(cap.out_lines().back(), "  [BACKTEST] -> backtest_eus, backtest_yis, backtest_ml: 1 dönem, firma listeleri 2404");
    ml::run_backtest(db.string(), 3, 4);  // 2403 would need 2400: nothing to evaluate
    EXPECT_EQ(cap.out_lines().back(),
              "  [BACKTEST] Yetersiz geçmiş: ufuk 3 için değerlendirilecek dönem yok, tablolar kaldırıldı");
    vandel::Vandel con(db.string(), vandel::Access::read_only);
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(*) FROM information_schema.tables WHERE table_name LIKE 'backtest%'"),
              (Lines{"0"}));
}

}  // namespace
