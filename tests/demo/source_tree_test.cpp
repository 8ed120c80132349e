#include "tarvo/demo/source_tree.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/source_files.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/demo/firm_model.hpp"
#include "tarvo/pipeline/dalmer/transforms.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

namespace fs = std::filesystem;
using tarvo::demo::generate_source_tree;
using Lines = std::vector<std::string>;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Relative path -> content of every file under `root`.
std::map<std::string, std::string> tree_of(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[fs::relative(e.path(), root).generic_string()] = slurp(e.path());
    return out;
}

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(SourceTree, WritesEveryKindOfExtractUnderItsDirectory) {
    tarvo::testing::TempDir dir("tarvo-tree");
    tarvo::testing::write_bytes(dir / "kredi_db" / "kurumsal_risk_2001.parquet", "stale");
    tarvo::testing::write_bytes(dir / "notes.txt", "kept");
    generate_source_tree(dir.path(), 40, 3, 7);

    const std::map<std::string, Lines> expected = {
        {"kik_data_ham_csv",
         {"Kurumsal_Izleme_Listesi_20251002.csv", "Kurumsal_Izleme_Listesi_20251102.csv",
          "Kurumsal_Izleme_Listesi_20251202.csv"}},
        {"kredi_db", {"kurumsal_risk_2510.parquet", "kurumsal_risk_2511.parquet", "kurumsal_risk_2512.parquet"}},
        {"yis_tahmin_data", {"2025_10_pred_n_scor.csv", "2025_11_pred_n_scor.csv", "2025_12_pred_n_scor.csv"}},
        {"eus_tahmin_data", {"2025_10_pred_n_scor.csv", "2025_11_pred_n_scor.csv", "2025_12_pred_n_scor.csv"}},
        {"eus_hedef_muta",
         {"eus_hedef_MUTA_202510.csv", "eus_hedef_MUTA_202511.csv", "eus_hedef_MUTA_202512.csv"}},
        {"eus_sql_kapsam_muta",
         {"eus_kapsam_MUTA_202510.csv", "eus_kapsam_MUTA_202511.csv", "eus_kapsam_MUTA_202512.csv"}},
        {"statik_db", {"statik_bilgiler_20251201.txt"}},
        {"yis_train_data", {"yis_21_v21_2512.parquet"}},
        {"rkd_donem_data", {"rkd_data_2510.parquet", "rkd_data_2511.parquet", "rkd_data_2512.parquet"}},
        {"memzuc_data_donem", {"memzuc_2510.parquet", "memzuc_2511.parquet", "memzuc_2512.parquet"}},
    };
    for (const auto& [key, files] : expected) EXPECT_EQ(names_in(dir / key), files) << key;
    EXPECT_EQ(slurp(dir / "notes.txt"), "kept");  // only the source directories are replaced

    // The ";" text extracts are Windows-1254: Turkish letters as single bytes, no UTF-8.
    const std::string kik = slurp(dir / "kik_data_ham_csv" / "Kurumsal_Izleme_Listesi_20251102.csv");
    EXPECT_EQ(kik.find("\xC5\x9F"), std::string::npos);  // "ş" in UTF-8
    const std::string header = tarvo::testing::to_cp1254(
        "Must No;Cari Hesap Adı;Sube Kod;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm_Gun_Say;Erkn_Izlm_Kod;"
        "CISS_KRD_GECIKME;CISS_KARSILIKSIZ_CEK;Segment Ack\r\n");
    EXPECT_EQ(kik.substr(0, header.size()), header);
    const std::string statik = slurp(dir / "statik_db" / "statik_bilgiler_20251201.txt");
    EXPECT_NE(statik.find(tarvo::testing::to_cp1254(";İstanbul Avrupa Bölge;")), std::string::npos);
}

TEST(SourceTree, SameSeedSameTreeOtherSeedOtherTree) {
    tarvo::testing::TempDir a("tarvo-tree"), b("tarvo-tree"), c("tarvo-tree");
    generate_source_tree(a.path(), 120, 4, 42);
    generate_source_tree(b.path(), 120, 4, 42);
    generate_source_tree(c.path(), 120, 4, 43);
    const auto ta = tree_of(a.path()), tb = tree_of(b.path()), tc = tree_of(c.path());
    ASSERT_EQ(ta.size(), 34u);
    EXPECT_TRUE(ta == tb);
    EXPECT_EQ(ta.size(), tc.size());
    EXPECT_NE(ta.at("eus_tahmin_data/2025_12_pred_n_scor.csv"), tc.at("eus_tahmin_data/2025_12_pred_n_scor.csv"));
    // A second run over the same root replaces the tree whole.
    generate_source_tree(a.path(), 120, 2, 42);
    EXPECT_EQ(tree_of(a.path()).size(), 18u);
}

