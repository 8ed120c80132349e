// Band snapshot: degenerate documents, bands per period and segment, risk reading, missing
// columns, periods kept as given. Results are compared as whole documents (compact JSON).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "pipeline/marts/band_marts_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/marts/band_snapshot.hpp"

namespace tarvo::marts {
namespace {

using core::Column;
using core::Document;
using core::List;
using testing::band_board;
using testing::band_row;
using testing::compact_json;

std::string band(const std::string& label, int64_t risk, int64_t count) {
    return "\"" + label + R"(":{"risk_tl":)" + std::to_string(risk) + R"(,"count":)" +
           std::to_string(count) + "}";
}

std::string entry(const std::string& donem, const std::string& bands) {
    return R"({"donem":)" + donem + R"(,"bands":{)" + bands + "}}";
}

std::string segments(const std::string& all, const std::string& kur, const std::string& kobi,
                     const std::string& mikro, const std::string& eskk) {
    return R"({"ALL":[)" + all + R"(],"KUR-TIC":[)" + kur + R"(],"KOBI":[)" + kobi +
           R"(],"MIKRO":[)" + mikro + R"(],"ESKK":[)" + eskk + "]}";
}

TEST(BandSnapshot, DegenerateDocuments) {
    const Document one_row = band_row({{"segment", "KOBI"}, {"ovik2401", 400}});
    Document no_meta = Document::empty_dict();
    no_meta.set("rows", Document(List{one_row}));
    Document no_donemler = Document::empty_dict();
    no_donemler.set("meta", Document::empty_dict());
    no_donemler.set("rows", Document(List{one_row}));
    Document no_rows = Document::empty_dict();
    no_rows.set("meta", band_board({2401}, Document())["meta"]);
    struct Case {
        const char* what;
        Document board;
    };
    const std::vector<Case> cases = {
        {"no periods", band_board({}, Document(List{one_row}))},
        {"empty row list", band_board({2401}, Document::empty_list())},
        {"empty row table", band_board({2401}, Document::rows(core::Table{}))},
        {"no meta", no_meta},
        {"meta without donemler", no_donemler},
        {"no rows key", no_rows},
        {"empty scoreboard", Document::empty_dict()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compact_json(_build_band_snapshot(c.board)), R"({"ALL":[]})") << c.what;
}

TEST(BandSnapshot, BandsPerPeriodAndSegment) {
    // 2403 has no score column. The YI firm comes first among the rows but last among the bands;
    // "kobi" and the null segment count under "ALL" only; letters, null and "x" have no band.
    List rows = {
        band_row({{"segment", nullptr}, {"ovik2401", "-1"}, {"r2401", 7.9}, {"ovik2402", "x"}}),
        band_row({{"segment", "KOBI"}, {"ovik2401", 600}, {"r2401", 0.6}, {"ovik2402", "YI"},
                  {"r2402", -5.5}}),
        band_row({{"segment", "KOBI"}, {"ovik2401", 650}, {"r2401", 0.6}, {"ovik2402", 100},
                  {"r2402", "abc"}}),
        band_row({{"segment", "kobi"}, {"ovik2401", 200}, {"r2401", -3}, {"ovik2402", nullptr}}),
        band_row({{"segment", "MIKRO"}, {"ovik2401", "abc"}, {"ovik2402", 825},
                  {"r2402", nullptr}}),
    };
    Document snap = _build_band_snapshot(band_board({2401, 2402, 2403}, Document(rows)));

    const std::string none3 = entry("2401", "") + "," + entry("2402", "") + "," + entry("2403", "");
    const std::string all = entry("2401", band("0-325", 3, 1) + "," + band("500-825", 1, 2) + "," +
                                              band("YI", 7, 1)) +
                            "," +
                            entry("2402", band("0-325", 0, 1) + "," + band("825-1000", 0, 1) +
                                              "," + band("YI", 5, 1)) +
                            "," + entry("2403", "");
    const std::string kobi = entry("2401", band("500-825", 1, 2)) + "," +
                             entry("2402", band("0-325", 0, 1) + "," + band("YI", 5, 1)) + "," +
                             entry("2403", "");
    const std::string mikro = entry("2401", "") + "," + entry("2402", band("825-1000", 0, 1)) +
                              "," + entry("2403", "");
    EXPECT_EQ(compact_json(snap), segments(all, none3, kobi, mikro, none3));
}

TEST(BandSnapshot, PeriodsKeptAsGivenAndMissingRiskColumn) {
    // 2401.0 is a double (its columns end in "2401.0") and has no risk column: the firms are
    // counted with risk 0. "2402" is a text period.
    List rows = {
        band_row({{"segment", "ESKK"}, {"ovik2401.0", 900}, {"ovik2402", 300}, {"r2402", 1.5}}),
        band_row({{"segment", "ESKK"}, {"ovik2401.0", 950}, {"ovik2402", "YI"}}),
    };
    Document snap = _build_band_snapshot(band_board({2401.0, "2402"}, Document(rows)));
    const std::string banded = entry("2401.0", band("825-1000", 0, 2)) + "," +
                               entry(R"("2402")", band("0-325", 1, 1) + "," + band("YI", 0, 1));
    const std::string none = entry("2401.0", "") + "," + entry(R"("2402")", "");
    EXPECT_EQ(compact_json(snap), segments(banded, none, none, none, banded));
}

TEST(BandSnapshot, RowTableWithTypedColumns) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    core::Table t;
    t.set("segment", Column::of_str({"KUR-TIC", "KUR-TIC", std::nullopt, "KUR-TIC"}));
    t.set("ovik2401", Column::of_i64({-1, 324, 325, std::nullopt}));
    t.set("r2401", Column::of_f64({nan, 1e6 + 0.9, -2.5, 4.0}));
    Document snap = _build_band_snapshot(band_board({2401}, Document::rows(std::move(t))));
    const std::string kur = entry("2401", band("0-325", 1000000, 1) + "," + band("YI", 0, 1));
    const std::string all = entry("2401", band("0-325", 1000000, 1) + "," +
                                              band("325-500", 2, 1) + "," + band("YI", 0, 1));
    const std::string none = entry("2401", "");
    EXPECT_EQ(compact_json(snap), segments(all, kur, none, none, none));
}

TEST(BandSnapshot, Errors) {
    try {
        _build_band_snapshot(Document("board"));
        ADD_FAILURE() << "a text was accepted";
    } catch (const core::TypeError& e) {
        EXPECT_STREQ(e.what(), "scoreboard must be a dict, not str");
    }
    List rows = {band_row({{"ovik2401", 400}})};
    EXPECT_THROW(_build_band_snapshot(band_board({2401}, Document(rows))), core::KeyError);
}

}  // namespace
}  // namespace tarvo::marts
