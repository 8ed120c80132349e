// Temporary files: published together or not at all, removed on SIGINT/SIGTERM, and swept
// when a killed process left them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/source_files.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/output_batch.hpp"
#include "tarvo/core/temporaries.hpp"
#include "tarvo/core/text.hpp"

namespace tarvo::core {
namespace {

using testing::write_bytes;

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const fs::path& p : sorted_glob(dir, "*")) names.push_back(p.filename().string());
    return names;
}

TEST(OutputBatch, PublishesEveryFileAtTheEndOrNone) {
    TempDir dir("tarvo-batch");
    write_bytes(dir / "a.json", "old a");
    {
        OutputBatch batch;
        write_file_atomic(dir / "a.json", "new a");
        write_file_atomic(dir / "b.csv", "new b");
        EXPECT_EQ(read_file(dir / "a.json"), "old a");
        EXPECT_FALSE(fs::exists(dir / "b.csv"));
        EXPECT_EQ(read_file(batch.current_path(dir / "b.csv")), "new b");
        EXPECT_EQ(batch.current_path(dir / "c.html"), dir / "c.html");
    }
    // Never published: the old file stays, the temporaries are gone.
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"a.json"});
    EXPECT_EQ(read_file(dir / "a.json"), "old a");
    {
        OutputBatch batch;
        write_file_atomic(dir / "a.json", "first");
        write_file_atomic(dir / "b.csv", "new b");
        write_file_atomic(dir / "a.json", "second");
        EXPECT_THROW(OutputBatch(), std::logic_error);
        batch.publish();
    }
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"a.json", "b.csv"}));
    EXPECT_EQ(read_file(dir / "a.json"), "second");
}

// A process ended by SIGINT or SIGTERM while writing leaves no temporary, and still dies of the signal.
TEST(RemoveOnSignal, InterruptedWriterLeavesNoTemporary) {
    for (int sig : {SIGINT, SIGTERM}) {
        TempDir dir("tarvo-signal");
        const pid_t pid = ::fork();
        if (pid == 0) {
            OutputBatch batch;
            write_file_atomic(dir / "staged.json", "staged");
            AtomicFile open(dir / "open.json");
            open.stream() << "half";
            open.stream().flush();
            ::raise(sig);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{}) << sig;
    }
}

TEST(StaleTemporaries, OnlyThoseOfEndedProcessesAndOurNames) {
    TempDir dir("tarvo-stale");
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string d = std::to_string(dead), self = std::to_string(::getpid());
    for (const std::string& name : std::vector<std::string>{"out.json.tmp" + d, "w.duckdb.tmp" + d + ".wal", "out.json.tmp" + self,
                                    "out.json.tmp1", "other.txt.tmp" + d, "out.json", "out.json.tmpx",
                                    "w.duckdb.tmp"})
        write_bytes(dir / name, "x");
    fs::create_directories(dir / ("w.duckdb.tmp" + d + ".tmp") / "spill");
    const auto ours = [](std::string_view name) { return name == "out.json" || name == "w.duckdb"; };
    EXPECT_EQ(remove_stale_temporaries(dir.path(), ours), 3);
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"other.txt.tmp" + d, "out.json", "out.json.tmp1",
                                                              "out.json.tmp" + self, "out.json.tmpx",
                                                              "w.duckdb.tmp"}));
}

TEST(ShortenUtf8, CutsOnACharacterBoundary) {
    EXPECT_EQ(shorten_utf8("abc", 3), "abc");
    EXPECT_EQ(shorten_utf8("abcdef", 5), "ab…");
    EXPECT_EQ(shorten_utf8("aşbcdef", 5), "a…");  // "ş" is two bytes: not split
    EXPECT_EQ(shorten_utf8("aşbcdef", 6), "aş…");
}

}  // namespace
}  // namespace tarvo::core
