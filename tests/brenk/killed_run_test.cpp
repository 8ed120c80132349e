// A pipeline run killed at any point loses nothing: killed while it builds the new warehouse
// (ingest, silver step), the previous warehouse is untouched, answers the verifier and gives
// the previous outputs again byte for byte; killed in the marts, the previous output files are
// untouched. Interrupted, a run removes its temporaries; the next run succeeds and removes what
// the killed runs left behind.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/tarvo_process.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/demo/source_tree.hpp"

namespace {

namespace fs = std::filesystem;
using tarvo::testing::Outcome;
using tarvo::testing::run_tarvo;

// Every output file under root/outputs (temporaries aside), by path relative to root, with its
// content.
std::map<std::string, std::string> outputs_of(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "outputs"))
        if (entry.is_regular_file() && entry.path().filename().string().find(".tmp") == std::string::npos)
            files[fs::relative(entry.path(), root).string()] = tarvo::core::read_file(entry.path());
    return files;
}

// Temporaries in the warehouse and output directories (of one process when `pid` is given).
std::vector<std::string> leftovers(const fs::path& root, int pid = 0) {
    const std::string mark = pid ? ".tmp" + std::to_string(pid) : ".tmp";
    std::vector<std::string> found;
    for (const char* dir : {"db", "outputs/json", "outputs/html"})
        for (const auto& entry : fs::directory_iterator(root / dir))
            if (entry.path().filename().string().find(mark) != std::string::npos)
                found.push_back(fs::relative(entry.path(), root).string());
    return found;
}

struct KillPoint {
    const char* step;
    bool (*line)(std::string_view);  // the console line after which the run is killed
    bool before_swap;                // still building the new warehouse beside the old one
};

TEST(KilledRun, LosesNothingAndTheNextRunSucceeds) {
    tarvo::core::TempDir root("tarvo-kill");
    const std::string older = (root / "older").string(), newer = (root / "newer").string();
    tarvo::demo::generate_source_tree(older, 400, 5, 1);
    tarvo::demo::generate_source_tree(newer, 600, 6, 2);
    fs::create_directories(root / "db");
    const std::string db = (root / "db" / "ovik.duckdb").string();

    const Outcome first = run_tarvo({"run", older, db});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::map<std::string, std::string> previous = outputs_of(root.path());
    ASSERT_EQ(previous.size(), 6u);

    const std::vector<KillPoint> points{
        {"ingest", [](std::string_view l) { return l.starts_with("  brz_kik_izleme: "); }, true},
        {"silver step", [](std::string_view l) { return l == "  Building fact_periodic..."; }, true},
        {"marts",
         [](std::string_view l) { return l.starts_with("    -> ") && l.ends_with("/sample_trending_lists.json"); },
         false},
    };
    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.step);
        const std::string warehouse = tarvo::core::read_file(db);
        const Outcome killed = run_tarvo({"run", newer, db}, point.line);
        ASSERT_TRUE(killed.ended_by(SIGKILL)) << killed.out;
        // The kill landed in the step it was meant for.
        EXPECT_EQ(killed.out.find("  Building scoreboard mart...") == std::string::npos, point.before_swap)
            << killed.out;
        EXPECT_FALSE(leftovers(root.path()).empty()) << "the kill came after the run's temporaries were gone";
        EXPECT_TRUE(outputs_of(root.path()) == previous);

        if (point.before_swap) {
            EXPECT_TRUE(tarvo::core::read_file(db) == warehouse);
            const Outcome verify = run_tarvo({"verify", db});
            EXPECT_EQ(verify.status, 0) << verify.out;
            const Outcome marts = run_tarvo({"marts", db});
            ASSERT_EQ(marts.status, 0) << marts.err;
            EXPECT_TRUE(outputs_of(root.path()) == previous);
        } else {
            // The new warehouse was complete when the marts began.
            const Outcome verify = run_tarvo({"verify", db});
            EXPECT_EQ(verify.status, 0) << verify.out;
        }
    }

    // Interrupted (Ctrl-C, SIGTERM), a run removes its temporaries itself.
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::string warehouse = tarvo::core::read_file(db);
        const Outcome stopped = run_tarvo({"run", newer, db}, points[signal == SIGINT ? 0 : 2].line, signal);
        ASSERT_TRUE(stopped.ended_by(signal)) << stopped.out;
        EXPECT_TRUE(outputs_of(root.path()) == previous);
        EXPECT_EQ(leftovers(root.path(), stopped.pid), std::vector<std::string>{});
        if (signal == SIGINT) {
            EXPECT_TRUE(tarvo::core::read_file(db) == warehouse);
        }
    }

    const Outcome next = run_tarvo({"run", newer, db});
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(leftovers(root.path()), std::vector<std::string>{});
    EXPECT_FALSE(outputs_of(root.path()) == previous);
}

}  // namespace
