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

TEST_F(SilverTest, ScoresFollowUpAndCombinedRisk) {
    bronze(R"(
        INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 612.34, 0.2), ('1', '2402', 700.0, 0.3),
                                          ('2', '2401', 450.5, 0.1), ('3', '2402', NULL, NULL);
        INSERT INTO brz_memzuc VALUES ('1', '2401', 0, 0), ('1', '2402', 5000, 0),
                                      ('4', '2402', 100, 0), ('5', '2402', 0, 250);
        INSERT INTO brz_kik_izleme (muta, donem, kik_risk, ciss_flag)
            VALUES ('2', '2401', 300, 0), ('6', '2402', 1000, 0);
        INSERT INTO brz_kredi_risk VALUES ('2', '2401', 700), ('2', '2401', 50), ('7', '2402', 2000);
    )");
    run();
    const Lines expected = {
        // a firm under follow-up scores -1, with or without a model score
        "'1' | '2401' | 612.34 | NULL",
        "'1' | '2402' | -1.0 | NULL",
        // monitoring-list risk plus the sum of the credit lines
        "'2' | '2401' | 450.5 | 1050",
        "'3' | '2402' | NULL | NULL",
        "'4' | '2402' | -1.0 | NULL",
        // one side missing: the other side alone
        "'6' | '2402' | NULL | 1000",
        "'7' | '2402' | NULL | 2000",
    };
    const char* sql = "SELECT entity_id, donem, ovik_skor, kombine_risk FROM fact_periodic ORDER BY entity_id, donem";
    EXPECT_EQ(rows(sql), expected);
    // A second run rebuilds the tables instead of adding to them.
    run();
    EXPECT_EQ(rows(sql), expected);
    EXPECT_EQ(rows("SELECT table_name, data_type FROM information_schema.columns WHERE column_name = 'entity_id' "
                   "ORDER BY table_name"),
              (Lines{"'dim_entity' | 'VARCHAR'", "'fact_periodic' | 'VARCHAR'", "'map_identity' | 'VARCHAR'"}));
}

TEST_F(SilverTest, RiskChangeIsAgainstThePreviousPeriodOnly) {
    bronze(R"(
        INSERT INTO brz_kik_izleme (muta, donem, kik_risk, ciss_flag) VALUES
            ('1', '2401', 100, 0), ('1', '2402', 150, 0), ('1', '2404', 300, 0),
            ('3', '2403', 10, 0), ('3', '2404', 5, 0);
        INSERT INTO brz_kredi_risk VALUES ('1', '2402', 50), ('2', '2401', 500), ('2', '2403', 400);
        INSERT INTO brz_eus_tahmin VALUES ('2', '2402', 300, 0.1);
    )");
    run();
    EXPECT_EQ(rows("SELECT entity_id, donem, kombine_risk, risk_degisim FROM fact_periodic ORDER BY entity_id, donem"),
              (Lines{
                  "'1' | '2401' | 100 | NULL",  // first period: nothing before it
                  "'1' | '2402' | 200 | 100",
                  "'1' | '2404' | 300 | NULL",  // the firm has no row in 2403
                  "'2' | '2401' | 500 | NULL",
                  "'2' | '2402' | NULL | NULL",
                  "'2' | '2403' | 400 | NULL",  // the previous risk is missing
                  "'3' | '2403' | 10 | NULL",
                  "'3' | '2404' | 5 | -5",
              }));
}

