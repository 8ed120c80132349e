// Source extracts for the ingest tests, built by the tests themselves: a private temporary
// directory, text files written byte for byte or encoded to Windows-1254 through iconv, and
// Parquet files written by the warehouse engine's COPY.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tarvo/core/codepage.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::testing {

namespace fs = std::filesystem;

using TempDir = core::TempDir;

// Writes `bytes` to `file` unchanged, creating missing parent directories.
inline void write_bytes(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

inline std::string to_cp1254(std::string_view utf8) { return core::encode_cp1254(utf8); }

// Writes `utf8` to `file` in Windows-1254.
inline void write_cp1254(const fs::path& file, std::string_view utf8) { write_bytes(file, to_cp1254(utf8)); }

// Writes the result of `select_sql` (any query of the warehouse engine) as a Parquet file.
inline void write_parquet(const fs::path& file, std::string_view select_sql) {
    fs::create_directories(file.parent_path());
    vandel::Vandel mem(":memory:");
    std::string path;
    for (char c : file.string()) {
        path += c;
        if (c == '\'') path += '\'';
    }
    mem.execute("COPY (" + std::string(select_sql) + ") TO '" + path + "' (FORMAT parquet)");
}

}  // namespace tarvo::testing
