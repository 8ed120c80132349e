// Training segments: one-hot segment indicators turned into the segment name.
#include <gtest/gtest.h>

#include "bronze_fixture.hpp"
#include "tarvo/pipeline/ingest/train_features.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(BronzeTest, TrainFeaturesLoadsOnlyTheLastFile) {
    const fs::path src = dir / "yis_train_data";
    write_parquet(src / "yis_21_v21_2403.parquet", "SELECT '9' AS \"MUTA\", 1 AS \"Sgmnt_Kod_KOBI\"");
    // The first set indicator in column order wins; an unmapped code gives the column's own name;
    // the prefix is case-sensitive; a row without a set indicator is kept with a null segment.
    write_parquet(src / "yis_21_v21_2404.parquet",
                  "SELECT * FROM (VALUES"
                  " ('001', 1, 1, 0, 0, 0),"
                  " ('2', 0, 1, 0, 0, 0),"
                  " ('3', 0, 0, 1, 0, 0),"
                  " ('4', 0, 0, 0, 1, 0),"
                  " ('5', 0, 0, 0, 0, 1),"
                  " ('x', 1, 0, 0, 0, 0)"
                  ") t(\"MUTA\", \"Sgmnt_Kod_KOBI\", \"Sgmnt_Kod_MIKRO\", \"Sgmnt_Kod_XYZ\", \"sgmnt_kod_ESKK\","
                  " \"Sgmnt_Kod_KUR-TIC\")");
    EXPECT_EQ(lines_of([&] { ingest::_ingest_train_features(con, src, std::nullopt); }),
              Lines{"  brz_train_features: 5 rows (from yis_21_v21_2404.parquet)"});
    EXPECT_EQ(rows("SELECT * FROM brz_train_features ORDER BY rowid"),
              (Lines{"'1' | '2404' | 'KOBI'", "'2' | '2404' | 'MIKRO'", "'3' | '2404' | 'Sgmnt_Kod_XYZ'",
                     "'4' | '2404' | NULL", "'5' | '2404' | 'KUR-TIC'"}));
}

TEST_F(BronzeTest, TrainFeaturesColumnOrderDecidesAndNameWithoutPeriod) {
    const fs::path src = dir / "yis_train_data";
    write_parquet(src / "yis_21_v21_final.parquet",
                  "SELECT '1' AS \"MUTA\", 1 AS \"Sgmnt_Kod_MIKRO\", 1 AS \"Sgmnt_Kod_KOBI\", 1 AS \"Sgmnt_Kod_ESKK\"");
    write_parquet(src / "yis_21_v21_2404.parquet", "SELECT '2' AS \"MUTA\", 1 AS \"Sgmnt_Kod_KOBI\"");
    const ingest::MutaFilter filter = std::unordered_set<std::string>{"1"};
    EXPECT_EQ(lines_of([&] { ingest::_ingest_train_features(con, src, filter); }),
              Lines{"  brz_train_features: 1 rows (from yis_21_v21_final.parquet)"});
    EXPECT_EQ(rows("SELECT * FROM brz_train_features"), Lines{"'1' | '0000' | 'MIKRO'"});
}

TEST_F(BronzeTest, TrainFeaturesSkipLinesAndNoIndicatorColumn) {
    const fs::path src = dir / "yis_train_data";
    EXPECT_EQ(lines_of([&] { ingest::_ingest_train_features(con, src, std::nullopt); }),
              Lines{"  [SKIP] yis_train_data not found"});
    write_parquet(src / "yis_20_v21_2404.parquet", "SELECT '1' AS \"MUTA\"");
    EXPECT_EQ(lines_of([&] { ingest::_ingest_train_features(con, src, std::nullopt); }),
              Lines{"  [SKIP] no training parquets"});
    write_parquet(src / "yis_21_v21_2405.parquet", "SELECT '1' AS \"MUTA\", 1 AS segment_kod");
    EXPECT_EQ(lines_of([&] { ingest::_ingest_train_features(con, src, std::nullopt); }),
              Lines{"  brz_train_features: 1 rows (from yis_21_v21_2405.parquet)"});
    EXPECT_EQ(rows("SELECT * FROM brz_train_features"), Lines{"'1' | '2405' | NULL"});
}

// Which stored indicator values count as set, each through a Parquet file of its own type.
TEST_F(BronzeTest, TrainFeaturesIndicatorValues) {
    struct Case {
        const char* literal;
        bool set;
    };
    const Case cases[] = {
        {"1.0::DOUBLE", true}, {"true", true},        {"'1.0'", true},      {"'True'", true},
        {"'1'", true},         {"1::BIGINT", true},   {"1.00::DECIMAL(5,2)", true},
        {"0", false},          {"2", false},          {"NULL::DOUBLE", false}, {"''", false},
        {"'true'", false},     {"'yes'", false},      {"false", false},     {"' 1'", false},
        {"0.0::DOUBLE", false}, {"'nan'::DOUBLE", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path src = dir / ("train" + std::to_string(n++));
        write_parquet(src / "yis_21_v21_2401.parquet",
                      "SELECT '7' AS \"MUTA\", " + std::string(c.literal) + " AS \"Sgmnt_Kod_ESKK\"");
        core::ConsoleCapture quiet;
        ingest::_ingest_train_features(con, src, std::nullopt);
        EXPECT_EQ(rows("SELECT segment FROM brz_train_features"), Lines{c.set ? "'ESKK'" : "NULL"}) << c.literal;
        con.execute("DELETE FROM brz_train_features");
    }
}

}  // namespace
}  // namespace tarvo::testing
