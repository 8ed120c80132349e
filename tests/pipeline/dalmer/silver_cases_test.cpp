// The silver step's cases as data: each folder below cases/ is one case (cases/README.md gives
// the format), run on a warehouse holding the bronze tables of the definition files. Adding a
// case is adding a folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/dalmer/transforms.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const fs::path kCasesDir = fs::path(TARVO_SOURCE_DIR) / "tests" / "pipeline" / "dalmer" / "cases";

// The lines of a text file; comment lines (starting with "#") are left out when asked.
Lines lines_of(const fs::path& file, bool drop_comments) {
    std::ifstream in(file, std::ios::binary);
    Lines lines;
    for (std::string line; std::getline(in, line);)
        if (!(drop_comments && line.starts_with('#'))) lines.push_back(line);
    return lines;
}

std::vector<std::string> case_names() {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(kCasesDir))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The rows of `table` written as CSV by the warehouse (header line first, a null as an empty
// field), with the columns of `header` and sorted by all of them.
Lines table_as_csv(tarvo::vandel::Vandel& con, const std::string& table, const std::string& header,
                   const fs::path& scratch_dir) {
    const fs::path csv = scratch_dir / (table + ".csv");
    con.execute("COPY (SELECT " + header + " FROM " + table + " ORDER BY ALL) TO '" + csv.string() + "' (HEADER)");
    return lines_of(csv, false);
}

class SilverCase : public ::testing::TestWithParam<std::string> {};

TEST_P(SilverCase, SilverTablesAndConsoleAsExpected) {
    const fs::path case_dir = kCasesDir / GetParam();
    tarvo::core::TempDir dir("tarvo-silver-case");
    const std::string db = (dir / "ovik.duckdb").string();
    {
        tarvo::vandel::Vandel con(db);
        tarvo::ingest::_create_bronze_tables(con);
        if (fs::exists(case_dir / "bronze.sql")) con.execute(tarvo::core::read_file(case_dir / "bronze.sql"));
    }
    // Every case runs the step twice: the second run must rebuild each table, not add to it.
    {
        tarvo::core::ConsoleCapture first_run;
        tarvo::dalmer::run_transforms(db);
    }
    tarvo::core::ConsoleCapture capture;
    tarvo::dalmer::run_transforms(db);

    int expectations = 0;
    if (fs::exists(case_dir / "console.txt")) {
        EXPECT_EQ(capture.out_lines(), lines_of(case_dir / "console.txt", false)) << "console.txt";
        ++expectations;
    }
    tarvo::vandel::Vandel con(db);
    for (const fs::path& expected_file : tarvo::core::sorted_glob(case_dir, "*.csv")) {
        const Lines expected = lines_of(expected_file, true);
        ASSERT_FALSE(expected.empty()) << expected_file.filename() << " has no header line";
        EXPECT_EQ(table_as_csv(con, expected_file.stem().string(), expected.front(), dir.path()), expected)
            << expected_file.filename();
        ++expectations;
    }
    EXPECT_GT(expectations, 0) << "the case expects nothing: add a console.txt or a <table>.csv";
}

INSTANTIATE_TEST_SUITE_P(Cases, SilverCase, ::testing::ValuesIn(case_names()),
                         [](const ::testing::TestParamInfo<std::string>& case_info) { return case_info.param; });

}  // namespace
