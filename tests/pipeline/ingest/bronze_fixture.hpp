// An in-memory warehouse holding the bronze tables of the definition files, for the source
// tests, and the console lines a call prints.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/source_files.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::testing {

class BronzeTest : public ::testing::Test {
protected:
    BronzeTest() : con(":memory:") { ingest::_create_bronze_tables(con); }

    // The standard-output lines printed by `call`.
    static std::vector<std::string> lines_of(const std::function<void()>& call) {
        core::ConsoleCapture capture;
        call();
        return capture.out_lines();
    }

    std::vector<std::string> rows(std::string_view sql) { return query_rows(con, sql); }

    TempDir dir{"tarvo-ingest"};
    vandel::Vandel con;
};

}  // namespace tarvo::testing
