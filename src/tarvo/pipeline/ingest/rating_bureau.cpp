#include "tarvo/pipeline/ingest/rating_bureau.hpp"

#include <regex>

#include "tarvo/core/files.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

template <size_t N>
bool ends_with_any(std::string_view name, const std::array<std::string_view, N>& suffixes) {
    for (std::string_view s : suffixes)
        if (core::ends_with(name, s)) return true;
    return false;
}

// Per row, the smallest number among `cols`, truncated toward zero; null when none holds one.
core::Column smallest_whole(const std::vector<const core::Column*>& cols, size_t nrows) {
    core::Column out(core::i64);
    out.reserve(nrows);
    for (size_t i = 0; i < nrows; ++i) {
        std::optional<double> least;
        for (const core::Column* c : cols) {
            std::optional<double> d = number_at(*c, i);
            if (d && (!least || *d < *least)) least = d;
        }
        std::optional<int64_t> w = least ? core::truncate_to_int(*least) : std::nullopt;
        w ? out.push_int(*w) : out.push_null();
    }
    return out;
}

// The first column whose lower-cased name contains both words.
const core::Column* column_with_words(const core::Table& df, std::string_view a, std::string_view b) {
    for (size_t c = 0; c < df.ncols(); ++c) {
        const std::string lower = core::to_lower(df.names()[c]);
        if (core::contains(lower, a) && core::contains(lower, b)) return &df.column(c);
    }
    return nullptr;
}

core::Column numbers_or_zero(const core::Column* col, size_t nrows) {
    return col ? to_numbers(*col, 0.0) : core::Column::repeat(core::Value(0.0), nrows);
}

}  // namespace

void derive_rkd_figures(const core::Table& df, std::string_view customer_column, core::Table& out) {
    std::vector<const core::Column*> day, zero_check;
    for (size_t c = 0; c < df.ncols(); ++c) {
        const std::string& name = df.names()[c];
        if (name == customer_column || name == "muta") continue;
        if (ends_with_any(name, UZAK_SUFFIXES)) day.push_back(&df.column(c));
        if (ends_with_any(name, SIFIR_SUFFIXES)) zero_check.push_back(&df.column(c));
    }
    const size_t n = df.nrows();
    out.set("min_uzak_gun", day.empty() ? core::Column(core::i64, n) : smallest_whole(day, n));
    out.set("sifir_flag", any_nonzero(zero_check, n));
}

void derive_memzuc_figures(const core::Table& df, std::string_view /*customer_column*/, core::Table& out) {
    const size_t n = df.nrows();
    out.set("idari_kanuni_takip", numbers_or_zero(column_with_words(df, "idari", "takip"), n));
    out.set("ikt_6ay_ort", numbers_or_zero(column_with_words(df, "6ay", "ort"), n));
}

void ingest_period_figures(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                           const PeriodFigureSource& source) {
    if (skip_missing_dir(dir, source.dir_key)) return;
    const std::regex period_pattern{std::string(source.period_pattern)};
    int64_t total = 0;
    for (const fs::path& file : core::sorted_glob(dir, source.file_pattern)) {
        const std::optional<std::string> donem = period_in_name(file.filename().string(), period_pattern);
        if (!donem) continue;
        core::Table df = read_parquet(con, file);
        if (!df.has("MUTA") && !df.has("muta")) missing_column(file, "'MUTA' or 'muta'", df.names());
        const std::string customer_column = df.has("MUTA") ? "MUTA" : "muta";
        df = prepare_mutas(std::move(df), customer_column, muta_filter);
        const size_t n = df.nrows();
        if (n == 0) continue;
        core::Table out = make_out({{"muta", df["muta"]}, {"donem", constant_text(*donem, n)}});
        source.derive(df, customer_column, out);
        total += append_out(con, out, source.insert_sql);
    }
    print_row_count(source.table, total);
}

void _ingest_rkd_kriter(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_figures(con, dir, muta_filter, RKD_CRITERIA);
}

void _ingest_memzuc(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_figures(con, dir, muta_filter, MEMZUC_BUREAU);
}

}  // namespace tarvo::ingest
