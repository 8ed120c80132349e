// Score extracts of the two models: one implementation, two descriptions.
#include <gtest/gtest.h>

#include "bronze_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/model_scores.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;

struct ScoreCase {
    const char* name;
    void (*ingest)(vandel::Vandel&, const fs::path&, const ingest::MutaFilter&);
    const char* dir_key;
    const char* select;
    Lines lines;
    Lines rows;
};

class ModelScoresTest : public BronzeTest, public ::testing::WithParamInterface<ScoreCase> {};

TEST_P(ModelScoresTest, LoadsEveryScoreFile) {
    const ScoreCase& c = GetParam();
    const fs::path src = dir / c.dir_key;
    write_bytes(src / "2024_03_pred_n_scor.csv",
                "MUTA,YIS_SKOR,PD_IHTIMAL,label\n"
                "00123,71.456,0.123456789,1\n"
                "124,abc,x,\n"
                "125,71.5,,1.9\n"
                "126,72.5,0.5,-0.5\n"
                "x,1,1,1\n");
    // The leftmost "skor" column wins even when it holds text; capitals with a dot do not
    // lower-case to "ihtimal"; no "label".
    write_bytes(src / "4_04_pred_n_scor.csv",
                "Skor_Aciklama,MUTA,YIS_SKOR,\xC4\xB0HT\xC4\xB0MAL\n"
                "yuksek,127,500,0.9\n");
    write_bytes(src / "2024_05_pred.csv", "MUTA,skor\n1,1\n");
    EXPECT_EQ(lines_of([&] { c.ingest(con, src, std::nullopt); }), c.lines);
    EXPECT_EQ(rows(c.select), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, ModelScoresTest,
    ::testing::Values(
        ScoreCase{"yis", ingest::_ingest_yis_tahmin, "yis_tahmin_data",
                  "SELECT * FROM brz_yis_tahmin ORDER BY rowid",
                  {"  brz_yis_tahmin: 5 rows"},
                  {"'123' | '2403' | 71 | 0.123456789 | 1",
                   "'124' | '2403' | NULL | NULL | 0",
                   "'125' | '2403' | 72 | NULL | 1",
                   "'126' | '2403' | 72 | 0.5 | 0",
                   "'127' | '04' | NULL | NULL | 0"}},
        ScoreCase{"eus", ingest::_ingest_eus_tahmin, "eus_tahmin_data",
                  "SELECT * FROM brz_eus_tahmin ORDER BY rowid",
                  {"  brz_eus_tahmin: 5 rows"},
                  {"'123' | '2403' | 71.46 | 0.123456789",
                   "'124' | '2403' | NULL | NULL",
                   "'125' | '2403' | 71.5 | NULL",
                   "'126' | '2403' | 72.5 | 0.5",
                   "'127' | '04' | NULL | NULL"}}),
    [](const ::testing::TestParamInfo<ScoreCase>& info) { return std::string(info.param.name); });

TEST_F(BronzeTest, ScoreFilesSkipLinesFilterAndMissingMuta) {
    EXPECT_EQ(lines_of([&] {
                  ingest::_ingest_yis_tahmin(con, dir / "yis_tahmin_data", std::nullopt);
                  ingest::_ingest_eus_tahmin(con, dir / "eus_tahmin_data", std::nullopt);
              }),
              (Lines{"  [SKIP] yis_tahmin_data not found", "  [SKIP] eus_tahmin_data not found"}));

    write_bytes(dir / "eus_tahmin_data/2024_03_pred_n_scor.csv", "MUTA,eus_skor\n1,10\n2,20\n");
    const ingest::MutaFilter filter = std::unordered_set<std::string>{"2"};
    EXPECT_EQ(lines_of([&] { ingest::_ingest_eus_tahmin(con, dir / "eus_tahmin_data", filter); }),
              Lines{"  brz_eus_tahmin: 1 rows"});
    EXPECT_EQ(rows("SELECT * FROM brz_eus_tahmin"), Lines{"'2' | '2403' | 20.0 | NULL"});

    write_bytes(dir / "yis_tahmin_data/2024_03_pred_n_scor.csv", "muta,yis_skor\n1,10\n");
    EXPECT_THROW(ingest::_ingest_yis_tahmin(con, dir / "yis_tahmin_data", std::nullopt), core::KeyError);
}

}  // namespace
}  // namespace tarvo::testing
