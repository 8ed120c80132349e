// A source file without a column its source needs ends the run with one line naming the file,
// the column wanted and the columns found, never any of the file's data.
#include <gtest/gtest.h>

#include <functional>

#include "support/source_files.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {
namespace {

using testing::TempDir;

TEST(RequiredColumns, MissingColumnNamesFileWantedAndFound) {
    const std::string firm = "GIZLI TEKSTIL", amount = "987654321";
    struct Case {
        std::string name;
        std::string file;  // relative to the source's directory
        std::function<void(const fs::path&)> write;
        void (*ingest)(vandel::Vandel&, const fs::path&, const MutaFilter&);
        std::string message;  // after "<file>: "
    };
    const std::string ten_columns = "MUSTERI;BOLGE;BOLGE_AD;SUBE;SUBE_AD;TIP;GRUP;GRUP_AD;OTORIZE;AKSIYON\n";
    const std::vector<Case> cases{
        {"static file with ten columns", "statik_bilgiler_20240101.txt",
         [&](const fs::path& f) { testing::write_cp1254(f, ten_columns + "1;12;" + firm + ";4;x;y;z;w;v;" + amount + "\n"); },
         _ingest_statik,
         "column 11 ('kri_bolum') not found; columns found: 'MUSTERI', 'BOLGE', 'BOLGE_AD', 'SUBE', 'SUBE_AD', "
         "'TIP', 'GRUP', 'GRUP_AD', 'OTORIZE', 'AKSIYON'"},
        {"credit risk without amounts", "kurumsal_risk_2403.parquet",
         [&](const fs::path& f) { testing::write_parquet(f, "SELECT '1' AS MUTA, '" + firm + "' AS unvan"); },
         _ingest_kredi_risk, "column 'Risk_Bky_Tl' not found; columns found: 'MUTA', 'unvan'"},
        {"credit risk without customer numbers", "kurumsal_risk_2403.parquet",
         [&](const fs::path& f) { testing::write_parquet(f, "SELECT " + amount + " AS Risk_Bky_Tl"); },
         _ingest_kredi_risk, "column 'MUTA' not found; columns found: 'Risk_Bky_Tl'"},
        {"score file", "2024_03_pred_n_scor.csv",
         [&](const fs::path& f) { testing::write_bytes(f, "musteri,YIS_SKOR\n" + amount + ",71\n"); },
         _ingest_yis_tahmin, "column 'MUTA' not found; columns found: 'musteri', 'YIS_SKOR'"},
        {"rating criteria", "rkd_data_2403.parquet",
         [&](const fs::path& f) { testing::write_parquet(f, "SELECT " + amount + " AS Musteri_No, 1 AS X_PIGD"); },
         _ingest_rkd_kriter, "column 'MUTA' or 'muta' not found; columns found: 'Musteri_No', 'X_PIGD'"},
        {"training extract", "yis_21_v21_2403.parquet",
         [&](const fs::path& f) { testing::write_parquet(f, "SELECT 1 AS Sgmnt_Kod_KOBI"); },
         _ingest_train_features, "column 'MUTA' not found; columns found: 'Sgmnt_Kod_KOBI'"},
        {"names are cut and counted",
         "kurumsal_risk_2403.parquet",
         [&](const fs::path& f) {
             std::string select = "SELECT 1 AS \"" + std::string(60, 'N') + "\"";
             for (int i = 0; i < 20; ++i) select += ", 1 AS kolon_" + std::to_string(i);
             testing::write_parquet(f, select);
         },
         _ingest_kredi_risk,
         "column 'MUTA' not found; columns found: '" + std::string(40, 'N') +
             "\u2026', 'kolon_0', 'kolon_1', 'kolon_2', 'kolon_3', 'kolon_4', 'kolon_5', 'kolon_6', 'kolon_7', "
             "'kolon_8', and 11 more"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir("tarvo-required");
        c.write(dir / c.file);
        vandel::Vandel con(":memory:");
        try {
            c.ingest(con, dir.path(), std::nullopt);
            ADD_FAILURE() << "no error";
        } catch (const core::KeyError& e) {
            const std::string msg = e.what();
            EXPECT_EQ(msg, (dir / c.file).string() + ": " + c.message);
            EXPECT_EQ(msg.find(firm), std::string::npos);
            EXPECT_EQ(msg.find(amount), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace tarvo::ingest
