// Writes the dashboard pages the browser tests open, and what the tests expect of them.
//
//   tarvo_page_fixtures OUT_DIR
//
// OUT_DIR/db/ovik.duckdb: a generated warehouse (400 firms over 6 periods, findings, back-test
// tables; one firm named "<img src=x onerror=alert(1)>", one branch named
// "</script><script>alert(2)</script>"), run through the marts without the predictor:
// OUT_DIR/outputs/html holds the three pages. Beside them: ml_admin.html (the admin page of a scoreboard whose rows carry ML
// probabilities and reasons, with a model summary), cut.html (a page whose rows had to be cut) and
// empty.html (the scoreboard of a warehouse without periods).
// OUT_DIR/expect.json: the counts and names the tests check against.
#include <filesystem>
#include <iostream>
#include <string>

#include "tarvo/core/console.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/backtest.hpp"
#include "tarvo/pipeline/marts/diag_index.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#include "tarvo/pipeline/marts/ml_list.hpp"
#include "tarvo/pipeline/ronnel/page_frame.hpp"
#include "tarvo/pipeline/ronnel/render.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

using namespace tarvo;
namespace fs = std::filesystem;

const char* const kXssFirm = "<img src=x onerror=alert(1)>";
const char* const kXssBranch = "</script><script>alert(2)</script>";

