#include "tarvo/demo/demo.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/console_lines.hpp"
#include "support/source_files.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/brenk/runner.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

namespace fs = std::filesystem;
using tarvo::testing::index_of;
using tarvo::testing::Lines;

TEST(Runner, SummaryLineGivesEachStepsTime) {
    EXPECT_EQ(tarvo::brenk::timing_line({{"ingest", 1.25}, {"transform", 0.04}, {"marts", 12.3}}),
              "  Süreler: ingest 1.2 s, transform 0.0 s, marts 12.3 s");
    EXPECT_EQ(tarvo::brenk::timing_line({{"ingest", 0}, {"transform", 61.06}, {"marts", 0.95}}),
              "  Süreler: ingest 0.0 s, transform 61.1 s, marts 0.9 s");
}

// One whole demo on a small population: the tree is generated, the three steps run in order,
// the verifier reports on the warehouse, and the generated firms fill every watch list, every
// flow-matrix segment and the diagnostic index.
TEST(Demo, RunsThePipelineOnAGeneratedTree) {
    tarvo::testing::TempDir dir("tarvo-demo");
    tarvo::demo::DemoOptions options;
    options.dir = dir / "demo";
    options.firms = 1500;
    options.periods = 7;
    options.seed = 42;

    tarvo::core::ConsoleCapture capture;
    const int status = tarvo::demo::run_demo(options);
    const Lines out = capture.out_lines();
    const std::string root = options.dir.string();

    ASSERT_GE(out.size(), 10u);
    EXPECT_EQ(out[0], "  Generating source tree: " + root + "/source (1,500 firms, 7 periods, seed 42)...");
    EXPECT_TRUE(std::regex_match(out[1], std::regex("    10 sources written in [0-9]+\\.[0-9] s"))) << out[1];
    const size_t bronze = index_of(out, "  Bronze tables: 10");
    const size_t silver = index_of(out, "  Building son_12 window...");
    const size_t marts = index_of(out, "  Building scoreboard mart...");
    const size_t times = static_cast<size_t>(
        std::find_if(out.begin(), out.end(),
                     [](const std::string& l) {
                         // The back-test step runs only in a build with the predictor.
                         return std::regex_match(l, std::regex("  Süreler: ingest [0-9.]+ s, transform [0-9.]+ s, " +
                                                               std::string(TARVO_HAVE_PREDICTOR ? "backtest [0-9.]+ s, " : "") +
                                                               "marts [0-9.]+ s"));
                     }) -
        out.begin());
    const size_t verify = static_cast<size_t>(
        std::find_if(out.begin(), out.end(), [](const std::string& l) { return l.rfind("TARVO DOĞRULAMA", 0) == 0; }) -
        out.begin());
    EXPECT_LT(bronze, silver);
    EXPECT_LT(silver, marts);
    EXPECT_LT(marts, times);
    EXPECT_EQ(times + 1, verify);
    ASSERT_LT(verify, out.size());
    for (const char* line : {"  ✓ dalmer: VARCHAR CAST", "  ✓ dalmer: son_12 parse",
                             "  ✓ entity_id tipler — dim_entity=VARCHAR, fact_periodic=VARCHAR, map_identity=VARCHAR",
                             "  ✓ entity_id JOIN", "  ✓ fact_periodic — 7 dönem, 1K-10K firma"})
        EXPECT_LT(index_of(out, line), out.size()) << line;
    const bool any_fail = std::any_of(out.begin() + static_cast<long>(verify), out.end(),
                                      [](const std::string& l) { return l.rfind("  ✗ ", 0) == 0; });
    EXPECT_EQ(status, any_fail ? 1 : 0);
    EXPECT_EQ(Lines(out.end() - 5, out.end()),
              (Lines{"", "  Dashboards:", "    " + root + "/outputs/html/ovik_dashboard.html",
                     "    " + root + "/outputs/html/ovik_dashboard_yonetici.html",
                     "    " + root + "/outputs/html/ovik_dashboard_admin.html"}));
    for (const char* f : {"db/ovik.duckdb", "outputs/json/sample_scoreboard.json",
                          "outputs/json/sample_trending_lists.json", "outputs/json/sube_bolge_ref.csv",
                          "outputs/html/ovik_dashboard.html", "outputs/html/ovik_dashboard_yonetici.html",
                          "outputs/html/ovik_dashboard_admin.html"})
        EXPECT_TRUE(fs::exists(options.dir / f)) << f;

    tarvo::vandel::Vandel con(":memory:");
    const std::string json = (options.dir / "outputs" / "json").string();
    EXPECT_EQ(tarvo::testing::query_rows(
                  con, "SELECT json_array_length(j->'fastest_rising') > 0, json_array_length(j->'regime_change') > 0, "
                       "json_array_length(j->'persistent_high') > 0, json_array_length(j->'low_but_rising') > 0, "
                       "json_array_length(j->'caught_yi') > 0, json_array_length(j->'missed_yi') > 0 "
                       "FROM (SELECT CAST(content AS JSON) AS j FROM read_text('" + json +
                       "/sample_trending_lists.json'))"),
              (Lines{"True | True | True | True | True | True"}));
    // For every segment: the number of period pairs, the fewest flows in a pair, the fewest
    // bands in a period's snapshot.
    EXPECT_EQ(tarvo::testing::query_rows(
                  con, "WITH d AS (SELECT CAST(content AS JSON) AS j FROM read_text('" + json +
                       "/sample_scoreboard.json')), "
                       "s AS (SELECT unnest(['ALL', 'KUR-TIC', 'KOBI', 'MIKRO', 'ESKK']) AS seg) "
                       "SELECT seg, json_array_length(json_extract(j, '$.flow_matrix.\"' || seg || '\"')), "
                       "list_min(list_transform(json_extract(json_extract(j, '$.flow_matrix.\"' || seg || '\"'), '$[*].flows'), "
                       "x -> json_array_length(x))) > 0, "
                       "list_min(list_transform(json_extract(json_extract(j, '$.band_snapshot.\"' || seg || '\"'), '$[*].bands'), "
                       "x -> len(json_keys(x)))) > 0 "
                       "FROM d, s ORDER BY seg"),
              (Lines{"'ALL' | 5 | True | True", "'ESKK' | 5 | True | True", "'KOBI' | 5 | True | True",
                     "'KUR-TIC' | 5 | True | True", "'MIKRO' | 5 | True | True"}));
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT len(json_keys(j->'diag_index')) > 0 FROM (SELECT CAST(content "
                                              "AS JSON) AS j FROM read_text('" + json + "/sample_scoreboard.json'))"),
              (Lines{"True"}));
}

}  // namespace
