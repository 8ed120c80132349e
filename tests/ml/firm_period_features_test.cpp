#include "tarvo/ml/zavor/firm_period_features.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/vandel/vandel.hpp"

namespace {

using namespace tarvo;
using zavor::FirmPeriodCells;

// The features as the warehouse's own expressions give them, the reference the reader must match
// bit for bit (NaN aside, which is "missing" whatever its bits).
constexpr const char* kReferenceSql = R"sql(
SELECT CAST(CASE WHEN skor < 325 THEN 0 WHEN skor < 500 THEN 1 WHEN skor < 825 THEN 2
                 WHEN skor >= 825 THEN 3 END AS FLOAT),
       CAST(skor IS NULL AS FLOAT),
       CAST(ln(1 + greatest(risk, 0)) AS FLOAT),
       CAST(CASE WHEN risk - risk_degisim > 0
                 THEN least(greatest(risk_degisim / (risk - risk_degisim), -1), 5) END AS FLOAT),
       CAST((segment = 'KUR-TIC') IS TRUE AS FLOAT), CAST((segment = 'KOBI') IS TRUE AS FLOAT),
       CAST((segment = 'MIKRO') IS TRUE AS FLOAT), CAST((segment = 'ESKK') IS TRUE AS FLOAT)
FROM cells ORDER BY i
)sql";

std::string sql_double(const std::optional<double>& x) {
    if (!x) return "NULL";
    if (std::isnan(*x)) return "'nan'::DOUBLE";
    if (std::isinf(*x)) return *x > 0 ? "'inf'::DOUBLE" : "'-inf'::DOUBLE";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g::DOUBLE", *x);
    return buf;
}

bool same_feature(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;  // -0 and 0 told apart
}

TEST(FirmPeriodFeatures, MatchTheWarehousesExpressionsOnEdgeValues) {
    const double nan = std::nan(""), inf = INFINITY;
    const std::vector<std::optional<double>> scores = {std::nullopt, 0.0, -0.0, 324.99999999999994, 325, 499.5, 500,
                                                       824.9, 825, 1e6, nan, inf};
    const std::vector<std::optional<double>> risks = {std::nullopt, -5, -0.0, 0.0, 1e-300, 0.5, 3, 1e6, 1.7e308,
                                                      -inf, inf, nan};
    const std::vector<std::pair<int, std::string>> segments = {
        {zavor::kOtherSegment, "NULL"},   {zavor::kKurTicSegment, "'KUR-TIC'"}, {zavor::kKobiSegment, "'KOBI'"},
        {zavor::kMikroSegment, "'MIKRO'"}, {zavor::kEskkSegment, "'ESKK'"},      {zavor::kOtherSegment, "'kobi'"}};

    std::vector<FirmPeriodCells> cases;
    std::string values;
    for (const auto& skor : scores)
        for (const auto& risk : risks)
            for (const auto& change : risks) {
                const auto& [code, segment] = segments[cases.size() % segments.size()];
                if (!values.empty()) values += ",";
                values += "(" + std::to_string(cases.size()) + "," + sql_double(skor) + "," + sql_double(risk) + "," +
                          sql_double(change) + "," + segment + ")";
                cases.push_back({skor, risk, change, code});
            }
    vandel::Vandel con(":memory:");
    con.execute("CREATE TABLE cells (i INTEGER, skor DOUBLE, risk DOUBLE, risk_degisim DOUBLE, segment VARCHAR)");
    con.execute("INSERT INTO cells VALUES " + values);
    const core::Table expected = con.query(kReferenceSql);
    ASSERT_EQ(expected.nrows(), cases.size());

    int mismatches = 0;
    for (size_t r = 0; r < cases.size(); ++r) {
        const auto got = zavor::firm_period_features(cases[r]);
        for (size_t k = 0; k < got.size(); ++k) {
            const core::Column& column = expected.column(k);
            const float want = column.is_null(r) ? NAN : static_cast<float>(*column.number_at(r));
            if (!same_feature(got[k], want) && ++mismatches <= 10)
                ADD_FAILURE() << "case " << r << " (skor " << sql_double(cases[r].skor) << ", risk "
                              << sql_double(cases[r].risk) << ", change " << sql_double(cases[r].risk_degisim)
                              << "), feature " << k << ": " << got[k] << " against " << want;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
