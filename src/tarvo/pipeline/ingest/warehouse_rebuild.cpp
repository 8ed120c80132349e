#include "tarvo/pipeline/ingest/warehouse_rebuild.hpp"

#include <array>
#include <fstream>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

namespace tarvo::ingest {

namespace {

fs::path log_of(const fs::path& db_path) { return fs::path(db_path.string() + ".wal"); }

// Removes a file if present; a failure to remove one that exists ends the run.
void remove_if_present(const fs::path& file) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return;  // not a file: opening the warehouse there fails
    fs::remove(file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw core::OSError("cannot delete " + core::path_text(file) + ": " + ec.message());
}

}  // namespace

bool is_warehouse_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 12> head{};
    if (!in.read(head.data(), head.size())) return false;
    return std::string_view(head.data() + 8, 4) == "DUCK";
}

void _remove_warehouse(const fs::path& db_path) {
    remove_if_present(db_path);
    remove_if_present(log_of(db_path));
}

void check_warehouse_target(const fs::path& db_path, bool force) {
    const std::string shown = core::path_text(db_path);
    std::error_code ec;
    const fs::path parent = fs::path(shown).parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec))
        throw core::FileNotFoundError("warehouse directory " + core::path_text(parent) + " does not exist");
    const fs::file_status status = fs::status(db_path, ec);
    if (fs::is_directory(status))
        throw core::IsADirectoryError("warehouse path " + shown + " is a directory, not a file");
    if (force || !fs::exists(status)) return;
    if (fs::is_regular_file(status) && (fs::file_size(db_path, ec) == 0 || is_warehouse_file(db_path))) return;
    throw core::FileExistsError(shown + " is not a warehouse file; it was left as it is");
}

WarehouseRebuild::WarehouseRebuild(const fs::path& db_path, bool force)
    : db_path_(db_path),
      new_path_(core::temporary_path(db_path)),
      guard_file_(new_path_),
      guard_log_(log_of(new_path_)) {
    check_warehouse_target(db_path_, force);
    const std::string name = db_path_.filename().string();
    const fs::path dir = fs::path(core::path_text(db_path_)).parent_path();
    core::remove_stale_temporaries(dir.empty() ? fs::path(".") : dir,
                                   [&name](std::string_view target) { return target == name; });
    _remove_warehouse(new_path_);
}

WarehouseRebuild::~WarehouseRebuild() {
    if (committed_) return;
    std::error_code ec;
    fs::remove(new_path_, ec);
    fs::remove(log_of(new_path_), ec);
}

void WarehouseRebuild::commit() {
    // The old file's log must never be replayed into the new file.
    remove_if_present(log_of(db_path_));
    std::error_code ec;
    fs::rename(new_path_, db_path_, ec);
    if (ec) throw core::OSError("cannot replace " + core::path_text(db_path_) + ": " + ec.message());
    // A log the build left unmerged belongs to the new file and travels with it.
    if (fs::exists(log_of(new_path_), ec)) fs::rename(log_of(new_path_), log_of(db_path_), ec);
    committed_ = true;
}

}  // namespace tarvo::ingest
