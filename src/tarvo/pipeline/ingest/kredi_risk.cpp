#include "tarvo/pipeline/ingest/kredi_risk.hpp"

#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

constexpr std::string_view kPrefix = "kurumsal_risk_";

std::string remove_all(std::string text, std::string_view part) {
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
    return text;
}

}  // namespace

void _ingest_kredi_risk(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    if (skip_missing_dir(dir, "kredi_db")) return;
    int64_t total = 0;
    for (const fs::path& file : core::sorted_glob(dir, "kurumsal_risk_*.parquet")) {
        const std::string donem = remove_all(file.stem().string(), kPrefix);
        core::Table df = read_parquet(con, file);
        require_column(df, "MUTA", file);
        require_column(df, "Risk_Bky_Tl", file);
        df = prepare_mutas(std::move(df), "MUTA", muta_filter);
        const size_t n = df.nrows();
        core::Table out = make_out({
            {"muta", std::move(df["muta"])},
            {"donem", constant_text(donem, n)},
            {"kredi_risk", to_rounded_whole(df["Risk_Bky_Tl"])},
        });
        total += append_out(con, out, "INSERT INTO brz_kredi_risk SELECT * FROM out");
    }
    print_row_count("brz_kredi_risk", total);
}

}  // namespace tarvo::ingest
