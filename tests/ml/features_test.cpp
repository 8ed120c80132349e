#include "tarvo/ml/zavor/features.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ml/planted_warehouse.hpp"

namespace {

using namespace tarvo;
using zavor::FeatureMatrix;
using zavor::kFeatureCount;
using zavor::kFeatures;

// One row as "<firm> <period> <label>: name=value ..." listing the features that are set
// (neither zero nor missing), or "name=nan" for a missing continuous feature.
std::string describe(const FeatureMatrix& m, size_t r) {
    std::string s = m.entity(r) + " " + m.periods[static_cast<size_t>(m.period_of(r))] + " " + std::to_string(m.label[r]) + ":";
    for (size_t f = 0; f < kFeatureCount; ++f) {
        const float x = m.row(r)[f];
        if (x == 0) continue;
        char buf[64];
        std::snprintf(buf, sizeof buf, " %s=%g", std::string(kFeatures[f].name).c_str(), static_cast<double>(x));
        s += buf;
    }
    return s;
}

TEST(Features, EachFeatureFromItsSourceAndTheLabelLooksAhead) {
    fixtures::TempDir dir("zavor_features");
    vandel::Vandel con((dir / "w.duckdb").string());
    fixtures::create_silver_tables(con);
    con.execute(R"(
        INSERT INTO fact_periodic VALUES
          ('A', '2401', 100, 100, NULL), ('A', '2402', 200, 100, 0), ('A', '2403', 300, 100, 0),
          ('A', '2404', 450, 150, 50), ('A', '2405', -1, 150, 0),
          ('B', '2401', 900, 10, NULL), ('B', '2403', 700, 10, NULL), ('B', '2404', 800, 10, 0);
        INSERT INTO dim_entity VALUES ('A', 'KOBI', 1, 1), ('B', 'MIKRO', 1, 1);
        CREATE TABLE brz_kik_izleme(muta VARCHAR, donem VARCHAR, gckm_gun_say BIGINT, ciss_flag INTEGER);
        INSERT INTO brz_kik_izleme VALUES ('A', '2404', 45, 1), ('A', '2404', 30, 0);
        CREATE TABLE brz_rkd_kriter(muta VARCHAR, donem VARCHAR, min_uzak_gun BIGINT, sifir_flag INTEGER);
        INSERT INTO brz_rkd_kriter VALUES ('B', '2404', 12, 0);
        CREATE TABLE brz_eus_hedef(muta VARCHAR, donem VARCHAR);
        INSERT INTO brz_eus_hedef VALUES ('B', '2404');
        CREATE TABLE brz_yis_tahmin(muta VARCHAR, donem VARCHAR, yis_skor BIGINT);
        INSERT INTO brz_yis_tahmin VALUES ('A', '2404', 610);
    )");
    const FeatureMatrix m = zavor::load_features(con, 1);
    EXPECT_EQ(m.periods, (std::vector<std::string>{"2401", "2402", "2403", "2404", "2405"}));
    std::vector<std::string> rows;
    for (size_t r = 0; r < m.rows(); ++r) rows.push_back(describe(m, r));
    const std::vector<std::string> expected = {
        "A 2401 0: skor=100 skor_d1=nan skor_d3=nan risk_log=4.61512 risk_oran=nan yis_skor=nan seg_kobi=1",
        "B 2401 0: skor=900 skor_d1=nan skor_d3=nan bant=3 risk_log=2.3979 risk_oran=nan yis_skor=nan seg_mikro=1",
        "A 2402 0: skor=200 skor_d1=100 skor_d3=nan risk_log=4.61512 yis_skor=nan seg_kobi=1",
        "A 2403 0: skor=300 skor_d1=100 skor_d3=nan risk_log=4.61512 yis_skor=nan seg_kobi=1",
        "B 2403 0: skor=700 skor_d1=nan skor_d3=nan bant=2 risk_log=2.3979 risk_oran=nan yis_skor=nan seg_mikro=1",
        "A 2404 1: skor=450 skor_d1=150 skor_d3=350 bant=1 risk_log=5.01728 risk_oran=0.5 yis_skor=610 ciss=1 "
        "gecikme_gun=45 seg_kobi=1",
        "B 2404 0: skor=800 skor_d1=100 skor_d3=-100 bant=2 risk_log=2.3979 yis_skor=nan eus_hedef=1 "
        "rating_yakin_vade=1 seg_mikro=1",
    };
    EXPECT_EQ(rows, expected);
}

// A firm with several fact rows in one period counts once there: the highest score and risks of
// its rows, in YI when any row is. Which of its rows the warehouse returns first does not matter.
TEST(Features, SeveralFactRowsOfAFirmInOnePeriodCountOnce) {
    fixtures::TempDir dir("zavor_features");
    vandel::Vandel con((dir / "w.duckdb").string());
    fixtures::create_silver_tables(con);
    con.execute(R"(
        INSERT INTO fact_periodic VALUES
          ('C', '2401', 200, 100, NULL), ('C', '2401', 400, 300, NULL),
          ('C', '2402', NULL, 50, NULL), ('C', '2402', -1, 50, NULL),
          ('D', '2401', NULL, 10, NULL), ('D', '2401', 300, NULL, NULL),
          ('D', '2402', 350, 10, 0), ('D', '2403', 360, 10, 0),
          ('E', '2401', 500, 10, NULL), ('E', '2401', -1, 10, NULL),
          ('E', '2402', 600, 10, 0), ('E', '2403', 610, 10, 0);
        INSERT INTO dim_entity VALUES ('C', 'KOBI', 1, 1), ('D', 'KOBI', 1, 1), ('E', 'KOBI', 1, 1);
    )");
    const FeatureMatrix m = zavor::load_features(con, 1);
    std::vector<std::string> rows;
    for (size_t r = 0; r < m.rows(); ++r) rows.push_back(describe(m, r));
    const std::vector<std::string> expected = {
        "C 2401 1: skor=400 skor_d1=nan skor_d3=nan bant=1 risk_log=5.70711 risk_oran=nan yis_skor=nan seg_kobi=1",
        "D 2401 0: skor=300 skor_d1=nan skor_d3=nan risk_log=2.3979 risk_oran=nan yis_skor=nan seg_kobi=1",
        "D 2402 0: skor=350 skor_d1=50 skor_d3=nan bant=1 risk_log=2.3979 yis_skor=nan seg_kobi=1",
        "E 2402 0: skor=600 skor_d1=100 skor_d3=nan bant=2 risk_log=2.3979 yis_skor=nan seg_kobi=1",
        "D 2403 -1: skor=360 skor_d1=10 skor_d3=nan bant=1 risk_log=2.3979 yis_skor=nan seg_kobi=1",
        "E 2403 -1: skor=610 skor_d1=10 skor_d3=nan bant=2 risk_log=2.3979 yis_skor=nan seg_kobi=1",
    };
    EXPECT_EQ(rows, expected);
}

// Rows whose outcome is not yet known are kept for the newest period only, where they are scored;
// the periods between still give the newest rows their score changes and the older rows their labels.
TEST(Features, UnknownOutcomesGetRowsOnlyInTheNewestPeriod) {
    fixtures::TempDir dir("zavor_features");
    vandel::Vandel con((dir / "w.duckdb").string());
    fixtures::create_silver_tables(con);
    con.execute(R"(
        INSERT INTO fact_periodic VALUES
          ('A', '2401', 100, 10, NULL), ('A', '2402', 150, 10, 0), ('A', '2403', -1, 10, 0),
          ('A', '2404', 300, 10, 0), ('A', '2405', 320, 10, 0),
          ('B', '2401', 500, 10, NULL), ('B', '2402', 510, 10, 0), ('B', '2403', 520, 10, 0),
          ('B', '2404', 530, 10, 0), ('B', '2405', 560, 10, 0);
        INSERT INTO dim_entity VALUES ('A', 'KOBI', 1, 1), ('B', 'MIKRO', 1, 1);
    )");
    const FeatureMatrix m = zavor::load_features(con, 3);
    std::vector<std::string> rows;
    for (size_t r = 0; r < m.rows(); ++r) rows.push_back(describe(m, r));
    const std::vector<std::string> expected = {
        "A 2401 1: skor=100 skor_d1=nan skor_d3=nan risk_log=2.3979 risk_oran=nan yis_skor=nan seg_kobi=1",
        "B 2401 0: skor=500 skor_d1=nan skor_d3=nan bant=2 risk_log=2.3979 risk_oran=nan yis_skor=nan seg_mikro=1",
        "A 2402 1: skor=150 skor_d1=50 skor_d3=nan risk_log=2.3979 yis_skor=nan seg_kobi=1",
        "B 2402 0: skor=510 skor_d1=10 skor_d3=nan bant=2 risk_log=2.3979 yis_skor=nan seg_mikro=1",
        "A 2405 -1: skor=320 skor_d1=20 skor_d3=170 risk_log=2.3979 yis_skor=nan seg_kobi=1",
        "B 2405 -1: skor=560 skor_d1=30 skor_d3=50 bant=2 risk_log=2.3979 yis_skor=nan seg_mikro=1",
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(m.first_row_of(2), 4u);  // the periods without rows hold an empty range
    EXPECT_EQ(m.first_row_of(4), 4u);
}

// A warehouse may keep the score as text, "YI" for a firm in YI, or as a number, -1 for YI: the
// same firm-periods give the same rows either way.
TEST(Features, AScoreKeptAsTextOrNumberGivesTheSameRows) {
    struct Case {
        const char* name;
        const char* score_type;
        const char* yi;
    };
    const Case cases[] = {{"number", "DOUBLE", "-1"}, {"integer", "BIGINT", "-1"}, {"text", "VARCHAR", "'YI'"},
                          {"text with a number for YI", "VARCHAR", "'-1'"}};
    std::vector<std::vector<std::string>> results;
    for (const Case& c : cases) {
        fixtures::TempDir dir("zavor_features");
        vandel::Vandel con((dir / "w.duckdb").string());
        con.execute(std::string("CREATE TABLE fact_periodic(entity_id VARCHAR, donem VARCHAR, ovik_skor ") +
                    c.score_type + ", kombine_risk DOUBLE, risk_degisim DOUBLE)");
        con.execute("CREATE TABLE dim_entity(entity_id VARCHAR, segment VARCHAR, sube_kodu BIGINT, bolge_kodu BIGINT)");
        con.execute(std::string("INSERT INTO fact_periodic VALUES ('A', '2401', 300, 10, NULL), ('A', '2402', ") + c.yi +
                    ", 10, 0), ('B', '2401', NULL, 10, NULL), ('B', '2402', 600, 10, 0), ('B', '2403', 610, 10, 0),"
                    " ('A', '2403', 320, 10, 0)");
        const FeatureMatrix m = zavor::load_features(con, 1);
        std::vector<std::string> rows;
        for (size_t r = 0; r < m.rows(); ++r) rows.push_back(describe(m, r));
        results.push_back(rows);
    }
    const std::vector<std::string> expected = {
        "A 2401 1: skor=300 skor_d1=nan skor_d3=nan risk_log=2.3979 risk_oran=nan yis_skor=nan",
        "B 2402 0: skor=600 skor_d1=nan skor_d3=nan bant=2 risk_log=2.3979 yis_skor=nan",
        "A 2403 -1: skor=320 skor_d1=nan skor_d3=nan risk_log=2.3979 yis_skor=nan",
        "B 2403 -1: skor=610 skor_d1=10 skor_d3=nan bant=2 risk_log=2.3979 yis_skor=nan",
    };
    for (size_t k = 0; k < std::size(cases); ++k) EXPECT_EQ(results[k], expected) << cases[k].name;
}

// Any bronze source may be missing: its features then read as if it had no row.
TEST(Features, MissingBronzeTablesReadAsEmpty) {
    fixtures::TempDir dir("zavor_features");
    vandel::Vandel con((dir / "w.duckdb").string());
    fixtures::create_silver_tables(con);
    con.execute(R"(
        INSERT INTO fact_periodic VALUES ('A', '2401', 100, 100, NULL), ('A', '2402', 200, 100, 0);
        CREATE TABLE brz_yis_tahmin(muta VARCHAR, donem VARCHAR, yis_skor BIGINT);
        INSERT INTO brz_yis_tahmin VALUES ('A', '2402', 610);
    )");
    const FeatureMatrix m = zavor::load_features(con, 1);
    ASSERT_EQ(m.rows(), 2u);
    EXPECT_EQ(describe(m, 1), "A 2402 -1: skor=200 skor_d1=100 skor_d3=nan risk_log=4.61512 yis_skor=610");
}

// Cutting every period after t out of the warehouse changes no feature of a period up to t:
// features never read the future (only labels do).
TEST(Features, APeriodsFeaturesUseNoLaterData) {
    fixtures::TempDir dir("zavor_features");
    vandel::Vandel con((dir / "w.duckdb").string());
    fixtures::build_planted_warehouse(con, {.firms = 400, .periods = 8});
    const FeatureMatrix full = zavor::load_features(con, 3);
    const std::string cut = fixtures::planted_period(4);
    con.execute("DELETE FROM fact_periodic WHERE donem > '" + cut + "'; DELETE FROM brz_kik_izleme WHERE donem > '" +
                cut + "'");
    const FeatureMatrix truncated = zavor::load_features(con, 3);

    // The cut warehouse has rows in its periods 0 and 1 (outcome known) and 4 (its newest).
    size_t compared = 0;
    for (const int32_t t : {0, 1, 4}) {
        const size_t first = truncated.first_row_of(t), end = truncated.first_row_of(t + 1);
        const size_t full_first = full.first_row_of(t);
        ASSERT_EQ(end - first, full.first_row_of(t + 1) - full_first) << "period " << t;
        for (size_t r = first; r < end; ++r, ++compared) {
            const size_t fr = full_first + (r - first);
            ASSERT_EQ(truncated.entity(r), full.entity(fr));
            for (size_t f = 0; f < kFeatureCount; ++f) {
                const float a = full.row(fr)[f], b = truncated.row(r)[f];
                ASSERT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << describe(full, fr) << " / " << describe(truncated, r);
            }
        }
    }
    EXPECT_EQ(compared, truncated.rows());
    EXPECT_GT(compared, 1000u);
}

// Filling a feature's column gives what setting it row by row gives, whatever the rows held before
// and whichever neighbouring features share the row's storage.
TEST(FeatureMatrix, FillEqualsSettingEveryRow) {
    const float nan = std::nanf("");
    const std::vector<zavor::Feature> features = {zavor::kSkor, zavor::kYisSkor, zavor::kGecikmeGun,
                                                  zavor::kEusHedef, zavor::kCiss, zavor::kSegEskk};
    for (const zavor::Feature f : features) {
        for (const float x : {0.0f, 1.0f, 2.5f, -3.0f, nan}) {
            FeatureMatrix filled;
            filled.resize(5);
            for (size_t r = 0; r < filled.rows(); ++r)
                for (size_t g = 0; g < kFeatureCount; ++g)  // every feature of the row made to differ
                    filled.set(r, static_cast<zavor::Feature>(g), (r + g) % 3 == 0 ? nan : static_cast<float>((r + g) % 2));
            FeatureMatrix by_row = filled;
            filled.fill(f, x);
            for (size_t r = 0; r < by_row.rows(); ++r) by_row.set(r, f, x);
            for (size_t r = 0; r < by_row.rows(); ++r) {
                const zavor::RawFeatures got = filled.row(r), want = by_row.row(r);
                for (size_t g = 0; g < kFeatureCount; ++g)
                    EXPECT_TRUE(got[g] == want[g] || (std::isnan(got[g]) && std::isnan(want[g])))
                        << kFeatures[f].name << " = " << x << ", row " << r << ": " << kFeatures[g].name << " is "
                        << got[g] << ", not " << want[g];
            }
        }
    }
}

}  // namespace
