# DuckDB as the imported target duckdb::duckdb.
#
# TARVO_DUCKDB_ROOT names a directory with include/duckdb.h and lib/libduckdb.so. By default that is the tree
# scripts/bootstrap lays out in third_party/duckdb; the TARVO_DUCKDB_ROOT environment variable, or
# -DTARVO_DUCKDB_ROOT=DIR, points the build at another DuckDB build instead (e.g. one made from source for a
# machine with no prebuilt library).
#
# Programs in the build tree find libduckdb.so through their build rpath, so build/tarvo runs in place.

if(DEFINED ENV{TARVO_DUCKDB_ROOT} AND NOT "$ENV{TARVO_DUCKDB_ROOT}" STREQUAL "")
  set(_tarvo_duckdb_default "$ENV{TARVO_DUCKDB_ROOT}")
else()
  set(_tarvo_duckdb_default "${CMAKE_SOURCE_DIR}/third_party/duckdb")
endif()
set(TARVO_DUCKDB_ROOT "${_tarvo_duckdb_default}" CACHE PATH
    "Directory holding include/duckdb.h and lib/libduckdb.so (DuckDB 1.4.4)")

set(TARVO_DUCKDB_INCLUDE_DIR "${TARVO_DUCKDB_ROOT}/include")
set(TARVO_DUCKDB_LIBRARY "${TARVO_DUCKDB_ROOT}/lib/libduckdb.so")

if(NOT EXISTS "${TARVO_DUCKDB_INCLUDE_DIR}/duckdb.h" OR NOT EXISTS "${TARVO_DUCKDB_LIBRARY}")
  message(FATAL_ERROR
    "DuckDB not found in TARVO_DUCKDB_ROOT=${TARVO_DUCKDB_ROOT}\n"
    "(looked for include/duckdb.h and lib/libduckdb.so).\n"
    "Run scripts/bootstrap from the project root to download it into third_party/duckdb, "
    "or configure with -DTARVO_DUCKDB_ROOT=DIR to use an existing DuckDB 1.4.4 build.")
endif()

if(NOT TARGET duckdb::duckdb)
  add_library(duckdb::duckdb SHARED IMPORTED GLOBAL)
  set_target_properties(duckdb::duckdb PROPERTIES
    IMPORTED_LOCATION "${TARVO_DUCKDB_LIBRARY}"
    IMPORTED_SONAME "libduckdb.so"
    # Imported include directories are system directories: the header's own warnings stay out of ours.
    INTERFACE_INCLUDE_DIRECTORIES "${TARVO_DUCKDB_INCLUDE_DIR}")
endif()
message(STATUS "DuckDB: ${TARVO_DUCKDB_LIBRARY}")
