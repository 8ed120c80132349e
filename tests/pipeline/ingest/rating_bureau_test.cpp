// Rating criteria and bureau extracts.
#include <gtest/gtest.h>

#include "bronze_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/rating_bureau.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(BronzeTest, RatingCriteriaGiveSmallestDayValueAndZeroCheckFlag) {
    const fs::path src = dir / "rkd_donem_data";
    // "MUTA" wins over `muta`, which is then no criterion; "_pigd" in lower case is neither kind.
    write_parquet(src / "rkd_data_2403.parquet",
                  "SELECT * FROM (VALUES "
                  " ('00123', '999', 40.0, NULL, 15::BIGINT, 1.0, 0.0, NULL, 'abc'),"
                  " ('124', '998', NULL, 'x', NULL, 1.0, 2.0, NULL, NULL),"
                  " ('125', '997', 12.5, '30', 20::BIGINT, NULL, NULL, '-1', NULL),"
                  " (NULL, '996', 1.0, '1', 1::BIGINT, 1.0, 1.0, '1', '1')"
                  ") t(\"MUTA\", muta, \"K1_PIGD\", \"K2_PSCD\", \"K4_PIGD\", \"K3_pigd\", \"Z1_A\", \"Z2_ASGD\", \"Z3_AIGD\")");
    write_parquet(src / "rkd_data_202403.parquet", "SELECT '1' AS \"MUTA\", 1 AS \"K_PIGD\"");  // six digits
    write_parquet(src / "rkd_data_2404.parquet", "SELECT 55 AS muta, 3 AS diger");            // no criteria
    write_parquet(src / "rkd_data_2405.parquet", "SELECT 'abc' AS \"MUTA\", 3 AS \"K_PIGD\"");  // no row left

    EXPECT_EQ(lines_of([&] { ingest::_ingest_rkd_kriter(con, src, std::nullopt); }),
              Lines{"  brz_rkd_kriter: 4 rows"});
    EXPECT_EQ(rows("SELECT * FROM brz_rkd_kriter ORDER BY rowid"),
              (Lines{"'123' | '2403' | 15 | 0",
                     "'124' | '2403' | NULL | 1",
                     "'125' | '2403' | 12 | 1",  // a fractional minimum is truncated
                     "'55' | '2404' | NULL | 0"}));
}

TEST_F(BronzeTest, BureauFiguresFoundByWordsInColumnNames) {
    const fs::path src = dir / "memzuc_data_donem";
    write_parquet(src / "memzuc_2403.parquet",
                  "SELECT * FROM (VALUES (123::BIGINT, 9.0, 1500.25, '7'), (124::BIGINT, 9.0, NULL, 'x')) "
                  "t(muta, \"IDARI_X\", \"IDARI_KANUNI_TAKIP_TUTAR\", \"IKT_6AY_ORT_TUTAR\")");
    write_parquet(src / "memzuc_2404.parquet", "SELECT '0042' AS \"MUTA\", 5 AS \"TOPLAM\"");
    write_parquet(src / "memzuc_24045.parquet", "SELECT '1' AS \"MUTA\"");

    EXPECT_EQ(lines_of([&] { ingest::_ingest_memzuc(con, src, std::nullopt); }), Lines{"  brz_memzuc: 3 rows"});
    EXPECT_EQ(rows("SELECT * FROM brz_memzuc ORDER BY rowid"),
              (Lines{"'123' | '2403' | 1500.25 | 7.0",
                     "'124' | '2403' | 0.0 | 0.0",
                     "'42' | '2404' | 0.0 | 0.0"}));
}

TEST_F(BronzeTest, RatingAndBureauSkipLinesFilterAndMissingCustomerColumn) {
    EXPECT_EQ(lines_of([&] {
                  ingest::_ingest_rkd_kriter(con, dir / "rkd_donem_data", std::nullopt);
                  ingest::_ingest_memzuc(con, dir / "memzuc_data_donem", std::nullopt);
              }),
              (Lines{"  [SKIP] rkd_donem_data not found", "  [SKIP] memzuc_data_donem not found"}));

    write_parquet(dir / "memzuc_data_donem/memzuc_2403.parquet",
                  "SELECT * FROM (VALUES ('1', 1.0), ('2', 2.0)) t(\"MUTA\", \"idari_takip\")");
    const ingest::MutaFilter filter = std::unordered_set<std::string>{"2"};
    EXPECT_EQ(lines_of([&] { ingest::_ingest_memzuc(con, dir / "memzuc_data_donem", filter); }),
              Lines{"  brz_memzuc: 1 rows"});
    EXPECT_EQ(rows("SELECT * FROM brz_memzuc"), Lines{"'2' | '2403' | 2.0 | 0.0"});

    write_parquet(dir / "rkd_donem_data/rkd_data_2403.parquet", "SELECT '1' AS \"Muta\", 1 AS \"K_PIGD\"");
    EXPECT_THROW(ingest::_ingest_rkd_kriter(con, dir / "rkd_donem_data", std::nullopt), core::KeyError);
}

}  // namespace
}  // namespace tarvo::testing
