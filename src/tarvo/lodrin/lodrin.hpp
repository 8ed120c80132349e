// The path registry: where the bronze table definitions are.
#pragma once

#include <filesystem>

namespace tarvo::lodrin {

namespace fs = std::filesystem;

// The directory holding the bronze definition files ("*.sql") for the running program
// (found through /proc/self/exe); see ddl_path_for_program.
fs::path get_ddl_path();

// For a program at `exe`: `<exe dir>/../share/tarvo/sql/bronze` when that directory exists (an
// installed program), otherwise the source tree's `sql/bronze` that the build was configured
// from (a program run in its build tree).
fs::path ddl_path_for_program(const fs::path& exe);

}  // namespace tarvo::lodrin
