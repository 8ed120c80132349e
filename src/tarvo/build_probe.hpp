// Build probe: proves the library links against DuckDB's C API.
#pragma once

namespace tarvo {

// The version string of the DuckDB library loaded at run time (duckdb_library_version()), e.g. "v1.4.4".
const char* duckdb_runtime_version();

}  // namespace tarvo
