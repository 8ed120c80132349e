#include "tarvo/pipeline/ingest/kredi_risk.hpp"

#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

// The file name without its extension, with every "kurumsal_risk_" removed.
std::optional<std::string> risk_period(const fs::path& file) {
    constexpr std::string_view prefix = "kurumsal_risk_";
    std::string text = file.stem().string();
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at))
        text.erase(at, prefix.size());
    return text;
}

std::optional<std::string> muta_with_risk(const core::Table& df, const fs::path& file) {
    require_column(df, "MUTA", file);
    require_column(df, "Risk_Bky_Tl", file);
    return "MUTA";
}

void add_risk(core::Table& df, std::string_view /*customer_column*/, core::Table& out) {
    out.set("kredi_risk", to_rounded_whole(df["Risk_Bky_Tl"]));
}

constexpr PeriodFileSource kKrediRisk{"kredi_db", "kurumsal_risk_*.parquet", "brz_kredi_risk",
                                      risk_period, read_parquet, muta_with_risk, add_risk};

}  // namespace

void _ingest_kredi_risk(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kKrediRisk);
}

}  // namespace tarvo::ingest