TEST(SourceTree, RejectsSizesOutsideItsRange) {
    tarvo::testing::TempDir dir("tarvo-tree");
    EXPECT_THROW(generate_source_tree(dir.path(), 0, 12, 1), tarvo::core::ValueError);
    EXPECT_THROW(generate_source_tree(dir.path(), 10, 0, 1), tarvo::core::ValueError);
    EXPECT_THROW(generate_source_tree(dir.path(), 10, 121, 1), tarvo::core::ValueError);
}

TEST(SourceTree, PeriodsRunMonthlyUpToTheNewest) {
    tarvo::demo::Population pop(1, 13, 1);
    EXPECT_EQ(pop.period_text(0), "2412");
    EXPECT_EQ(pop.period_text(1), "2501");
    EXPECT_EQ(pop.period_text(12), "2512");
}

// The tree is what the ingest reads: every source loads, amounts in Turkish format and
// Windows-1254 names come through, and the sources agree on their firms.
TEST(SourceTree, ATinyTreeIngestsWhole) {
    tarvo::testing::TempDir dir("tarvo-tree");
    generate_source_tree(dir / "source", 300, 4, 42);
    const fs::path db = dir / "ovik.duckdb";
    {
        tarvo::core::ConsoleCapture quiet;
        tarvo::ingest::run_ingest(dir / "source", db);
        tarvo::dalmer::run_transforms(db.string());
    }
    tarvo::vandel::Vandel con(db.string(), tarvo::vandel::Access::read_only);
    auto rows = [&](const char* sql) { return tarvo::testing::query_rows(con, sql); };

    for (const char* table : {"brz_kik_izleme", "brz_kredi_risk", "brz_yis_tahmin", "brz_eus_tahmin", "brz_eus_hedef",
                              "brz_eus_kapsam", "brz_statik", "brz_train_features", "brz_rkd_kriter", "brz_memzuc"}) {
        EXPECT_EQ(rows((std::string("SELECT COUNT(*) > 0 FROM ") + table).c_str()), (Lines{"True"})) << table;
    }
    EXPECT_EQ(rows("SELECT COUNT(DISTINCT donem), COUNT(*) = COUNT(kik_risk), COUNT(*) = COUNT(unvan), "
                   "COUNT(*) = COUNT(gckm_gun_say) FROM brz_kik_izleme"),
              (Lines{"4 | True | True | True"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FILTER (WHERE regexp_matches(unvan, '[çğıİöşüÇĞÖŞÜ]')) > 0 FROM brz_kik_izleme"),
              (Lines{"True"}));
    EXPECT_EQ(rows("SELECT COUNT(*), COUNT(bolge_kodu), COUNT(sube_kodu), COUNT(DISTINCT bolge_adi) > 1 "
                   "FROM brz_statik"),
              (Lines{"300 | 300 | 300 | True"}));
    EXPECT_EQ(rows("SELECT segment FROM brz_train_features GROUP BY segment ORDER BY segment"),
              (Lines{"'ESKK'", "'KOBI'", "'KUR-TIC'", "'MIKRO'"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FILTER (WHERE eus_skor <> round(eus_skor)) > 0 FROM brz_eus_tahmin"),
              (Lines{"True"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FILTER (WHERE idari_kanuni_takip > 0) > 0, "
                   "COUNT(*) FILTER (WHERE ikt_6ay_ort > 0) > 0 FROM brz_memzuc"),
              (Lines{"True | True"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FILTER (WHERE min_uzak_gun <= 30) > 0, COUNT(*) FILTER (WHERE sifir_flag = 1) > 0 "
                   "FROM brz_rkd_kriter"),
              (Lines{"True | True"}));
    // One population: every scored or listed firm has static data, the same firms recur.
    EXPECT_EQ(rows("SELECT COUNT(*) FROM (SELECT muta FROM brz_eus_tahmin UNION SELECT muta FROM brz_kik_izleme "
                   "UNION SELECT muta FROM brz_kredi_risk EXCEPT SELECT muta FROM brz_statik)"),
              (Lines{"0"}));
    EXPECT_EQ(rows("SELECT COUNT(*) > 250 FROM (SELECT muta FROM brz_kik_izleme GROUP BY muta "
                   "HAVING COUNT(DISTINCT donem) = 4)"),
              (Lines{"True"}));
    EXPECT_EQ(rows("SELECT COUNT(DISTINCT entity_id), COUNT(DISTINCT donem) FROM fact_periodic"),
              (Lines{"300 | 4"}));
    EXPECT_EQ(rows("SELECT COUNT(*) > 0 FROM diag_eus_kapsam_diskalma"), (Lines{"True"}));
}

}  // namespace
