#include "tarvo/pipeline/marts/driver.hpp"

#include <exception>
#include <functional>
#include <future>
#include <optional>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/core/output_batch.hpp"
#include "tarvo/core/temporaries.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/marts/admin_data.hpp"
#include "tarvo/pipeline/marts/band_snapshot.hpp"
#include "tarvo/pipeline/marts/backtest.hpp"
#include "tarvo/pipeline/marts/diag_index.hpp"
#include "tarvo/pipeline/marts/enrichment.hpp"
#include "tarvo/pipeline/marts/flow_matrix.hpp"
#include "tarvo/pipeline/marts/ml_list.hpp"
#include "tarvo/pipeline/marts/reference.hpp"
#include "tarvo/pipeline/marts/scoreboard.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"
#include "tarvo/pipeline/marts/trending.hpp"
#include "tarvo/pipeline/ronnel/render.hpp"
#include "tarvo/vandel/engine_settings.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {

namespace fs = std::filesystem;
using core::console;
using core::Dict;
using core::Document;

namespace {

using ApplyPredictions = std::function<void(Document&)>;
using PreparePredictions = ApplyPredictions(const std::string&);

void write_json_file(const fs::path& path, const Document& doc, core::JsonStyle style) {
    core::AtomicFile file(path);
    core::write_json(file.stream(), doc, style, vandel::run_threads());
    file.commit();
    console().line("    -> " + core::path_text(path));
}

// A JSON file written on a thread of its own while the run goes on, when the run may use more
// than one thread (else when it is finished). At a million firms the scoreboard's file and the
// pages each take seconds, mostly on one core, and both only read the scoreboard. The file's line
// comes at once, at its place among the run's lines; a failure to write it comes out of finish(),
// and until then the file is only a temporary.
class BackgroundJsonFile {
public:
    BackgroundJsonFile(const fs::path& path, const Document& doc, core::JsonStyle style) : file_(path) {
        const size_t threads = vandel::run_threads();
        writing_ = std::async(threads > 1 ? std::launch::async : std::launch::deferred,
                              [this, &doc, style, threads] { core::write_json(file_.stream(), doc, style, threads); });
        console().line("    -> " + core::path_text(path));
    }
    // Waits for the text, rethrows its failure, and commits the file.
    void finish() {
        writing_.get();
        file_.commit();
    }

private:
    core::AtomicFile file_;
    std::future<void> writing_;  // last: destroyed first, so a thread never outlives the file
};

// The prediction step. The predictor is looked up by name because a build may leave it out: a
// missing predictor is skipped. Its reading of the warehouse and its fit run first, before the
// scoreboard is built, because at a million firms the two side by side outgrew the small box;
// its lines, its columns (added to the scoreboard in place) and any failure of either half come
// at the step's place in the run. A failure leaves the scoreboard as it was (the predictor
// changes it only once nothing can fail).
class PredictionStep {
public:
    PredictionStep(const fs::path& db_path, bool use_predictor) {
        if (!use_predictor) {
            skipped_ = "predictor turned off (--no-predictor)";
            return;
        }
        std::function<PreparePredictions> prepare;
        try {
            prepare = modules::load("tarvo.ml.zavor").entry<PreparePredictions>("prepare_predictions");
        } catch (const core::ModuleNotFoundError& e) {
            skipped_ = e.what();
            return;
        } catch (const core::AttributeError& e) {
            skipped_ = e.what();
            return;
        }
        try {
            apply_ = prepare(db_path.string());
        } catch (const std::exception&) {
            failure_ = std::current_exception();
        }
    }

