// The back-test as a step of the pipeline run: after the silver step, before the marts, and
// left out together with the prediction step by use_predictor = false.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/console_lines.hpp"
#include "tarvo/brenk/runner.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/demo/source_tree.hpp"

namespace {

using namespace tarvo;
using tarvo::testing::index_of;
using tarvo::testing::Lines;

TEST(PipelineRun, BackTestStepRunsBetweenSilverStepAndMartsUnlessThePredictorIsOff) {
    core::TempDir dir("pipeline_backtest");
    demo::generate_source_tree(dir / "source", 400, 8, 3);
    for (const bool use_predictor : {true, false}) {
        core::make_dirs(dir / "db");
        brenk::RunOptions options;
        options.use_predictor = use_predictor;
        core::ConsoleCapture cap;
        brenk::run_pipeline(dir / "source", dir / "db" / "ovik.duckdb", options);
        const Lines out = cap.out_lines();
        const size_t silver = index_of(out, "  Building diag_eus_kapsam_diskalma...");
        const size_t backtest = index_of(out, "  Running back-test...");
        const size_t marts = index_of(out, "  Building scoreboard mart...");
        const size_t skipped = index_of(out, "  [ML] Skipping: predictor turned off (--no-predictor)");
        ASSERT_LT(marts, out.size());
        if (use_predictor) {
            EXPECT_LT(silver, backtest);
            EXPECT_LT(backtest, marts);
            EXPECT_EQ(skipped, out.size());
            EXPECT_LT(index_of(out, "  Running ML predictions..."), out.size());
        } else {
            EXPECT_EQ(backtest, out.size());
            EXPECT_LT(marts, skipped);
            EXPECT_EQ(index_of(out, "  [BACKTEST] Tablo yok, atlanıyor") < out.size(), true);
        }
    }
}

}  // namespace
