#include "tarvo/pipeline/ingest/rating_bureau.hpp"

#include <array>
#include <regex>

#include "tarvo/core/text.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

constexpr std::array<std::string_view, 2> kUzakSuffixes = {"_PIGD", "_PSCD"};
constexpr std::array<std::string_view, 3> kSifirSuffixes = {"_A", "_ASGD", "_AIGD"};

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

// The criterion columns are all but the customer number column (`muta` is already taken out).
void add_rkd_figures(core::Table& df, std::string_view customer_column, core::Table& out) {
    std::vector<const core::Column*> day, zero_check;
    for (size_t c = 0; c < df.ncols(); ++c) {
        const std::string& name = df.names()[c];
        if (name == customer_column) continue;
        if (ends_with_any(name, kUzakSuffixes)) day.push_back(&df.column(c));
        if (ends_with_any(name, kSifirSuffixes)) zero_check.push_back(&df.column(c));
    }
    const size_t n = out.nrows();
    out.set("min_uzak_gun", day.empty() ? core::Column(core::i64, n) : smallest_whole(day, n));
    out.set("sifir_flag", any_nonzero(zero_check, n));
}

void add_memzuc_figures(core::Table& df, std::string_view /*customer_column*/, core::Table& out) {
    const size_t n = out.nrows();
    out.set("idari_kanuni_takip", numbers_or_zero(column_with_words(df, "idari", "takip"), n));
    out.set("ikt_6ay_ort", numbers_or_zero(column_with_words(df, "6ay", "ort"), n));
}

std::optional<std::string> rkd_period(const fs::path& file) {
    static const std::regex period_pattern(R"(rkd_data_([0-9]{4})\.parquet$)");
    return period_in_name(file, period_pattern);
}

std::optional<std::string> memzuc_period(const fs::path& file) {
    static const std::regex period_pattern(R"(memzuc_([0-9]{4})\.parquet$)");
    return period_in_name(file, period_pattern);
}

// "MUTA" when the extract has it, else `muta`; neither ends the run.
std::optional<std::string> muta_column(const core::Table& df, const fs::path& file) {
    if (df.has("MUTA")) return "MUTA";
    if (!df.has("muta")) missing_column(file, "'MUTA' or 'muta'", df.names());
    return "muta";
}

constexpr PeriodFileSource kRkdCriteria{"rkd_donem_data", "rkd_data_*.parquet", "brz_rkd_kriter",
                                        rkd_period, read_parquet, muta_column, add_rkd_figures};
constexpr PeriodFileSource kMemzucBureau{"memzuc_data_donem", "memzuc_*.parquet", "brz_memzuc",
                                         memzuc_period, read_parquet, muta_column, add_memzuc_figures};

}  // namespace

void _ingest_rkd_kriter(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kRkdCriteria);
}

void _ingest_memzuc(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kMemzucBureau);
}

}  // namespace tarvo::ingest
