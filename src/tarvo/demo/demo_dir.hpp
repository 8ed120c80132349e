// The demo's own directory: the demo writes only into a directory that is new, empty or was
// written by an earlier demo, and lists every source file it writes in DIR/.tarvo-demo (one
// path relative to DIR per line, added before the file is written), so a later demo removes
// only files a demo wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace tarvo::demo {

namespace fs = std::filesystem;

class DemoDir {
public:
    static constexpr const char* kManifest = ".tarvo-demo";

    // Accepts `dir` when it does not exist, is empty, or holds nothing but the files listed in
    // its manifest and the files a pipeline run writes there (db/ovik.duckdb, its log, the
    // outputs under outputs/json and outputs/html, and their temporaries). Otherwise
    // FileExistsError naming the first other file; nothing is changed then. Creates `dir` and
    // starts a new manifest.
    explicit DemoDir(const fs::path& dir);

    // Lists `file` (a path under the directory) in the manifest.
    void record(const fs::path& file);

private:
    fs::path dir_;
    std::ofstream manifest_;
};

}  // namespace tarvo::demo
