// Credit risk extracts and static firm data.
#include <gtest/gtest.h>

#include "bronze_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;

class KrediRiskTest : public BronzeTest {
protected:
    void SetUp() override {
        // Written out of order: the load follows the names.
        write_parquet(dir / "kredi_db/kurumsal_risk_2403.parquet",
                      "SELECT * FROM (VALUES (127.0, '2.5'), (128.0, 'abc'), (129.0, '1.5e2')) "
                      "t(\"MUTA\", \"Risk_Bky_Tl\")");
        write_parquet(dir / "kredi_db/kurumsal_risk_2402.parquet",
                      "SELECT * FROM (VALUES ('00123', 1500.5), (' 124 ', 1501.5), ('x', 10.0), ('125', NULL)) "
                      "t(\"MUTA\", \"Risk_Bky_Tl\")");
        write_parquet(dir / "kredi_db/kurumsal_big_2403.parquet",
                      "SELECT * FROM (VALUES (1, 1)) t(\"MUTA\", \"Risk_Bky_Tl\")");
        write_parquet(dir / "kredi_db/kurumsal_risk_2404.parquet",
                      "SELECT 130::BIGINT AS \"MUTA\", 9007199254740993::BIGINT AS \"Risk_Bky_Tl\"");
    }
};

TEST_F(KrediRiskTest, LoadsEveryPeriodFileInNameOrderWithRoundedRisk) {
    EXPECT_EQ(lines_of([&] { ingest::_ingest_kredi_risk(con, dir / "kredi_db", std::nullopt); }),
              Lines{"  brz_kredi_risk: 7 rows"});
    EXPECT_EQ(rows("SELECT * FROM brz_kredi_risk ORDER BY rowid"),
              (Lines{"'123' | '2402' | 1500",  // halves go to the even neighbour
                     "'124' | '2402' | 1502",
                     "'125' | '2402' | NULL",
                     "'127' | '2403' | 2",
                     "'128' | '2403' | NULL",
                     "'129' | '2403' | 150",
                     "'130' | '2404' | 9007199254740993"}));  // a stored integer stays exact
}

TEST_F(KrediRiskTest, KeepsOnlyFilteredCustomers) {
    const ingest::MutaFilter filter = std::unordered_set<std::string>{"123", "128"};
    EXPECT_EQ(lines_of([&] { ingest::_ingest_kredi_risk(con, dir / "kredi_db", filter); }),
              Lines{"  brz_kredi_risk: 2 rows"});
    EXPECT_EQ(rows("SELECT muta, donem FROM brz_kredi_risk ORDER BY rowid"),
              (Lines{"'123' | '2402'", "'128' | '2403'"}));
}

TEST_F(BronzeTest, KrediRiskSkipsMissingDirectoryAndFailsWithoutRiskColumn) {
    EXPECT_EQ(lines_of([&] { ingest::_ingest_kredi_risk(con, dir / "kredi_db", std::nullopt); }),
              Lines{"  [SKIP] kredi_db not found"});
    write_parquet(dir / "kredi_db/kurumsal_risk_2402.parquet", "SELECT '1' AS \"MUTA\", 5 AS risk");
    EXPECT_THROW(ingest::_ingest_kredi_risk(con, dir / "kredi_db", std::nullopt), core::KeyError);
}

// Static data: eleven columns by position, headers ignored.
const char* const kStatikFirst =
    "MUSTERI NO;BOLGE;BOLGE ADI;SUBE;SUBE ADI;TIP;GRUP;GRUP ADI;OTORIZE;AKSIYON;KRI;FAZLA\n"
    "abc;1;X;1;X;X;X;X;X;X;X;X\n"
    "00123;12,0;İstanbul Bölge;1234,0;Şişli ; T1;G1;Grup Bir;O1;Ayşe Öz;K1;z\n"
    "123;99;Tekrar;99;Tekrar;T;G;G;O;A;K;z\n"
    "124;12.0;Ankara;1235;Çankaya;T2;G2;Grup İki;O2;Ali;K2;z\n"
    "125;12.5;;7.5;;;;;;;;\n"
    "126;,5;Ege;1236.0;Konak;T3;G3;G3;O3;Can;K3;z\n";

TEST_F(BronzeTest, StatikLoadsFirstFileByPositionAndFirstRowPerMuta) {
    write_cp1254(dir / "statik_db/statik_bilgiler_20240101.txt", kStatikFirst);
    write_cp1254(dir / "statik_db/statik_bilgiler_20240201.txt",
                 "a;b;c;d;e;f;g;h;i;j;k\n777;1;X;1;X;X;X;X;X;X;X\n");
    EXPECT_EQ(lines_of([&] { ingest::_ingest_statik(con, dir / "statik_db", std::nullopt); }),
              Lines{"  brz_statik: 4 rows"});
    EXPECT_EQ(rows("SELECT * FROM brz_statik ORDER BY rowid"),
              (Lines{
                  // Only the region code is cut at the comma; fields keep their spaces.
                  "'123' | 12 | 'İstanbul Bölge' | NULL | 'Şişli ' | ' T1' | 'G1' | 'Grup Bir' | 'O1' | 'Ayşe Öz' | 'K1'",
                  "'124' | 12 | 'Ankara' | 1235 | 'Çankaya' | 'T2' | 'G2' | 'Grup İki' | 'O2' | 'Ali' | 'K2'",
                  // A code with a fraction is stored as null.
                  "'125' | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL",
                  "'126' | NULL | 'Ege' | 1236 | 'Konak' | 'T3' | 'G3' | 'G3' | 'O3' | 'Can' | 'K3'",
              }));
}

TEST_F(BronzeTest, StatikAppliesTheMutaFilter) {
    write_cp1254(dir / "statik_db/statik_bilgiler_1.txt", kStatikFirst);
    const ingest::MutaFilter filter = std::unordered_set<std::string>{"124", "126"};
    EXPECT_EQ(lines_of([&] { ingest::_ingest_statik(con, dir / "statik_db", filter); }),
              Lines{"  brz_statik: 2 rows"});
    EXPECT_EQ(rows("SELECT muta, sube_kodu FROM brz_statik ORDER BY rowid"), (Lines{"'124' | 1235", "'126' | 1236"}));
}

TEST_F(BronzeTest, StatikMissingDirectoryNoFileAndTooFewColumns) {
    EXPECT_EQ(lines_of([&] { ingest::_ingest_statik(con, dir / "statik_db", std::nullopt); }),
              Lines{"  [SKIP] statik_db not found"});
    write_cp1254(dir / "statik_db/statik_2024.txt", kStatikFirst);
    EXPECT_EQ(lines_of([&] { ingest::_ingest_statik(con, dir / "statik_db", std::nullopt); }), Lines{});
    EXPECT_EQ(rows("SELECT COUNT(*) FROM brz_statik"), Lines{"0"});

    write_cp1254(dir / "statik_db/statik_bilgiler_x.txt", "a;b;c;d;e;f;g;h;i;j\n1;2;3;4;5;6;7;8;9;10\n");
    EXPECT_THROW(ingest::_ingest_statik(con, dir / "statik_db", std::nullopt), core::KeyError);
}

}  // namespace
}  // namespace tarvo::testing
