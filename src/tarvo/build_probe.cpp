#include "tarvo/build_probe.hpp"

#include <duckdb.h>

namespace tarvo {

const char* duckdb_runtime_version() { return duckdb_library_version(); }

}  // namespace tarvo
