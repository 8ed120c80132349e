// ML predictions list and its filter to the manager firms.
#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "pipeline/marts/trending_fixture.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/ml_list.hpp"

namespace tarvo::marts {
namespace {

using core::Dict;
using core::Document;
using core::List;
using core::Value;

Document board(std::vector<std::pair<std::string, std::vector<Value>>> cols) {
    Dict d;
    d.set("rows", Document::rows(trending_testing::row_table(std::move(cols))));
    return Document(std::move(d));
}

struct Outcome {
    Document list;
    std::vector<std::string> lines;
};

Outcome run(const Document& scoreboard, double threshold = 0.3) {
    core::ConsoleCapture capture;
    Document list = _build_ml_predictions_list(scoreboard, threshold);
    return {list, capture.out_lines()};
}

std::vector<std::string> mutas(const Document& list) {
    std::vector<std::string> out;
    for (const Document& e : list.as_list()) out.push_back(e["muta"].to_value().text_form());
    return out;
}

TEST(MlPredictionsList, ThresholdRoundingAndEntry) {
    Document sb = board({
        {"muta", {"a", "b", "c", "d", "e"}},
        {"unvan", {"A", "B", nullptr, "D", "E"}},
        {"segment", {"KOBI", "KOBI", "MIKRO", "KOBI", "KOBI"}},
        {"son_risk", {10, 20, 30, 40, 50}},
        {"_ml_yi_prob", {0.3, 0.2999, 0.123456, 0.987654, nullptr}},
        {"_ovik_neden", {"r", "r", "r", nullptr, "r"}},
    });
    Outcome low = run(sb, 0.1);
    EXPECT_EQ(low.lines, std::vector<std::string>{"  [ML] yi_prob >= 0.1: 4 firma"});
    EXPECT_EQ(core::to_json(low.list, core::JsonStyle::compact),
              R"([{"muta":"d","unvan":"D","segment":"KOBI","son_risk":40,"yi_prob":0.9877,"neden":""},)"
              R"({"muta":"c","unvan":null,"segment":"MIKRO","son_risk":30,"yi_prob":0.1235,"neden":"r"},)"
              R"({"muta":"b","unvan":"B","segment":"KOBI","son_risk":20,"yi_prob":0.2999,"neden":"r"},)"
              R"({"muta":"a","unvan":"A","segment":"KOBI","son_risk":10,"yi_prob":0.3,"neden":"r"}])");

    Outcome dflt = run(sb);
    EXPECT_EQ(dflt.lines, std::vector<std::string>{"  [ML] yi_prob >= 0.3: 2 firma"});
    EXPECT_EQ(mutas(dflt.list), (std::vector<std::string>{"d", "a"}));

    EXPECT_EQ(run(sb, 1.0).lines, std::vector<std::string>{"  [ML] yi_prob >= 1.0: 0 firma"});
}

TEST(MlPredictionsList, NoProbabilitiesAndMissingColumns) {
    EXPECT_EQ(run(board({{"muta", {"a"}}, {"son_risk", {5}}})).lines,
              std::vector<std::string>{"  [ML] yi_prob >= 0.3: 0 firma"});
    EXPECT_EQ(run(Document::empty_dict()).list, Document::empty_list());

    // A row table without "unvan", "segment", "son_risk" or "_ovik_neden".
    Outcome r = run(board({{"_ml_yi_prob", {0.5}}}));
    EXPECT_EQ(core::to_json(r.list, core::JsonStyle::compact),
              R"([{"muta":null,"unvan":null,"segment":null,"son_risk":null,"yi_prob":0.5,"neden":""}])");
    EXPECT_THROW(_build_ml_predictions_list(Document::empty_list()), core::TypeError);
}

TEST(MlPredictionsList, OrderedByRiskWithMissingAndZeroAsZeroStable) {
    Outcome r = run(board({
        {"muta", {"a", "b", "c", "d", "e", "f"}},
        {"son_risk", {Value(0), Value(), Value(7), Value(-2), Value(7), Value(3)}},
        {"_ml_yi_prob", {0.9, 0.9, 0.9, 0.9, 0.9, 0.9}},
    }));
    EXPECT_EQ(mutas(r.list), (std::vector<std::string>{"c", "e", "f", "a", "b", "d"}));
}

TEST(MlPredictionsList, FilterKeepsAdminFirmsByTextForm) {
    auto pred = [](std::vector<std::pair<std::string, Value>> kv) {
        Dict d;
        for (auto& [k, v] : kv) d.set(k, Document::of(v));
        return Document(std::move(d));
    };
    Document predictions(List{
        pred({{"muta", "1"}}),
        pred({{"muta", int64_t{2}}}),
        pred({{"entity_id", "9"}, {"muta", "3"}}),  // "entity_id" wins over "muta"
        pred({{"entity_id", "3"}, {"muta", "9"}}),
        pred({{"unvan", "x"}}),                     // neither: the empty text
        pred({{"muta", "4"}}),
        pred({{"muta", "1"}, {"yi_prob", 0.5}}),
    });
    std::unordered_set<std::string> admin = {"1", "2", "3", ""};
    Document kept = filter_predictions(predictions, admin);
    const List& k = kept.as_list();
    ASSERT_EQ(k.size(), 5u);
    EXPECT_EQ(k[0], predictions.as_list()[0]);
    EXPECT_EQ(k[1]["muta"], Document(2));  // kept as the number it was
    EXPECT_EQ(k[2]["entity_id"], Document("3"));
    EXPECT_EQ(k[3], predictions.as_list()[4]);
    EXPECT_EQ(k[4], predictions.as_list()[6]);

    EXPECT_EQ(filter_predictions(predictions, {}), Document::empty_list());
    EXPECT_THROW(filter_predictions(Document::empty_dict(), admin), core::TypeError);
}

}  // namespace
}  // namespace tarvo::marts
