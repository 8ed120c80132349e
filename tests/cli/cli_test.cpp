// The command line as a user runs it: exit statuses and the one-line error.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tarvo/core/files.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, err;
};

// Runs build/tarvo with the arguments; standard output and error captured through files.
Outcome tarvo(const std::string& args, const tarvo::core::TempDir& dir) {
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    const std::string cmd = std::string(TARVO_BINARY_DIR) + "/tarvo " + args + " >" + out.string() + " 2>" +
                            err.string() + " </dev/null";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, tarvo::core::read_file(out), tarvo::core::read_file(err)};
}

TEST(CommandLine, VersionAndHelp) {
    tarvo::core::TempDir dir("tarvo-cli");
    Outcome v = tarvo("--version", dir);
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("tarvo 0.1.0 (DuckDB v1.4.4)", 0), 0u) << v.out;
    Outcome h = tarvo("--help", dir);
    EXPECT_EQ(h.status, 0);
    for (const char* cmd : {"ingest", "transform", "marts", "run", "verify", "demo"})
        EXPECT_NE(h.out.find(std::string("  ") + cmd + " "), std::string::npos) << cmd;
    EXPECT_NE(tarvo("", dir).status, 0);
}

TEST(CommandLine, MartsOnAWarehouseWithoutSilverTablesFailsWithOneLine) {
    tarvo::core::TempDir dir("tarvo-cli");
    fs::create_directories(dir / "db");
    { tarvo::vandel::Vandel con((dir / "db" / "ovik.duckdb").string()); }
    Outcome r = tarvo("marts " + (dir / "db" / "ovik.duckdb").string(), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "  Building scoreboard mart...\n");
    EXPECT_EQ(r.err,
              "tarvo: CatalogException: Catalog Error: Table with name fact_periodic does not exist!\n");
    EXPECT_TRUE(tarvo::core::sorted_glob(dir / "outputs" / "json", "*").empty());
}

TEST(CommandLine, BadArgumentsAreRejectedBeforeAnyWork) {
    tarvo::core::TempDir dir("tarvo-cli");
    Outcome r = tarvo("ingest " + dir.path().string() + " " + (dir / "w.duckdb").string() + " --data-path nokey", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvo: ValueError: --data-path wants KEY=DIR, got 'nokey'\n");
    EXPECT_FALSE(fs::exists(dir / "w.duckdb"));
}

}  // namespace
