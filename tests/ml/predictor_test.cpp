#include "tarvo/ml/zavor/predictor.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "ml/planted_warehouse.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/marts/scoreboard.hpp"

namespace {

using namespace tarvo;
using Lines = std::vector<std::string>;

struct Prediction {
    core::Document scoreboard;
    Lines lines;
};

Prediction predict(const std::string& db) {
    core::ConsoleCapture cap;
    core::Document scoreboard;
    {
        vandel::Vandel con(db);
        scoreboard = marts::_build_scoreboard(con);
    }
    const auto prepare = modules::load("tarvo.ml.zavor").entry<zavor::ApplyPredictions(const std::string&)>(
        "prepare_predictions");
    core::ConsoleCapture lines;
    const zavor::ApplyPredictions attach = prepare(db);
    EXPECT_TRUE(lines.out_lines().empty());  // the first half prints nothing; its lines come with the second
    attach(scoreboard);
    return {std::move(scoreboard), lines.out_lines()};
}

TEST(Predictor, ScoresTheNewestPeriodTheSameWayTwice) {
    fixtures::TempDir dir("zavor_predict");
    const std::string db = (dir / "w.duckdb").string();
    {
        vandel::Vandel con(db);
        fixtures::build_planted_warehouse(con, {.firms = 1500, .periods = 8});
    }
    const Prediction first = predict(db);
    const Prediction second = predict(db);
    EXPECT_EQ(core::to_json(first.scoreboard, core::JsonStyle::compact),
              core::to_json(second.scoreboard, core::JsonStyle::compact));

    ASSERT_EQ(first.lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(first.lines[0], std::regex("  \\[ML\\] Model: 5 dönem \\(2401-2405\\), [0-9,]+ örnek, "
                                                            "[0-9,]+ pozitif, ufuk 3 dönem")))
        << first.lines[0];
    const core::Table& rows = first.scoreboard["rows"].as_rows();
    const core::Column& prob = rows["_ml_yi_prob"];
    const core::Column& neden = rows["_ml_neden"];
    const core::Column& latest = rows["ovik2408"];
    size_t scored = 0, best = 0;
    for (size_t i = 0; i < rows.nrows(); ++i) {
        // Firms in YI in the newest period get no probability; all others do.
        const bool in_yi = latest.is_text_cell(i) ? latest.text_at(i) == "YI" : latest.number_at(i) == -1.0;
        EXPECT_EQ(prob.is_null(i), in_yi) << i;
        if (prob.is_null(i)) continue;
        ++scored;
        if (prob.double_at(i) > prob.double_at(best) || prob.is_null(best)) best = i;
    }
    EXPECT_EQ(first.lines[1], "  [ML] 2408: " + core::group_thousands(static_cast<int64_t>(scored)) + " firma skorlandı");
    // The likeliest firm is one with overdue days, and that is its first reason.
    EXPECT_TRUE(std::regex_match(neden.text_at(best), std::regex("gecikme [0-9]+ gün(; .*)?"))) << neden.text_at(best);

    const core::Document& model = first.scoreboard["ml_model"];
    EXPECT_EQ(model["horizon"].as_int(), 3);
    EXPECT_EQ(model["training_periods"].size(), 5u);
    EXPECT_EQ(model["features"].size(), zavor::kFeatureCount);
    EXPECT_TRUE(model["auc"].is_null());  // no back-test yet
    EXPECT_EQ(model["threshold"].as_real(), 0.3);
}

TEST(Predictor, TooLittleHistoryGivesALineAndNoProbabilities) {
    struct Case {
        const char* name;
        int periods;
        const char* extra_sql;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"no period with a known outcome", 3, "",
         "  [ML] Yetersiz geçmiş: 3 dönem sonrası bilinen dönem yok, olasılık verilmedi"},
        {"nobody ever enters YI", 6, "UPDATE fact_periodic SET ovik_skor = 500 WHERE ovik_skor = -1",
         "  [ML] Yetersiz geçmiş: eğitim dönemlerinde tek sınıf var, olasılık verilmedi"},
    };
    for (const Case& c : cases) {
        fixtures::TempDir dir("zavor_short");
        const std::string db = (dir / "w.duckdb").string();
        {
            vandel::Vandel con(db);
            fixtures::build_planted_warehouse(con, {.firms = 300, .periods = c.periods});
            if (*c.extra_sql) con.execute(c.extra_sql);
        }
        const Prediction p = predict(db);
        EXPECT_EQ(p.lines, Lines{c.line}) << c.name;
        EXPECT_FALSE(p.scoreboard["rows"].as_rows().has("_ml_yi_prob")) << c.name;
        EXPECT_EQ(p.scoreboard.get("ml_model"), nullptr) << c.name;
    }
}

