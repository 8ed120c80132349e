#include "tarvo/pipeline/ingest/model_scores.hpp"

#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

// "2024_03_pred_n_scor" -> "24" + "03"; a first field of one character contributes nothing.
std::optional<std::string> score_file_period(const fs::path& file) {
    const std::string stem = file.stem().string();
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

std::optional<std::string> required_muta(const core::Table& df, const fs::path& file) {
    require_column(df, "MUTA", file);
    return "MUTA";
}

core::Column probability_values(const core::Table& df, size_t n) {
    const std::optional<std::string> name = _find_ihtimal_col(df.names());
    return name ? to_numbers(df[*name]) : core::Column(core::f64, n);
}

void add_yis_scores(core::Table& df, std::string_view /*customer_column*/, core::Table& out) {
    const std::optional<std::string> score = _find_skor_col(df.names());
    out.set("yis_skor", score ? to_rounded_whole(df[*score]) : core::Column(core::i64, out.nrows()));
    out.set("yis_ihtimal", probability_values(df, out.nrows()));
    const core::Column* label = df.find("label");
    out.set("yis_label", label ? to_truncated_whole(*label, 0) : core::Column::repeat(core::Value(int64_t{0}), out.nrows()));
}

void add_eus_scores(core::Table& df, std::string_view /*customer_column*/, core::Table& out) {
    const std::optional<std::string> score = _find_skor_col(df.names());
    out.set("eus_skor", score ? to_rounded(df[*score], 2) : core::Column(core::f64, out.nrows()));
    out.set("eus_ihtimal", probability_values(df, out.nrows()));
}

constexpr PeriodFileSource kYisScores{"yis_tahmin_data", "*_pred_n_scor.csv", "brz_yis_tahmin",
                                      score_file_period, read_comma_utf8, required_muta, add_yis_scores};
constexpr PeriodFileSource kEusScores{"eus_tahmin_data", "*_pred_n_scor.csv", "brz_eus_tahmin",
                                      score_file_period, read_comma_utf8, required_muta, add_eus_scores};

}  // namespace

void _ingest_yis_tahmin(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kYisScores);
}

void _ingest_eus_tahmin(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kEusScores);
}

}  // namespace tarvo::ingest
