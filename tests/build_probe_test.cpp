// The build links DuckDB 1.4.4 through its C API and can run a query with it.
#include <gtest/gtest.h>

#include <duckdb.h>

#include <string>

#include "tarvo/build_probe.hpp"

namespace {

TEST(BuildProbe, LoadsDuckdb144) {
  const std::string version = tarvo::duckdb_runtime_version();
  EXPECT_EQ(version.rfind("v1.4.4", 0), 0u) << "loaded DuckDB is " << version;
}

TEST(BuildProbe, InMemoryQueryReturnsValue) {
  duckdb_database db = nullptr;
  duckdb_connection con = nullptr;
  ASSERT_EQ(duckdb_open(nullptr, &db), DuckDBSuccess);
  ASSERT_EQ(duckdb_connect(db, &con), DuckDBSuccess);

  duckdb_result result;
  const duckdb_state state = duckdb_query(con, "SELECT 42", &result);
  const char* error = state == DuckDBSuccess ? nullptr : duckdb_result_error(&result);
  EXPECT_EQ(state, DuckDBSuccess) << (error ? error : "");
  if (state == DuckDBSuccess) {
    EXPECT_EQ(duckdb_row_count(&result), 1u);
    EXPECT_EQ(duckdb_column_count(&result), 1u);
    EXPECT_EQ(duckdb_value_int64(&result, 0, 0), 42);
  }
  duckdb_destroy_result(&result);
  duckdb_disconnect(&con);
  duckdb_close(&db);
}

}  // namespace