    // Once only: the predictor's rows are let go when it is done.
    void apply(Document& scoreboard) {
        if (skipped_) {
            console().line("  [ML] Skipping: " + *skipped_);
            return;
        }
        try {
            console().line("  Running ML predictions...");
            if (failure_) std::rethrow_exception(failure_);
            const ApplyPredictions attach = std::move(apply_);
            attach(scoreboard);
        } catch (const std::exception& e) {
            console().line(std::string("  [ML] Error: ") + e.what());
            console().traceback(e, "run_predictions");
        }
    }

private:
    std::optional<std::string> skipped_;  // why the step is skipped
    ApplyPredictions apply_;
    std::exception_ptr failure_;  // of the first half
};

// "name.ext" with the suffix before the extension.
std::string with_suffix(std::string_view name, const std::string& file_suffix) {
    const size_t dot = name.rfind('.');
    return std::string(name.substr(0, dot)) + file_suffix + std::string(name.substr(dot));
}

void drop_name_fields(Document& rows) {
    for (const char* key : {"sube_adi", "bolge_adi"}) {
        if (rows.is_rows())
            rows.as_rows().drop(key);
        else
            for (Document& row : rows.as_list()) row.as_dict().erase(key);
    }
}

// Output files of any suffix: "<base><suffix><extension>".
bool is_mart_output_name(std::string_view name) {
    static constexpr std::pair<std::string_view, std::string_view> kOutputs[] = {
        {"sube_bolge_ref", ".csv"}, {"sample_trending_lists", ".json"}, {"sample_scoreboard", ".json"},
        {"ovik_dashboard", ".html"}};
    for (const auto& [base, extension] : kOutputs)
        if (name.starts_with(base) && name.ends_with(extension)) return true;
    return false;
}

// An output directory, made with its parents and cleared of temporaries a killed run left.
void prepare_output_dir(const fs::path& dir) {
    core::make_dirs(dir);
    core::remove_stale_temporaries(dir, is_mart_output_name);
}

Document scoreboard_step(vandel::Vandel& con) {
    console().line("  Building scoreboard mart...");
    Document scoreboard = _build_scoreboard(con);
    console().line("    scoreboard: " + std::to_string(scoreboard_row_count(scoreboard)) + " entities, " +
                   std::to_string(scoreboard_periods(scoreboard).size()) + " periods");
    return scoreboard;
}

Document trending_step(vandel::Vandel& con, const Document& scoreboard, const fs::path& trending_json) {
    console().line("  Building trending lists...");
    Document trending = _build_trending_lists(con, scoreboard);
    for (const auto& [key, list] : trending.as_dict())
        console().line("    " + key + ": " + std::to_string(list.size()) + " entities");
    write_json_file(trending_json, trending, core::JsonStyle::indented);
    return trending;
}

// The flow matrix and the band snapshot join the scoreboard.
void band_marts_step(Document& scoreboard) {
    console().line("  Building flow matrix...");
    Document flow_matrix = _build_flow_matrix(scoreboard);
    const FlowCounts counts = flow_counts(flow_matrix);
    scoreboard.set("flow_matrix", std::move(flow_matrix));
    console().line("    " + std::to_string(counts.pairs) + " dönem çifti, " + std::to_string(counts.flows) +
                   " akış, " + std::to_string(counts.segments) + " segment");
    scoreboard.set("band_snapshot", _build_band_snapshot(scoreboard));
}

// The administrator dashboard's extra data, read on a second connection: back-test summary,
// back-test firm lists and ML predictions cut to the manager dashboard's firms, and their full
// diagnostic index.
Document admin_data_step(const fs::path& db_path, const Document& scoreboard, const core::Table& rows,
                         const ManagerFilter& manager_filter) {
    console().line("  Building admin data...");
    vandel::Vandel con_bt(db_path.string());
    Document backtest_summary = _build_backtest_summary(con_bt);
    Document backtest_firma = _build_backtest_firma_lists(con_bt);
    Document ml_predictions = _build_ml_predictions_list(scoreboard);
    std::vector<std::string> admin_entity_ids;
    const core::Column* muta = rows.find("muta");
    for (size_t r = 0; muta && r < rows.nrows(); ++r)
        if (manager_filter(core::RowView(rows, r))) admin_entity_ids.push_back(muta->text_form(r));
    const std::unordered_set<std::string> admin_mutas(admin_entity_ids.begin(), admin_entity_ids.end());
    std::string diag_index_full = _build_diag_index_full(con_bt, admin_entity_ids);
    con_bt.close();

    FirmaFilterResult firma = filter_backtest_firma(backtest_firma, admin_mutas);
    console().line(backtest_firma_line(firma.before, firma.after));
    Document admin_predictions = filter_predictions(ml_predictions, admin_mutas);
    console().line("  [ADMIN] ml_predictions: " +
                   core::group_thousands(static_cast<int64_t>(ml_predictions.size())) + " → " +
                   core::group_thousands(static_cast<int64_t>(admin_predictions.size())) +
                   " firma (admin filtre)");

    Dict extra;
    extra.set("backtest_summary", std::move(backtest_summary));
    extra.set("backtest_firma", std::move(firma.lists));
    extra.set("ml_predictions", std::move(admin_predictions));
    extra.set("diag_index_full_json", Document(std::move(diag_index_full)));
    extra.set("page_mode", "admin");
    return Document(std::move(extra));
}

// The administrator page's size limit in megabytes.
constexpr double kAdminPageMb = 25;

// The full, manager and administrator dashboards. The reference file is published with the
// other outputs; the renderer reads this run's copy.
void dashboards_step(const fs::path& db_path, const Document& scoreboard, const MartOutputs& outputs,
                     const core::OutputBatch& batch) {
    console().line("  Rendering HTML dashboards...");
    prepare_output_dir(outputs.html_dir);
    const fs::path ref_csv = batch.current_path(outputs.reference_csv);
    ronnel::render_html(scoreboard, outputs.full_html, ref_csv, ronnel::RenderOptions{{}, 12.5, nullptr});
    core::RowsRef rows(scoreboard.get("rows"));
    const ManagerFilter manager_filter(*rows);
    const ronnel::RowFilter row_filter = [&manager_filter](const core::RowView& row) {
        return manager_filter(row);
    };
    // The admin page shows the manager page's firms and more: it continues their columns, made
    // after the admin data, whose reading is the run's peak at 100,000 firms. Its admin view is
    // made beside the manager page (both only read the scoreboard).
    const Document extra_data = admin_data_step(db_path, scoreboard, *rows, manager_filter);
    std::future<ronnel::AdminView> admin_view =
        std::async(vandel::run_threads() > 1 ? std::launch::async : std::launch::deferred,
                   [&] { return ronnel::page_admin_view(extra_data, scoreboard, kAdminPageMb); });
    std::optional<ronnel::FirmColumnsBuilder> manager_columns;
    ronnel::render_html(scoreboard, outputs.manager_html, ref_csv,
                        ronnel::RenderOptions{row_filter, 12.5, nullptr, &manager_columns});
    const ronnel::AdminView admin = admin_view.get();
    ronnel::render_html(scoreboard, outputs.admin_html, ref_csv,
                        ronnel::RenderOptions{row_filter, kAdminPageMb, &extra_data, &manager_columns, &admin});
}

}  // namespace

