#include "tarvo/pipeline/ingest/train_features.hpp"

#include <regex>

#include "tarvo/core/console.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

std::vector<SegmentIndicator> segment_indicators(const core::Table& df) {
    std::vector<SegmentIndicator> out;
    for (size_t c = 0; c < df.ncols(); ++c) {
        const std::string& name = df.names()[c];
        if (!core::starts_with(name, INDICATOR_PREFIX)) continue;
        std::string segment = name;
        for (const auto& [column, mapped] : SGMNT_MAP)
            if (column == name) segment = std::string(mapped);
        out.push_back({&df.column(c), std::move(segment)});
    }
    return out;
}

bool indicator_is_set(const core::Column& column, size_t row) {
    if (column.is_bool_cell(row)) return column.bool_at(row);
    if (column.is_int_cell(row)) return column.int_at(row) == 1;
    if (column.is_double_cell(row)) return column.double_at(row) == 1.0;
    if (column.is_text_cell(row)) {
        const std::string& t = column.text_at(row);
        return t == "True" || t == "1" || t == "1.0";
    }
    return false;
}

std::optional<std::string> get_segment(const std::vector<SegmentIndicator>& indicators, size_t row) {
    for (const SegmentIndicator& ind : indicators)
        if (indicator_is_set(*ind.column, row)) return ind.segment;
    return std::nullopt;
}

void _ingest_train_features(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    if (skip_missing_dir(dir, "yis_train_data")) return;
    const std::vector<fs::path> files = core::sorted_glob(dir, "yis_21_v21_*.parquet");
    if (files.empty()) {
        core::console().line("  [SKIP] no training parquets");
        return;
    }
    const fs::path& file = files.back();
    const std::string file_name = file.filename().string();
    static const std::regex period_pattern(R"(_([0-9]{4})\.parquet$)");
    const std::string donem = period_in_name(file, period_pattern).value_or("0000");

    core::Table df = read_parquet(con, file);
    require_column(df, "MUTA", file);
    df = prepare_mutas(std::move(df), "MUTA", muta_filter);
    const size_t n = df.nrows();
    const std::vector<SegmentIndicator> indicators = segment_indicators(df);
    core::Column segment(core::str);
    segment.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        std::optional<std::string> s = get_segment(indicators, i);
        s ? segment.push_text(std::move(*s)) : segment.push_null();
    }
    core::Table out = make_out(
        {{"muta", df["muta"]}, {"donem", constant_text(donem, n)}, {"segment", std::move(segment)}});
    const int64_t rows = append_out(con, out, "brz_train_features");
    core::console().line("  brz_train_features: " + std::to_string(rows) + " rows (from " + file_name + ")");
}

}  // namespace tarvo::ingest
