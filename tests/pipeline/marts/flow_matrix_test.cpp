// Band flow matrix: degenerate documents, cells per segment, risk from the later period, the
// period window, missing columns, and the driver's counts. Results are compared as whole
// documents through their compact JSON text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "pipeline/marts/band_marts_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/marts/flow_matrix.hpp"

namespace tarvo::marts {
namespace {

using core::Column;
using core::Document;
using core::List;
using testing::band_board;
using testing::band_row;
using testing::compact_json;

std::string flow(const std::string& from, const std::string& to, int64_t risk, int64_t count) {
    return R"({"from_band":")" + from + R"(","to_band":")" + to + R"(","risk_tl":)" +
           std::to_string(risk) + R"(,"count":)" + std::to_string(count) + "}";
}

std::string pair_entry(const std::string& from, const std::string& to, const std::string& flows) {
    return R"({"from":)" + from + R"(,"to":)" + to + R"(,"flows":[)" + flows + "]}";
}

// The five segment lists, each given as the JSON of its elements.
std::string segments(const std::string& all, const std::string& kur, const std::string& kobi,
                     const std::string& mikro, const std::string& eskk) {
    return R"({"ALL":[)" + all + R"(],"KUR-TIC":[)" + kur + R"(],"KOBI":[)" + kobi +
           R"(],"MIKRO":[)" + mikro + R"(],"ESKK":[)" + eskk + "]}";
}

const std::string kDegenerate = R"({"ALL":[]})";

TEST(FlowMatrix, DegenerateDocuments) {
    const Document one_row = band_row({{"segment", "KOBI"}, {"ovik2401", 400}, {"ovik2402", 500}});
    struct Case {
        const char* what;
        Document board;
    };
    Document no_meta = Document::empty_dict();
    no_meta.set("rows", Document(List{one_row}));
    Document no_rows = Document::empty_dict();
    no_rows.set("meta", band_board({2401, 2402}, Document())["meta"]);
    const std::vector<Case> cases = {
        {"one period", band_board({2401}, Document(List{one_row}))},
        {"no periods", band_board({}, Document(List{one_row}))},
        {"empty row list", band_board({2401, 2402}, Document::empty_list())},
        {"empty row table", band_board({2401, 2402}, Document::rows(core::Table{}))},
        {"null rows", band_board({2401, 2402}, Document())},
        {"no meta", no_meta},
        {"no rows key", no_rows},
        {"empty scoreboard", Document::empty_dict()},
    };
    for (const auto& c : cases) {
        Document fm = _build_flow_matrix(c.board);
        EXPECT_EQ(compact_json(fm), kDegenerate) << c.what;
        FlowCounts n = flow_counts(fm);
        EXPECT_EQ(n.pairs, 0) << c.what;
        EXPECT_EQ(n.flows, 0) << c.what;
        EXPECT_EQ(n.segments, 0) << c.what;
    }
}

TEST(FlowMatrix, CellsPerSegmentWithRiskOfTheLaterPeriod) {
    // Rows are deliberately out of band order; the firms without a band in one period of the
    // pair ("MIKRO" with a null score, the null segment with letters) are in no cell.
    List rows = {
        band_row({{"segment", "ESKK"}, {"ovik2401", "YI"}, {"ovik2402", -1}, {"r2402", "abc"}}),
        band_row({{"segment", "KUR-TIC"}, {"ovik2401", 400}, {"ovik2402", 850},
                  {"r2401", 999.0}, {"r2402", -1000000.7}}),
        band_row({{"segment", "kobi"}, {"ovik2401", 100}, {"ovik2402", 100}, {"r2402", 0.6}}),
        band_row({{"segment", "KOBI"}, {"ovik2401", 100}, {"ovik2402", "100"}, {"r2402", "0.6"}}),
        band_row({{"segment", "MIKRO"}, {"ovik2401", nullptr}, {"ovik2402", 700}, {"r2402", 50}}),
        band_row({{"segment", nullptr}, {"ovik2401", "x"}, {"ovik2402", 700}, {"r2402", 50}}),
        band_row({{"segment", ""}, {"ovik2401", 824.5}, {"ovik2402", 825}, {"r2402", nullptr}}),
    };
    Document fm = _build_flow_matrix(band_board({2401, 2402}, Document(rows)));

    const std::string all = pair_entry("2401", "2402",
                                       flow("0-325", "0-325", 1, 2) + "," +
                                           flow("325-500", "825-1000", 1000000, 1) + "," +
                                           flow("500-825", "825-1000", 0, 1) + "," +
                                           flow("YI", "YI", 0, 1));
    EXPECT_EQ(compact_json(fm),
              segments(all, pair_entry("2401", "2402", flow("325-500", "825-1000", 1000000, 1)),
                       pair_entry("2401", "2402", flow("0-325", "0-325", 0, 1)),
                       pair_entry("2401", "2402", ""),
                       pair_entry("2401", "2402", flow("YI", "YI", 0, 1))));

    FlowCounts n = flow_counts(fm);
    EXPECT_EQ(n.pairs, 1);
    EXPECT_EQ(n.flows, 4);
    EXPECT_EQ(n.segments, 5);
}

TEST(FlowMatrix, EightPeriodsKeepTheLastSix) {
    // Scores 100, 400, 600, 900, YI, -1, 300, 850 over 2401..2408; risk 10.4 everywhere.
    const std::vector<Document> scores = {100, 400, 600, 900, "YI", -1, 300, 850};
    core::Dict r;
    r.set("segment", "KOBI");
    List periods;
    for (int i = 0; i < 8; ++i) {
        const std::string p = std::to_string(2401 + i);
        periods.emplace_back(2401 + i);
        r.set("ovik" + p, scores[static_cast<size_t>(i)]);
        r.set("r" + p, 10.4);
    }
    const Document board = band_board(periods, Document(List{Document(r)}));

    const std::vector<std::string> pairs = {
        pair_entry("2403", "2404", flow("500-825", "825-1000", 10, 1)),
        pair_entry("2404", "2405", flow("825-1000", "YI", 10, 1)),
        pair_entry("2405", "2406", flow("YI", "YI", 10, 1)),
        pair_entry("2406", "2407", flow("YI", "0-325", 10, 1)),
        pair_entry("2407", "2408", flow("0-325", "825-1000", 10, 1)),
    };
    std::string with_firm, empty;
    const std::vector<std::string> bare = {"2403", "2404", "2405", "2406", "2407", "2408"};
    for (size_t i = 0; i < pairs.size(); ++i) {
        with_firm += (i ? "," : "") + pairs[i];
        empty += (i ? "," : "") + pair_entry(bare[i], bare[i + 1], "");
    }
    Document fm = _build_flow_matrix(board);
    EXPECT_EQ(compact_json(fm), segments(with_firm, empty, with_firm, empty, empty));
    FlowCounts n = flow_counts(fm);
    EXPECT_EQ(n.pairs, 5);
    EXPECT_EQ(n.flows, 5);
    EXPECT_EQ(n.segments, 5);

    // A fractional window is cut to its whole part; a window of one leaves no pair.
    const std::string last = pair_entry("2407", "2408", flow("0-325", "825-1000", 10, 1));
    const std::string last_empty = pair_entry("2407", "2408", "");
    EXPECT_EQ(compact_json(_build_flow_matrix(board, 2.9)),
              segments(last, last_empty, last, last_empty, last_empty));
    EXPECT_EQ(compact_json(_build_flow_matrix(board, 1)), segments("", "", "", "", ""));
    EXPECT_EQ(compact_json(_build_flow_matrix(board, 0)), segments("", "", "", "", ""));
    EXPECT_EQ(compact_json(_build_flow_matrix(board, 100)).find(R"({"from":2401,"to":2402)"),
              std::string(R"({"ALL":[)").size());
    EXPECT_THROW(_build_flow_matrix(board, std::numeric_limits<double>::quiet_NaN()),
                 core::ValueError);
}

TEST(FlowMatrix, PeriodsKeptAsGivenAndMissingColumns) {
    // "2401" is a text, 2402.0 a double (columns end in "2402.0"), 2403 has no score column;
    // no period has a risk column, so risk is 0 while firms are counted.
    List rows = {band_row({{"segment", "MIKRO"}, {"ovik2401", 400}, {"ovik2402.0", 499.99}})};
    Document fm = _build_flow_matrix(band_board({"2401", 2402.0, 2403}, Document(rows)));
    const std::string first_empty = pair_entry(R"("2401")", "2402.0", "");
    const std::string second = pair_entry("2402.0", "2403", "");
    const std::string first = pair_entry(R"("2401")", "2402.0", flow("325-500", "325-500", 0, 1));
    EXPECT_EQ(compact_json(fm),
              segments(first + "," + second, first_empty + "," + second,
                       first_empty + "," + second, first + "," + second,
                       first_empty + "," + second));
    EXPECT_EQ(flow_counts(fm).flows, 1);
}

TEST(FlowMatrix, RowTableWithTypedColumns) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    core::Table t;
    t.set("segment", Column::of_str({"KOBI", std::nullopt, "KOBI", "ESKK"}));
    t.set("ovik2401", Column::of_i64({-1, 100, std::nullopt, 500}));
    t.set("ovik2402", Column::of_f64({824.5, nan, 300.0, -1.0}));
    t.set("r2402", Column::of_f64({nan, 5.0, 7.0, 2.5}));
    Document fm = _build_flow_matrix(band_board({2401, 2402}, Document::rows(std::move(t))));
    // -1.0 as a double is an ordinary low score in the column rule.
    const std::string yi = pair_entry("2401", "2402", flow("YI", "500-825", 0, 1));
    const std::string eskk = pair_entry("2401", "2402", flow("500-825", "0-325", 2, 1));
    const std::string all = pair_entry(
        "2401", "2402", flow("500-825", "0-325", 2, 1) + "," + flow("YI", "500-825", 0, 1));
    const std::string none = pair_entry("2401", "2402", "");
    EXPECT_EQ(compact_json(fm), segments(all, none, yi, none, eskk));
}

TEST(FlowMatrix, Errors) {
    try {
        _build_flow_matrix(Document::empty_list());
        ADD_FAILURE() << "a list was accepted";
    } catch (const core::TypeError& e) {
        EXPECT_STREQ(e.what(), "scoreboard must be a dict, not list");
    }
    List rows = {band_row({{"ovik2401", 400}, {"ovik2402", 500}})};
    EXPECT_THROW(_build_flow_matrix(band_board({2401, 2402}, Document(rows))), core::KeyError);
}

}  // namespace
}  // namespace tarvo::marts
