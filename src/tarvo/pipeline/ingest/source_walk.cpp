#include "tarvo/pipeline/ingest/source_walk.hpp"

#include "tarvo/core/console.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {

bool skip_missing_dir(const fs::path& dir, std::string_view dir_key) {
    if (fs::exists(dir)) return false;
    core::console().line("  [SKIP] " + std::string(dir_key) + " not found");
    return true;
}

void print_row_count(std::string_view table, int64_t count) {
    core::console().line("  " + std::string(table) + ": " + std::to_string(count) + " rows");
}

std::optional<std::string> period_in_name(const std::string& file_name, const std::regex& pattern) {
    std::smatch m;
    if (!std::regex_search(file_name, m, pattern)) return std::nullopt;
    return m[1].str();
}

core::Column constant_text(const std::string& text, size_t n) {
    core::Column c(core::str);
    c.reserve(n);
    for (size_t i = 0; i < n; ++i) c.push_text(text);
    return c;
}

core::Table make_out(std::vector<std::pair<std::string, core::Column>> columns) {
    core::Table out;
    for (auto& [name, col] : columns) out.set(name, std::move(col));
    return out;
}

int64_t append_out(vandel::Vandel& con, const core::Table& out, std::string_view insert_sql) {
    con.run_with_out(out, insert_sql);
    return static_cast<int64_t>(out.nrows());
}

}  // namespace tarvo::ingest
