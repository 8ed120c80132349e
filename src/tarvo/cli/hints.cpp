#include "tarvo/cli/hints.hpp"

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/vandel/engine_settings.hpp"

namespace tarvo::cli {

namespace fs = std::filesystem;

std::optional<std::string> hint_for(const Invocation& call, const std::exception& error) {
    using core::ErrorKind;
    const ErrorKind kind = core::kind_of(error);
    const std::string db = core::path_text(call.db_path);
    const bool builds = call.command == "ingest" || call.command == "run";
    const bool reads = call.command == "transform" || call.command == "marts";
    std::error_code ec;

    if (kind == ErrorKind::CatalogException && call.command == "marts" && core::contains(error.what(), "fact_periodic"))
        return "hint: the warehouse has no silver tables yet; run 'tarvo transform " + db +
               "' first, or 'tarvo run SOURCE_DIR " + db + "' for the whole pipeline";
    if ((kind == ErrorKind::NotADirectoryError || kind == ErrorKind::FileNotFoundError) && builds &&
        !fs::is_directory(call.source_dir, ec) && fs::is_directory(call.db_path, ec))
        return "hint: the arguments look swapped; SOURCE_DIR comes first: tarvo " + call.command + " " + db + " " +
               core::path_text(call.source_dir);
    if (kind == ErrorKind::IsADirectoryError)
        return "hint: DB_PATH names the warehouse file, not its directory, e.g. " +
               core::path_text(call.db_path / "ovik.duckdb");
    if (kind == ErrorKind::FileNotFoundError && reads && !fs::exists(call.db_path, ec))
        return "hint: build the warehouse first: tarvo ingest SOURCE_DIR " + db + " (or tarvo run SOURCE_DIR " + db +
               ")";
    const fs::path db_dir = fs::path(db).parent_path();
    if (kind == ErrorKind::FileNotFoundError && builds && !db_dir.empty() && !fs::exists(db_dir, ec))
        return "hint: create the directory first: mkdir -p " + core::path_text(db_dir);
    if (kind == ErrorKind::FileExistsError && builds)
        return "hint: name a new file or an existing warehouse, or add --force to replace " + db;
    if (kind == ErrorKind::OutOfMemoryException)
        return "hint: the warehouse engine ran out of memory at its limit of " +
               vandel::memory_size_text(vandel::engine_settings().memory_limit_bytes) +
               "; give it more with --memory-limit, or fewer --threads";
    if (kind == ErrorKind::FileExistsError && call.command == "demo")
        return "hint: give another --dir, or move that directory's files away first";
    return std::nullopt;
}

}  // namespace tarvo::cli