TEST_F(SilverTest, KeepsTheTwelveMostRecentPeriods) {
    std::string sql;
    const std::vector<std::string> periods = {"2301", "2302", "2303", "2304", "2305", "2306", "2307",
                                              "2308", "2309", "2310", "2311", "2312", "2401", "2402"};
    for (size_t i = 0; i < periods.size(); ++i) {
        const std::string p = periods[i];
        sql += "INSERT INTO brz_kik_izleme (muta, donem, kik_risk, ciss_flag, erkn_izlm_kod) VALUES ('1', '" + p +
               "', " + std::to_string(10 * (i + 1)) + ", 1, " + (p == "2302" ? "'EI9'" : "NULL") + ");";
        sql += "INSERT INTO brz_eus_hedef VALUES ('1', '" + p + "');";
    }
    // Periods of other sources do not move the window.
    sql += "INSERT INTO brz_eus_hedef VALUES ('1', '2403'); INSERT INTO brz_rkd_kriter VALUES ('1', '2403', 5, 1);";
    bronze(sql);
    Lines out = run();
    EXPECT_EQ(out[1], "    son_12: 12 periods (2303-2402)");
    EXPECT_EQ(rows("SELECT COUNT(*), MIN(donem), MAX(donem) FROM fact_periodic"), (Lines{"12 | '2303' | '2402'"}));
    // The oldest period of the window still compares with the period before it.
    EXPECT_EQ(rows("SELECT risk_degisim FROM fact_periodic WHERE donem = '2303'"), (Lines{"10"}));
    // A code seen only before the window is not the firm's latest code.
    EXPECT_EQ(rows("SELECT son_izleme_kodu FROM dim_entity"), (Lines{"NULL"}));
    // The CISS finding runs through every period of the window and is new only in none of them:
    // it was already there in 2302.
    EXPECT_EQ(rows("SELECT COUNT(*), CAST(SUM(yeni) AS BIGINT), MIN(donem), MAX(donem) FROM diag_eus_kapsam_diskalma"),
              (Lines{"12 | 0 | '2303' | '2402'"}));
}

TEST_F(SilverTest, FirmsNamesBranchesAndMonitoringCodes) {
    bronze(R"(
        INSERT INTO brz_kik_izleme (muta, donem, unvan, erkn_izlm_kod, kik_risk, ciss_flag) VALUES
            ('1', '2401', 'Eski Ünvan A.Ş.', '[''EI1'', ''EI4'']', 1, 0),
            ('1', '2402', 'Yeni Ünvan Gıda A.Ş.', NULL, 1, 0),
            ('2', '2401', 'Çelik Ltd. Şti.', NULL, 1, 0),
            ('2', '2402', NULL, 'EI2', 1, 0),
            ('3', '2402', '  ', '[''EI3''', 1, 0),
            ('4', '2402', 'Dört', '[]', 1, 0),
            ('5', '2402', 'Beş', '['' EI5 '', ''EI5'', 7]', 1, 0);
        INSERT INTO brz_statik VALUES
            ('1', 34, 'İstanbul Avrupa', 1203, 'Şişli', 'T1', ' RG-17 ', 'Grup 17', 'Bölge Kredi Komitesi',
             'Ayşe Yılmaz', 'İşletme Sermayesi'),
            ('2', 34, 'İstanbul Avrupa', 1203, 'Şişli', 'T2', '', NULL, NULL, NULL, NULL),
            ('3', 34, 'İstanbul Avrupa', 1203, 'Sisli', 'T2', NULL, NULL, NULL, NULL, NULL),
            ('6', 6, 'Ankara', 2001, 'Çankaya', 'T1', 'RG-2', NULL, 'Genel Müdürlük', 'Mehmet Öz', 'Proje');
        INSERT INTO brz_train_features VALUES ('1', '2402', 'KUR-TIC'), ('2', '2312', 'KOBI'), ('2', '2402', NULL);
    )");
    Lines out = run();
    EXPECT_EQ(out[2], "  Parsing early-monitoring codes...");
    EXPECT_EQ(out[3], "    erkn_izlm_kod: 5 texts, 6 codes, 2 kept whole");
    EXPECT_EQ(rows("SELECT * FROM dim_entity ORDER BY entity_id"),
              (Lines{
                  "'1' | 'KUR-TIC' | 1203 | 34 | 'EI1, EI4' | 'RG-17' | 'Ayşe Yılmaz' | 'İşletme Sermayesi' | "
                  "'Bölge Kredi Komitesi'",
                  "'2' | 'KOBI' | 1203 | 34 | 'EI2' | NULL | NULL | NULL | NULL",
                  "'3' | NULL | 1203 | 34 | '['EI3'' | NULL | NULL | NULL | NULL",
                  "'4' | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL",
                  "'5' | NULL | NULL | NULL | 'EI5, 7' | NULL | NULL | NULL | NULL",
                  "'6' | NULL | 2001 | 6 | NULL | 'RG-2' | 'Mehmet Öz' | 'Proje' | 'Genel Müdürlük'",
              }));
    EXPECT_EQ(rows("SELECT * FROM map_identity ORDER BY entity_id"),
              (Lines{"'1' | 'Yeni Ünvan Gıda A.Ş.'", "'2' | 'Çelik Ltd. Şti.'", "'4' | 'Dört'", "'5' | 'Beş'"}));
    EXPECT_EQ(rows("SELECT * FROM ref_sube_bolge ORDER BY sube_kodu"),
              (Lines{"1203 | 'Şişli' | 34 | 'İstanbul Avrupa'", "2001 | 'Çankaya' | 6 | 'Ankara'"}));
}

