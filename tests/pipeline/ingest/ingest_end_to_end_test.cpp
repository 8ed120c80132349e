// A whole ingest run over a source tree holding all ten kinds of extract.
#include <gtest/gtest.h>

#include "support/source_files.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;

void write_source_tree(const fs::path& root, const fs::path& statik_dir) {
    write_cp1254(root / "kik_data_ham_csv/Kurumsal_Izleme_20240302.csv",
                 "Must No;Must Ad;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm Gun Say;Erkn Izlm Kod;CISS_1\n"
                 "00123;Şirket Ağ ;E;5;2024-01-01;1.234.567,89;3;K1;0\n"
                 "124;Firma B;;;;1.234,50;x;;2\n");
    write_cp1254(root / "kik_data_ham_csv/Bireysel_Izleme_20240302.csv", "Must No\n999\n");
    write_parquet(root / "kredi_db/kurumsal_risk_2403.parquet",
                  "SELECT * FROM (VALUES ('123', 1500.5), ('124', 1501.5)) t(\"MUTA\", \"Risk_Bky_Tl\")");
    write_parquet(root / "kredi_db/kurumsal_risk_2404.parquet",
                  "SELECT * FROM (VALUES (123, 10)) t(\"MUTA\", \"Risk_Bky_Tl\")");
    write_bytes(root / "yis_tahmin_data/2024_03_pred_n_scor.csv",
                "MUTA,YIS_SKOR,YIS_IHTIMAL,label\n123,71.456,0.25,1\n124,500.5,0.5,0\n");
    write_bytes(root / "eus_tahmin_data/2024_03_pred_n_scor.csv", "MUTA,EUS_SKOR,EUS_IHTIMAL\n123,71.456,0.75\n");
    write_bytes(root / "eus_hedef_muta/eus_hedef_MUTA_202403.csv", "MUTA\n123\n");
    write_bytes(root / "eus_sql_kapsam_muta/eus_kapsam_MUTA_2403.csv", "MUTA\n123\n124\n");
    write_cp1254(statik_dir / "statik_bilgiler_20240301.txt",
                 "MUTA;BOLGE;BOLGE_ADI;SUBE;SUBE_ADI;TIP;GRUP;GRUP_TANIMI;OTORIZE;AKSIYON;KRI\n"
                 "123;12,0;İç Anadolu;1234;Kızılay;K;G1;Grup;O;Ayşe;B1\n"
                 "124;34;Marmara;1234,0;Şişli;K;;;;;\n");
    write_parquet(root / "yis_train_data/yis_21_v21_2403.parquet",
                  "SELECT * FROM (VALUES ('123', 0, 1), ('124', 1, 0)) t(\"MUTA\", \"Sgmnt_Kod_KOBI\", \"Sgmnt_Kod_MIKRO\")");
    write_parquet(root / "rkd_donem_data/rkd_data_2403.parquet",
                  "SELECT * FROM (VALUES ('123', 40, 15, 0), ('124', NULL, NULL, 3)) "
                  "t(\"MUTA\", \"K1_PIGD\", \"K2_PSCD\", \"K3_A\")");
    write_parquet(root / "memzuc_data_donem/memzuc_2403.parquet",
                  "SELECT * FROM (VALUES ('123', 2.5, 7.0)) t(\"MUTA\", \"IDARI_KANUNI_TAKIP\", \"IKT_6AY_ORT\")");
}

