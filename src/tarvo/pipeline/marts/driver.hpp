// The mart run: builds every mart from the silver tables of one warehouse file, writes
// sube_bolge_ref<suffix>.csv, sample_trending_lists<suffix>.json (indented) and
// sample_scoreboard<suffix>.json (compact) into the output directory, and renders the full,
// manager and administrator dashboards into the HTML directory beside it.
//
// output_dir defaults to <parent of the warehouse file's directory>/outputs/json; the HTML
// directory is <parent of output_dir>/html. Both are created with their parents. The six files
// are published together when the run completes (core::OutputBatch): a run that fails or is
// killed leaves every earlier output file as it was, and the temporaries a killed run left
// behind are removed by the next run. Only the prediction step is guarded; any other failure
// ends the run with its error.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tarvo/core/document.hpp"

namespace tarvo::marts {

// ValueError when `file_suffix` holds a path separator: every output file stays in its
// directory.
void check_file_suffix(const std::string& file_suffix);

// Where a mart run writes: the JSON/CSV directory, the HTML directory and its six files.
struct MartOutputs {
    std::filesystem::path json_dir, html_dir;
    std::filesystem::path reference_csv, trending_json, scoreboard_json;
    std::filesystem::path full_html, manager_html, admin_html;

    // The six files in the order a run writes them.
    std::vector<std::filesystem::path> files() const {
        return {reference_csv, trending_json, scoreboard_json, full_html, manager_html, admin_html};
    }
};
MartOutputs mart_outputs(const std::filesystem::path& db_path, const std::optional<std::filesystem::path>& output_dir,
                         const std::string& file_suffix);

// Returns (scoreboard, trending) as they stand at the end of the run. ValueError before any
// step when the suffix holds a path separator. With use_predictor false the prediction step
// only prints "  [ML] Skipping: predictor turned off (--no-predictor)" and everything else is
// as in a build without the predictor.
std::pair<core::Document, core::Document> run_marts(
    const std::filesystem::path& db_path,
    std::optional<std::filesystem::path> output_dir = std::nullopt,
    const std::string& file_suffix = "", bool use_predictor = true);

// The manager dashboard's row filter: KUR-TIC rows, KOBI rows among the run's top 10,000 KOBI
// firms by latest risk, and any row whose latest risk is above 50,000,000. Every row of the table
// it is built from is decided once, at construction: the dashboards ask about each row three
// times. Rows of another table are decided when asked.
class ManagerFilter {
public:
    static constexpr int64_t kTopKobi = 10000;
    static constexpr double kRiskFloor = 50'000'000;

    // The top KOBI set: rows whose "segment" is exactly "KOBI", ordered by "son_risk"
    // descending (missing or null risk counts as 0; ties keep row order), first kTopKobi.
    explicit ManagerFilter(const core::Table& rows);
    bool operator()(const core::RowView& row) const;
    const std::unordered_set<std::string>& kobi_top() const { return kobi_top_; }

private:
    // The columns a decision reads, looked up once per table.
    struct Columns {
        const core::Column *segment, *muta, *son_risk;
        static Columns of(const core::Table& rows);
    };
    bool decide(const Columns& c, size_t r) const;

    std::unordered_set<std::string> kobi_top_;  // text forms of "muta"
    const core::Table* rows_;
    std::vector<bool> passes_;  // per row of rows_
};

// Default output directory for a warehouse path: <parent of its directory>/outputs/json.
std::filesystem::path default_output_dir(const std::filesystem::path& db_path);

}  // namespace tarvo::marts