TEST_F(SilverTest, FindingsOfTargetFirmsAndTheirNovelty) {
    bronze(R"(
        INSERT INTO brz_eus_tahmin VALUES ('1', '2401', 100, 0), ('1', '2402', 100, 0),
                                          ('1', '2403', 100, 0), ('1', '2404', 100, 0);
        INSERT INTO brz_eus_hedef VALUES ('1', '2401'), ('1', '2402'), ('1', '2403'), ('1', '2404'),
                                         ('2', '2402'), ('2', '2402'), ('4', '2403');
        INSERT INTO brz_kik_izleme (muta, donem, ciss_flag, gckm_gun_say) VALUES
            ('1', '2401', 1, 0), ('1', '2402', 1, 45), ('1', '2403', 0, 0), ('1', '2404', 1, 0),
            ('3', '2402', 1, 90), ('4', '2402', 1, 0), ('4', '2403', 1, 0);
        INSERT INTO brz_eus_kapsam VALUES ('1', '2401'), ('2', '2401'), ('1', '2402'), ('2', '2404');
        INSERT INTO brz_rkd_kriter VALUES ('2', '2401', 40, 0), ('2', '2402', 12, 1);
        INSERT INTO brz_memzuc VALUES ('1', '2403', 1234567, 0);
    )");
    Lines out = run();
    EXPECT_EQ(rows("SELECT * FROM diag_eus_kapsam_diskalma ORDER BY muta, donem, katman, kriter"),
              (Lines{
                  "'1' | '2401' | 'DISKALMA' | 'CISS' | 1.0 | NULL | 'İzleme listesinde CISS işareti var' | "
                  "'İzleme sinyali' | 1",
                  "'1' | '2402' | 'DISKALMA' | 'CISS' | 1.0 | 1.0 | 'İzleme listesinde CISS işareti var' | "
                  "'İzleme sinyali' | 0",
                  "'1' | '2402' | 'DISKALMA' | 'GECIKME' | 45.0 | 0.0 | 'İzleme listesinde 45 gün gecikme' | "
                  "'İzleme sinyali' | 1",
                  "'1' | '2403' | 'DISKALMA' | 'IDARI_KANUNI_TAKIP' | 1234567.0 | NULL | "
                  "'Memzuçta idari/kanuni takip: 1.234.567 TL' | 'Yasal takip' | 1",
                  // gone in 2403, back in 2404: new again
                  "'1' | '2404' | 'DISKALMA' | 'CISS' | 1.0 | 0.0 | 'İzleme listesinde CISS işareti var' | "
                  "'İzleme sinyali' | 1",
                  // 2403 had no coverage list, so the previous value is unknown
                  "'1' | '2404' | 'KAPSAM' | 'KAPSAM_DISI' | 1.0 | NULL | 'Hedef firma kapsam listesinde yok' | "
                  "'Kapsam dışı' | 1",
                  "'2' | '2402' | 'DISKALMA' | 'SIFIR_KONTROL' | 1.0 | 0.0 | "
                  "'Rating sıfır kontrol kriteri sıfır değil' | 'Rating kriteri' | 1",
                  "'2' | '2402' | 'DISKALMA' | 'YAKIN_VADE' | 12.0 | 40.0 | "
                  "'Rating kriterinde en kısa süre 12 gün (≤ 30)' | 'Rating kriteri' | 1",
                  "'2' | '2402' | 'KAPSAM' | 'KAPSAM_DISI' | 1.0 | 0.0 | 'Hedef firma kapsam listesinde yok' | "
                  "'Kapsam dışı' | 1",
                  // the signal was there in 2402, but the firm was no target then
                  "'4' | '2403' | 'DISKALMA' | 'CISS' | 1.0 | 1.0 | 'İzleme listesinde CISS işareti var' | "
                  "'İzleme sinyali' | 1",
              }));
    EXPECT_EQ(out, (Lines{
                       "  Building son_12 window...",
                       "    son_12: 4 periods (2401-2404)",
                       "  Parsing early-monitoring codes...",
                       "    erkn_izlm_kod: 0 texts, 0 codes, 0 kept whole",
                       "  Building fact_periodic...",
                       "    fact_periodic: 7 rows, 3 entities",
                       "  Building dim_entity...",
                       "    dim_entity: 3 entities",
                       "  Building map_identity...",
                       "    map_identity: 0 entities",
                       "  Building ref_sube_bolge...",
                       "    ref_sube_bolge: 0 branches, 0 regions",
                       "  Building diag_eus_kapsam_diskalma...",
                       "    diag_eus_kapsam_diskalma: 10 findings, 9 new",
                   }));
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
        EXPECT_EQ(e.kind(), "BinderException");
    }
    EXPECT_EQ(rows("SELECT entity_id, donem, ovik_skor FROM fact_periodic"), before);
}

