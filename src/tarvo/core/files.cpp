#include "tarvo/core/files.hpp"

#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/output_batch.hpp"

namespace tarvo::core {

AtomicFile::AtomicFile(const fs::path& target)
    : target_(target), tmp_(temporary_path(target)), guard_(tmp_) {
    out_.open(tmp_, std::ios::binary | std::ios::trunc);
    if (!out_)
        throw OSError("cannot write " + path_text(target_) + ": " + std::strerror(errno));
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        out_.close();
        std::error_code ec;
        fs::remove(tmp_, ec);
    }
}

void AtomicFile::commit() {
    out_.flush();
    bool ok = out_.good();
    out_.close();
    if (!ok || out_.fail())
        throw OSError("cannot write " + path_text(target_) + ": write failed");
    if (OutputBatch* batch = OutputBatch::current()) {
        batch->stage(target_, tmp_);
    } else {
        std::error_code ec;
        fs::rename(tmp_, target_, ec);
        if (ec) throw OSError("cannot replace " + path_text(target_) + ": " + ec.message());
    }
    committed_ = true;
}

TempDir::TempDir(std::string_view tag) {
    std::string tmpl = (fs::temp_directory_path() / (std::string(tag) + "-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data()))
        throw OSError(std::string("cannot create a temporary directory: ") + std::strerror(errno));
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void write_file_atomic(const fs::path& target, std::string_view content) {
    AtomicFile f(target);
    f.stream().write(content.data(), static_cast<std::streamsize>(content.size()));
    f.commit();
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (!fs::exists(path)) throw FileNotFoundError("No such file or directory: '" + path_text(path) + "'");
        throw OSError("cannot read " + path_text(path) + ": " + std::strerror(errno));
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<fs::path> sorted_glob(const fs::path& dir, std::string_view pattern) {
    std::vector<fs::path> out;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return out;
    std::string pat(pattern);
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        std::string name = entry.path().filename().string();
        if (::fnmatch(pat.c_str(), name.c_str(), FNM_PERIOD) == 0) out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end(),
              [](const fs::path& a, const fs::path& b) { return a.string() < b.string(); });
    return out;
}

void make_dirs(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec && !fs::is_directory(dir))
        throw OSError("cannot create directory " + path_text(dir) + ": " + ec.message());
}

std::string path_text(const fs::path& p) {
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s.empty() ? "." : s;
}

}  // namespace tarvo::core
