#include "tarvo/pipeline/ingest/muta_lists.hpp"

#include <regex>

#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

std::optional<std::string> list_period(const fs::path& file) {
    static const std::regex period_pattern(R"(([0-9]{4})\.csv$)");
    return period_in_name(file, period_pattern);
}

// The first column holds the customer numbers, whatever its header.
std::optional<std::string> first_column(const core::Table& df, const fs::path& /*file*/) {
    if (df.ncols() == 0) return std::nullopt;
    return df.names().front();
}

constexpr PeriodFileSource kEusHedef{"eus_hedef_muta", "eus_hedef_MUTA_*.csv", "brz_eus_hedef",
                                     list_period, read_comma_utf8, first_column, nullptr};
constexpr PeriodFileSource kEusKapsam{"eus_sql_kapsam_muta", "eus_kapsam_MUTA_*.csv", "brz_eus_kapsam",
                                      list_period, read_comma_utf8, first_column, nullptr};

}  // namespace

void _ingest_eus_hedef(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kEusHedef);
}

void _ingest_eus_kapsam(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kEusKapsam);
}

}  // namespace tarvo::ingest
