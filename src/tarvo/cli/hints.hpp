// The second line the command line prints after an error that has a common cause: it starts
// with "hint: " and says what to do.
#pragma once

#include <exception>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvo::cli {

// What the user asked for: the command and its path arguments (empty when the command has none).
struct Invocation {
    std::string command;
    std::filesystem::path source_dir, db_path;
};

// The hint for `error` raised by `call`, or none. Recognised mistakes:
//   marts before transform       (the marts find no fact_periodic)
//   swapped arguments            (ingest/run: SOURCE_DIR is no directory and DB_PATH is one)
//   a directory as the warehouse (IsADirectoryError)
//   a warehouse not built yet    (transform/marts on a missing file)
//   a missing warehouse directory, a DB_PATH file that is not a warehouse, a demo directory
//   holding other files, the warehouse engine out of memory
std::optional<std::string> hint_for(const Invocation& call, const std::exception& error);

}  // namespace tarvo::cli