void build_warehouse(const fs::path& db) {
    vandel::Vandel con(db.string());
    con.execute(R"(
      CREATE TABLE fact_periodic AS
        SELECT CAST(1000 + i AS VARCHAR) AS entity_id, '240' || CAST(p AS VARCHAR) AS donem,
               CASE WHEN i % 23 = 0 AND p >= 5 THEN -1
                    ELSE CAST((i * 37 + p * p * 61 + (i % 7) * p * 45) % 1000 AS DOUBLE) END AS ovik_skor,
               CAST((i * 7919) % 1000 AS DOUBLE) * 100000.0 + p * 1000.5 AS kombine_risk,
               CAST(p * 1000 - (i % 9) * 250 AS DOUBLE) AS risk_degisim
        FROM range(0, 400) t(i), range(1, 7) q(p);
      CREATE TABLE dim_entity AS
        SELECT CAST(1000 + i AS VARCHAR) AS entity_id,
               ['KUR-TIC', 'KOBI', 'MIKRO', 'ESKK'][i % 4 + 1] AS segment,
               CAST(i % 5 + 1 AS BIGINT) AS sube_kodu, CAST((i % 5) // 2 + 1 AS BIGINT) AS bolge_kodu
        FROM range(0, 400) t(i);
      CREATE TABLE map_identity AS
        SELECT CAST(1000 + i AS VARCHAR) AS entity_id,
               CASE WHEN i = 3 THEN '<img src=x onerror=alert(1)>' WHEN i = 5 THEN 'İSTANBUL IŞIK A.Ş.'
                    ELSE 'Firma ' || CAST(i AS VARCHAR) END AS unvan
        FROM range(0, 400) t(i);
      CREATE TABLE ref_sube_bolge(sube_kodu BIGINT, sube_adi VARCHAR, bolge_kodu BIGINT, bolge_adi VARCHAR);
      INSERT INTO ref_sube_bolge VALUES (1, 'Merkez', 1, 'Marmara'), (2, '</script><script>alert(2)</script>', 1, 'Marmara'),
        (3, 'Çarşı', 2, 'Ege'), (4, 'Kadıköy', 2, 'Ege'), (5, 'Konak', 3, 'İç Anadolu');
      CREATE TABLE diag_eus_kapsam_diskalma AS
        SELECT CAST(1000 + i AS VARCHAR) AS muta, '240' || CAST(p AS VARCHAR) AS donem, 'K1' AS katman,
               'kriter ' || CAST(i % 3 AS VARCHAR) AS kriter, CAST(i AS DOUBLE) AS deger, NULL::DOUBLE AS onceki_deger,
               'açıklama' AS aciklama, ['Kapsam dışı', 'Rating kriteri'][i % 2 + 1] AS grup, 1 AS yeni
        FROM range(0, 400, 3) t(i), range(4, 7) q(p);
      CREATE TABLE backtest_eus AS
        SELECT '240' || CAST(p AS VARCHAR) AS donem, 10 + p AS tp, 5 AS fp, 3 AS fn, 300 AS tn,
               0.6 + p / 100.0 AS precision_val, 0.7 AS recall_val, 0.65 AS f1
        FROM range(1, 7) q(p);
      CREATE TABLE backtest_ml AS
        SELECT p AS fold, 0.8 + p / 100.0 AS auc, 0.5 AS precision_val, 0.6 AS recall_val, 0.55 AS f1
        FROM range(1, 4) q(p);
      CREATE TABLE backtest_eus_firma AS
        SELECT CAST(1000 + i AS VARCHAR) AS entity_id, ['TP', 'FP', 'FN'][i % 3 + 1] AS kategori
        FROM range(0, 60) t(i);
    )");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tarvo_page_fixtures OUT_DIR\n";
        return 2;
    }
    try {
        const fs::path out = argv[1];
        fs::create_directories(out / "db");
        const fs::path db = out / "db" / "ovik.duckdb";
        build_warehouse(db);
        core::ConsoleCapture quiet;  // the run's progress lines are not what these pages are about
        // Without the predictor, so the three pages show how absent ML data looks; ml_admin.html below
        // carries ML fields of its own.
        auto [scoreboard, trending] = marts::run_marts(db, std::nullopt, "", /*use_predictor=*/false);
        const fs::path html = out / "outputs" / "html";
        const fs::path ref = out / "outputs" / "json" / "sube_bolge_ref.csv";

        // Manager rows: KUR-TIC and KOBI (fewer than 10,000 KOBI firms), others above 50,000,000.
        core::Table& rows = scoreboard["rows"].as_rows();
        int64_t managers = 0;
        core::Column prob(core::f64), reasons(core::str);
        for (size_t r = 0; r < rows.nrows(); ++r) {
            const core::Value seg = rows.find("segment")->get(r);
            const double risk = rows.find("son_risk")->number_at(r).value_or(0);
            managers += seg == core::Value("KUR-TIC") || seg == core::Value("KOBI") || risk > 50000000;
            if (r % 4 == 0) {
                prob.push_double(0.25 + static_cast<double>(r % 50) / 100.0);
                reasons.push_text("skor 3 dönemde +" + std::to_string(r % 300) + "; gecikme 45 gün");
            } else {
                prob.push_null();
                reasons.push_null();
            }
        }
        rows.set("_ml_yi_prob", std::move(prob));
        rows.set("_ml_neden", std::move(reasons));
        core::Dict features;
        features.set("skor_degisim_3", 0.8123);
        features.set("gecikme_gun", 0.4411);
        core::Dict model;
        model.set("ozellikler", core::Document(std::move(features)));
        model.set("egitim_donemleri", core::Document(core::List{core::Document("2401"), core::Document("2404")}));
        model.set("ufuk", 3);
        model.set("geri_test_auc", 0.8312);
        scoreboard.set("ml_model", core::Document(std::move(model)));

        core::Dict extra;
        {
            vandel::Vandel con(db.string());
            extra.set("backtest_summary", marts::_build_backtest_summary(con));
            extra.set("backtest_firma", marts::_build_backtest_firma_lists(con));
            extra.set("ml_predictions", marts::_build_ml_predictions_list(scoreboard));
            std::vector<std::string> ids;
            for (size_t r = 0; r < rows.nrows(); ++r) ids.push_back(rows.find("muta")->text_form(r));
            extra.set("diag_index_full_json", marts::_build_diag_index_full(con, ids));
        }
        extra.set("page_mode", "admin");
        const core::Document extra_doc(std::move(extra));
        const int64_t ml_count = static_cast<int64_t>(extra_doc["ml_predictions"].size());
        ronnel::RenderOptions admin;
        admin.max_size_mb = 25;
        admin.extra_data = &extra_doc;
        ronnel::render_html(scoreboard, html / "ml_admin.html", ref, admin);

        const ronnel::PageFrame frame = ronnel::page_frame("x");
        const double cut_limit_mb =
            static_cast<double>(frame.before_data.size() + frame.after_data.size() + 60000) / (1024.0 * 1024.0);
        ronnel::RenderOptions cut;
        cut.max_size_mb = cut_limit_mb;
        ronnel::render_html(scoreboard, html / "cut.html", ref, cut);

        // An empty warehouse's scoreboard: no periods, no rows.
        core::Dict empty;
        empty.set("meta", core::Document::empty_dict());
        empty.set("rows", core::Document::empty_list());
        ronnel::render_html(core::Document(std::move(empty)), html / "empty.html", ref);

        core::Dict expect;
        expect.set("n_firms", static_cast<int64_t>(rows.nrows()));
        expect.set("n_periods", static_cast<int64_t>(scoreboard["meta"]["donemler"].size()));
        expect.set("manager_count", managers);
        expect.set("ml_count", ml_count);
        expect.set("xss_firm", kXssFirm);
        expect.set("xss_muta", "1003");
        expect.set("xss_branch", kXssBranch);
        expect.set("turkish_name", "İSTANBUL IŞIK A.Ş.");
        expect.set("cut_limit_bytes", static_cast<int64_t>(cut_limit_mb * 1024 * 1024));
        core::write_file_atomic(out / "expect.json", core::to_json(core::Document(std::move(expect)),
                                                                   core::JsonStyle::indented));
    } catch (const std::exception& e) {
        std::cerr << "tarvo_page_fixtures: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
