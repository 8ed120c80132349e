#include "tarvo/pipeline/dalmer/transforms.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/source_files.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

namespace fs = std::filesystem;
using tarvo::vandel::Vandel;
using Lines = std::vector<std::string>;

// A warehouse file holding the (empty) bronze tables of the definition files; each test fills
// the rows it needs and runs the silver step on it.
class SilverTest : public ::testing::Test {
protected:
    SilverTest() {
        Vandel con(db.string());
        tarvo::ingest::_create_bronze_tables(con);
    }

    void bronze(std::string_view sql) {
        Vandel con(db.string());
        con.execute(sql);
    }

    Lines run() {
        tarvo::core::ConsoleCapture capture;
        tarvo::dalmer::run_transforms(db.string());
        return capture.out_lines();
    }

    Lines rows(std::string_view sql) {
        Vandel con(db.string(), tarvo::vandel::Access::read_only);
        return tarvo::testing::query_rows(con, sql);
    }

    tarvo::testing::TempDir dir{"tarvo-silver"};
    fs::path db = dir / "ovik.duckdb";
};

// The rows of every silver table are pinned by the cases under cases/ (silver_cases_test.cpp);
// the tests here cover what a case folder cannot express.

TEST_F(SilverTest, FirmKeysStayText) {
    bronze("INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 612.34, 0.2)");
    run();
    EXPECT_EQ(rows("SELECT table_name, data_type FROM information_schema.columns WHERE column_name = 'entity_id' "
                   "ORDER BY table_name"),
              (Lines{"'dim_entity' | 'VARCHAR'", "'fact_periodic' | 'VARCHAR'", "'map_identity' | 'VARCHAR'"}));
}

// A statement that fails halfway through the silver step rolls the whole step back: the silver
// tables of the previous run stay as they were.
TEST_F(SilverTest, AFailedStepKeepsThePreviousSilverTables) {
    bronze("INSERT INTO brz_eus_tahmin VALUES ('7', '2405', 512.5, 0.4)");
    run();
    const Lines before = rows("SELECT entity_id, donem, ovik_skor FROM fact_periodic");
    ASSERT_EQ(before, (Lines{"'7' | '2405' | 512.5"}));
    bronze("INSERT INTO brz_eus_tahmin VALUES ('8', '2406', 300.0, 0.1);"
           "DROP TABLE brz_memzuc; CREATE TABLE brz_memzuc (muta VARCHAR, donem VARCHAR)");
    try {
        run();
        ADD_FAILURE() << "the silver step did not fail";
    } catch (const tarvo::vandel::WarehouseError& e) {
        EXPECT_EQ(e.kind(), tarvo::core::ErrorKind::BinderException);
    }
    EXPECT_EQ(rows("SELECT entity_id, donem, ovik_skor FROM fact_periodic"), before);
}

TEST(Silver, InstalledSourceCarriesTheWindowAndTheSafeParser) {
    const std::string src = tarvo::modules::load("tarvo.pipeline.dalmer").source_of("run_transforms");
    EXPECT_NE(src.find("son_12"), std::string::npos);
    EXPECT_NE(src.find("literal_eval("), std::string::npos);
    EXPECT_EQ(src.find("CAST(muta AS BIGINT) NOT IN"), std::string::npos);
    EXPECT_FALSE(std::regex_search(src, std::regex("AS BIGINT\\)\\s*(NOT\\s+)?IN")));
}

}  // namespace
