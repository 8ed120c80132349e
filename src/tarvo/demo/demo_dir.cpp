#include "tarvo/demo/demo_dir.hpp"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

namespace tarvo::demo {

namespace {

// What a pipeline run writes under the demo directory.
constexpr std::string_view kPipelineFiles[] = {
    "db/ovik.duckdb",
    "db/ovik.duckdb.wal",
    "outputs/json/sube_bolge_ref.csv",
    "outputs/json/sample_trending_lists.json",
    "outputs/json/sample_scoreboard.json",
    "outputs/html/ovik_dashboard.html",
    "outputs/html/ovik_dashboard_yonetici.html",
    "outputs/html/ovik_dashboard_admin.html",
};

// A pipeline file, a temporary of one ("<file>.tmp<pid>", maybe followed by ".wal" or ".tmp"),
// or the warehouse's spill directory.
bool written_by_pipeline(std::string_view rel) {
    if (rel == "db/ovik.duckdb.tmp") return true;
    for (std::string_view file : kPipelineFiles) {
        if (rel == file) return true;
        if (!rel.starts_with(file) || !rel.substr(file.size()).starts_with(".tmp")) continue;
        std::string_view rest = rel.substr(file.size() + 4);
        const size_t digits = std::min(rest.find_first_not_of("0123456789"), rest.size());
        if (digits == 0) continue;
        rest.remove_prefix(digits);
        if (rest.empty() || rest == ".wal" || rest == ".tmp") return true;
    }
    return false;
}

std::set<std::string> read_manifest(const fs::path& file) {
    std::set<std::string> listed;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) listed.insert(line);
    return listed;
}

// The first entry under `dir`, in path order, that no demo wrote.
std::optional<std::string> first_foreign_entry(const fs::path& dir) {
    const std::set<std::string> listed = read_manifest(dir / DemoDir::kManifest);
    std::vector<std::string> foreign;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string rel = fs::relative(it->path(), dir).generic_string();
        if (written_by_pipeline(rel)) {
            it.disable_recursion_pending();
        } else if (!it->is_directory() && rel != DemoDir::kManifest && !listed.count(rel)) {
            foreign.push_back(rel);
        }
    }
    if (ec) throw core::OSError("cannot read " + core::path_text(dir) + ": " + ec.message());
    if (foreign.empty()) return std::nullopt;
    return *std::min_element(foreign.begin(), foreign.end());
}

}  // namespace

DemoDir::DemoDir(const fs::path& dir) : dir_(dir) {
    std::error_code ec;
    if (fs::exists(dir_, ec) && !fs::is_directory(dir_, ec))
        throw core::NotADirectoryError("demo directory " + core::path_text(dir_) + " is not a directory");
    if (fs::is_directory(dir_, ec))
        if (const auto foreign = first_foreign_entry(dir_))
            throw core::FileExistsError("demo directory " + core::path_text(dir_) + " holds " + *foreign +
                                        ", which tarvo demo did not write; choose a new or empty directory");
    core::make_dirs(dir_);
    manifest_.open(dir_ / kManifest, std::ios::trunc);
    if (!manifest_) throw core::OSError("cannot write " + core::path_text(dir_ / kManifest));
}

void DemoDir::record(const fs::path& file) {
    manifest_ << fs::relative(file, dir_).generic_string() << '\n';
    manifest_.flush();
    if (!manifest_) throw core::OSError("cannot write " + core::path_text(dir_ / kManifest));
}

}  // namespace tarvo::demo
