#include "tarvo/pipeline/ingest/statik.hpp"

#include <unordered_set>

#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

// The first eleven columns under the bronze names; further columns are not stored.
core::Table name_by_position(core::Table raw) {
    core::Table df;
    for (size_t i = 0; i < raw.ncols() && i < STATIK_COLUMNS.size(); ++i)
        df.set(STATIK_COLUMNS[i], std::move(raw.column(i)));
    return df;
}

core::Table first_row_per_muta(const core::Table& df) {
    const core::Column& muta = df["muta"];
    std::unordered_set<std::string> seen;
    std::vector<uint8_t> keep(muta.size(), 0);
    bool all = true;
    for (size_t i = 0; i < muta.size(); ++i) {
        keep[i] = seen.insert(muta.text_at(i)).second;
        all = all && keep[i];
    }
    return all ? df : df.filter(keep);
}

// The text form of each field up to its first ",", as a whole number.
core::Column region_codes(const core::Column& col) {
    core::Column cut(core::str);
    cut.reserve(col.size());
    for (size_t i = 0; i < col.size(); ++i) {
        std::string text = col.text_form(i);
        cut.push_text(text.substr(0, text.find(',')));
    }
    return to_exact_whole(cut);
}

}  // namespace

void _ingest_statik(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    if (skip_missing_dir(dir, "statik_db")) return;
    const std::vector<fs::path> files = core::sorted_glob(dir, "statik_bilgiler_*.txt");
    if (files.empty()) return;
    core::Table raw = read_text(con, files.front(), ';', Encoding::cp1254);
    if (raw.ncols() < STATIK_COLUMNS.size())
        missing_column(files.front(),
                       std::to_string(raw.ncols() + 1) + " ('" + std::string(STATIK_COLUMNS[raw.ncols()]) + "')",
                       raw.names());
    core::Table df = name_by_position(std::move(raw));
    df = first_row_per_muta(prepare_mutas(std::move(df), "muta", muta_filter));
    if (df.has("bolge_kodu")) df.set("bolge_kodu", region_codes(df["bolge_kodu"]));
    if (df.has("sube_kodu")) df.set("sube_kodu", to_exact_whole(df["sube_kodu"]));
    std::vector<std::pair<std::string, core::Column>> columns;
    for (std::string_view name : STATIK_COLUMNS) columns.emplace_back(std::string(name), std::move(df[name]));
    core::Table out = make_out(std::move(columns));
    print_row_count("brz_statik", append_out(con, out, "brz_statik"));
}

}  // namespace tarvo::ingest
