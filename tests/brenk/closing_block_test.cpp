#include "tarvo/brenk/closing_block.hpp"

#include <gtest/gtest.h>

#include "support/source_files.hpp"

namespace tarvo::brenk {
namespace {

TEST(ClosingBlock, SizesForPeople) {
    const std::vector<std::pair<uintmax_t, std::string>> cases{
        {0, "0 B"},          {1023, "1023 B"},          {1024, "1.0 KB"},
        {1536, "1.5 KB"},    {1048575, "1.0 MB"},    {1048576, "1.0 MB"},
        {31457280, "30.0 MB"}, {5ull << 30, "5.0 GB"}, {3ull << 40, "3072.0 GB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(size_text(bytes), text) << bytes;
}

TEST(ClosingBlock, ListsEveryFileAndTheCounts) {
    testing::TempDir dir("tarvo-closing");
    const marts::MartOutputs outputs = marts::mart_outputs(dir / "db" / "w.duckdb", std::nullopt, "_x");
    const std::vector<std::filesystem::path> files = outputs.files();
    for (size_t i = 0; i < files.size(); ++i)
        if (files[i] != outputs.manager_html) testing::write_bytes(files[i], std::string(i * 700, 'x'));
    const std::string json = (dir / "outputs" / "json").string() + "/", html = (dir / "outputs" / "html").string() + "/";
    const std::vector<std::string> lines{"",
                                         "  Files written:",
                                         "    " + json + "sube_bolge_ref_x.csv (0 B)",
                                         "    " + json + "sample_trending_lists_x.json (700 B)",
                                         "    " + json + "sample_scoreboard_x.json (1.4 KB)",
                                         "  Dashboards:",
                                         "    " + html + "ovik_dashboard_x.html (2.1 KB)",
                                         "    " + html + "ovik_dashboard_yonetici_x.html (missing)",
                                         "    " + html + "ovik_dashboard_admin_x.html (3.4 KB)"};
    std::vector<std::string> run = lines, marts = lines;
    run.push_back("  Skipped sources: 3, warnings: 2");
    marts.push_back("  Warnings: 0");
    EXPECT_EQ(closing_block(outputs, 3, 2), run);
    EXPECT_EQ(closing_block(outputs, std::nullopt, 0), marts);
}

}  // namespace
}  // namespace tarvo::brenk