TEST(Silver, MissingBronzeTablesReadAsEmpty) {
    tarvo::testing::TempDir dir("tarvo-silver");
    const std::string db = (dir / "ovik.duckdb").string();
    {
        Vandel con(db);
        con.execute("CREATE TABLE brz_eus_tahmin (muta VARCHAR, donem VARCHAR, eus_skor DOUBLE, eus_ihtimal DOUBLE);"
                    "INSERT INTO brz_eus_tahmin VALUES ('7', '2405', 512.5, 0.4)");
    }
    tarvo::core::ConsoleCapture capture;
    tarvo::dalmer::run_transforms(db);
    Lines out = capture.out_lines();
    ASSERT_GE(out.size(), 9u);
    EXPECT_EQ(out[0], "    [WARN] brz_kik_izleme missing, read as empty");
    EXPECT_EQ(out[8], "    [WARN] brz_memzuc missing, read as empty");
    Vandel con(db, tarvo::vandel::Access::read_only);
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT entity_id, donem, ovik_skor FROM fact_periodic"),
              (Lines{"'7' | '2405' | 512.5"}));
    EXPECT_EQ(tarvo::testing::query_rows(con, "SELECT COUNT(*) FROM diag_eus_kapsam_diskalma"), (Lines{"0"}));
}

TEST(Silver, InstalledSourceCarriesTheWindowAndTheSafeParser) {
    const std::string src = tarvo::modules::load("tarvo.pipeline.dalmer").source_of("run_transforms");
    EXPECT_NE(src.find("son_12"), std::string::npos);
    EXPECT_NE(src.find("literal_eval("), std::string::npos);
    EXPECT_EQ(src.find("CAST(muta AS BIGINT) NOT IN"), std::string::npos);
    EXPECT_FALSE(std::regex_search(src, std::regex("AS BIGINT\\)\\s*(NOT\\s+)?IN")));
}

}  // namespace
