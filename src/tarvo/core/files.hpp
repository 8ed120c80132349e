// File helpers: atomic replacement, sorted glob, directory creation, printed path form.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/temporaries.hpp"

namespace tarvo::core {

namespace fs = std::filesystem;

// Writes a file through a temporary file in the same directory (temporary_path), renamed into
// place on commit(), so a reader never sees half a file; while an OutputBatch is open, commit()
// hands the finished temporary to the batch instead. Destroyed without commit(), or on SIGINT
// or SIGTERM, the temporary file is removed and the target is left as it was.
class AtomicFile {
public:
    explicit AtomicFile(const fs::path& target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return out_; }
    // Flushes, checks for write errors (OSError) and renames into place.
    void commit();

private:
    fs::path target_, tmp_;
    RemoveOnSignal guard_;
    std::ofstream out_;
    bool committed_ = false;
};

// A fresh private directory under the system temporary directory ("<tag>-XXXXXX"), removed
// with everything in it when destroyed.
class TempDir {
public:
    explicit TempDir(std::string_view tag = "tarvo");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& p) const { return path_ / p; }

private:
    fs::path path_;
};

// Replaces `target` with `content` atomically.
void write_file_atomic(const fs::path& target, std::string_view content);

// Reads a whole file (FileNotFoundError / OSError).
std::string read_file(const fs::path& path);

// Entries of `dir` whose names match the glob `pattern` (case-sensitive; "*" does not match a
// leading "."), sorted by the full path's bytes. A missing directory gives no entries.
std::vector<fs::path> sorted_glob(const fs::path& dir, std::string_view pattern);

// Creates a directory and its missing parents; an existing directory is fine.
void make_dirs(const fs::path& dir);

// The path as printed: normal form, no doubled or trailing separators.
std::string path_text(const fs::path& p);

}  // namespace tarvo::core