// The scoreboard is changed in place, and only once nothing can fail: rows that cannot be read
// as a table fail the step after the model is fitted and leave the scoreboard as it was.
TEST(Predictor, AFailureLeavesTheScoreboardAsItWas) {
    fixtures::TempDir dir("zavor_fail");
    const std::string db = (dir / "w.duckdb").string();
    {
        vandel::Vandel con(db);
        fixtures::build_planted_warehouse(con, {.firms = 300, .periods = 8});
    }
    core::Dict row;
    row.set("muta", "1");
    core::Dict board;
    board.set("rows", core::Document(core::List{core::Document(std::move(row)), core::Document(int64_t{5})}));
    core::Document scoreboard(std::move(board));
    const std::string before = core::to_json(scoreboard, core::JsonStyle::compact);
    const auto run = modules::load("tarvo.ml.zavor").entry<void(const std::string&, core::Document&)>(
        "run_predictions");
    core::ConsoleCapture lines;
    EXPECT_ANY_THROW(run(db, scoreboard));
    EXPECT_EQ(core::to_json(scoreboard, core::JsonStyle::compact), before);
    ASSERT_EQ(lines.out_lines().size(), 1u);  // the model was fitted first
    EXPECT_TRUE(lines.out_lines()[0].starts_with("  [ML] Model: ")) << lines.out_lines()[0];
}

TEST(Predictor, ReasonsAreTheLargestRaisingFeaturesInWords) {
    using zavor::kFeatureCount;
    float raw[kFeatureCount] = {};
    raw[zavor::kSkor] = 612.4f;
    raw[zavor::kSkorD3] = 210.0f;
    raw[zavor::kGecikmeGun] = 45.0f;
    raw[zavor::kRiskOran] = 0.35f;
    raw[zavor::kCiss] = 0.0f;
    std::array<double, kFeatureCount> c{}, w{};
    w.fill(1.0);
    c[zavor::kSkorD3] = 0.9;
    c[zavor::kGecikmeGun] = 1.2;
    c[zavor::kRiskOran] = 0.4;   // a quarter of the first or more: third reason
    c[zavor::kCiss] = 2.0;       // a flag that is not set is no reason
    c[zavor::kSkor] = -0.5;      // lowered the probability
    EXPECT_EQ(zavor::reasons_of(c, w, raw), "gecikme 45 gün; skor 3 dönemde +210; risk 1 dönemde +%35");
    c[zavor::kRiskOran] = 0.29;  // below a quarter of 1.2: two reasons only
    EXPECT_EQ(zavor::reasons_of(c, w, raw), "gecikme 45 gün; skor 3 dönemde +210");
    // A below-average score under a negative weight raises the probability, but is no warning.
    c[zavor::kSkor] = 1.5;
    w[zavor::kSkor] = -0.4;
    EXPECT_EQ(zavor::reasons_of(c, w, raw), "gecikme 45 gün; skor 3 dönemde +210");
    // Equal contributions keep the features' order.
    c[zavor::kSkorD3] = 1.2;
    EXPECT_EQ(zavor::reasons_of(c, w, raw), "skor 3 dönemde +210; gecikme 45 gün");
}

TEST(Predictor, ReasonTextsWriteNumbersAsAnAnalystReadsThem) {
    struct Case {
        zavor::Feature feature;
        float value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {zavor::kSkor, 612.9f, "skor 612"},
        {zavor::kSkorD1, -0.5f, "skor 1 dönemde -0"},  // truncated toward zero, the sign kept
        {zavor::kSkorD1, 0.0f, "skor 1 dönemde +0"},
        {zavor::kSkorD3, -35.7f, "skor 3 dönemde -35"},
        {zavor::kBant, 2.0f, "bant 500-825"},
        {zavor::kRiskLog, std::log1p(946'600'000.0f), "kombine risk 946,6 mn TL"},
        {zavor::kRiskLog, std::log1p(2'345'000'000.0f), "kombine risk 2,3 mr TL"},
        {zavor::kRiskLog, std::log1p(850'400.0f), "kombine risk 850 bin TL"},
        {zavor::kRiskOran, -0.125f, "risk 1 dönemde -%13"},  // halves away from zero
        {zavor::kYisSkor, 88.0f, "yis skoru 88"},
        {zavor::kGecikmeGun, 1e9f, "gecikme 1000000000 gün"},
    };
    for (const Case& c : cases) {
        std::array<float, zavor::kFeatureCount> raw{};
        raw[c.feature] = c.value;
        EXPECT_EQ(zavor::reason_text(c.feature, raw.data()), c.text) << zavor::kFeatures[c.feature].name;
    }
}

}  // namespace