TEST(IngestEndToEnd, LoadsAllTenSourcesIntoTheirTables) {
    TempDir dir("tarvo-e2e");
    write_source_tree(dir / "kaynak", dir / "baska/statik");
    fs::create_directories(dir / "db");
    const fs::path db = dir / "db/ovik.duckdb";
    // A file of an earlier run is replaced.
    { vandel::Vandel old(db.string()); old.execute("CREATE TABLE eski (x INTEGER)"); }

    core::ConsoleCapture capture;
    ingest::run_ingest(dir / "kaynak", db, {{"statik_db", dir / "baska/statik"}});
    EXPECT_EQ(capture.out_lines(), (Lines{
                                       "  brz_kik_izleme: 2 rows",
                                       "  brz_kredi_risk: 3 rows",
                                       "  brz_yis_tahmin: 2 rows",
                                       "  brz_eus_tahmin: 1 rows",
                                       "  brz_eus_hedef: 1 rows",
                                       "  brz_eus_kapsam: 2 rows",
                                       "  brz_statik: 2 rows",
                                       "  brz_train_features: 2 rows (from yis_21_v21_2403.parquet)",
                                       "  brz_rkd_kriter: 2 rows",
                                       "  brz_memzuc: 1 rows",
                                       "",
                                       "  Bronze tables: 10",
                                       "    brz_eus_hedef: 1",
                                       "    brz_eus_kapsam: 2",
                                       "    brz_eus_tahmin: 1",
                                       "    brz_kik_izleme: 2",
                                       "    brz_kredi_risk: 3",
                                       "    brz_memzuc: 1",
                                       "    brz_rkd_kriter: 2",
                                       "    brz_statik: 2",
                                       "    brz_train_features: 2",
                                       "    brz_yis_tahmin: 2",
                                   }));

    vandel::Vandel con(db.string(), vandel::Access::read_only);
    auto rows = [&](const std::string& table) { return query_rows(con, "SELECT * FROM " + table + " ORDER BY rowid"); };
    EXPECT_EQ(rows("brz_kik_izleme"),
              (Lines{"'123' | '2403' | 'E' | '5' | '2024-01-01' | 1234568 | 'Şirket Ağ' | 3 | 'K1' | 0",
                     "'124' | '2403' | NULL | NULL | NULL | 1234 | 'Firma B' | 0 | NULL | 1"}));
    EXPECT_EQ(rows("brz_kredi_risk"), (Lines{"'123' | '2403' | 1500", "'124' | '2403' | 1502", "'123' | '2404' | 10"}));
    EXPECT_EQ(rows("brz_yis_tahmin"), (Lines{"'123' | '2403' | 71 | 0.25 | 1", "'124' | '2403' | 500 | 0.5 | 0"}));
    EXPECT_EQ(rows("brz_eus_tahmin"), Lines{"'123' | '2403' | 71.46 | 0.75"});
    EXPECT_EQ(rows("brz_eus_hedef"), Lines{"'123' | '2403'"});
    EXPECT_EQ(rows("brz_eus_kapsam"), (Lines{"'123' | '2403'", "'124' | '2403'"}));
    EXPECT_EQ(rows("brz_statik"),
              (Lines{"'123' | 12 | 'İç Anadolu' | 1234 | 'Kızılay' | 'K' | 'G1' | 'Grup' | 'O' | 'Ayşe' | 'B1'",
                     "'124' | 34 | 'Marmara' | NULL | 'Şişli' | 'K' | NULL | NULL | NULL | NULL | NULL"}));
    EXPECT_EQ(rows("brz_train_features"), (Lines{"'123' | '2403' | 'MIKRO'", "'124' | '2403' | 'KOBI'"}));
    EXPECT_EQ(rows("brz_rkd_kriter"), (Lines{"'123' | '2403' | 15 | 0", "'124' | '2403' | NULL | 1"}));
    EXPECT_EQ(rows("brz_memzuc"), Lines{"'123' | '2403' | 2.5 | 7.0"});
    EXPECT_FALSE(con.table_exists("eski"));
}

TEST(IngestEndToEnd, MutaFilterReachesEverySource) {
    TempDir dir("tarvo-e2e");
    write_source_tree(dir / "kaynak", dir / "kaynak/statik_db");
    const fs::path db = dir / "ovik.duckdb";
    {
        core::ConsoleCapture quiet;
        ingest::run_ingest(dir / "kaynak", db, {}, std::unordered_set<std::string>{"124"});
    }
    vandel::Vandel con(db.string(), vandel::Access::read_only);
    // Table, rows of other customers, all rows.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"brz_kik_izleme", "0 | 1"}, {"brz_kredi_risk", "0 | 1"}, {"brz_yis_tahmin", "0 | 1"},
        {"brz_eus_tahmin", "0 | 0"}, {"brz_eus_hedef", "0 | 0"},  {"brz_eus_kapsam", "0 | 1"},
        {"brz_statik", "0 | 1"},     {"brz_train_features", "0 | 1"}, {"brz_rkd_kriter", "0 | 1"},
        {"brz_memzuc", "0 | 0"}};
    for (const auto& [table, counts] : expected)
        EXPECT_EQ(query_rows(con, "SELECT COUNT(*) FILTER (muta <> '124'), COUNT(*) FROM " + table), Lines{counts})
            << table;
}

}  // namespace
}  // namespace tarvo::testing
