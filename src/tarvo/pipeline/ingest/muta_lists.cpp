#include "tarvo/pipeline/ingest/muta_lists.hpp"

#include <regex>

#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

void ingest_muta_lists(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                       const MutaListSource& source) {
    if (skip_missing_dir(dir, source.dir_key)) return;
    static const std::regex period_pattern(R"(([0-9]{4})\.csv$)");
    int64_t total = 0;
    for (const fs::path& file : core::sorted_glob(dir, source.file_pattern)) {
        const std::optional<std::string> donem = period_in_name(file.filename().string(), period_pattern);
        if (!donem) continue;
        core::Table df = read_text(con, file, ',', Encoding::utf8);
        if (df.nrows() == 0) continue;
        const std::string customer_column = df.names().front();
        df = prepare_mutas(std::move(df), customer_column, muta_filter);
        const size_t n = df.nrows();
        if (n == 0) continue;
        core::Table out = make_out({{"muta", std::move(df["muta"])}, {"donem", constant_text(*donem, n)}});
        total += append_out(con, out, source.insert_sql);
    }
    print_row_count(source.table, total);
}

void _ingest_eus_hedef(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_muta_lists(con, dir, muta_filter, EUS_HEDEF_LISTS);
}

void _ingest_eus_kapsam(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_muta_lists(con, dir, muta_filter, EUS_KAPSAM_LISTS);
}

}  // namespace tarvo::ingest
