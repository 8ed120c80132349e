#include "tarvo/pipeline/ingest/source_walk.hpp"

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
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

namespace {

// A header name as the error shows it: quoted, cut to 40 bytes at a character boundary (a file
// without a header line has a data line in its place).
std::string shown_name(const std::string& name) {
    constexpr size_t kNameBudget = 40;
    if (name.size() <= kNameBudget) return "'" + name + "'";
    size_t cut = kNameBudget;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return "'" + name.substr(0, cut) + "\u2026'";
}

}  // namespace

void missing_column(const fs::path& file, std::string_view wanted, const std::vector<std::string>& found) {
    constexpr size_t kListBudget = 150;
    std::string list;
    size_t shown = 0;
    for (; shown < found.size(); ++shown) {
        std::string item = shown_name(found[shown]);
        if (shown > 0 && list.size() + item.size() > kListBudget) break;
        if (shown > 0) list += ", ";
        list += item;
    }
    if (found.empty()) list = "none";
    if (shown < found.size()) list += ", and " + std::to_string(found.size() - shown) + " more";
    throw core::KeyError(core::path_text(file) + ": column " + std::string(wanted) + " not found; columns found: " +
                         list);
}

void require_column(const core::Table& df, std::string_view name, const fs::path& file) {
    if (!df.has(name)) missing_column(file, "'" + std::string(name) + "'", df.names());
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