void check_file_suffix(const std::string& file_suffix) {
    if (file_suffix.find('/') != std::string::npos)
        throw core::ValueError("the file suffix '" + core::shorten_utf8(file_suffix, 80) +
                               "' holds a path separator; output files stay in their directory");
}

MartOutputs mart_outputs(const fs::path& db_path, const std::optional<fs::path>& output_dir,
                         const std::string& file_suffix) {
    MartOutputs out;
    out.json_dir = fs::path(core::path_text(output_dir ? *output_dir : default_output_dir(db_path)));
    out.html_dir = out.json_dir.parent_path() / "html";
    out.reference_csv = out.json_dir / with_suffix("sube_bolge_ref.csv", file_suffix);
    out.trending_json = out.json_dir / with_suffix("sample_trending_lists.json", file_suffix);
    out.scoreboard_json = out.json_dir / with_suffix("sample_scoreboard.json", file_suffix);
    out.full_html = out.html_dir / with_suffix("ovik_dashboard.html", file_suffix);
    out.manager_html = out.html_dir / with_suffix("ovik_dashboard_yonetici.html", file_suffix);
    out.admin_html = out.html_dir / with_suffix("ovik_dashboard_admin.html", file_suffix);
    return out;
}

fs::path default_output_dir(const fs::path& db_path) {
    return fs::path(core::path_text(db_path)).parent_path().parent_path() / "outputs" / "json";
}

