// Rebuilding a warehouse beside the old one: the new warehouse is built in a temporary file in
// the same directory and renamed over the old file only when every step of the build succeeded.
// A failed or killed build leaves the previous warehouse exactly as it was.
#pragma once

#include <filesystem>

#include "tarvo/core/temporaries.hpp"

namespace tarvo::ingest {

namespace fs = std::filesystem;

// True when `file` begins like a DuckDB warehouse: the format's magic "DUCK" at byte 8 of its
// header.
bool is_warehouse_file(const fs::path& file);

// Deletes the warehouse file at `db_path` and its write-ahead log `<db_path>.wal`, each when
// present. The log goes with the file: left over from an interrupted run, it must never reach
// a new warehouse. OSError when one exists and cannot be deleted.
void _remove_warehouse(const fs::path& db_path);

// Checks, before anything is deleted, that `db_path` may be rebuilt:
//   FileNotFoundError   its directory does not exist (nothing creates it)
//   IsADirectoryError   it is a directory
//   FileExistsError     it is a file that is neither empty nor a warehouse, unless `force`
void check_warehouse_target(const fs::path& db_path, bool force);

class WarehouseRebuild {
public:
    // Checks the target (check_warehouse_target), removes the temporaries that killed builds of
    // the same warehouse left beside it, and names the new warehouse `<db_path>.tmp<pid>`.
    WarehouseRebuild(const fs::path& db_path, bool force);
    // Without commit(): removes the new warehouse and its log; the old one is untouched.
    ~WarehouseRebuild();
    WarehouseRebuild(const WarehouseRebuild&) = delete;
    WarehouseRebuild& operator=(const WarehouseRebuild&) = delete;

    // Where the steps build the new warehouse (each opens and closes its own connections).
    const fs::path& path() const { return new_path_; }

    // Replaces the old warehouse with the new one: the old file's stale log is removed first,
    // then the new file is renamed over the old one.
    void commit();

private:
    fs::path db_path_, new_path_;
    core::RemoveOnSignal guard_file_, guard_log_;
    bool committed_ = false;
};

}  // namespace tarvo::ingest
