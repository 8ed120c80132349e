#include "tarvo/pipeline/marts/driver.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/silver_warehouse.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/modules/registry.hpp"

#if TARVO_HAVE_PREDICTOR
namespace tarvo::zavor {
void register_module(modules::Registry&);
}
#endif

namespace {

using namespace tarvo;
namespace fs = std::filesystem;

void build_warehouse(const fs::path& db) {
    vandel::Vandel con(db.string());
    fixtures::create_silver_tables(con);
    con.execute(R"(
        INSERT INTO fact_periodic VALUES
          ('1', '2401', 300, 60000000, NULL), ('1', '2402', 700, 70000000, 10000000),
          ('2', '2401', 900, 100, NULL),      ('2', '2402', -1, 200, 100),
          ('3', '2401', 100, 5, NULL),        ('3', '2402', 200, 5, 0);
        INSERT INTO dim_entity VALUES ('1', 'MIKRO', 1, 1), ('2', 'KUR-TIC', 1, 1), ('3', 'KOBI', 2, 1);
        INSERT INTO map_identity VALUES ('1', 'Bir <b>A.Ş.</b>'), ('2', 'İki'), ('3', 'Üç');
        INSERT INTO ref_sube_bolge VALUES (1, 'Merkez', 1, 'Marmara'), (2, 'Çarşı', 1, 'Marmara');
    )");
}

// The run as a build without the predictor sees it: the module taken out of the registry
// while alive, and put back afterwards.
class WithoutPredictor {
public:
    WithoutPredictor() : removed_(modules::registry().remove("tarvo.ml.zavor")) {}
    ~WithoutPredictor() {
#if TARVO_HAVE_PREDICTOR
        if (removed_) zavor::register_module(modules::registry());
#endif
    }
    WithoutPredictor(const WithoutPredictor&) = delete;
    WithoutPredictor& operator=(const WithoutPredictor&) = delete;

private:
    [[maybe_unused]] bool removed_;  // read only in a build with the predictor
};

TEST(MartRun, WritesEveryFileAndPrintsTheRunOrder) {
    fixtures::TempDir dir("mart_run");
    fs::create_directories(dir.path() / "db");
    const fs::path db = dir.path() / "db" / "ovik.duckdb";
    build_warehouse(db);
    WithoutPredictor no_module;
    core::ConsoleCapture cap;
    auto [scoreboard, trending] = marts::run_marts(db, std::nullopt, "_test");

    const fs::path json = dir.path() / "outputs" / "json";
    const fs::path html = dir.path() / "outputs" / "html";
    const std::vector<std::string> expected = {
        "  Building scoreboard mart...",
        "  [DIAG] Tablo yok, atlanıyor",
        "    scoreboard: 3 entities, 2 periods",
        "  Exporting sube_bolge_ref.csv...",
        "    sube_bolge_ref.csv: 2 rows -> " + (json / "sube_bolge_ref_test.csv").string(),
        "  Building trending lists...",
        "    fastest_rising: 1 entities",
        "    regime_change: 0 entities",
        "    persistent_high: 0 entities",
        "    low_but_rising: 1 entities",
        "    caught_yi: 1 entities",
        "    missed_yi: 0 entities",
        "    -> " + (json / "sample_trending_lists_test.json").string(),
        "  [DIAG] Tablo yok, atlanıyor",
        "    trending flags: 2 entities enriched",
        "  [ML] Skipping: No module named 'tarvo.ml.zavor'",
        "  Building flow matrix...",
        "    1 dönem çifti, 3 akış, 5 segment",
        "    -> " + (json / "sample_scoreboard_test.json").string(),
        "  Rendering HTML dashboards...",
        "  Building admin data...",
        "  [BACKTEST] Tablo yok, atlanıyor",
        "  [ML] yi_prob >= 0.3: 0 firma",
        "  [ADMIN] backtest_firma: 0 → 0 ID (admin filtre)",
        "  [ADMIN] ml_predictions: 0 → 0 firma (admin filtre)",
    };
    EXPECT_EQ(cap.out_lines(), expected);

    for (const char* f : {"ovik_dashboard_test.html", "ovik_dashboard_yonetici_test.html", "ovik_dashboard_admin_test.html"})
        EXPECT_TRUE(fs::exists(html / f)) << f;
    const std::string written = core::read_file(json / "sample_scoreboard_test.json");
    EXPECT_EQ(written.find("sube_adi"), std::string::npos);
    EXPECT_EQ(written.find("bolge_adi\":"), std::string::npos);
    EXPECT_NE(written.find("\"flow_matrix\""), std::string::npos);
    EXPECT_NE(written.back(), '\n');
    EXPECT_FALSE(scoreboard["rows"].as_rows().has("sube_adi"));
    const auto& keys = scoreboard.as_dict();
    std::vector<std::string> top;
    for (const auto& [k, v] : keys) top.push_back(k);
    EXPECT_EQ(top, (std::vector<std::string>{"meta", "rows", "diag_index", "flow_matrix", "band_snapshot"}));
    EXPECT_EQ(trending["caught_yi"].size(), 1u);

    // The manager page holds firm 1 (risk above 50,000,000), 2 (KUR-TIC) and 3 (top KOBI), its name escaped
    // inside the page's JSON data.
    const std::string manager = core::read_file(html / "ovik_dashboard_yonetici_test.html");
    EXPECT_NE(manager.find("\"n_passed\":3,\"n_shown\":3"), std::string::npos);
    EXPECT_NE(manager.find("Bir \\u003cb\\u003eA.Ş.\\u003c/b\\u003e"), std::string::npos);
    EXPECT_EQ(manager.find("<b>A.Ş."), std::string::npos);
}

// --no-predictor prints its one line where the missing module's line stands and leaves every
// output file as a run without the module writes it.
TEST(MartRun, NoPredictorMatchesARunWithoutTheModule) {
    fixtures::TempDir dir("mart_nopred");
    const fs::path db = dir.path() / "w.duckdb";
    build_warehouse(db);
    std::vector<std::string> without_module, turned_off;
    {
        WithoutPredictor no_module;
        core::ConsoleCapture cap;
        marts::run_marts(db, dir.path() / "a" / "json");
        without_module = cap.out_lines();
    }
    {
        core::ConsoleCapture cap;
        marts::run_marts(db, dir.path() / "b" / "json", "", /*use_predictor=*/false);
        turned_off = cap.out_lines();
    }
    // The same lines, but for the step's own line and the output directory's name.
    const std::string b_dir = dir.path().string() + "/b/";
    for (std::string& line : turned_off)
        if (const size_t at = line.find(b_dir); at != std::string::npos) line[at + b_dir.size() - 2] = 'a';
    for (std::string& line : without_module)
        if (line == "  [ML] Skipping: No module named 'tarvo.ml.zavor'")
            line = "  [ML] Skipping: predictor turned off (--no-predictor)";
    EXPECT_EQ(turned_off, without_module);
    for (const char* f : {"json/sample_scoreboard.json", "json/sample_trending_lists.json", "json/sube_bolge_ref.csv",
                          "html/ovik_dashboard.html", "html/ovik_dashboard_yonetici.html",
                          "html/ovik_dashboard_admin.html"})
        EXPECT_EQ(core::read_file(dir.path() / "a" / f), core::read_file(dir.path() / "b" / f)) << f;
}

#if TARVO_HAVE_PREDICTOR
// The predictor reads the warehouse and fits before the scoreboard is built, but a failure there
// is reported where the step stands in the run, and the run goes on without its columns.
TEST(MartRun, APredictorFailureIsReportedAtTheStepsPlace) {
    fixtures::TempDir dir("mart_predictor_fails");
    const fs::path db = dir.path() / "w.duckdb";
    build_warehouse(db);
    {
        vandel::Vandel con(db.string());
        con.execute("CREATE TABLE brz_yis_tahmin AS SELECT '1' AS muta, '2402' AS donem, 'yok' AS yis_skor");
    }
    core::ConsoleCapture cap;
    auto [scoreboard, trending] = marts::run_marts(db, dir.path() / "json");
    const std::vector<std::string> out = cap.out_lines();
    const auto at = [&](std::string_view line) { return std::find(out.begin(), out.end(), line) - out.begin(); };
    const auto running = at("  Running ML predictions...");
    ASSERT_LT(static_cast<size_t>(running + 1), out.size());
    EXPECT_EQ(running, at("    trending flags: 2 entities enriched") + 1);
    EXPECT_TRUE(out[static_cast<size_t>(running + 1)].starts_with("  [ML] Error: Conversion Error: ")) << out[running + 1];
    EXPECT_EQ(running + 2, at("  Building flow matrix..."));
    EXPECT_EQ(at("  Building scoreboard mart..."), 0);
    EXPECT_NE(cap.err().find("in run_predictions"), std::string::npos) << cap.err();
    EXPECT_FALSE(scoreboard["rows"].as_rows().has("_ml_yi_prob"));
    EXPECT_TRUE(fs::exists(dir.path() / "html" / "ovik_dashboard_admin.html"));
}
#endif

TEST(MartRun, OutputDirectoryRules) {
    fixtures::TempDir dir("mart_dirs");
    const fs::path db = dir.path() / "w.duckdb";
    build_warehouse(db);
    core::ConsoleCapture cap;
    marts::run_marts(db, dir.path() / "x" / "out");
    EXPECT_TRUE(fs::exists(dir.path() / "x" / "out" / "sample_scoreboard.json"));
    EXPECT_TRUE(fs::exists(dir.path() / "x" / "out" / "sube_bolge_ref.csv"));
    EXPECT_TRUE(fs::exists(dir.path() / "x" / "html" / "ovik_dashboard.html"));
    EXPECT_EQ(marts::default_output_dir("/r/db/ovik.duckdb"), fs::path("/r/outputs/json"));
    EXPECT_EQ(marts::default_output_dir("db/ovik.duckdb"), fs::path("outputs/json"));
}

TEST(MartRun, MissingFactTableEndsTheRunBeforeAnyFile) {
    fixtures::TempDir dir("mart_missing");
    fs::create_directories(dir.path() / "db");
    const fs::path db = dir.path() / "db" / "ovik.duckdb";
    { vandel::Vandel con(db.string()); }
    core::ConsoleCapture cap;
    try {
        marts::run_marts(db);
        FAIL() << "no error";
    } catch (const core::Error& e) {
        EXPECT_EQ(e.kind(), core::ErrorKind::CatalogException);
    }
    EXPECT_TRUE(core::sorted_glob(dir.path() / "outputs" / "json", "*").empty());
}

core::Table manager_rows() {
    core::Table t;
    t.set("muta", core::Column::of_str({"a", "b", "c", "d", "e", "f"}));
    t.set("segment", core::Column::of_str({"KUR-TIC", "MIKRO", "MIKRO", "KOBI", "KOBI", std::nullopt}));
    t.set("son_risk", core::Column::of_i64({0, 50000000, 50000001, 0, 7, 60000000}));
    return t;
}

TEST(ManagerFilter, SegmentAndRiskRules) {
    core::Table t = manager_rows();
    marts::ManagerFilter filter(t);
    std::vector<bool> passes;
    for (size_t i = 0; i < t.nrows(); ++i) passes.push_back(filter(core::RowView(t, i)));
    EXPECT_EQ(passes, (std::vector<bool>{true, false, true, true, true, true}));
}

TEST(ManagerFilter, TopKobiSetIsTheFirstTenThousandByRisk) {
    const size_t n = 10001;
    std::vector<std::optional<std::string>> muta, seg;
    std::vector<std::optional<int64_t>> risk;
    for (size_t i = 0; i < n; ++i) {
        muta.push_back(std::to_string(i));
        seg.push_back("KOBI");
        risk.push_back(i == n - 1 ? std::optional<int64_t>(1) : std::nullopt);
    }
    core::Table t;
    t.set("muta", core::Column::of_str(muta));
    t.set("segment", core::Column::of_str(seg));
    t.set("son_risk", core::Column::of_i64(risk));
    marts::ManagerFilter filter(t);
    EXPECT_EQ(filter.kobi_top().size(), 10000u);
    EXPECT_TRUE(filter.kobi_top().count("10000"));  // the one firm with a risk comes first
    EXPECT_TRUE(filter.kobi_top().count("9998"));
    EXPECT_FALSE(filter.kobi_top().count("9999"));  // ties keep row order: the last null-risk firm is out
}

}  // namespace
