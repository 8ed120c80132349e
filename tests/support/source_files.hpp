// Source extracts for the ingest tests, built by the tests themselves: a private temporary
// directory, text files written byte for byte or encoded to Windows-1254 through iconv, and
// Parquet files written by the warehouse engine's COPY.
#pragma once

#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tarvo/vandel/vandel.hpp"

namespace tarvo::testing {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
public:
    explicit TempDir(std::string_view tag = "tarvo-test") {
        std::string tmpl = (fs::temp_directory_path() / (std::string(tag) + "-XXXXXX")).string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& p) const { return path_ / p; }

private:
    fs::path path_;
};

// Writes `bytes` to `file` unchanged, creating missing parent directories.
inline void write_bytes(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

// `utf8` encoded to Windows-1254 (every character must exist in that code page).
inline std::string to_cp1254(std::string_view utf8) {
    iconv_t cd = ::iconv_open("CP1254", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP1254");
    std::string out(utf8.size() + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    const size_t rc = ::iconv(cd, &in, &in_left, &dst, &dst_left);
    ::iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) throw std::runtime_error("text not representable in cp1254");
    out.resize(out.size() - dst_left);
    return out;
}

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
