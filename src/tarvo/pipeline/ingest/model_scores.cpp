#include "tarvo/pipeline/ingest/model_scores.hpp"

#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

// "2024_03_pred_n_scor" -> "24" + "03"; a first field of one character contributes nothing.
std::string score_file_period(const std::string& stem) {
    const size_t first_end = stem.find('_');
    const std::string first = stem.substr(0, first_end);
    std::string second;
    if (first_end != std::string::npos) {
        const size_t second_end = stem.find('_', first_end + 1);
        second = stem.substr(first_end + 1, second_end == std::string::npos ? std::string::npos
                                                                              : second_end - first_end - 1);
    }
    return (first.size() > 2 ? first.substr(2) : std::string()) + second;
}

core::Column score_values(const core::Table& df, const ScoreSource& source) {
    const std::optional<std::string> name = _find_skor_col(df.names());
    if (source.score_decimals == 0)
        return name ? to_rounded_whole(df[*name]) : core::Column(core::i64, df.nrows());
    return name ? to_rounded(df[*name], source.score_decimals) : core::Column(core::f64, df.nrows());
}

core::Column probability_values(const core::Table& df) {
    const std::optional<std::string> name = _find_ihtimal_col(df.names());
    return name ? to_numbers(df[*name]) : core::Column(core::f64, df.nrows());
}

core::Column label_values(const core::Table& df) {
    if (const core::Column* label = df.find("label")) return to_truncated_whole(*label, 0);
    return core::Column::repeat(core::Value(int64_t{0}), df.nrows());
}

}  // namespace

void ingest_score_files(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                        const ScoreSource& source) {
    if (skip_missing_dir(dir, source.dir_key)) return;
    int64_t total = 0;
    for (const fs::path& file : core::sorted_glob(dir, "*_pred_n_scor.csv")) {
        const std::string donem = score_file_period(file.stem().string());
        core::Table df = read_text(con, file, ',', Encoding::utf8);
        require_column(df, "MUTA", file);
        df = prepare_mutas(std::move(df), "MUTA", muta_filter);
        const size_t n = df.nrows();
        std::vector<std::pair<std::string, core::Column>> columns;
        columns.emplace_back("muta", df["muta"]);
        columns.emplace_back("donem", constant_text(donem, n));
        columns.emplace_back(std::string(source.score_column), score_values(df, source));
        columns.emplace_back(std::string(source.prob_column), probability_values(df));
        if (!source.label_column.empty())
            columns.emplace_back(std::string(source.label_column), label_values(df));
        total += append_out(con, make_out(std::move(columns)), source.insert_sql);
    }
    print_row_count(source.table, total);
}

void _ingest_yis_tahmin(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_score_files(con, dir, muta_filter, YIS_SCORES);
}

void _ingest_eus_tahmin(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_score_files(con, dir, muta_filter, EUS_SCORES);
}

}  // namespace tarvo::ingest
