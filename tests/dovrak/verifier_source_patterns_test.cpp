// Group 2 of the verifier reads the installed source text of three operations of this build.
// A refactor that keeps behaviour but loses one of the patterns it looks for (writing
// `.astype(core::Kind::str)` for `.astype(str)`, moving the dict check out of render_html) makes
// `tarvo verify` fail on every installation: these tests fail first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_install.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/dovrak/verifier.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::dovrak {
namespace {

// Each pattern group 2 needs in the source of this build, and the file that holds it.
TEST(VerifierSourcePatterns, EachPatternIsInThisBuildsSource) {
    struct Pattern {
        const char* module;
        const char* operation;
        const char* text;
        const char* file;
    };
    const std::vector<Pattern> patterns{
        {"tarvo.pipeline.dalmer", "run_transforms", "son_12", "src/tarvo/pipeline/dalmer/transforms.cpp"},
        {"tarvo.pipeline.dalmer", "run_transforms", "literal_eval", "src/tarvo/pipeline/dalmer/transforms.cpp"},
        {"tarvo.pipeline.marts", "_build_scoreboard", "astype(str)", "src/tarvo/pipeline/marts/scoreboard.cpp"},
        {"tarvo.pipeline.ronnel", "render_html", "isinstance", "src/tarvo/pipeline/ronnel/render.cpp"},
        {"tarvo.pipeline.ronnel", "render_html", "dict", "src/tarvo/pipeline/ronnel/render.cpp"},
    };
    for (const Pattern& p : patterns) {
        const std::string source = modules::load(p.module).source_of(p.operation);
        EXPECT_TRUE(core::contains(source, p.text))
            << p.operation << " in " << p.file << " no longer contains \"" << p.text << "\", which tarvo verify looks for";
    }
}

// The group as `tarvo verify` runs it on this build: every check passes.
TEST(VerifierSourcePatterns, GroupTwoPassesOnThisBuild) {
    Verifier v("unused.duckdb");
    core::ConsoleCapture cap;
    v.grup2_kaynak();
    EXPECT_EQ(cap.out_lines(), testing::with_heading("[GRUP 2] Kaynak Kod Kontrolleri", testing::kGrup2Passed));
    EXPECT_TRUE(v.fails.empty());
}

}  // namespace
}  // namespace tarvo::dovrak
