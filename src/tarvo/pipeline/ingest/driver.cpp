#include "tarvo/pipeline/ingest/driver.hpp"

#include <array>
#include <string_view>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/lodrin/lodrin.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/warehouse_rebuild.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {

namespace {

using IngestFn = void (*)(vandel::Vandel&, const fs::path&, const MutaFilter&);

struct Source {
    std::string_view dir_key;
    IngestFn ingest;
};

// The sources in load order.
constexpr std::array<Source, 10> kSources{{
    {"kik_data_ham_csv", _ingest_kik_izleme},
    {"kredi_db", _ingest_kredi_risk},
    {"yis_tahmin_data", _ingest_yis_tahmin},
    {"eus_tahmin_data", _ingest_eus_tahmin},
    {"eus_hedef_muta", _ingest_eus_hedef},
    {"eus_sql_kapsam_muta", _ingest_eus_kapsam},
    {"statik_db", _ingest_statik},
    {"yis_train_data", _ingest_train_features},
    {"rkd_donem_data", _ingest_rkd_kriter},
    {"memzuc_data_donem", _ingest_memzuc},
}};

}  // namespace

std::vector<std::string_view> source_dir_keys() {
    std::vector<std::string_view> keys;
    for (const Source& source : kSources) keys.push_back(source.dir_key);
    return keys;
}

void check_source_dir(const fs::path& source_dir) {
    std::error_code ec;
    const fs::file_status status = fs::status(source_dir, ec);
    if (!fs::exists(status))
        throw core::FileNotFoundError("source directory " + core::path_text(source_dir) + " does not exist");
    if (!fs::is_directory(status))
        throw core::NotADirectoryError("source directory " + core::path_text(source_dir) + " is not a directory");
}

fs::path _resolve_dir(const fs::path& source_dir, const std::string& subdir, const DataPaths& data_paths) {
    if (auto it = data_paths.find(subdir); it != data_paths.end()) return it->second;
    return source_dir / subdir;
}

void _execute_sql_file(vandel::Vandel& con, const fs::path& sql_path) {
    const std::string text = core::read_file(sql_path);

    std::string kept;
    size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!core::starts_with(core::trim_view(line), "--")) {
            if (!first) kept += '\n';
            kept += line;
            first = false;
        }
        start = end + 1;
    }

    size_t pos = 0;
    while (pos <= kept.size()) {
        size_t semi = kept.find(';', pos);
        if (semi == std::string::npos) semi = kept.size();
        std::string_view piece = core::trim_view(std::string_view(kept).substr(pos, semi - pos));
        if (!piece.empty()) {
            try {
                con.execute(piece);
            } catch (const std::exception&) {
                // A definition that the warehouse rejects is passed over.
            }
        }
        pos = semi + 1;
    }
}

void _create_bronze_tables(vandel::Vandel& con) {
    for (const fs::path& sql_file : core::sorted_glob(lodrin::get_ddl_path(), "*.sql")) _execute_sql_file(con, sql_file);
}

void build_bronze_warehouse(const fs::path& source_dir, const fs::path& db_path, const DataPaths& data_paths,
                            const MutaFilter& muta_filter) {
    vandel::Vandel con(db_path.string());
    _create_bronze_tables(con);

    for (const Source& source : kSources)
        source.ingest(con, _resolve_dir(source_dir, std::string(source.dir_key), data_paths), muta_filter);

    core::Console& out = core::console();
    std::vector<vandel::Row> tables = con.fetchall("SHOW TABLES");
    out.line("\n  Bronze tables: " + std::to_string(tables.size()));
    for (const vandel::Row& row : tables) {
        const std::string name = row.at(0).text_form();
        std::vector<vandel::Row> count = con.fetchall("SELECT COUNT(*) FROM " + name);
        const int64_t n = count.at(0).at(0).as_int();
        if (n > 0) out.line("    " + name + ": " + std::to_string(n));
    }
    con.close();
}

void run_ingest(const fs::path& source_dir, const fs::path& db_path, const DataPaths& data_paths,
                const MutaFilter& muta_filter, bool force) {
    check_source_dir(source_dir);
    WarehouseRebuild rebuild(db_path, force);
    build_bronze_warehouse(source_dir, rebuild.path(), data_paths, muta_filter);
    rebuild.commit();
}

MutaFilter read_muta_filter_file(const fs::path& file) {
    const std::string text = core::read_file(file);
    core::Column lines(core::str);
    std::vector<int64_t> line_numbers;
    int64_t number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++number;
        std::string_view line = core::trim_view(std::string_view(text).substr(start, end - start));
        if (!line.empty()) {
            lines.push_text(std::string(line));
            line_numbers.push_back(number);
        }
        start = end + 1;
    }

    const core::Column mutas = _normalize_muta(lines);
    std::unordered_set<std::string> filter;
    int64_t ignored = 0;
    std::optional<size_t> first_ignored;
    for (size_t i = 0; i < mutas.size(); ++i) {
        if (!mutas.is_null(i)) {
            filter.insert(mutas.text_at(i));
        } else if (++ignored == 1) {
            first_ignored = i;
        }
    }
    if (first_ignored)
        core::console().line("  [WARN] muta filter: " + std::to_string(ignored) +
                             " lines ignored, not customer numbers (first: line " +
                             std::to_string(line_numbers[*first_ignored]) + " \"" +
                             core::shorten_utf8(lines.text_at(*first_ignored), 40) + "\")");
    return filter;
}

}  // namespace tarvo::ingest