ManagerFilter::Columns ManagerFilter::Columns::of(const core::Table& rows) {
    return {rows.find("segment"), rows.find("muta"), rows.find("son_risk")};
}

ManagerFilter::ManagerFilter(const core::Table& rows) : rows_(&rows) {
    const Columns c = Columns::of(rows);
    if (c.segment && c.muta) {
        std::vector<size_t> kobi;
        std::vector<std::optional<double>> keys;
        for (size_t i = 0; i < rows.nrows(); ++i) {
            if (c.segment->is_text_cell(i) && c.segment->text_at(i) == "KOBI") {
                kobi.push_back(i);
                keys.push_back(c.son_risk ? c.son_risk->number_at(i).value_or(0) : 0);
            }
        }
        std::vector<size_t> order = core::stable_order(keys, /*descending=*/true);
        for (size_t k = 0; k < order.size() && static_cast<int64_t>(k) < kTopKobi; ++k)
            kobi_top_.insert(c.muta->text_form(kobi[order[k]]));
    }
    passes_.resize(rows.nrows());
    for (size_t r = 0; r < rows.nrows(); ++r) passes_[r] = decide(c, r);
}

bool ManagerFilter::operator()(const core::RowView& row) const {
    if (&row.table() == rows_ && row.index() < passes_.size()) return passes_[row.index()];
    return decide(Columns::of(row.table()), row.index());
}

bool ManagerFilter::decide(const Columns& c, size_t r) const {
    const bool is_text = c.segment && c.segment->is_text_cell(r);
    if (is_text && c.segment->text_at(r) == "KUR-TIC") return true;
    if (is_text && c.segment->text_at(r) == "KOBI" && c.muta && kobi_top_.count(c.muta->text_form(r))) return true;
    if (!c.son_risk) return false;
    const std::optional<double> risk =
        c.son_risk->is_text_cell(r) ? core::parse_number(c.son_risk->text_at(r)) : c.son_risk->number_at(r);
    return risk.value_or(0) > kRiskFloor;
}

std::pair<Document, Document> run_marts(const fs::path& db_path, std::optional<fs::path> output_dir,
                                        const std::string& file_suffix, bool use_predictor) {
    check_file_suffix(file_suffix);
    const MartOutputs outputs = mart_outputs(db_path, output_dir, file_suffix);
    PredictionStep prediction(db_path, use_predictor);
    vandel::Vandel con(db_path.string());
    prepare_output_dir(outputs.json_dir);
    core::OutputBatch batch;  // every file is published at the end

    Document scoreboard = scoreboard_step(con);
    console().line("  Exporting sube_bolge_ref.csv...");
    _export_sube_bolge_ref(con, outputs.json_dir, file_suffix);
    Document trending = trending_step(con, scoreboard, outputs.trending_json);
    Document diag_index = _build_diag_index(con);
    con.close();

    _enrich_with_trending(scoreboard, trending);
    prediction.apply(scoreboard);
    band_marts_step(scoreboard);
    if (diag_index.size() > 0) scoreboard.set("diag_index", std::move(diag_index));
    drop_name_fields(scoreboard["rows"]);  // names travel only through the reference file
    BackgroundJsonFile scoreboard_file(outputs.scoreboard_json, scoreboard, core::JsonStyle::compact);
    dashboards_step(db_path, scoreboard, outputs, batch);
    scoreboard_file.finish();
    batch.publish();
    return {std::move(scoreboard), std::move(trending)};
}

}  // namespace tarvo::marts
