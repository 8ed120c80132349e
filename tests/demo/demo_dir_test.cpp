// The demo writes only into a directory of its own and removes only what a demo wrote.
#include "tarvo/demo/demo_dir.hpp"

#include <gtest/gtest.h>

#include "support/source_files.hpp"
#include "support/thrown.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/demo/source_tree.hpp"

namespace tarvo::demo {
namespace {

using testing::write_bytes;

// Writes a tiny demo tree into `dir` as the demo does; returns the number of files listed.
size_t write_demo_tree(const fs::path& dir) {
    DemoDir demo(dir);
    size_t listed = 0;
    generate_source_tree(dir / "source", 5, 2, 1, [&](const fs::path& file) {
        demo.record(file);
        ++listed;
    });
    return listed;
}

TEST(DemoDir, AcceptsANewDirectoryAndItsOwnFiles) {
    testing::TempDir root("tarvo-demodir");
    const fs::path dir = root / "demo";
    const size_t listed = write_demo_tree(dir);
    EXPECT_GT(listed, 10u);
    // What a pipeline run writes there, and temporaries a killed run left, belong to the demo too.
    for (const char* f : {"db/ovik.duckdb", "db/ovik.duckdb.wal", "db/ovik.duckdb.tmp77", "db/ovik.duckdb.tmp77.wal",
                          "db/ovik.duckdb.tmp/spill.bin", "outputs/json/sample_scoreboard.json",
                          "outputs/json/sample_scoreboard.json.tmp123", "outputs/html/ovik_dashboard_admin.html"})
        write_bytes(dir / f, "x");
    EXPECT_EQ(write_demo_tree(dir), listed);
    EXPECT_NO_THROW(DemoDir(root / "empty"));
}

TEST(DemoDir, RefusesADirectoryHoldingOtherFilesAndTouchesNothing) {
    testing::TempDir root("tarvo-demodir");
    const std::vector<std::pair<std::string, std::string>> foreign{
        {"notes.txt", "notes.txt"},
        {"source/kredi_db/kurumsal_risk_2501.parquet", "source/kredi_db/kurumsal_risk_2501.parquet"},
        {"outputs/json/mine.json", "outputs/json/mine.json"},
        {"db/ovik.duckdb.tmpx", "db/ovik.duckdb.tmpx"},
    };
    for (const auto& [file, named] : foreign) {
        SCOPED_TRACE(file);
        const fs::path dir = root / "d";
        fs::remove_all(dir);
        if (file.starts_with("source/")) write_demo_tree(dir);  // a file a user put into a demo tree
        write_bytes(dir / file, "theirs");
        const std::vector<fs::path> before = core::sorted_glob(dir / "source" / "kredi_db", "*");
        EXPECT_EQ(testing::thrown_by([&] { DemoDir demo(dir); }),
                  (testing::Thrown{core::ErrorKind::FileExistsError,
                                   "demo directory " + dir.string() + " holds " + named +
                                       ", which tarvo demo did not write; choose a new or empty directory"}));
        EXPECT_EQ(core::read_file(dir / file), "theirs");
        EXPECT_EQ(core::sorted_glob(dir / "source" / "kredi_db", "*"), before);
    }
    write_bytes(root / "file", "x");
    EXPECT_THROW(DemoDir(root / "file"), core::NotADirectoryError);
}

}  // namespace
}  // namespace tarvo::demo
